// TMyApp and MyFrameWindow: kerfcut's start-up, its fixed-size main frame around the main
// dialog, the progress message of the demux tool, and the saving of the state at exit.
#pragma once
#include <cstdint>

#include "cutter/cutter_state.h"
#include "cutter/main_dialog.h"
#include "ui/window.h"

class MyFrameWindow : public ui::FrameWindow {
 public:
  MyFrameWindow(CutterState& state, MyDialog* client);

  void SetupWindow() override;
  void CleanupWindow() override;
  bool Dispatch(ui::Message& m) override;
  const ui::Rect& fixedRect() const { return fixedRect_; }

 private:
  UI_BEGIN_MESSAGE_TABLE(MyFrameWindow, ui::FrameWindow)
    UI_MESSAGE(progress_message(), StoreProgress)
    UI_MESSAGE(ui::kWmDropFiles, ForwardDrop)
  UI_END_MESSAGE_TABLE()

  intptr_t StoreProgress(ui::Message& m);
  intptr_t ForwardDrop(ui::Message& m);

  CutterState& state_;
  ui::Rect fixedRect_;  // the window rectangle once set up; its size is the only size allowed
};

class TMyApp : public ui::Application {
 public:
  // programPath: the program's own file; systemFolder: where the default player drive comes from;
  // commandLine: the program's command line, whose argument names a recording to load at start.
  TMyApp(const char* programPath, const char* systemFolder, const char* commandLine = "");
  ~TMyApp() override;

  bool InitMainWindow() override;

  CutterState& state() { return state_; }
  MyDialog& dialog() { return dialog_; }
  MyFrameWindow& frame() { return frame_; }

 private:
  CutterState state_;
  char programPath_[kPathBuffer];
  char systemFolder_[kPathBuffer];
  char startInput_[kPathBuffer];
  MyDialog dialog_;
  MyFrameWindow frame_;
};

// The placement of the main frame on a screen with these metrics.
void main_frame_position(int& x, int& y);
