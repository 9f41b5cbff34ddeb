// TMyApp and MyFrameWindow.
#include "cutter/main_frame.h"

#include <cstdio>
#include <cstring>

#include "cutter/logo_dialog.h"
#include "demux/work_files.h"
#include "platform/gui_link.h"
#include "platform/platform.h"
#include "resources/ids.h"
#include "ui/dialog_template.h"

namespace {

// Registered before the application object exists, as the tool may post as soon as it runs.
const uint32_t kProgressMessage = register_message("KERFCUT_00");

constexpr const char* kMainClass = "KERFCUT:MAIN";
constexpr const char* kMainTitle = "KerfCut Ver 1.20  (KerfWorks)";
constexpr int kNominalWidth = 680;   // the frame size the centring is computed for
constexpr int kNominalHeight = 500;
constexpr int kWorkFiles = 10;       // PRG1.TS to PRG10.TS

}  // namespace

uint32_t progress_message() { return kProgressMessage; }

void main_frame_position(int& x, int& y) {
  using ui::Metric;
  int frameX = ui::system_metric(Metric::FrameWidth), frameY = ui::system_metric(Metric::FrameHeight);
  int caption = ui::system_metric(Metric::CaptionHeight);
  x = (ui::system_metric(Metric::ScreenWidth) - 2 * frameX - kNominalWidth) / 2;
  y = (ui::system_metric(Metric::FullScreenHeight) + caption - (2 * frameY + caption + kNominalHeight)) / 2;
}

// ---- MyFrameWindow ----

MyFrameWindow::MyFrameWindow(CutterState& state, MyDialog* client)
    : ui::FrameWindow(kMainClass, kMainTitle, client), state_(state) {}

void MyFrameWindow::SetupWindow() {
  LogoDialog logo(this, state_.paths.programFolder);
  logo.Execute();
  ui::FrameWindow::SetupWindow();
  fixedRect_ = GetWindowRect();
  // Files dropped on the caption or the menu bar go to the dialog like those dropped on it.
  ui::accept_files(handle(), true);
}

intptr_t MyFrameWindow::ForwardDrop(ui::Message& m) {
  if (client() != nullptr && client()->handle() != 0 && client()->Dispatch(m)) return m.result;
  ui::finish_drop(m.wParam);
  return 0;
}

bool MyFrameWindow::Dispatch(ui::Message& m) {
  if (m.message == ui::kWmGetMinMaxInfo && fixedRect_.right > 0 && m.lParam != 0) {
    auto* info = reinterpret_cast<ui::MinMaxInfo*>(m.lParam);
    int32_t w = fixedRect_.width(), h = fixedRect_.height();
    info->maxSize[0] = info->minTrackSize[0] = info->maxTrackSize[0] = w;
    info->maxSize[1] = info->minTrackSize[1] = info->maxTrackSize[1] = h;
  }
  return ui::FrameWindow::Dispatch(m);
}

intptr_t MyFrameWindow::StoreProgress(ui::Message& m) {
  state_.job.toolState = int(m.wParam);
  state_.job.toolProgress = int(m.lParam);
  return 0;
}

void MyFrameWindow::CleanupWindow() {
  settings_write(state_.settings, state_.paths.settingsPath);
  char path[kPathBuffer + 16];
  for (int n = 1; n <= kWorkFiles; ++n) {
    snprintf(path, sizeof path, "%sPRG%1u.TS", state_.paths.programFolder, unsigned(n));
    delete_file(path);
  }
  snprintf(path, sizeof path, "%s%s", state_.paths.programFolder, kDemuxControlFileName);
  delete_file(path);
}

// ---- TMyApp ----

TMyApp::TMyApp(const char* programPath, const char* systemFolder, const char* commandLine)
    : dialog_(state_), frame_(state_, &dialog_) {
  snprintf(programPath_, sizeof programPath_, "%s", programPath);
  snprintf(systemFolder_, sizeof systemFolder_, "%s", systemFolder);
  command_line_input(commandLine, startInput_);
}

TMyApp::~TMyApp() = default;

bool TMyApp::InitMainWindow() {
  if (!program_paths_from(programPath_, state_.paths)) {
    // A program path too long for a path buffer: run with defaults, saving nothing.
    state_.paths.settingsPath[0] = '\0';
  }
  settings_defaults(state_.settings, state_.paths.programFolder, systemFolder_);
  settings_read(state_.settings, state_.paths.settingsPath);
  state_.arrowCursor = ui::load_cursor(ui::CursorKind::Arrow);
  state_.waitCursor = ui::load_cursor(ui::CursorKind::Wait);
  dialog_.SetStartInput(startInput_);

  main_frame_position(x_, y_);
  style_ = ui::kWsOverlappedWindow & ~ui::kWsMaximizeBox;
  menuId_ = res::kMainMenu;
  iconId_ = res::kProgramIcon;
  SetMainWindow(&frame_);
  return true;
}
