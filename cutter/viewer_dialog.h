// ViewerDialog: the player settings behind button 137: the player program (typed or chosen with
// the path chooser), its option text and whether it is used, and whether the preview is shown.
#pragma once
#include <cstdint>

#include "cutter/settings.h"
#include "resources/ids.h"
#include "ui/controls.h"
#include "ui/window.h"

// The four values the dialog edits, copies of those in Settings.
struct ViewerValues {
  char playerPath[kSettingsText] = {};
  char playerOptions[kSettingsText] = {};
  int32_t playerOptionsEnabled = 0;
  int32_t previewEnabled = 0;
};

ViewerValues viewer_values_of(const Settings& s);
void apply_viewer_values(const ViewerValues& v, Settings& s);

class ViewerDialog : public ui::Dialog {
 public:
  ViewerDialog(ui::Window* parent, const ViewerValues& values);
  // After OK: what was accepted.
  const ViewerValues& values() const { return values_; }

  void SetupWindow() override;

 private:
  UI_BEGIN_MESSAGE_TABLE(ViewerDialog, ui::Dialog)
    UI_COMMAND(res::kViewerBrowse, Browse)
    UI_COMMAND(res::kViewerOptionsEnabled, ToggleOptions)
    UI_COMMAND(ui::kIdOk, Accept)
    // ui::kIdCancel: the framework closes the dialog with cancel.
  UI_END_MESSAGE_TABLE()

  // Command handlers.
  void Browse();
  void ToggleOptions();
  void Accept();

  ViewerValues values_;
  ui::Edit playerPath_{this, res::kViewerPlayerPath};
  ui::Edit options_{this, res::kViewerOptions};
  ui::CheckBox optionsEnabled_{this, res::kViewerOptionsEnabled};
  ui::CheckBox previewEnabled_{this, res::kViewerPreviewEnabled};
};
