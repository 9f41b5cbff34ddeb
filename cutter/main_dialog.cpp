// MyDialog: set-up from Settings, the commands of the window itself, the close check. Loading
// the input is in main_dialog_input.cpp, the cut-range commands in main_dialog_range.cpp.
#include "cutter/main_dialog.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/path.h"
#include "common/timefmt.h"
#include "core/positions.h"
#include "cutter/about_dialog.h"
#include "cutter/file_select_dialog.h"
#include "cutter/option_dialog.h"
#include "cutter/viewer_dialog.h"
#include "cutter/video_info_dialog.h"
#include "platform/shell.h"

namespace {

constexpr int kScrollMax = 629;  // scroll bar range 0 to 629
constexpr int kRefreshTimer = 4;
constexpr uint32_t kRefreshDelayMs = 50;

constexpr const char* kDemuxEntries[] = {
    "DEMUXしない（通常）",
    "ﾌﾟﾚﾋﾞｭｰ中の番組のみDEMUXして抽出する",
    "番組構成ﾌｧｲﾙ（DEMUX.cfg）に基づきDEMUXする",
};

}  // namespace

int normalise_play_seconds(const char* text) {
  long v = strtol(text, nullptr, 10);
  if (v < 1) return 1;
  if (v > 600) return 600;
  return int(v);
}

MyDialog::MyDialog(CutterState& state) : ui::Dialog(nullptr, res::kMainDialog), state_(state) {
  refreshPreview = [](MyDialog& dialog) { dialog.preview_.RefreshPreview(dialog); };
}

void MyDialog::SetupWindow() {
  Settings& s = state_.settings;
  char buf[64];
  positionBar_.SetRange(0, kScrollMax);

  inputPath_.SetText(s.inputPathText);
  totalTime_.SetText(ms_to_text(s.totalMs, buf));
  bitrate_.SetText(bitrate_to_text(s.bitrate, buf));

  // Packet numbers and positions are counted in TS packets; a saved record with another size is
  // damaged.
  s.packetSize = kCutterPacketSize;
  s.inputSize = path_is_full(s.loadedInputPath) ? path_file_size(s.loadedInputPath) : 0.0;
  fileSize_.SetText(size_to_text(s.inputSize, buf));

  if (s.previewEnabled == 1) {
    char from[16], to[16];
    char text[64];
    snprintf(text, sizeof text, "PCR：[%s～%s]", ms_to_text(s.startPcrMs, from), ms_to_text(s.endPcrMs, to));
    pcrRange_.SetText(text);
  } else {
    pcrRange_.SetText("");
  }

  ShowMarkers();

  startPacket_.SetText(packet_to_text(s.startPacket, buf));
  endPacket_.SetText(packet_to_text(s.endPacket, buf));
  startTime_.SetText(ms_to_text(s.startMs, buf));
  endTime_.SetText(ms_to_text(s.endMs, buf));

  ShowProgrammeList();
  programmes_.SetSelIndex(s.programmeIndex);

  snprintf(buf, sizeof buf, "%d", s.playSeconds);
  playSeconds_.SetText(buf);

  demuxModes_.Clear();
  for (const char* entry : kDemuxEntries) demuxModes_.AddString(entry);
  demuxModes_.SetSelIndex(s.DemuxMode);
  SelectDemuxMode();

  outputPath_.SetText(s.outputPath);
  SyncScroll();
  SetTimer(kRefreshTimer, kRefreshDelayMs);
  ui::accept_files(handle(), true);
  // A recording named on the command line is loaded once the window is up and the loop runs.
  if (startInput_[0] != '\0') PostMessage(kOpenStartInputMessage);
}

void MyDialog::SyncScroll() {
  const Settings& s = state_.settings;
  int min = 0, max = 0;
  positionBar_.GetRange(min, max);
  int32_t p = s.activePoint == 1 ? s.endPacket : s.startPacket;
  positionBar_.SetPosition(scroll_position_of(p, s.packetSize, s.inputSize, min, max));
}

void MyDialog::ShowMarkers() {
  const bool end = state_.settings.activePoint == 1;
  startMarker_.SetText(end ? "　" : "◆");
  endMarker_.SetText(end ? "◆" : "　");
}

void MyDialog::RefreshPreview() {
  if (refreshPreview) refreshPreview(*this);
}

bool MyDialog::CanClose() {
  Settings& s = state_.settings;
  if (Busy()) return false;
  inputPath_.GetText(s.inputPathText, kPathBuffer);
  outputPath_.GetText(s.outputPath, kPathBuffer);
  ReadPlaySeconds();
  return true;
}

