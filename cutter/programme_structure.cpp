// MyDialog's programme structure: the analysis run of kerfdmx over 50,000 packets from the start
// position, the programme list read back from DEMUX.txt, and button 139.
#include <cstdio>
#include <cstring>

#include "common/path.h"
#include "core/programme_list.h"
#include "core/scan_window.h"
#include "cutter/main_dialog.h"
#include "cutter/tool_run.h"
#include "demux/work_files.h"
#include "platform/platform.h"
#include "platform/shell.h"

namespace {

static_assert(kMaxProgrammeEntries == kProgrammeListMax);

}  // namespace

void MyDialog::ErrorBox(const char* text) { ui::message_box(handle(), text, ui::BoxKind::Error); }

void MyDialog::InformationBox(const char* text) { ui::message_box(handle(), text, ui::BoxKind::Information); }

void MyDialog::ShowProgrammeList() {
  const ProgrammeList& list = state_.settings.programmeList;
  // A damaged settings file may carry any count; the list holds at most 256 entries.
  const int count = list.count < 0 ? 0 : list.count > kProgrammeListMax ? kProgrammeListMax : list.count;
  programmes_.Clear();
  char buf[32];
  for (int i = 0; i < count; ++i) {
    std::snprintf(buf, sizeof buf, "PRG%d,VPID=%04X", int(list.ordinal[i]), unsigned(list.videoPid[i]));
    programmes_.AddString(buf);
  }
}

int MyDialog::LoadProgrammeList() {
  Settings& s = state_.settings;
  WorkFilePath path;
  work_file_path(state_, kDemuxInfoFileName, path);
  ProgrammeStructure structure;
  const int result = read_programme_list(path, structure);  // empties the list whatever happens
  ProgrammeList& list = s.programmeList;
  list = ProgrammeList{};
  list.count = int32_t(structure.videos.size());   // at most kMaxProgrammeEntries
  for (int32_t i = 0; i < list.count; ++i) {
    list.videoPid[i] = structure.videos[size_t(i)].videoPid;
    list.ordinal[i] = structure.videos[size_t(i)].ordinal;
  }
  if (result != 0) return 1;
  ShowProgrammeList();
  if (s.programmeIndex >= list.count) s.programmeIndex = 0;
  programmes_.SetSelIndex(s.programmeIndex);
  return 0;
}

int MyDialog::AnalysisRun(const char* title) {
  Settings& s = state_.settings;
  JobState& job = state_.job;
  job.jobRunning = 1;
  WorkFilePath demuxTxt;
  work_file_path(state_, kDemuxInfoFileName, demuxTxt);
  delete_file(demuxTxt);
  programmes_.Clear();
  s.programmeList.count = 0;
  if (!path_exists(s.loadedInputPath)) {
    char text[kPathBuffer + 32];
    std::snprintf(text, sizeof text, "%sが開けません.", s.loadedInputPath);
    ErrorBox(text);
    job.jobRunning = 0;
    return 1;
  }
  // The end stays a packet number the tool accepts even for a start near the largest one.
  const int64_t end = int64_t(s.startPacket) + kScanWindowLast;
  const int32_t last = end > INT32_MAX ? INT32_MAX : int32_t(end);
  char command[kToolCommandBuffer];
  tool_command(*this, state_, s.startPacket, last, ToolRequest::Information, kDemuxInfoFileName, command);
  const int result = RunToolAndWait(*this, state_, command, nullptr, 1, title);
  // Read whatever came out: after a cancel or a failure the list stays empty or partial.
  LoadProgrammeList();
  job.jobRunning = 0;
  return result;
}

int MyDialog::AnalyseProgrammes() { return AnalysisRun("解析中"); }

void MyDialog::AcquireProgrammeStructure() {
  if (Busy()) return;
  Settings& s = state_.settings;
  inputPath_.GetText(s.inputPathText, kPathEditMax + 1);
  if (std::strcmp(s.inputPathText, s.loadedInputPath) != 0) {
    ErrorBox("入力元TSファイル名を書き替え後、[更新]ボタンが押されていません.");
    return;
  }
  const int result = AnalysisRun("番組構成作成中");
  if (result == kRunDone) {
    WorkFilePath demuxTxt;
    work_file_path(state_, kDemuxInfoFileName, demuxTxt);
    shell_open(handle(), demuxTxt);
  } else if (result == kRunCancelled) {
    InformationBox("処理を中止しました.");
  }
}
