// MyDialog's play clips: kerfdmx cuts the range into one clip per programme of DEMUX.txt, then the
// external player is started, shown and never waited for, on the selected programme's clip.
#include <cstdio>

#include "cutter/clip_file.h"
#include "cutter/main_dialog.h"
#include "cutter/tool_run.h"
#include "demux/work_files.h"
#include "platform/process.h"

namespace {

// Clips up to this length are made without a progress window (and cannot be cancelled).
constexpr int32_t kQuietPlaySeconds = 30;

}  // namespace

void MyDialog::PlayClip(int32_t from, int32_t to) {
  JobState& job = state_.job;
  if (Busy()) return;
  job.jobRunning = 1;
  const Settings& s = state_.settings;
  const ClipFile clip(state_.paths.programFolder, selected_ordinal(s));
  char command[kToolCommandBuffer];
  tool_command(*this, state_, from, to, ToolRequest::Control, kDemuxInfoFileName, command);
  char player[kToolCommandBuffer];
  if (s.playerOptionsEnabled == 1) {
    std::snprintf(player, sizeof player, "\"%s\" %s \"%s\"", s.playerPath, s.playerOptions, clip.path());
  } else {
    std::snprintf(player, sizeof player, "\"%s\" \"%s\"", s.playerPath, clip.path());
  }
  const int showProgress = s.playSeconds > kQuietPlaySeconds ? 1 : 0;
  const int result = RunToolAndWait(*this, state_, command, nullptr, showProgress, "表示データ作成中");
  if (result == kRunDone) {
    // A run that ends normally but writes no clip for the selection (no programme list, or one
    // that names a programme DEMUX.txt no longer has) must not show an old clip as this one.
    if (clip.Written()) {
      start_process(player, false);
    } else {
      char text[kPathBuffer + 64];
      std::snprintf(text, sizeof text, "再生用ファイル %s が作成されませんでした.", clip.path());
      ErrorBox(text);
    }
  } else if (result == kRunCancelled) {
    InformationBox("処理を中止しました.");
  }
  job.jobRunning = 0;
}
