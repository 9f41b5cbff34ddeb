// RunToolAndWait: lock file, watched start, the wait loop with the progress bar, the outcome.
#include "cutter/tool_run.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

#include "common/path.h"
#include "common/raw_file.h"
#include "cutter/progress_dialog.h"
#include "demux/demux_host.h"
#include "demux/tool_exit.h"
#include "demux/work_files.h"
#include "platform/platform.h"
#include "platform/process.h"
#include "ui/canvas.h"

namespace {

// What the tool's exit status says when the tool printed nothing about it (the outputs of a
// control file that cannot be created are such a case).
struct ExitReason {
  int status;
  const char* text;
};
constexpr ExitReason kExitReasons[] = {
    {kToolExitUsage, "コマンドラインが受け付けられませんでした."},
    {kToolExitInput, "入力TSファイルが読めませんでした."},
    {kToolExitOutput, "出力ファイルが作成できないか、書き込めませんでした."},
    {kToolExitStopped, "処理が途中で止まりました（ロックファイルがありません）."},
    {kToolExitControl, "DEMUX情報ファイルが読めないか、記述が正しくありません."},
};
// What the box shows of the tool's lines at most: its messages and summary fit many times over.
constexpr size_t kShownOutputMax = 2048;

const ExitReason* reason_of(int status) {
  for (const ExitReason& r : kExitReasons) {
    if (r.status == status) return &r;
  }
  return nullptr;
}

// The printed text without surrounding empty lines, line feeds kept, no longer than the box
// shows: cut after the last whole line that fits.
std::string shown_lines(const std::string& printed) {
  size_t from = printed.find_first_not_of("\r\n");
  if (from == std::string::npos) return "";
  size_t to = printed.find_last_not_of("\r\n") + 1;
  std::string text = printed.substr(from, to - from);
  std::erase(text, '\r');
  std::erase(text, '\0');
  if (text.size() > kShownOutputMax) {
    size_t cut = text.rfind('\n', kShownOutputMax);
    text.resize(cut == std::string::npos ? 0 : cut);
  }
  return text;
}

void error_box(ui::Dialog& owner, const char* text) { ui::message_box(owner.handle(), text, ui::BoxKind::Error); }

// The lock file: a single line feed. false when it cannot be created.
bool write_lock_file(const char* path) {
  RawFile file(path, "wb");
  if (!file.ok()) return false;
  const bool written = raw_write("\n", 1, 1, file.get()) == 1;
  return file.Close() != 0 && written;
}

// The pens and brushes of the bar, made once per run.
class BarPainter {
 public:
  BarPainter()
      : bluePen_(ui::create_solid_pen(1, 0, 0, 255)),
        whitePen_(ui::create_solid_pen(1, 255, 255, 255)),
        blueBrush_(ui::create_solid_brush(0, 0, 255)),
        whiteBrush_(ui::create_solid_brush(255, 255, 255)) {}
  ~BarPainter() {
    ui::delete_pen(bluePen_);
    ui::delete_pen(whitePen_);
    ui::delete_brush(blueBrush_);
    ui::delete_brush(whiteBrush_);
  }
  BarPainter(const BarPainter&) = delete;
  BarPainter& operator=(const BarPainter&) = delete;

  void Draw(ui::Canvas& canvas, const ProgressBar& bar) {
    canvas.FrameRect(bar.frame, 0, 0, 0);
    canvas.Rectangle(bar.done, bluePen_, blueBrush_);
    canvas.Rectangle(bar.left, whitePen_, whiteBrush_);
  }

 private:
  ui::Pen bluePen_, whitePen_;
  ui::Brush blueBrush_, whiteBrush_;
};

}  // namespace

uint32_t tool_window(const ui::Dialog& mainDialog) {
  const ui::Window* frame = mainDialog.parent();
  return uint32_t(frame != nullptr ? frame->handle() : mainDialog.handle());
}

void work_file_path(const CutterState& state, const char* name, WorkFilePath& out) {
  std::snprintf(out, sizeof out, "%s%s", state.paths.programFolder, name);
}

void tool_command(const ui::Dialog& mainDialog, const CutterState& state, int32_t first, int32_t last,
                  ToolRequest request, const char* workFile, char (&out)[kToolCommandBuffer]) {
  std::snprintf(out, sizeof out, "\"%s\" \"%s\" -h:%X -s:%X -e:%X -%c:%s", state.paths.toolPath,
                state.settings.loadedInputPath, unsigned(tool_window(mainDialog)), unsigned(first), unsigned(last),
                request == ToolRequest::Information ? 'i' : 'd', workFile);
}

