// The window system's backend in memory (see headless.h): windows, controls, lists, timers,
// modal loops, message boxes and painting, all kept in the headless World (world.h).
#include <strings.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/gui_link.h"
#include "ui/canvas.h"
#include "ui/dialog_template.h"
#include "ui/headless/world.h"
#include "ui/window.h"

namespace ui {

// ---- backend interface ----

using headless::WindowState;
using headless::world;

namespace {
WindowState* find(Handle h) { return world().Find(h); }
}  // namespace

int system_metric(Metric m) {
  auto& metrics = world().metrics;
  if (metrics.empty()) world().DefaultMetrics();
  return metrics[m];
}

Brush create_solid_brush(uint8_t r, uint8_t g, uint8_t b) {
  auto& w = world();
  Brush brush{++w.brushes};
  w.brushColours[brush.value] = headless::rgb(r, g, b);
  return brush;
}
void delete_brush(Brush& brush) {
  world().brushColours.erase(brush.value);
  brush.value = 0;
}
Pen create_solid_pen(int width, uint8_t r, uint8_t g, uint8_t b) {
  auto& w = world();
  Pen pen{++w.gdiObjects};
  w.pens[pen.value] = headless::PenState{width, headless::rgb(r, g, b)};
  return pen;
}
void delete_pen(Pen& pen) {
  world().pens.erase(pen.value);
  pen.value = 0;
}
uintptr_t get_client_dc(Handle h) {
  auto& w = world();
  if (find(h) == nullptr) return 0;
  uintptr_t dc = ++w.gdiObjects;
  w.deviceContexts[dc] = headless::DeviceContext{h, false};
  return dc;
}
void release_client_dc(Handle, uintptr_t dc) { world().deviceContexts.erase(dc); }
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
  WindowState* s = world().Control(dialog, id);
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
  if (shown && !s->className.empty()) world().Send(h, kWmPaint, 0, 0);
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
  for (auto& [ch, c] : world().windows) {
    if (c.parent == h && (c.isControl || (c.style & kWsChild))) {
      c.rect = Rect{c.rect.left + dx, c.rect.top + dy, c.rect.right + dx, c.rect.bottom + dy};
    }
  }
}
void invalidate(Handle h, bool) { world().Send(h, kWmPaint, 0, 0); }

void destroy_window(Handle h) {
  auto& w = world();
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
  auto& w = world();
  kill_timer(h, id);
  w.timers.push_back(headless::Timer{h, id, ms, w.clock + ms});
}

void kill_timer(Handle h, int id) {
  std::erase_if(world().timers,
                [h, id](const headless::Timer& t) { return t.window == h && t.id == id; });
}

void post_to(Handle h, uint32_t msg, uintptr_t wp, intptr_t lp) {
  Message m;
  m.message = msg;
  m.wParam = wp;
  m.lParam = lp;
  world().queue.push_back(headless::Posted{h, m});
}

intptr_t send_to(Handle h, uint32_t msg, uintptr_t wp, intptr_t lp) { return world().Send(h, msg, wp, lp); }

int run_modal_dialog(Dialog& dialog, const DialogTemplate& t, Window* owner) {
  auto& w = world();
  WindowState& s = world().MakeDialog(dialog, t, owner);
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

  world().Send(h, kWmInitDialog, 0, 0);
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
    if (world().Pump(0) > 0) continue;
    if (!w.timers.empty() && w.clock - started < kGiveUpMs) {
      uint64_t next = UINT64_MAX;
      for (const headless::Timer& tm : w.timers) next = std::min(next, tm.due);
      world().Advance(uint32_t(next > w.clock ? next - w.clock : 0));
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
  WindowState& s = world().MakeDialog(dialog, t, parent);
  Handle h = s.handle;
  s.visible = false;
  world().Send(h, kWmInitDialog, 0, 0);
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
  auto& w = world();
  WindowState& s = world().AddWindow(frame.parent() != nullptr ? frame.parent()->handle() : 0);
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
  world().Send(h, kWmCreate, 0, 0);
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
  auto& w = world();
  while (!w.quit) {
    if (world().Pump(50) > 0) continue;
    if (!w.timers.empty()) world().Advance(50);
  }
  return 0;
}

void request_quit(int) { world().quit = true; }

void pump_messages() {
  // A copy, so that the hook may replace itself.
  if (auto hook = world().pumpHook) hook();
  world().Pump(0);
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
  auto& drops = world().drops;
  auto it = drops.find(drop);
  return it != drops.end() ? int(it->second.size()) : 0;
}

size_t dropped_file(uintptr_t drop, int index, char* buf, size_t size) {
  if (size == 0) return 0;
  buf[0] = '\0';
  auto& drops = world().drops;
  auto it = drops.find(drop);
  if (it == drops.end() || index < 0 || index >= int(it->second.size())) return 0;
  const std::string& path = it->second[size_t(index)];
  if (path.size() >= size) return 0;
  return copy_text_out(path.data(), path.size(), buf, size);
}

void finish_drop(uintptr_t drop) { world().drops.erase(drop); }

void set_check(Handle button, int state) {
  if (headless::ControlState* c = list_of(button)) c->check = state;
}
int get_check(Handle button) {
  headless::ControlState* c = list_of(button);
  return c != nullptr ? c->check : 0;
}

// ---- message boxes, cursors ----

int message_box(Handle owner, const char* text, BoxKind kind) {
  auto& w = world();
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
void set_cursor(uintptr_t cursor) { world().cursor = cursor; }


// ---- painting: recorded with the window drawn on ----

using headless::DrawRecord;

void Canvas::DrawPicture(int x, int y, const Picture8& p) {
  world().Record(dc_, DrawRecord::Op::Picture, Rect{x, y, x + p.width, y + p.height});
}
void Canvas::DrawBits24(int x, int y, int width, int height, const uint8_t*) {
  world().Record(dc_, DrawRecord::Op::Bits24, Rect{x, y, x + width, y + height});
}
void Canvas::FillRect(const Rect& r, uint8_t red, uint8_t green, uint8_t blue) {
  if (DrawRecord* d = world().Record(dc_, DrawRecord::Op::FillRect, r)) d->colour = headless::rgb(red, green, blue);
}
void Canvas::FrameRect(const Rect& r, uint8_t red, uint8_t green, uint8_t blue) {
  if (DrawRecord* d = world().Record(dc_, DrawRecord::Op::FrameRect, r)) d->colour = headless::rgb(red, green, blue);
}
void Canvas::Rectangle(const Rect& r, const Pen& pen, const Brush& brush) {
  auto& w = world();
  DrawRecord* d = world().Record(dc_, DrawRecord::Op::Rectangle, r);
  if (d == nullptr) return;
  auto b = w.brushColours.find(brush.value);
  auto p = w.pens.find(pen.value);
  d->colour = b != w.brushColours.end() ? b->second : 0;
  d->penColour = p != w.pens.end() ? p->second.colour : 0;
  d->penWidth = p != w.pens.end() ? p->second.width : 0;
}

}  // namespace ui
