// The headless window system's state: every window and control, timers on a virtual clock,
// posted messages, scripted message-box answers and what was drawn. The backend (backend.cpp)
// and the test driver (driver.cpp) both work on the one World; nothing outside ui/headless/ sees it.
#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/gui_link.h"
#include "ui/headless/headless.h"
#include "ui/message.h"

namespace ui::headless {

// Dialog base units of the 12-point Gothic face the templates ask for (8 x 16 pixels).
constexpr int kBaseX = 8;
constexpr int kBaseY = 16;
constexpr int kDialogFrame = 3;  // border of a popup dialog, each side

inline int px_x(int units) { return (units * kBaseX + 2) / 4; }
inline int px_y(int units) { return (units * kBaseY + 4) / 8; }
inline uint32_t rgb(uint8_t r, uint8_t g, uint8_t b) { return uint32_t(r) << 16 | uint32_t(g) << 8 | b; }

struct Timer {
  Handle window;
  int id;
  uint32_t period;
  uint64_t due;
};

struct Posted {
  Handle window;
  Message m;
};

struct DeviceContext {
  Handle window;
  bool paint;
};

struct PenState {
  int width;
  uint32_t colour;
};

class World {
 public:
  // Windows.
  WindowState* Find(Handle h);
  WindowState* Control(Handle dialog, int id);
  // A new window under parent (0: top level), with a handle no other process uses.
  WindowState& AddWindow(Handle parent);
  // A dialog window for template t with its controls, attached to dialog; not yet set up.
  WindowState& MakeDialog(Dialog& dialog, const DialogTemplate& t, Window* parent);
  // Hands m to h's window object; an unhandled paint request paints through Window::Paint.
  intptr_t Deliver(Handle h, Message m);
  intptr_t Send(Handle h, uint32_t msg, uintptr_t wp, intptr_t lp);

  // Virtual time: advancing fires every timer that falls due, in order.
  void Advance(uint32_t ms);
  // Delivers queued posted messages and what arrived over the GUI link, waiting at most
  // timeout_ms for the first one. Returns the number delivered.
  int Pump(int timeout_ms);

  // Records an operation on a device context that belongs to a live window; null otherwise.
  DrawRecord* Record(uintptr_t dc, DrawRecord::Op op, const Rect& r);
  void DefaultMetrics();
  // Forgets every window, timer, queued message, record and scripted answer.
  void Reset();

  std::map<Handle, WindowState> windows;
  std::vector<Handle> order;  // creation order, for the find_* lookups
  std::map<Handle, std::unique_ptr<GuiLinkListener>> links;
  std::vector<Timer> timers;
  std::deque<Posted> queue;
  std::vector<MessageBoxRecord> boxes;
  std::deque<int> answers;
  std::function<void(Dialog&)> modalHook;
  std::map<Metric, int> metrics;
  std::vector<std::string> opened;
  std::map<uintptr_t, std::vector<std::string>> drops;
  uintptr_t dropCounter = 0;
  std::function<void()> pumpHook;
  std::map<uintptr_t, DeviceContext> deviceContexts;
  std::map<uintptr_t, uint32_t> brushColours;
  std::map<uintptr_t, PenState> pens;
  std::vector<DrawRecord> drawn;
  uintptr_t gdiObjects = 0x1000;  // device contexts and pens; brushes count on their own
  uint64_t clock = 0;
  uint32_t counter = 0;
  uintptr_t brushes = 0;
  uintptr_t cursor = 0;
  bool quit = false;

 private:
  Handle NewHandle();
  void CreateControls(WindowState& dialog, const DialogTemplate& t);
  void FireDueTimers();
};

// The process's one world. The headless world opens no documents: the desktop's opening is
// replaced by a record in it.
World& world();

}  // namespace ui::headless
