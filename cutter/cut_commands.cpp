// MyDialog's cut: button 130 from the fields to the outcome box. The paths are checked, the
// output folder made and an existing output removed after the question, the control file written
// for the mode, then kerfdmx runs and its outcome is told.
#include <cstdio>
#include <cstring>

#include "common/path.h"
#include "core/control_files.h"
#include "cutter/cut_checks.h"
#include "cutter/main_dialog.h"
#include "cutter/tool_run.h"
#include "demux/work_files.h"

namespace {

constexpr int kModeAll = 0;           // DemuxMode: every packet of the range
constexpr int kModeProgramme = 1;     // DemuxMode: the previewed programme's block of DEMUX.txt

}  // namespace

void MyDialog::ExecuteCut() {
  if (Busy()) return;
  Settings& s = state_.settings;
  inputPath_.GetText(s.inputPathText, kPathEditMax + 1);
  if (std::strcmp(s.inputPathText, s.loadedInputPath) != 0) {
    ErrorBox("入力元TSファイル名を書き替え後、[更新]ボタンが押されていません.");
    return;
  }
  outputPath_.GetText(s.outputPath, kPathEditMax + 1);
  TimesToPackets();
  if (s.startPacket > s.endPacket) {
    ErrorBox("切り出し範囲の指定が 【開始位置≦終了位置】 になっていません.");
    return;
  }
  PathCheck check = check_input_file(s.loadedInputPath);
  if (check == PathCheck::Ok) {
    // Mode 2 takes its outputs from DEMUX.cfg; only the overwrite question uses the output edit,
    // and it must never be the recording itself.
    check = s.DemuxMode <= kModeProgramme ? check_output_path(s.outputPath, s.loadedInputPath)
                                          : check_not_input(s.outputPath, s.loadedInputPath);
  }
  if (check != PathCheck::Ok) {
    ErrorBox(path_check_text(check));
    return;
  }
  if (!ConfirmOverwrite() || !WriteCutControl()) return;
  RunCut();
}

bool MyDialog::ConfirmOverwrite() {
  const char* output = state_.settings.outputPath;
  char text[kPathBuffer + 128];
  switch (existing_output(output)) {
    case Existing::Nothing:
      return true;
    case Existing::Folder:
      std::snprintf(text, sizeof text, "%s はフォルダです。上書きできません.", output);
      ErrorBox(text);
      return false;
    case Existing::File:
      break;
  }
  std::snprintf(text, sizeof text, "出力先TSファイル『%s』が存在します.\n上書きしてよいですか？", output);
  if (ui::message_box(handle(), text, ui::BoxKind::Question) != ui::kIdYes) return false;
  if (!remove_existing_output(output)) {
    std::snprintf(text, sizeof text, "%s を削除できません.", output);
    ErrorBox(text);
    return false;
  }
  return true;
}

bool MyDialog::WriteCutControl() {
  const Settings& s = state_.settings;
  if (s.DemuxMode > kModeProgramme) return true;  // the user's DEMUX.cfg
  WorkFilePath control, structure;
  work_file_path(state_, kDemuxControlFileName, control);
  work_file_path(state_, kDemuxInfoFileName, structure);
  const ControlWrite result = s.DemuxMode == kModeAll
                                  ? write_all_control(control, s.outputPath)
                                  : write_programme_control(structure, selected_ordinal(s), s.outputPath, control);
  switch (result) {
    case ControlWrite::Ok:
      return true;
    case ControlWrite::NoStructure:
      ErrorBox("番組構成情報ファイル（DEMUX.txt）が見つかりません.");
      return false;
    case ControlWrite::CannotCreate:
      ErrorBox("作業ファイル（DEMUX.tmp）が作成できません.");
      return false;
  }
  return false;
}

int MyDialog::RunCut() {
  const Settings& s = state_.settings;
  state_.job.jobRunning = 1;
  char command[kToolCommandBuffer];
  tool_command(*this, state_, s.startPacket, s.endPacket, ToolRequest::Control,
               s.DemuxMode > kModeProgramme ? kDemuxConfigFileName : kDemuxControlFileName, command);
  const int result = RunToolAndWait(*this, state_, command, nullptr, 1, "切り出し中");
  if (result == kRunDone) {
    InformationBox("正常終了しました.");
  } else if (result == kRunCancelled) {
    InformationBox("処理を中止しました.");
  }
  state_.job.jobRunning = 0;
  return 0;
}
