// Menus as data, built by the window system's backend at run time.
#pragma once
#include <cstddef>

namespace res {

enum class MenuRow { Popup, EndPopup, Item, Separator };

struct MenuEntry {
  MenuRow row;
  int id;
  const char* text;  // Shift-JIS
};

struct MenuTemplate {
  int id;
  const MenuEntry* entries;
  size_t count;
};

// The menu with that id, nullptr when unknown.
const MenuTemplate* menu_template(int id);

}  // namespace res
