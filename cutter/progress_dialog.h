// ProgressDialog: the window a tool run shows while the cutter waits for it; closing it cancels.
#pragma once
#include "cutter/job_state.h"
#include "ui/window.h"

class ProgressDialog : public ui::Dialog {
 public:
  // title replaces the template's caption before the window is first shown.
  ProgressDialog(ui::Window* parent, const char* title, JobState& job);

  // Centres the window on its parent, keeping its size.
  void SetupWindow() override;
  // However the window goes, the run it shows is taken as cancelled.
  void CleanupWindow() override;

 private:
  const char* title_;
  JobState& job_;
};

// Where a window of size own goes to be centred on parent (screen coordinates), each half
// truncated toward zero.
ui::Rect centred_on(const ui::Rect& parent, const ui::Rect& own);
