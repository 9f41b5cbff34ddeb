// kerfcut's dialog templates and menus, which the program registers with the window framework
// (ui::register_templates) before its first window.
#pragma once
#include <span>

#include "ui/dialog_template.h"

namespace res {

std::span<const ui::DialogTemplate> dialog_templates();
std::span<const ui::MenuTemplate> menu_templates();

}  // namespace res
