// Framework behaviour common to both backends: dispatch, close requests, control colours, the
// application's start.
#include "ui/window.h"

#include <cstring>

#include "common/sjis.h"
#include "ui/dialog_template.h"

namespace ui {

namespace {
constexpr uint8_t kGrey = 192;  // light grey of every dialog: RGB 192, 192, 192
constexpr uint8_t kBlack = 0;
}  // namespace

// ---- Window ----

Window::~Window() {
  if (handle_ != 0) destroy_window(handle_);
}

bool Window::OnMessage(Message&) { return false; }

bool Window::Dispatch(Message& m) { return OnMessage(m); }

void Window::Destroy() {
  if (handle_ != 0) destroy_window(handle_);
}

// ---- Dialog ----

Dialog::Dialog(Window* parent, int templateId) : templateId_(templateId) {
  parent_ = parent;
  dialogBrush_ = create_solid_brush(kGrey, kGrey, kGrey);
  controlBrush_ = create_solid_brush(kGrey, kGrey, kGrey);
}

Dialog::~Dialog() {
  if (handle_ != 0) destroy_window(handle_);
  delete_brush(dialogBrush_);
  delete_brush(controlBrush_);
}

int Dialog::Execute() {
  const DialogTemplate* t = dialog_template(templateId_);
  if (t == nullptr) return -1;
  modal_ = true;
  int code = run_modal_dialog(*this, *t, parent_);
  modal_ = false;
  return code;
}

bool Dialog::Create() {
  const DialogTemplate* t = dialog_template(templateId_);
  if (t == nullptr) return false;
  modal_ = false;
  return create_modeless_dialog(*this, *t, parent_);
}

void Dialog::EndDialog(int code) {
  if (modal_) end_modal_dialog(*this, code);
}

void Dialog::CloseWindow(int code) {
  if (!CanClose()) return;
  if (modal_) {
    EndDialog(code);
  } else if (frameClient_ && parent_ != nullptr) {
    // The client's consent was just given; the frame is destroyed without asking again.
    parent_->Destroy();
  } else {
    Destroy();
  }
}

bool Dialog::OnMessage(Message& m) {
  switch (m.message) {
    case kWmCtlColorMsgBox:
    case kWmCtlColorEdit:
    case kWmCtlColorListBox:
    case kWmCtlColorBtn:
    case kWmCtlColorDlg:
    case kWmCtlColorScrollBar:
    case kWmCtlColorStatic:
      m.result = OnCtlColor(m);
      return true;
    default:
      return false;
  }
}

bool Dialog::Dispatch(Message& m) {
  if (m.message == kWmInitDialog) {
    SetupWindow();
    m.result = 1;  // let the window system set the focus
    return true;
  }
  if (OnMessage(m)) return true;
  if (m.message == kWmCommand && command_code(m) == 0 &&
      (command_id(m) == kIdOk || command_id(m) == kIdCancel)) {
    CloseWindow(command_id(m));
    return true;
  }
  if (m.message == kWmClose) {
    CloseWindow(kIdCancel);
    return true;
  }
  if (m.message == kWmDestroy) {
    CleanupWindow();
    return false;
  }
  return false;
}

intptr_t Dialog::OnCtlColor(Message& m) {
  prepare_control_colours(uintptr_t(m.wParam), kGrey, kBlack);
  return intptr_t(m.message == kWmCtlColorDlg ? dialogBrush_.value : controlBrush_.value);
}

// ---- FrameWindow ----

FrameWindow::FrameWindow(const char* className, const char* title, Dialog* client)
    : className_(className), title_(title), client_(client) {
  if (client_ != nullptr) {
    client_->SetParent(this);
    client_->SetFrameClient(true);
  }
}

FrameWindow::~FrameWindow() = default;

bool FrameWindow::Create(int x, int y, uint32_t style, int menuId, int iconId, int width, int height) {
  return create_frame_window(*this, x, y, width, height, style, menuId, iconId);
}

void FrameWindow::SetupWindow() {
  if (client_ == nullptr) return;
  if (!client_->Create()) return;
  Rect r = client_->GetWindowRect();
  fit_frame_to_client(handle_, r.width(), r.height());
  client_->Show(true);
}

bool FrameWindow::CanClose() { return client_ == nullptr || client_->CanClose(); }

bool FrameWindow::Dispatch(Message& m) {
  if (OnMessage(m)) return true;
  switch (m.message) {
    case kWmCommand:
      // Menu commands go to the client's command table.
      return client_ != nullptr && client_->handle() != 0 && client_->Dispatch(m);
    case kWmClose:
      if (CanClose()) Destroy();
      return true;
    case kWmDestroy:
      CleanupWindow();
      if (Application::current() != nullptr && Application::current()->mainWindow() == this) {
        request_quit(0);
      }
      return false;
    default:
      return false;
  }
}

// ---- Application ----

Application* Application::current_ = nullptr;

Application::Application() { current_ = this; }

Application::~Application() {
  if (current_ == this) current_ = nullptr;
}

bool Application::Start() {
  if (!InitMainWindow() || mainWindow_ == nullptr) return false;
  if (!mainWindow_->Create(x_, y_, style_, menuId_, iconId_)) return false;
  mainWindow_->Show(true);
  return true;
}

int Application::Run() {
  if (!Start()) return 1;
  return run_message_loop();
}

size_t copy_text_out(const char* text, size_t length, char* buf, size_t size) {
  if (size == 0) return 0;
  size_t n = length < size - 1 ? length : size - 1;
  memcpy(buf, text, n);
  buf[n] = '\0';
  // Never leave the first byte of a two-byte character without its second.
  if (n < length && n > 0 && sjis_byte_kind(buf, n - 1) == 1) buf[--n] = '\0';
  return n;
}

const ControlTemplate* find_control(const DialogTemplate& t, int id) {
  for (size_t i = 0; i < t.controlCount; ++i) {
    if (t.controls[i].id == id) return &t.controls[i];
  }
  return nullptr;
}

}  // namespace ui
