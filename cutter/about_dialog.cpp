// AboutDialog: product line and placement.
#include "cutter/about_dialog.h"

#include "resources/ids.h"

AboutDialog::AboutDialog(ui::Window* parent) : ui::Dialog(parent, res::kAboutDialog) {}

ui::Rect about_placement(const ui::Rect& parent, const ui::Rect& own, int captionHeight, int menuHeight,
                         int screenWidth, int screenHeight) {
  int dx = (parent.width() - own.width()) / 2;
  if (dx < 0) dx = 0;
  int dy = captionHeight + (parent.height() - own.height()) / 3 + menuHeight;
  if (dy < 0) dy = 0;
  int left = parent.left + dx;
  int top = parent.top + dy;
  if (left + own.width() > screenWidth) left -= left + own.width() - screenWidth;
  if (top + own.height() > screenHeight) top -= top + own.height() - screenHeight;
  return ui::Rect{left, top, left + own.width(), top + own.height()};
}

void AboutDialog::SetupWindow() {
  SetItemText(res::kProductLine, "KerfCut Ver 1.20  (KerfWorks)");
  if (parent() == nullptr) return;
  ui::Rect r = about_placement(parent()->GetWindowRect(), GetWindowRect(),
                               ui::system_metric(ui::Metric::CaptionHeight),
                               ui::system_metric(ui::Metric::MenuHeight),
                               ui::system_metric(ui::Metric::ScreenWidth),
                               ui::system_metric(ui::Metric::ScreenHeight));
  Move(r.left, r.top, r.width(), r.height(), false);
}
