// The headless window system's state and its own workings: handles, dialogs built from their
// templates, delivery, the virtual clock, the message queue and the drawing record (see world.h).
#include "ui/headless/world.h"

#include <unistd.h>

#include <algorithm>

#include "platform/shell.h"
#include "ui/canvas.h"
#include "ui/window.h"

namespace ui::headless {
namespace {

void record_opened(uintptr_t, const char* path) { world().opened.emplace_back(path); }

}  // namespace

World& world() {
  static World w;
  static const bool recording = (set_shell_open_handler(record_opened), true);
  (void)recording;
  return w;
}

WindowState* World::Find(Handle h) {
  auto it = windows.find(h);
  return it == windows.end() ? nullptr : &it->second;
}

WindowState* World::Control(Handle dialog, int id) {
  for (auto& [h, s] : windows) {
    if (s.isControl && s.parent == dialog && s.control.id == id) return &s;
  }
  return nullptr;
}

// Handles are 32-bit numbers unique among the processes of the machine, because a frame's handle
// names its GUI link socket: the process id in the high bits, a counter in the low eight.
Handle World::NewHandle() {
  for (;;) {
    Handle h = (Handle(uint32_t(getpid())) << 8 | (counter++ & 0xFF)) & 0xFFFFFFFFu;
    if (h != 0 && h != kBroadcastHandle && windows.count(h) == 0) return h;
  }
}

WindowState& World::AddWindow(Handle parent) {
  Handle h = NewHandle();
  WindowState& s = windows[h];
  s.handle = h;
  s.parent = parent;
  order.push_back(h);
  return s;
}

intptr_t World::Deliver(Handle h, Message m) {
  WindowState* s = Find(h);
  if (s == nullptr || s->object == nullptr) return 0;
  Window* obj = s->object;
  if (obj->Dispatch(m)) return m.result;
  if (m.message == kWmPaint) {
    s->paintCount++;
    uintptr_t dc = ++gdiObjects;
    deviceContexts[dc] = DeviceContext{h, true};
    Canvas canvas(dc);
    obj->Paint(canvas);
    deviceContexts.erase(dc);
  }
  return 0;
}

intptr_t World::Send(Handle h, uint32_t msg, uintptr_t wp, intptr_t lp) {
  Message m;
  m.message = msg;
  m.wParam = wp;
  m.lParam = lp;
  return Deliver(h, m);
}

DrawRecord* World::Record(uintptr_t dc, DrawRecord::Op op, const Rect& r) {
  auto it = deviceContexts.find(dc);
  if (it == deviceContexts.end() || Find(it->second.window) == nullptr) return nullptr;
  DrawRecord d;
  d.op = op;
  d.window = it->second.window;
  d.inPaint = it->second.paint;
  d.rect = r;
  drawn.push_back(d);
  return &drawn.back();
}

void World::CreateControls(WindowState& dialog, const DialogTemplate& t) {
  const Handle dh = dialog.handle;
  for (size_t i = 0; i < t.controlCount; ++i) {
    const ControlTemplate& c = t.controls[i];
    WindowState& s = AddWindow(dh);
    s.isControl = true;
    s.style = c.style;
    s.visible = (c.style & kWsVisible) != 0;
    s.enabled = (c.style & kWsDisabled) == 0;
    s.text = c.text != nullptr ? c.text : "";
    s.control.id = c.id;
    s.control.kind = c.kind;
    s.control.units = Rect{c.x, c.y, c.x + c.cx, c.y + c.cy};
    WindowState* d = Find(dh);
    s.rect = Rect{d->rect.left + px_x(c.x), d->rect.top + px_y(c.y), d->rect.left + px_x(c.x + c.cx),
                  d->rect.top + px_y(c.y + c.cy)};
  }
}

WindowState& World::MakeDialog(Dialog& dialog, const DialogTemplate& t, Window* parent) {
  Handle ph = parent != nullptr ? parent->handle() : 0;
  WindowState& s = AddWindow(ph);
  Handle h = s.handle;
  s.object = &dialog;
  s.templateId = t.id;
  s.style = t.style;
  s.text = t.caption != nullptr ? t.caption : "";
  int w = px_x(t.cx), ht = px_y(t.cy);
  Rect origin;
  if (WindowState* p = Find(ph)) origin = p->rect;
  if (t.style & kWsChild) {
    // A child dialog fills its parent's client area from the top left, without a caption.
    s.rect = Rect{origin.left, origin.top, origin.left + w, origin.top + ht};
  } else {
    int caption = (t.style & kWsCaption) == kWsCaption ? system_metric(Metric::CaptionHeight) : 0;
    int left = origin.left + px_x(t.x), top = origin.top + px_y(t.y);
    s.rect = Rect{left, top, left + w + 2 * kDialogFrame, top + ht + 2 * kDialogFrame + caption};
  }
  dialog.Attach(h);
  CreateControls(*Find(h), t);
  return *Find(h);
}

void World::FireDueTimers() {
  for (;;) {
    auto it = std::min_element(timers.begin(), timers.end(),
                               [](const Timer& a, const Timer& b) { return a.due < b.due; });
    if (it == timers.end() || it->due > clock) return;
    Timer t = *it;
    it->due += std::max<uint32_t>(t.period, 1);
    Message m;
    m.message = kWmTimer;
    m.wParam = uintptr_t(t.id);
    Deliver(t.window, m);
  }
}

void World::Advance(uint32_t ms) {
  uint64_t end = clock + ms;
  for (;;) {
    uint64_t next = end;
    for (const Timer& t : timers) next = std::min(next, t.due);
    clock = std::max(clock, next);
    FireDueTimers();
    if (next >= end) break;
  }
  clock = end;
}

int World::Pump(int timeout_ms) {
  int delivered = 0;
  while (!queue.empty()) {
    Posted p = queue.front();
    queue.pop_front();
    Deliver(p.window, p.m);
    ++delivered;
  }
  // Registered messages from other processes: one datagram each, to the frame named by its socket.
  int wait = delivered > 0 ? 0 : timeout_ms;
  std::vector<Handle> frames;
  for (auto& [h, l] : links) frames.push_back(h);
  for (Handle h : frames) {
    auto it = links.find(h);
    if (it == links.end()) continue;
    uint32_t msg, wp, lp;
    while (it != links.end() && it->second->Receive(msg, wp, lp, wait)) {
      wait = 0;
      Send(h, msg, wp, intptr_t(int32_t(lp)));
      ++delivered;
      it = links.find(h);
    }
  }
  return delivered;
}

void World::DefaultMetrics() {
  metrics = {{Metric::ScreenWidth, 1280}, {Metric::ScreenHeight, 1024},
             {Metric::FrameWidth, 4},     {Metric::FrameHeight, 4},
             {Metric::FullScreenHeight, 975}, {Metric::CaptionHeight, 19},
             {Metric::MenuHeight, 19}};
}

void World::Reset() {
  windows.clear();
  order.clear();
  links.clear();
  timers.clear();
  queue.clear();
  boxes.clear();
  answers.clear();
  modalHook = nullptr;
  opened.clear();
  drops.clear();
  pumpHook = nullptr;
  deviceContexts.clear();
  drawn.clear();
  quit = false;
  cursor = 0;
  DefaultMetrics();
}

}  // namespace ui::headless
