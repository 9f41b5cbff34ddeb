// The window-class framework: an application object, frame windows, modal and modeless dialogs
// built from numbered templates. Each class overrides the operations it needs (SetupWindow,
// CleanupWindow, Paint, CanClose) and maps messages to its members through a message table
// (message.h). The calls to the window system go through backend.h, which the Win32 backend and
// the headless backend implement.
#pragma once
#include <cstddef>
#include <cstdint>

#include "ui/backend.h"
#include "ui/message.h"

namespace ui {

class Canvas;

class Window {
 public:
  Window() = default;
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  Handle handle() const { return handle_; }
  Window* parent() const { return parent_; }

  // The class's message table; the base table handles nothing.
  virtual bool OnMessage(Message& m);
  // What the framework does with a message: the table, then the framework's own handling of the
  // close request. false leaves the message to the window system's default processing.
  virtual bool Dispatch(Message& m);

  // Called once the window exists (dialogs: on WM_INITDIALOG) and when it is being destroyed.
  virtual void SetupWindow() {}
  virtual void CleanupWindow() {}
  // Called for WM_PAINT after the default painting; the canvas covers the client area.
  virtual void Paint(Canvas&) {}
  // Asked before the window closes; false keeps it open.
  virtual bool CanClose() { return true; }

  void SetText(const char* text) { set_text(handle_, text); }
  size_t GetText(char* buf, size_t size) const { return get_text(handle_, buf, size); }
  Rect GetWindowRect() const { return window_rect(handle_); }
  Rect GetClientRect() const { return client_rect(handle_); }
  void Move(int x, int y, int width, int height, bool repaint) {
    move_window(handle_, x, y, width, height, repaint);
  }
  void Invalidate(bool erase = true) { invalidate(handle_, erase); }
  void SetTimer(int id, uint32_t ms) { set_timer(handle_, id, ms); }
  void KillTimer(int id) { kill_timer(handle_, id); }
  void PostMessage(uint32_t msg, uintptr_t wp = 0, intptr_t lp = 0) { post_to(handle_, msg, wp, lp); }
  void Show(bool visible) { show_window(handle_, visible); }
  void Destroy();

  // For the backends: ties the object to its window while the window exists.
  void Attach(Handle h) { handle_ = h; }
  void Detach() { handle_ = 0; }
  void SetParent(Window* p) { parent_ = p; }

 protected:
  Handle handle_ = 0;
  Window* parent_ = nullptr;
};

// The files of one drop (kWmDropFiles), released when the object goes.
class DroppedFiles {
 public:
  explicit DroppedFiles(uintptr_t drop) : drop_(drop) {}
  ~DroppedFiles() { finish_drop(drop_); }
  DroppedFiles(const DroppedFiles&) = delete;
  DroppedFiles& operator=(const DroppedFiles&) = delete;

  int Count() const { return dropped_file_count(drop_); }
  // The path of file index; 0 (buf empty) when there is none or it does not fit.
  size_t Path(int index, char* buf, size_t size) const { return dropped_file(drop_, index, buf, size); }

 private:
  uintptr_t drop_;
};

// A dialog from a numbered template, run modally (Execute) or created modeless (Create). A dialog
// whose template has WS_CHILD becomes a child of its parent, such as the client of a frame.
// Every dialog answers the control-colour requests with light grey and black text from its own
// two brushes: one for its background, one for its controls.
class Dialog : public Window {
 public:
  Dialog(Window* parent, int templateId);
  ~Dialog() override;

  int Execute();   // modal: returns the code given to EndDialog
  bool Create();   // modeless; false when the window could not be made
  void EndDialog(int code);
  // The close request of the standard buttons: asks CanClose, then ends a modal dialog, closes
  // the frame a client dialog belongs to, or destroys a modeless one.
  void CloseWindow(int code);

  int templateId() const { return templateId_; }
  bool modal() const { return modal_; }
  bool frameClient() const { return frameClient_; }
  void SetFrameClient(bool v) { frameClient_ = v; }

  bool OnMessage(Message& m) override;
  bool Dispatch(Message& m) override;

  // Control helpers by id.
  Handle Item(int id) const { return dialog_item(handle_, id); }
  void SetItemText(int id, const char* text) { set_text(Item(id), text); }
  size_t GetItemText(int id, char* buf, size_t size) const { return get_text(Item(id), buf, size); }
  void EnableItem(int id, bool enable) { enable_window(Item(id), enable); }
  Rect MapDialogRect(const Rect& units) const { return map_dialog_rect(handle_, units); }

 protected:
  // Light-grey background, black text; returns the brush for the request.
  virtual intptr_t OnCtlColor(Message& m);

 private:
  int templateId_;
  bool modal_ = false;
  bool frameClient_ = false;
  Brush dialogBrush_;
  Brush controlBrush_;
};

// A top-level window of a registered class with a menu and, optionally, a dialog as its client
// area, sized to fit that client. A frame given a parent (SetParent) is owned by it: it stays
// above its owner and goes when the owner goes.
class FrameWindow : public Window {
 public:
  FrameWindow(const char* className, const char* title, Dialog* client);
  ~FrameWindow() override;

  // Creates the window at (x, y) with style (menuId 0: no menu, iconId 0: default icon). A width
  // and height of 0 give a small window that SetupWindow sizes around the client.
  bool Create(int x, int y, uint32_t style, int menuId, int iconId, int width = 0, int height = 0);
  // Class styles (CS_*, ui/dialog_template.h) of the window class the frame registers; effective
  // when the first frame of the class is created.
  void SetClassStyle(uint32_t style) { classStyle_ = style; }
  uint32_t classStyle() const { return classStyle_; }

  Dialog* client() const { return client_; }
  const char* className() const { return className_; }
  const char* title() const { return title_; }

  bool Dispatch(Message& m) override;
  // Creates the client dialog and sizes the frame around it.
  void SetupWindow() override;
  // The frame may close when its client may.
  bool CanClose() override;

 private:
  const char* className_;
  const char* title_;
  Dialog* client_;
  uint32_t classStyle_ = 0;
};

// The application: creates its main window in InitMainWindow and runs the message loop until
// the main window is gone.
class Application {
 public:
  Application();
  virtual ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // Makes the main window (created and shown by Run); false stops the program.
  virtual bool InitMainWindow() = 0;
  // InitMainWindow, create and show the main window, run the loop. Returns the exit code.
  int Run();
  // Only InitMainWindow and creation of the main window, for callers that pump messages
  // themselves (tests). false when either failed.
  bool Start();

  void SetMainWindow(FrameWindow* w) { mainWindow_ = w; }
  FrameWindow* mainWindow() const { return mainWindow_; }
  static Application* current() { return current_; }

 protected:
  int x_ = 0, y_ = 0;        // placement of the main window, set by InitMainWindow
  uint32_t style_ = 0;       // style of the main window
  int menuId_ = 0, iconId_ = 0;

 private:
  FrameWindow* mainWindow_ = nullptr;
  static Application* current_;
};

}  // namespace ui
