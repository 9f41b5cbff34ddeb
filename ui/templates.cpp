// The dialog templates and menus the program registered, looked up by id.
#include "ui/dialog_template.h"

namespace ui {

namespace {
std::span<const DialogTemplate> g_dialogs;
std::span<const MenuTemplate> g_menus;
}  // namespace

void register_templates(std::span<const DialogTemplate> dialogs, std::span<const MenuTemplate> menus) {
  g_dialogs = dialogs;
  g_menus = menus;
}

const DialogTemplate* dialog_template(int id) {
  for (const DialogTemplate& t : g_dialogs) {
    if (t.id == id) return &t;
  }
  return nullptr;
}

const MenuTemplate* menu_template(int id) {
  for (const MenuTemplate& m : g_menus) {
    if (m.id == id) return &m;
  }
  return nullptr;
}

}  // namespace ui
