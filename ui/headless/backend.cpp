// In-memory implementation of the window system (see headless.h).
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <memory>

#include "platform/gui_link.h"
#include "platform/shell.h"
#include "ui/canvas.h"
#include "ui/dialog_template.h"
#include "ui/headless/headless.h"
#include "ui/window.h"

namespace ui {
namespace headless {
namespace {

// Dialog base units of the 12-point Gothic face the templates ask for (8 x 16 pixels).
constexpr int kBaseX = 8;
constexpr int kBaseY = 16;
constexpr int kDialogFrame = 3;  // border of a popup dialog, each side

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

struct World {
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
};

void record_opened(uintptr_t, const char* path);

// The headless world opens no documents: the desktop's opening is replaced by a record.
World& world() {
  static World w;
  static const bool recording = (set_shell_open_handler(record_opened), true);
  (void)recording;
  return w;
}

void record_opened(uintptr_t, const char* path) { world().opened.emplace_back(path); }

void default_metrics(World& w) {
  w.metrics = {{Metric::ScreenWidth, 1280}, {Metric::ScreenHeight, 1024},
               {Metric::FrameWidth, 4},     {Metric::FrameHeight, 4},
               {Metric::FullScreenHeight, 975}, {Metric::CaptionHeight, 19},
               {Metric::MenuHeight, 19}};
}

// Handles are 32-bit numbers unique among the processes of the machine, because a frame's handle
// names its GUI link socket: the process id in the high bits, a counter in the low eight.
Handle new_handle() {
  World& w = world();
  for (;;) {
    Handle h = (Handle(uint32_t(getpid())) << 8 | (w.counter++ & 0xFF)) & 0xFFFFFFFFu;
    if (h != 0 && h != kBroadcastHandle && w.windows.count(h) == 0) return h;
  }
}

WindowState& add_window(Handle parent) {
  World& w = world();
  Handle h = new_handle();
  WindowState& s = w.windows[h];
  s.handle = h;
  s.parent = parent;
  w.order.push_back(h);
  return s;
}

intptr_t deliver(Handle h, Message m) {
  WindowState* s = find(h);
  if (s == nullptr || s->object == nullptr) return 0;
  Window* obj = s->object;
  if (obj->Dispatch(m)) return m.result;
  if (m.message == kWmPaint) {
    s->paintCount++;
    World& w = world();
    uintptr_t dc = ++w.gdiObjects;
    w.deviceContexts[dc] = DeviceContext{h, true};
    Canvas canvas(dc);
    obj->Paint(canvas);
    w.deviceContexts.erase(dc);
  }
  return 0;
}

uint32_t rgb(uint8_t r, uint8_t g, uint8_t b) { return uint32_t(r) << 16 | uint32_t(g) << 8 | b; }

// Records an operation on a device context that belongs to a live window; false otherwise.
DrawRecord* record(uintptr_t dc, DrawRecord::Op op, const Rect& r) {
  World& w = world();
  auto it = w.deviceContexts.find(dc);
  if (it == w.deviceContexts.end() || find(it->second.window) == nullptr) return nullptr;
  DrawRecord d;
  d.op = op;
  d.window = it->second.window;
  d.inPaint = it->second.paint;
  d.rect = r;
  w.drawn.push_back(d);
  return &w.drawn.back();
}

int px_x(int units) { return (units * kBaseX + 2) / 4; }
int px_y(int units) { return (units * kBaseY + 4) / 8; }

void create_controls(WindowState& dialog, const DialogTemplate& t) {
  for (size_t i = 0; i < t.controlCount; ++i) {
    const ControlTemplate& c = t.controls[i];
    Handle dh = dialog.handle;
    WindowState& s = add_window(dh);
    s.isControl = true;
    s.style = c.style;
    s.visible = (c.style & kWsVisible) != 0;
    s.enabled = (c.style & kWsDisabled) == 0;
    s.text = c.text != nullptr ? c.text : "";
    s.control.id = c.id;
    s.control.kind = c.kind;
    s.control.units = Rect{c.x, c.y, c.x + c.cx, c.y + c.cy};
    WindowState* d = find(dh);
    s.rect = Rect{d->rect.left + px_x(c.x), d->rect.top + px_y(c.y), d->rect.left + px_x(c.x + c.cx),
                  d->rect.top + px_y(c.y + c.cy)};
  }
}

WindowState& make_dialog(Dialog& dialog, const DialogTemplate& t, Window* parent) {
  Handle ph = parent != nullptr ? parent->handle() : 0;
  WindowState& s = add_window(ph);
  Handle h = s.handle;
  s.object = &dialog;
  s.templateId = t.id;
  s.style = t.style;
  s.text = t.caption != nullptr ? t.caption : "";
  int w = px_x(t.cx), ht = px_y(t.cy);
  Rect origin;
  if (WindowState* p = find(ph)) origin = p->rect;
  if (t.style & kWsChild) {
    // A child dialog fills its parent's client area from the top left, without a caption.
    s.rect = Rect{origin.left, origin.top, origin.left + w, origin.top + ht};
  } else {
    int caption = (t.style & kWsCaption) == kWsCaption ? system_metric(Metric::CaptionHeight) : 0;
    int left = origin.left + px_x(t.x), top = origin.top + px_y(t.y);
    s.rect = Rect{left, top, left + w + 2 * kDialogFrame, top + ht + 2 * kDialogFrame + caption};
  }
  dialog.Attach(h);
  create_controls(*find(h), t);
  return *find(h);
}

void fire_due_timers() {
  World& w = world();
  for (;;) {
    auto it = std::min_element(w.timers.begin(), w.timers.end(),
                               [](const Timer& a, const Timer& b) { return a.due < b.due; });
    if (it == w.timers.end() || it->due > w.clock) return;
    Timer t = *it;
    it->due += std::max<uint32_t>(t.period, 1);
    Message m;
    m.message = kWmTimer;
    m.wParam = uintptr_t(t.id);
    deliver(t.window, m);
  }
}

}  // namespace

// ---- test interface ----

void reset() {
  World& w = world();
  w.windows.clear();
  w.order.clear();
  w.links.clear();
  w.timers.clear();
  w.queue.clear();
  w.boxes.clear();
  w.answers.clear();
  w.modalHook = nullptr;
  w.opened.clear();
  w.drops.clear();
  w.pumpHook = nullptr;
  w.deviceContexts.clear();
  w.drawn.clear();
  w.quit = false;
  w.cursor = 0;
  default_metrics(w);
}

WindowState* find(Handle h) {
  auto& ws = world().windows;
  auto it = ws.find(h);
  return it == ws.end() ? nullptr : &it->second;
}

WindowState* control(Handle dialog, int id) {
  for (auto& [h, s] : world().windows) {
    if (s.isControl && s.parent == dialog && s.control.id == id) return &s;
  }
  return nullptr;
}

Handle find_dialog(int templateId) {
  World& w = world();
  for (auto it = w.order.rbegin(); it != w.order.rend(); ++it) {
    WindowState* s = find(*it);
    if (s != nullptr && !s->isControl && s->templateId == templateId && s->className.empty()) return *it;
  }
  return 0;
}

Handle find_frame(const char* className) {
  World& w = world();
  for (auto it = w.order.rbegin(); it != w.order.rend(); ++it) {
    WindowState* s = find(*it);
    if (s != nullptr && s->className == className) return *it;
  }
  return 0;
}

intptr_t send(Handle h, uint32_t msg, uintptr_t wp, intptr_t lp) {
  Message m;
  m.message = msg;
  m.wParam = wp;
  m.lParam = lp;
  return deliver(h, m);
}

void type_text(Handle dialog, int id, const char* text) {
  if (WindowState* c = control(dialog, id)) c->text = text;
}

namespace {

// What the window system does to an automatic check box or radio button before its parent hears
// of the click: the check box toggles; the radio button becomes the one checked button of its
// group, which runs from the nearest control at or before it with WS_GROUP to the next one after.
void press_automatic(Handle dialog, WindowState& c) {
  const uint32_t type = c.style & kBsTypeMask;
  if (c.control.kind == ControlKind::CheckBox && type == kBsAutoCheckBox) {
    c.control.check = c.control.check == 0 ? 1 : 0;
    return;
  }
  if (c.control.kind != ControlKind::RadioButton || type != kBsAutoRadioButton) return;
  std::vector<WindowState*> siblings;
  for (Handle h : world().order) {
    WindowState* s = find(h);
    if (s != nullptr && s->isControl && s->parent == dialog) siblings.push_back(s);
  }
  const size_t at = size_t(std::find(siblings.begin(), siblings.end(), &c) - siblings.begin());
  size_t first = at;
  while (first > 0 && (siblings[first]->style & kWsGroup) == 0) --first;
  size_t end = at + 1;
  while (end < siblings.size() && (siblings[end]->style & kWsGroup) == 0) ++end;
  for (size_t i = first; i < end; ++i) {
    if (siblings[i]->control.kind == ControlKind::RadioButton) siblings[i]->control.check = 0;
  }
  c.control.check = 1;
}

}  // namespace

void click(Handle dialog, int id) {
  WindowState* c = control(dialog, id);
  if (c == nullptr || !c->enabled) return;  // a disabled button cannot be clicked
  press_automatic(dialog, *c);
  send(dialog, kWmCommand, make_command(id, kBnClicked), intptr_t(c->handle));
}

void choose(Handle dialog, int id, int index) {
  WindowState* c = control(dialog, id);
  if (c == nullptr || !c->enabled) return;
  list_select(c->handle, index);
  send(dialog, kWmCommand, make_command(id, kCbnSelChange), intptr_t(c->handle));
}

void scroll(Handle dialog, int id, int code, int pos) {
  WindowState* c = control(dialog, id);
  if (c == nullptr || !c->enabled) return;
  send(dialog, kWmHScroll, (uintptr_t(uint32_t(pos) & 0xFFFF) << 16) | uint32_t(code),
       intptr_t(c->handle));
}

void menu_command(Handle frame, int id) { send(frame, kWmCommand, make_command(id, 0), 0); }

void close_window(Handle h) { send(h, kWmClose, 0, 0); }

bool drop_files(Handle h, const std::vector<std::string>& paths) {
  World& w = world();
  WindowState* s = find(h);
  while (s != nullptr && !s->acceptsFiles) s = find(s->parent);
  if (s == nullptr) return false;
  uintptr_t drop = ++w.dropCounter;
  w.drops[drop] = paths;
  send(s->handle, kWmDropFiles, drop, 0);
  return true;
}

int open_drops() { return int(world().drops.size()); }

uint64_t now_ms() { return world().clock; }

void advance(uint32_t ms) {
  World& w = world();
  uint64_t end = w.clock + ms;
  for (;;) {
    uint64_t next = end;
    for (const Timer& t : w.timers) next = std::min(next, t.due);
    w.clock = std::max(w.clock, next);
    fire_due_timers();
    if (next >= end) break;
  }
  w.clock = end;
}

bool has_timer(Handle h, int id) {
  for (const Timer& t : world().timers) {
    if (t.window == h && t.id == id) return true;
  }
  return false;
}

int pump(int timeout_ms) {
  World& w = world();
  int delivered = 0;
  while (!w.queue.empty()) {
    Posted p = w.queue.front();
    w.queue.pop_front();
    deliver(p.window, p.m);
    ++delivered;
  }
  // Registered messages from other processes: one datagram each, to the frame named by its socket.
  int wait = delivered > 0 ? 0 : timeout_ms;
  std::vector<Handle> frames;
  for (auto& [h, l] : w.links) frames.push_back(h);
  for (Handle h : frames) {
    auto it = w.links.find(h);
    if (it == w.links.end()) continue;
    uint32_t msg, wp, lp;
    while (it != w.links.end() && it->second->Receive(msg, wp, lp, wait)) {
      wait = 0;
      send(h, msg, wp, intptr_t(int32_t(lp)));
      ++delivered;
      it = w.links.find(h);
    }
  }
  return delivered;
}

bool quit_requested() { return world().quit; }

void answer_next_box(int answer) { world().answers.push_back(answer); }

const std::vector<MessageBoxRecord>& message_boxes() { return world().boxes; }

void set_modal_hook(std::function<void(Dialog&)> hook) { world().modalHook = std::move(hook); }

const std::vector<DrawRecord>& drawn() { return world().drawn; }

void set_pump_hook(std::function<void()> hook) { world().pumpHook = std::move(hook); }

void set_metric(Metric m, int value) { world().metrics[m] = value; }

const std::vector<std::string>& shell_opened() { return world().opened; }

uintptr_t current_cursor() { return world().cursor; }

}  // namespace headless

// ---- backend interface ----

using headless::find;
using headless::WindowState;

int system_metric(Metric m) {
  auto& metrics = headless::world().metrics;
  if (metrics.empty()) headless::default_metrics(headless::world());
  return metrics[m];
}

Brush create_solid_brush(uint8_t r, uint8_t g, uint8_t b) {
  auto& w = headless::world();
  Brush brush{++w.brushes};
  w.brushColours[brush.value] = headless::rgb(r, g, b);
  return brush;
}
void delete_brush(Brush& brush) {
  headless::world().brushColours.erase(brush.value);
  brush.value = 0;
}
Pen create_solid_pen(int width, uint8_t r, uint8_t g, uint8_t b) {
  auto& w = headless::world();
  Pen pen{++w.gdiObjects};
  w.pens[pen.value] = headless::PenState{width, headless::rgb(r, g, b)};
  return pen;
}
void delete_pen(Pen& pen) {
  headless::world().pens.erase(pen.value);
  pen.value = 0;
}
uintptr_t get_client_dc(Handle h) {
  auto& w = headless::world();
  if (find(h) == nullptr) return 0;
  uintptr_t dc = ++w.gdiObjects;
  w.deviceContexts[dc] = headless::DeviceContext{h, false};
  return dc;
}
void release_client_dc(Handle, uintptr_t dc) { headless::world().deviceContexts.erase(dc); }
void prepare_control_colours(uintptr_t, uint8_t, uint8_t) {}

Window* window_of(Handle h) {
  WindowState* s = find(h);
  return s != nullptr ? s->object : nullptr;
}

int control_id_of(Handle h) {
  WindowState* s = find(h);
  return s != nullptr && s->isControl ? s->control.id : 0;
}

Handle dialog_item(Handle dialog, int id) {
  WindowState* s = headless::control(dialog, id);
  return s != nullptr ? s->handle : 0;
}

void set_text(Handle h, const char* text) {
  if (WindowState* s = find(h)) s->text = text != nullptr ? text : "";
}

size_t get_text(Handle h, char* buf, size_t size) {
  WindowState* s = find(h);
  if (s == nullptr) return copy_text_out("", 0, buf, size);
  return copy_text_out(s->text.data(), s->text.size(), buf, size);
}

void enable_window(Handle h, bool enable) {
  if (WindowState* s = find(h)) s->enabled = enable;
}
bool is_enabled(Handle h) {
  WindowState* s = find(h);
  return s != nullptr && s->enabled;
}
void show_window(Handle h, bool visible) {
  WindowState* s = find(h);
  if (s == nullptr) return;
  const bool shown = visible && !s->visible;
  s->visible = visible;
  // A frame that appears is painted, as the window system asks every window that becomes visible.
  if (shown && !s->className.empty()) headless::send(h, kWmPaint, 0, 0);
}
bool is_visible(Handle h) {
  WindowState* s = find(h);
  return s != nullptr && s->visible;
}
Rect window_rect(Handle h) {
  WindowState* s = find(h);
  return s != nullptr ? s->rect : Rect{};
}
Rect client_rect(Handle h) {
  WindowState* s = find(h);
  if (s == nullptr) return Rect{};
  if (!s->className.empty()) {
    int fx = system_metric(Metric::FrameWidth), fy = system_metric(Metric::FrameHeight);
    int top = system_metric(Metric::CaptionHeight) + (s->menuId != 0 ? system_metric(Metric::MenuHeight) : 0);
    return Rect{0, 0, s->rect.width() - 2 * fx, s->rect.height() - 2 * fy - top};
  }
  return Rect{0, 0, s->rect.width(), s->rect.height()};
}
void move_window(Handle h, int x, int y, int width, int height, bool) {
  WindowState* s = find(h);
  if (s == nullptr) return;
  int dx = x - s->rect.left, dy = y - s->rect.top;
  s->rect = Rect{x, y, x + width, y + height};
  // Children move with their parent, as they do on the screen.
  for (auto& [ch, c] : headless::world().windows) {
    if (c.parent == h && (c.isControl || (c.style & kWsChild))) {
      c.rect = Rect{c.rect.left + dx, c.rect.top + dy, c.rect.right + dx, c.rect.bottom + dy};
    }
  }
}
void invalidate(Handle h, bool) { headless::send(h, kWmPaint, 0, 0); }

void destroy_window(Handle h) {
  auto& w = headless::world();
  WindowState* s = find(h);
  if (s == nullptr) return;
  Window* obj = s->object;
  if (obj != nullptr) {
    Message m;
    m.message = kWmDestroy;
    obj->Dispatch(m);
  }
  std::vector<Handle> children;
  for (auto& [ch, c] : w.windows) {
    if (c.parent == h) children.push_back(ch);
  }
  // Controls, child windows and owned windows all go with their parent or owner.
  for (Handle ch : children) destroy_window(ch);
  std::erase_if(w.timers, [h](const headless::Timer& t) { return t.window == h; });
  w.links.erase(h);
  if (obj != nullptr) obj->Detach();
  w.windows.erase(h);
}

Rect map_dialog_rect(Handle, const Rect& u) {
  return Rect{headless::px_x(u.left), headless::px_y(u.top), headless::px_x(u.right),
              headless::px_y(u.bottom)};
}

uint32_t window_style(Handle h) {
  WindowState* s = find(h);
  return s != nullptr ? s->style : 0;
}

void set_timer(Handle h, int id, uint32_t ms) {
  auto& w = headless::world();
  kill_timer(h, id);
  w.timers.push_back(headless::Timer{h, id, ms, w.clock + ms});
}

void kill_timer(Handle h, int id) {
  std::erase_if(headless::world().timers,
                [h, id](const headless::Timer& t) { return t.window == h && t.id == id; });
}

void post_to(Handle h, uint32_t msg, uintptr_t wp, intptr_t lp) {
  Message m;
  m.message = msg;
  m.wParam = wp;
  m.lParam = lp;
  headless::world().queue.push_back(headless::Posted{h, m});
}

intptr_t send_to(Handle h, uint32_t msg, uintptr_t wp, intptr_t lp) { return headless::send(h, msg, wp, lp); }

int run_modal_dialog(Dialog& dialog, const DialogTemplate& t, Window* owner) {
  auto& w = headless::world();
  WindowState& s = headless::make_dialog(dialog, t, owner);
  Handle h = s.handle;
  s.modal = true;
  // The owner's top-level window is disabled while the dialog runs.
  Handle top = owner != nullptr ? owner->handle() : 0;
  while (WindowState* p = find(top)) {
    if (p->parent == 0 || !(p->style & kWsChild)) break;
    top = p->parent;
  }
  bool ownerWasEnabled = is_enabled(top);
  if (top != 0) enable_window(top, false);

  headless::send(h, kWmInitDialog, 0, 0);
  if (WindowState* d = find(h)) d->visible = true;
  bool hooked = false;
  // A dialog that nothing ends within ten minutes of virtual time (only periodic timers of other
  // windows keep ticking) is given up, so a test cannot hang in it.
  constexpr uint64_t kGiveUpMs = 600000;
  uint64_t started = w.clock;
  for (;;) {
    WindowState* d = find(h);
    if (d == nullptr || d->ended) break;
    if (!hooked && w.modalHook) {
      hooked = true;
      w.modalHook(dialog);
      continue;
    }
    if (headless::pump(0) > 0) continue;
    if (!w.timers.empty() && w.clock - started < kGiveUpMs) {
      uint64_t next = UINT64_MAX;
      for (const headless::Timer& tm : w.timers) next = std::min(next, tm.due);
      headless::advance(uint32_t(next > w.clock ? next - w.clock : 0));
      continue;
    }
    // Nothing left that could end the dialog: give up as if it were cancelled.
    d->ended = true;
    d->endCode = kIdCancel;
  }
  int code = kIdCancel;
  if (WindowState* d = find(h)) {
    code = d->endCode;
    destroy_window(h);
  }
  if (top != 0) enable_window(top, ownerWasEnabled);
  return code;
}

bool create_modeless_dialog(Dialog& dialog, const DialogTemplate& t, Window* parent) {
  WindowState& s = headless::make_dialog(dialog, t, parent);
  Handle h = s.handle;
  s.visible = false;
  headless::send(h, kWmInitDialog, 0, 0);
  if (WindowState* d = find(h)) d->visible = (t.style & kWsVisible) != 0;
  return find(h) != nullptr;
}

void end_modal_dialog(Dialog& dialog, int code) {
  if (WindowState* s = find(dialog.handle())) {
    s->ended = true;
    s->endCode = code;
  }
}

bool create_frame_window(FrameWindow& frame, int x, int y, int width, int height, uint32_t style, int menuId,
                         int iconId) {
  auto& w = headless::world();
  WindowState& s = headless::add_window(frame.parent() != nullptr ? frame.parent()->handle() : 0);
  Handle h = s.handle;
  s.object = &frame;
  s.className = frame.className();
  s.classStyle = frame.classStyle();
  s.text = frame.title();
  s.style = style;
  s.menuId = menuId;
  s.iconId = iconId;
  // Without a size: just the frame around an empty client area.
  if (width <= 0) width = 2 * system_metric(Metric::FrameWidth);
  if (height <= 0) {
    height = 2 * system_metric(Metric::FrameHeight) + system_metric(Metric::CaptionHeight) +
             (menuId != 0 ? system_metric(Metric::MenuHeight) : 0);
  }
  s.rect = Rect{x, y, x + width, y + height};
  frame.Attach(h);
  auto link = std::make_unique<GuiLinkListener>(uint32_t(h));
  if (link->ok()) w.links[h] = std::move(link);
  headless::send(h, kWmCreate, 0, 0);
  frame.SetupWindow();
  return find(h) != nullptr;
}

void fit_frame_to_client(Handle frame, int clientWidth, int clientHeight) {
  WindowState* s = find(frame);
  if (s == nullptr) return;
  Rect c = client_rect(frame);
  move_window(frame, s->rect.left, s->rect.top, s->rect.width() - c.width() + clientWidth,
              s->rect.height() - c.height() + clientHeight, true);
}

int run_message_loop() {
  auto& w = headless::world();
  while (!w.quit) {
    if (headless::pump(50) > 0) continue;
    if (!w.timers.empty()) headless::advance(50);
  }
  return 0;
}

void request_quit(int) { headless::world().quit = true; }

void pump_messages() {
  // A copy, so that the hook may replace itself.
  if (auto hook = headless::world().pumpHook) hook();
  headless::pump(0);
}

// ---- lists ----

namespace {
headless::ControlState* list_of(Handle h) {
  WindowState* s = find(h);
  return s != nullptr && s->isControl ? &s->control : nullptr;
}
}  // namespace

int list_add(Handle list, const char* text) {
  headless::ControlState* c = list_of(list);
  if (c == nullptr) return -1;
  size_t at = c->items.size();
  if (c->kind == ControlKind::ListBox && (find(list)->style & kLbsSort) != 0) {
    // A sorted list box places the entry after every entry that does not sort after it, comparing
    // without regard to the case of ASCII letters.
    auto later = [text](const std::string& item) { return strcasecmp(item.c_str(), text) > 0; };
    at = size_t(std::find_if(c->items.begin(), c->items.end(), later) - c->items.begin());
  }
  c->items.insert(c->items.begin() + std::ptrdiff_t(at), text);
  if (c->selection >= int(at)) ++c->selection;
  return int(at);
}
void list_clear(Handle list) {
  if (headless::ControlState* c = list_of(list)) {
    c->items.clear();
    c->selection = -1;
  }
}
void list_set_horizontal_extent(Handle list, int pixels) {
  if (headless::ControlState* c = list_of(list)) c->horizontalExtent = pixels;
}
int list_count(Handle list) {
  headless::ControlState* c = list_of(list);
  return c != nullptr ? int(c->items.size()) : 0;
}
void list_select(Handle list, int index) {
  headless::ControlState* c = list_of(list);
  if (c == nullptr) return;
  // As CB_SETCURSEL: an index outside the list clears the selection.
  c->selection = index >= 0 && index < int(c->items.size()) ? index : -1;
}
int list_selection(Handle list) {
  headless::ControlState* c = list_of(list);
  return c != nullptr ? c->selection : -1;
}
size_t list_text(Handle list, int index, char* buf, size_t size) {
  headless::ControlState* c = list_of(list);
  if (size == 0) return 0;
  buf[0] = '\0';
  if (c == nullptr || index < 0 || index >= int(c->items.size())) return 0;
  const std::string& item = c->items[size_t(index)];
  return copy_text_out(item.data(), item.size(), buf, size);
}

// ---- scroll bars and buttons ----

void scroll_set_range(Handle bar, int min, int max) {
  if (headless::ControlState* c = list_of(bar)) {
    c->scrollMin = min;
    c->scrollMax = max;
    c->scrollPos = std::clamp(c->scrollPos, min, std::max(min, max));
  }
}
void scroll_get_range(Handle bar, int& min, int& max) {
  headless::ControlState* c = list_of(bar);
  min = c != nullptr ? c->scrollMin : 0;
  max = c != nullptr ? c->scrollMax : 0;
}
void scroll_set_position(Handle bar, int pos) {
  if (headless::ControlState* c = list_of(bar)) {
    c->scrollPos = std::clamp(pos, c->scrollMin, std::max(c->scrollMin, c->scrollMax));
  }
}
int scroll_position(Handle bar) {
  headless::ControlState* c = list_of(bar);
  return c != nullptr ? c->scrollPos : 0;
}
void accept_files(Handle h, bool accept) {
  if (WindowState* s = find(h)) s->acceptsFiles = accept;
}

int dropped_file_count(uintptr_t drop) {
  auto& drops = headless::world().drops;
  auto it = drops.find(drop);
  return it != drops.end() ? int(it->second.size()) : 0;
}

size_t dropped_file(uintptr_t drop, int index, char* buf, size_t size) {
  if (size == 0) return 0;
  buf[0] = '\0';
  auto& drops = headless::world().drops;
  auto it = drops.find(drop);
  if (it == drops.end() || index < 0 || index >= int(it->second.size())) return 0;
  const std::string& path = it->second[size_t(index)];
  if (path.size() >= size) return 0;
  return copy_text_out(path.data(), path.size(), buf, size);
}

void finish_drop(uintptr_t drop) { headless::world().drops.erase(drop); }

void set_check(Handle button, int state) {
  if (headless::ControlState* c = list_of(button)) c->check = state;
}
int get_check(Handle button) {
  headless::ControlState* c = list_of(button);
  return c != nullptr ? c->check : 0;
}

// ---- message boxes, cursors ----

int message_box(Handle owner, const char* text, BoxKind kind) {
  auto& w = headless::world();
  headless::MessageBoxRecord r;
  r.owner = owner;
  r.text = text;
  r.kind = kind;
  r.caption = kind == BoxKind::Error ? "エラー" : kind == BoxKind::Question ? "確認" : "情報";
  if (!w.answers.empty()) {
    r.answer = w.answers.front();
    w.answers.pop_front();
    r.scripted = true;
  } else {
    r.answer = kind == BoxKind::Question ? kIdNo : kIdOk;
  }
  w.boxes.push_back(r);
  return r.answer;
}

uintptr_t load_cursor(CursorKind kind) { return kind == CursorKind::Arrow ? 1 : 2; }
void set_cursor(uintptr_t cursor) { headless::world().cursor = cursor; }


// ---- painting: recorded with the window drawn on ----

using headless::DrawRecord;

void Canvas::DrawPicture(int x, int y, const Picture8& p) {
  headless::record(dc_, DrawRecord::Op::Picture, Rect{x, y, x + p.width, y + p.height});
}
void Canvas::DrawBits24(int x, int y, int width, int height, const uint8_t*) {
  headless::record(dc_, DrawRecord::Op::Bits24, Rect{x, y, x + width, y + height});
}
void Canvas::FillRect(const Rect& r, uint8_t red, uint8_t green, uint8_t blue) {
  if (DrawRecord* d = headless::record(dc_, DrawRecord::Op::FillRect, r)) d->colour = headless::rgb(red, green, blue);
}
void Canvas::FrameRect(const Rect& r, uint8_t red, uint8_t green, uint8_t blue) {
  if (DrawRecord* d = headless::record(dc_, DrawRecord::Op::FrameRect, r)) d->colour = headless::rgb(red, green, blue);
}
void Canvas::Rectangle(const Rect& r, const Pen& pen, const Brush& brush) {
  auto& w = headless::world();
  DrawRecord* d = headless::record(dc_, DrawRecord::Op::Rectangle, r);
  if (d == nullptr) return;
  auto b = w.brushColours.find(brush.value);
  auto p = w.pens.find(pen.value);
  d->colour = b != w.brushColours.end() ? b->second : 0;
  d->penColour = p != w.pens.end() ? p->second.colour : 0;
  d->penWidth = p != w.pens.end() ? p->second.width : 0;
}

}  // namespace ui