ProgressBar progress_bar(int width, int height, int toolState, int toolProgress) {
  const int left = width / 16, right = width - width / 16;
  const int top = height / 3, bottom = height - height / 3;
  int p = toolState == int(kProgressPost) ? toolProgress : toolState == int(kCompletionPost) ? 100 : 0;
  // A value outside 0 to 100 would draw past the frame.
  if (p < 0) p = 0;
  if (p > 100) p = 100;
  const double w = p >= 1 ? (right - left - 2) * p * 0.01 : 0.0;
  const int split = left + 1 + int(w + 0.5);
  return ProgressBar{ui::Rect{left, top, right, bottom}, ui::Rect{left + 1, top + 1, split, bottom - 1},
                     ui::Rect{split, top + 1, right - 1, bottom - 1}};
}

std::string tool_failure_text(const char* toolName, int exitStatus, const std::string& printed) {
  const ExitReason* reason = reason_of(exitStatus);
  char head[kPathBuffer + 96];
  std::snprintf(head, sizeof head,
                reason != nullptr ? "%s の処理が完了しませんでした（終了コード %d）."
                                  : "%s が異常終了しました（終了コード %d）.",
                toolName, exitStatus);
  std::string lines = shown_lines(printed);
  if (lines.empty() && reason != nullptr) lines = reason->text;
  return lines.empty() ? std::string(head) : std::string(head) + "\n\n" + lines;
}

int RunToolAndWait(ui::Dialog& mainDialog, CutterState& state, const char* commandLine, const char* followUp,
                   int showProgress, const char* title) {
  JobState& job = state.job;
  if (commandLine == nullptr) {
    error_box(mainDialog, "整合性エラー（コマンド１が未指定です）.");
    return kRunFailed;
  }
  WorkFilePath lockPath;
  work_file_path(state, kLockFileName, lockPath);
  if (!write_lock_file(lockPath)) {
    error_box(mainDialog, "ロックファイルが作成できません.");
    return kRunFailed;
  }
  job.toolState = 0;
  job.toolProgress = 0;

  // The tool is watched as a process: its end, not only its completion message, ends the wait,
  // so a tool that is missing, crashes or fails is never waited for endlessly nor taken for done.
  WatchedProcess tool;
  if (!tool.Start(commandLine)) {
    delete_file(lockPath);
    char text[kPathBuffer + 64];
    std::snprintf(text, sizeof text, "%s を起動できません.", state.paths.toolPath);
    error_box(mainDialog, text);
    return kRunFailed;
  }
  job.cancelRequested = 0;
  int cancelled = 0;

  std::unique_ptr<ProgressDialog> progress;
  if (showProgress == 1) {
    progress = std::make_unique<ProgressDialog>(&mainDialog, title != nullptr ? title : "", job);
    if (!progress->Create()) progress.reset();
    ui::set_cursor(state.waitCursor);
  }
  {
    std::optional<ui::ClientCanvas> canvas;
    std::optional<BarPainter> painter;
    ui::Rect client;
    if (progress) {
      canvas.emplace(progress->handle());
      painter.emplace();
      client = progress->GetClientRect();
    }
    for (;;) {
      ui::pump_messages();
      sleep_ms(kToolPollMs);
      if (progress && progress->handle() != 0) {
        painter->Draw(*canvas, progress_bar(client.width(), client.height(), job.toolState, job.toolProgress));
      }
      if (!tool.Running()) break;
      if (job.cancelRequested == 1) {
        cancelled = 1;
        break;
      }
    }
  }
  const bool done = cancelled == 0 && tool.exitStatus() == kToolExitDone;
  if (followUp != nullptr && done) start_process(followUp, false);
  // The tool sees the lock file gone at its next change of per cent and stops by itself.
  delete_file(lockPath);
  if (showProgress == 1) {
    if (progress) progress->Destroy();
    progress.reset();
    ui::set_cursor(state.arrowCursor);
  }
  if (cancelled == 1) return kRunCancelled;
  if (!done) {
    const char* toolName = state.paths.toolPath + path_name_offset(state.paths.toolPath);
    error_box(mainDialog, tool_failure_text(toolName, tool.exitStatus(), tool.output()).c_str());
    return kRunFailed;
  }
  return kRunDone;
}
