// Window messages as the framework passes them to windows, and the macros of the per-class message
// tables. Message numbers are those of Windows, so the Win32 backend passes them through unchanged
// and the headless backend produces the same ones.
#pragma once
#include <cstdint>

namespace ui {

using Handle = uintptr_t;  // a window: HWND on Windows, a 32-bit number in the headless backend

struct Message {
  uint32_t message = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
  intptr_t result = 0;  // what the window procedure returns when the message is handled
};

constexpr uint32_t kWmCreate = 0x0001;
constexpr uint32_t kWmDestroy = 0x0002;
constexpr uint32_t kWmPaint = 0x000F;
constexpr uint32_t kWmClose = 0x0010;
constexpr uint32_t kWmQuit = 0x0012;
constexpr uint32_t kWmGetMinMaxInfo = 0x0024;
constexpr uint32_t kWmInitDialog = 0x0110;
constexpr uint32_t kWmCommand = 0x0111;
constexpr uint32_t kWmTimer = 0x0113;
constexpr uint32_t kWmHScroll = 0x0114;
constexpr uint32_t kWmVScroll = 0x0115;
constexpr uint32_t kWmCtlColorMsgBox = 0x0132;
constexpr uint32_t kWmCtlColorEdit = 0x0133;
constexpr uint32_t kWmCtlColorListBox = 0x0134;
constexpr uint32_t kWmCtlColorBtn = 0x0135;
constexpr uint32_t kWmCtlColorDlg = 0x0136;
constexpr uint32_t kWmCtlColorScrollBar = 0x0137;
constexpr uint32_t kWmCtlColorStatic = 0x0138;
constexpr uint32_t kWmDropFiles = 0x0233;  // files dropped from the shell; wParam: the drop
constexpr uint32_t kWmUser = 0x0400;
constexpr uint32_t kWmApp = 0x8000;  // first message number free for a window's own use

// Dialog result and command codes of the standard buttons.
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// Notification codes carried in the high word of WM_COMMAND's wParam.
constexpr int kBnClicked = 0;
constexpr int kCbnSelChange = 1;
constexpr int kLbnSelChange = 1;
constexpr int kEnChange = 0x0300;

// Scroll request codes (low word of WM_HSCROLL's wParam).
constexpr int kSbLineLeft = 0;
constexpr int kSbLineRight = 1;
constexpr int kSbPageLeft = 2;
constexpr int kSbPageRight = 3;
constexpr int kSbThumbPosition = 4;
constexpr int kSbThumbTrack = 5;
constexpr int kSbLeft = 6;
constexpr int kSbRight = 7;
constexpr int kSbEndScroll = 8;

inline int command_id(const Message& m) { return int(m.wParam & 0xFFFF); }
inline int command_code(const Message& m) { return int((m.wParam >> 16) & 0xFFFF); }
inline uintptr_t make_command(int id, int code) {
  return (uintptr_t(uint32_t(code) & 0xFFFF) << 16) | (uint32_t(id) & 0xFFFF);
}

// The WM_GETMINMAXINFO structure (MINMAXINFO): five points of two 32-bit values.
struct MinMaxInfo {
  int32_t reserved[2];
  int32_t maxSize[2];
  int32_t maxPosition[2];
  int32_t minTrackSize[2];
  int32_t maxTrackSize[2];
};

}  // namespace ui

// Message tables, read in one glance like the WTL maps:
//
//   UI_BEGIN_MESSAGE_TABLE(MyDialog, ui::Dialog)
//     UI_MESSAGE(ui::kWmTimer, OnTimer)             intptr_t OnTimer(ui::Message&)
//     UI_COMMAND(1050, CloseMain)                   void CloseMain()
//     UI_COMMAND_RANGE(113, 135, StepPosition)      void StepPosition(int id)
//     UI_NOTIFY(146, ui::kCbnSelChange, SelectDemuxMode)   void SelectDemuxMode()
//     UI_HSCROLL(147, ScrollPosition)               void ScrollPosition(int code, int pos)
//     UI_DROPFILES(DropFiles)                       void DropFiles(ui::DroppedFiles& files)
//   UI_END_MESSAGE_TABLE()
//
// A row that matches handles the message; what no row handles goes to the base class's table.
// UI_COMMAND rows take clicks (BN_CLICKED) and menu commands, whose notification code is 0.
#define UI_BEGIN_MESSAGE_TABLE(Class, Base)            \
 public:                                               \
  bool OnMessage(ui::Message& m) override {            \
    using TableBase = Base;                            \
    (void)m;

#define UI_MESSAGE(msg, fn)     \
  if (m.message == (msg)) {     \
    m.result = fn(m);           \
    return true;                \
  }

#define UI_COMMAND(id, fn)                                                               \
  if (m.message == ui::kWmCommand && ui::command_id(m) == (id) && ui::command_code(m) == 0) { \
    fn();                                                                                \
    return true;                                                                         \
  }

#define UI_COMMAND_RANGE(first, last, fn)                                                     \
  if (m.message == ui::kWmCommand && ui::command_id(m) >= (first) &&                          \
      ui::command_id(m) <= (last) && ui::command_code(m) == 0) {                              \
    fn(ui::command_id(m));                                                                    \
    return true;                                                                              \
  }

#define UI_NOTIFY(id, code, fn)                                                                 \
  if (m.message == ui::kWmCommand && ui::command_id(m) == (id) && ui::command_code(m) == (code)) { \
    fn();                                                                                       \
    return true;                                                                                \
  }

#define UI_HSCROLL(id, fn)                                                          \
  if (m.message == ui::kWmHScroll && ui::control_id_of(ui::Handle(m.lParam)) == (id)) { \
    fn(int(m.wParam & 0xFFFF), int((m.wParam >> 16) & 0xFFFF));                     \
    return true;                                                                    \
  }

// Files dropped onto a window that accepts them (ui::accept_files); the drop is released after
// the handler.
#define UI_DROPFILES(fn)                \
  if (m.message == ui::kWmDropFiles) {  \
    ui::DroppedFiles files(m.wParam);   \
    fn(files);                          \
    return true;                        \
  }

#define UI_END_MESSAGE_TABLE()    \
  return TableBase::OnMessage(m); \
  }                               \
                                  \
 private:
