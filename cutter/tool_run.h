// RunToolAndWait: the one way kerfcut runs the demux tool. It writes the lock file, starts the
// tool hidden, and waits while the window stays alive: it dispatches messages itself, polls every
// 200 ms, and redraws the progress window's bar on each turn. The run ends when the tool's process
// ends or the user closes the progress window; the tool's exit status tells a failure from a
// normal end, and a failure is shown with the tool's own message lines.
#pragma once
#include <cstdint>
#include <string>

#include "cutter/cutter_state.h"
#include "ui/backend.h"
#include "ui/window.h"

// Results of RunToolAndWait.
constexpr int kRunDone = 0;        // the tool ended normally
constexpr int kRunCancelled = 1;   // the progress window was closed
constexpr int kRunFailed = -1;     // nothing was started, or the tool failed; the box was shown

constexpr uint32_t kToolPollMs = 200;
// Room for a tool command line: two full paths, quoted, and the options, as the tool's own copy.
constexpr size_t kToolCommandBuffer = 1024;

// Runs commandLine (required) and waits for it. followUp, when given, is started shown after a
// normal end. showProgress 1 shows the progress window with title as its caption and the wait
// cursor; 0 waits without a window. Message boxes are owned by mainDialog, whose parent (the main
// frame) receives the tool's progress messages.
int RunToolAndWait(ui::Dialog& mainDialog, CutterState& state, const char* commandLine, const char* followUp,
                   int showProgress, const char* title);

// The handle given to the tool with -h:, the main frame's.
uint32_t tool_window(const ui::Dialog& mainDialog);

// A file of the program folder, where the tool's work files and the lock file live: the folder's
// path and a name of at most 15 characters.
using WorkFilePath = char[kPathBuffer + 16];
void work_file_path(const CutterState& state, const char* name, WorkFilePath& out);

// What a run of the tool is asked for: the information file (-i:) or the outputs a control file
// names (-d:).
enum class ToolRequest { Information, Control };
// The tool's command line over packets first..last of the loaded input, reporting to the main
// dialog's frame; workFile is the name of the information or control file in the program folder.
void tool_command(const ui::Dialog& mainDialog, const CutterState& state, int32_t first, int32_t last,
                  ToolRequest request, const char* workFile, char (&out)[kToolCommandBuffer]);

// The progress bar on a client area of width x height for what the tool last reported: the
// black frame, the blue part done and the white part left.
struct ProgressBar {
  ui::Rect frame;
  ui::Rect done;
  ui::Rect left;
};
ProgressBar progress_bar(int width, int height, int toolState, int toolProgress);

// The text of the error box when the tool ended in failure: a line naming the tool and its exit
// status, then the lines the tool printed (or, when it printed none, what its exit status says).
std::string tool_failure_text(const char* toolName, int exitStatus, const std::string& printed);
