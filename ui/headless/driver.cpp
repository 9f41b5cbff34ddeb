// The test driver of the headless window system (see headless.h): finding windows, acting on
// controls as a person would, running virtual time and the message queue, scripting message
// boxes and reading what was recorded.
#include <algorithm>

#include "ui/headless/world.h"
#include "ui/window.h"

namespace ui::headless {

void reset() { world().Reset(); }

WindowState* find(Handle h) { return world().Find(h); }

WindowState* control(Handle dialog, int id) { return world().Control(dialog, id); }

Handle find_dialog(int templateId) {
  World& w = world();
  for (auto it = w.order.rbegin(); it != w.order.rend(); ++it) {
    WindowState* s = w.Find(*it);
    if (s != nullptr && !s->isControl && s->templateId == templateId && s->className.empty()) return *it;
  }
  return 0;
}

Handle find_frame(const char* className) {
  World& w = world();
  for (auto it = w.order.rbegin(); it != w.order.rend(); ++it) {
    WindowState* s = w.Find(*it);
    if (s != nullptr && s->className == className) return *it;
  }
  return 0;
}

intptr_t send(Handle h, uint32_t msg, uintptr_t wp, intptr_t lp) { return world().Send(h, msg, wp, lp); }

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

void advance(uint32_t ms) { world().Advance(ms); }

bool has_timer(Handle h, int id) {
  for (const Timer& t : world().timers) {
    if (t.window == h && t.id == id) return true;
  }
  return false;
}

int pump(int timeout_ms) { return world().Pump(timeout_ms); }

bool quit_requested() { return world().quit; }

void answer_next_box(int answer) { world().answers.push_back(answer); }

const std::vector<MessageBoxRecord>& message_boxes() { return world().boxes; }

void set_modal_hook(std::function<void(Dialog&)> hook) { world().modalHook = std::move(hook); }

const std::vector<DrawRecord>& drawn() { return world().drawn; }

void set_pump_hook(std::function<void()> hook) { world().pumpHook = std::move(hook); }

void set_metric(Metric m, int value) { world().metrics[m] = value; }

const std::vector<std::string>& shell_opened() { return world().opened; }

uintptr_t current_cursor() { return world().cursor; }

}  // namespace ui::headless
