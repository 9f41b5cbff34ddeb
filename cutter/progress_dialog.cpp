// ProgressDialog: placement, caption and the cancel it stands for.
#include "cutter/progress_dialog.h"

#include "resources/ids.h"

ProgressDialog::ProgressDialog(ui::Window* parent, const char* title, JobState& job)
    : ui::Dialog(parent, res::kProgressDialog), title_(title), job_(job) {}

ui::Rect centred_on(const ui::Rect& parent, const ui::Rect& own) {
  const int left = parent.left + (parent.width() - own.width()) / 2;
  const int top = parent.top + (parent.height() - own.height()) / 2;
  return ui::Rect{left, top, left + own.width(), top + own.height()};
}

void ProgressDialog::SetupWindow() {
  SetText(title_);
  if (parent() == nullptr) return;
  const ui::Rect r = centred_on(parent()->GetWindowRect(), GetWindowRect());
  Move(r.left, r.top, r.width(), r.height(), false);
}

void ProgressDialog::CleanupWindow() { job_.cancelRequested = 1; }
