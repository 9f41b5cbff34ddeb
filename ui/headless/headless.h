// The in-memory window system for tests on Linux: windows and controls live in tables keyed by
// handle and id, timers run on a virtual clock the test advances, message boxes are answered by
// a script and recorded, and registered messages arrive over the POSIX GUI link so a real
// kerfdmx can post to a headless frame, and canvases record what they draw. Tests drive dialogs
// through these functions the way a person would: typing into fields, clicking, choosing list
// entries, scrolling.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ui/backend.h"
#include "ui/dialog_template.h"

namespace ui::headless {

struct ControlState {
  int id = kNoId;
  ControlKind kind = ControlKind::Static;
  std::vector<std::string> items;  // list entries
  int selection = -1;
  int check = 0;
  int scrollMin = 0, scrollMax = 100, scrollPos = 0;
  int horizontalExtent = 0;  // list boxes: width of the contents in pixels
  Rect units;  // place in dialog units, as the template gives it
};

struct WindowState {
  Handle handle = 0;
  Handle parent = 0;
  Window* object = nullptr;  // null for controls
  bool isControl = false;
  ControlState control;
  std::string text;
  std::string className;
  uint32_t classStyle = 0;  // frames: the class styles their window class was given
  uint32_t style = 0;
  bool enabled = true;
  bool visible = false;
  Rect rect;  // screen coordinates
  int templateId = 0;
  int menuId = 0;
  int iconId = 0;
  int paintCount = 0;
  bool modal = false;
  bool ended = false;
  int endCode = 0;
  bool acceptsFiles = false;
};

struct MessageBoxRecord {
  Handle owner = 0;
  std::string text;     // Shift-JIS
  std::string caption;  // Shift-JIS
  BoxKind kind = BoxKind::Error;
  int answer = 0;
  bool scripted = false;  // false: nobody had planned an answer
};

// Forgets every window, timer, queued message, record and scripted answer, and restores the
// default metrics (screen 1280 x 1024, frame 4, caption 19, menu 19).
void reset();

WindowState* find(Handle h);
// The control of a dialog by id, nullptr when there is none.
WindowState* control(Handle dialog, int id);
// The most recently created window of a dialog template / window class still alive, 0 if none.
Handle find_dialog(int templateId);
Handle find_frame(const char* className);

// Acting on controls as a person would; each sends the notification the window system would.
void type_text(Handle dialog, int id, const char* text);   // sets the text (no notification)
// BN_CLICKED; an automatic check box toggles and an automatic radio button takes its group's
// check first, as the window system does.
void click(Handle dialog, int id);
void choose(Handle dialog, int id, int index);              // selection, then CBN_SELCHANGE
void scroll(Handle dialog, int id, int code, int pos);      // WM_HSCROLL
void menu_command(Handle frame, int id);                     // WM_COMMAND from a menu
// Files dropped from the shell onto window h: delivered (WM_DROPFILES) to h or the nearest
// window above it that accepts files; false when none does.
bool drop_files(Handle h, const std::vector<std::string>& paths);
// Drops delivered and not yet released by their receiver.
int open_drops();
void close_window(Handle h);                                 // WM_CLOSE
intptr_t send(Handle h, uint32_t msg, uintptr_t wp, intptr_t lp);

// Virtual time: advancing fires every timer that falls due, in order.
uint64_t now_ms();
void advance(uint32_t ms);
bool has_timer(Handle h, int id);
// Delivers queued posted messages and what arrived over the GUI link, waiting at most
// timeout_ms for the first one. Returns the number delivered.
int pump(int timeout_ms);
bool quit_requested();

// Message boxes: answers are taken from the script in order; without one, OK and No.
void answer_next_box(int answer);
const std::vector<MessageBoxRecord>& message_boxes();

// Called once for every modal dialog after its set-up, inside its modal loop; the hook may read
// and drive the dialog and end it. Without a hook (or when the hook leaves the dialog running)
// the loop runs virtual time forward to the next timer, and ends the dialog with kIdCancel when
// nothing is left that could end it or ten minutes of virtual time pass without an end.
void set_modal_hook(std::function<void(Dialog&)> hook);

// What the canvases drew, in order. colour is 0xRRGGBB: the colour given to FillRect and
// FrameRect, the brush's for Rectangle (whose pen is penColour, penWidth pixels wide).
struct DrawRecord {
  enum class Op { FillRect, FrameRect, Rectangle, Picture, Bits24 };
  Op op = Op::FillRect;
  Handle window = 0;     // whose client area
  bool inPaint = false;  // drawn for a paint request rather than on a client canvas
  Rect rect;             // pictures: their place and size
  uint32_t colour = 0;
  uint32_t penColour = 0;
  int penWidth = 0;
};
const std::vector<DrawRecord>& drawn();

// Called at the start of every pump_messages(), the dispatching that wait loops do themselves
// while a long run goes on, so a test can act in the middle of such a run.
void set_pump_hook(std::function<void()> hook);

void set_metric(Metric m, int value);
// Documents the program asked the desktop to open (shell_open), which the headless world records
// instead of opening.
const std::vector<std::string>& shell_opened();
uintptr_t current_cursor();

}  // namespace ui::headless
