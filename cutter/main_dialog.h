// MyDialog: the working surface of kerfcut, the client of the main frame holding every field and
// button of the cutter.
#pragma once
#include <functional>

#include "cutter/cutter_state.h"
#include "resources/ids.h"
#include "ui/controls.h"
#include "ui/window.h"

class MyDialog : public ui::Dialog {
 public:
  explicit MyDialog(CutterState& state);

  // Attach points for the commands built on top of the main window: the preview refresh and the
  // loading of an input. Until they are attached the calls do nothing.
  std::function<void(MyDialog&)> refreshPreview;
  std::function<void(MyDialog&)> loadInput;

  CutterState& state() { return state_; }
  void RefreshPreview();
  // Loads the input named by inputPathText: measures it and lists its programmes.
  void LoadInput();
  // Places the scroll bar's thumb at the edited position.
  void SyncScroll();

  bool CanClose() override;
  void SetupWindow() override;

 private:
  UI_BEGIN_MESSAGE_TABLE(MyDialog, ui::Dialog)
    UI_MESSAGE(ui::kWmTimer, OnTimer)
    UI_COMMAND(res::kMenuExit, CloseMain)
    UI_COMMAND(res::kExit, CloseMain)
    UI_COMMAND(res::kMenuHelp, OpenHelp)
    UI_COMMAND(res::kHelp, OpenHelp)
    UI_COMMAND(res::kMenuAbout, ShowAbout)
    UI_COMMAND(res::kUpdateInput, UpdateInput)
    UI_COMMAND(res::kBrowseInput, BrowseInput)
    UI_COMMAND(res::kBrowseOutput, BrowseOutput)
    UI_NOTIFY(res::kProgrammeList, ui::kCbnSelChange, SelectProgramme)
    UI_NOTIFY(res::kDemuxList, ui::kCbnSelChange, SelectDemuxMode)
  UI_END_MESSAGE_TABLE()

  // Message handlers.
  intptr_t OnTimer(ui::Message& m);

  // Command handlers.
  void CloseMain();
  void OpenHelp();
  void ShowAbout();
  void UpdateInput();
  void BrowseInput();
  void BrowseOutput();
  void SelectProgramme();
  void SelectDemuxMode();

  CutterState& state_;
  ui::Edit inputPath_{this, res::kInputPath};
  ui::Edit outputPath_{this, res::kOutputPath};
  ui::Edit totalTime_{this, res::kTotalTime};
  ui::Edit bitrate_{this, res::kBitrate};
  ui::Static fileSize_{this, res::kFileSize};
  ui::Static pcrRange_{this, res::kPcrRange};
  ui::Static startMarker_{this, res::kStartMarker};
  ui::Static endMarker_{this, res::kEndMarker};
  ui::Edit startPacket_{this, res::kStartPacket};
  ui::Edit endPacket_{this, res::kEndPacket};
  ui::Edit startTime_{this, res::kStartTime};
  ui::Edit endTime_{this, res::kEndTime};
  ui::Edit playSeconds_{this, res::kPlaySeconds};
  ui::ComboBox programmes_{this, res::kProgrammeList};
  ui::ComboBox demuxModes_{this, res::kDemuxList};
  ui::ScrollBar positionBar_{this, res::kPositionBar};
  ui::Button browseOutput_{this, res::kBrowseOutput};
};

// The playing time field's value: a decimal integer limited to 1 to 600 (text reads as 0).
int normalise_play_seconds(const char* text);
