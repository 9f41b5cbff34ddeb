// ViewerDialog: set-up from the values, the check box that enables the option text, the player
// chosen with the path chooser, and the accept that insists on an existing player.
#include "cutter/viewer_dialog.h"

#include <cstdio>

#include "common/path.h"
#include "cutter/file_select_dialog.h"

namespace {

constexpr size_t kFieldMax = 258;  // characters read from each edit

}  // namespace

ViewerValues viewer_values_of(const Settings& s) {
  ViewerValues v;
  std::snprintf(v.playerPath, sizeof v.playerPath, "%s", s.playerPath);
  std::snprintf(v.playerOptions, sizeof v.playerOptions, "%s", s.playerOptions);
  v.playerOptionsEnabled = s.playerOptionsEnabled;
  v.previewEnabled = s.previewEnabled;
  return v;
}

void apply_viewer_values(const ViewerValues& v, Settings& s) {
  std::snprintf(s.playerPath, sizeof s.playerPath, "%s", v.playerPath);
  std::snprintf(s.playerOptions, sizeof s.playerOptions, "%s", v.playerOptions);
  s.playerOptionsEnabled = v.playerOptionsEnabled;
  s.previewEnabled = v.previewEnabled;
}

ViewerDialog::ViewerDialog(ui::Window* parent, const ViewerValues& values)
    : ui::Dialog(parent, res::kViewerDialog), values_(values) {}

void ViewerDialog::SetupWindow() {
  playerPath_.SetText(values_.playerPath);
  optionsEnabled_.SetCheck(values_.playerOptionsEnabled == 1 ? 1 : 0);
  options_.Enable(values_.playerOptionsEnabled == 1);
  options_.SetText(values_.playerOptions);
  previewEnabled_.SetCheck(values_.previewEnabled == 1 ? 1 : 0);
}

void ViewerDialog::ToggleOptions() { options_.Enable(optionsEnabled_.GetCheck() == 1); }

void ViewerDialog::Browse() {
  FileSelectDialog chooser(this);
  chooser.SetCaption("TS再生プログラム選択");
  chooser.SetMode(ChooserMode::PlayerProgram);
  chooser.SetPatterns(kProgramPatterns);
  // The chooser starts from the stored player, not from what may have been typed since.
  chooser.SetFilePath(values_.playerPath);
  if (chooser.Execute() != ui::kIdOk) return;
  std::snprintf(values_.playerPath, sizeof values_.playerPath, "%s", chooser.filePath());
  playerPath_.SetText(values_.playerPath);
}

void ViewerDialog::Accept() {
  playerPath_.GetText(values_.playerPath, kFieldMax + 1);
  options_.GetText(values_.playerOptions, kFieldMax + 1);
  if (path_exists(values_.playerPath) == 0) {
    ui::message_box(handle(), "指定したTS再生プログラムは存在しません.", ui::BoxKind::Error);
    return;
  }
  values_.playerOptionsEnabled = optionsEnabled_.GetCheck() == 1 ? 1 : 0;
  values_.previewEnabled = previewEnabled_.GetCheck() == 1 ? 1 : 0;
  EndDialog(ui::kIdOk);
}