intptr_t MyDialog::OnTimer(ui::Message& m) {
  if (int(m.wParam) == kRefreshTimer) {
    KillTimer(kRefreshTimer);
    if (path_exists(state_.settings.loadedInputPath)) RefreshPreview();
  }
  return 0;
}

void MyDialog::CloseMain() {
  if (Busy()) return;
  CloseWindow(ui::kIdCancel);
}

void MyDialog::OpenHelp() {
  char path[kPathBuffer + 16];
  snprintf(path, sizeof path, "%sREADME.HTM", state_.paths.programFolder);
  shell_open(handle(), path);
}

void MyDialog::ShowAbout() {
  if (Busy()) return;
  AboutDialog about(this);
  about.Execute();
}

void MyDialog::UpdateInput() {
  if (Busy()) return;
  Settings& s = state_.settings;
  inputPath_.GetText(s.inputPathText, kPathBuffer);
  if (path_is_full(s.inputPathText)) {
    LoadInput();
  } else {
    ui::message_box(handle(), "入力元TSファイル名はフルパス（例：C:\\INPUT_TS\\ORG.ts）で指定してください.",
                    ui::BoxKind::Error);
  }
}

void MyDialog::BrowseInput() {
  if (Busy()) return;
  Settings& s = state_.settings;
  inputPath_.GetText(s.inputPathText, kPathBuffer);
  FileSelectDialog chooser(this);
  chooser.SetCaption("入力元TSファイル選択");
  chooser.SetMode(ChooserMode::InputFile);
  chooser.SetPatterns(kRecordingPatterns);
  chooser.SetFilePath(s.inputPathText);
  if (chooser.Execute() != ui::kIdOk) return;
  // The choice goes into the field and is taken as if typed there and 更新 pressed.
  inputPath_.SetText(chooser.filePath());
  UpdateInput();
}

void MyDialog::BrowseOutput() {
  if (Busy()) return;
  Settings& s = state_.settings;
  outputPath_.GetText(s.outputPath, kPathBuffer);
  FileSelectDialog chooser(this);
  chooser.SetCaption("出力先TSファイル選択");
  chooser.SetMode(ChooserMode::OutputFile);
  chooser.SetPatterns(kRecordingPatterns);
  chooser.SetFilePath(s.outputPath);
  if (chooser.Execute() != ui::kIdOk) return;
  snprintf(s.outputPath, kPathBuffer, "%s", chooser.filePath());
  outputPath_.SetText(s.outputPath);
}

void MyDialog::SelectProgramme() {
  if (Busy()) return;
  state_.settings.programmeIndex = programmes_.GetSelIndex();
  RefreshPreview();
}

void MyDialog::ShowVideoInfo() {
  if (Busy()) return;
  const Settings& s = state_.settings;
  const StreamHeaders& h = preview_.headers();
  VideoInfoValues values{};
  values.horizontal_size_value = h.horizontal_size_value;
  values.vertical_size_value = h.vertical_size_value;
  values.aspect_ratio_information = h.aspect_ratio_information;
  values.frame_rate_code = h.frame_rate_code;
  values.profile_and_level_indication = h.profile_and_level_indication;
  values.progressive_sequence = h.progressive_sequence;
  values.chroma_format = h.chroma_format;
  values.video_format = h.video_format;
  values.videoPid = s.programmeList.videoPid[selected_programme(s)];
  VideoInfDialog dialog(this, values, programme_count(s) == 0);
  dialog.Execute();
}

void MyDialog::SelectDemuxMode() {
  if (Busy()) return;
  int index = demuxModes_.GetSelIndex();
  if (index < 0) {
    // A saved mode outside the list selects nothing; the normal mode is taken instead.
    index = 0;
    demuxModes_.SetSelIndex(0);
  }
  state_.settings.DemuxMode = index;
  bool enable = index <= 1;
  outputPath_.Enable(enable);
  browseOutput_.Enable(enable);
}

void MyDialog::OpenPlayerSettings() {
  if (Busy()) return;
  ViewerDialog viewer(this, viewer_values_of(state_.settings));
  if (viewer.Execute() != ui::kIdOk) return;
  apply_viewer_values(viewer.values(), state_.settings);
  RefreshPreview();
}

void MyDialog::OpenOptions() {
  if (Busy()) return;
  Settings& s = state_.settings;
  OptionDialog options(this, s.stopDecodeOnError, s.totalTimeMethod);
  if (options.Execute() != ui::kIdOk) return;
  s.stopDecodeOnError = options.stopDecodeOnError();
  s.totalTimeMethod = options.totalTimeMethod();
}
