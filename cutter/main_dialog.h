// MyDialog: the working surface of kerfcut, the client of the main frame holding every field and
// button of the cutter: the input and its measurements, the cut range and the output.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>

#include "cutter/cutter_state.h"
#include "cutter/preview_window.h"
#include "resources/ids.h"
#include "ui/controls.h"
#include "ui/window.h"

// Characters the cut and the programme structure read from the path edits before they compare
// the input's text with the loaded path.
constexpr size_t kPathEditMax = 258;

class MyDialog : public ui::Dialog {
 public:
  explicit MyDialog(CutterState& state);

  // Attach point for the preview refresh: the preview window's RefreshPreview from the start; a
  // test may put its own in its place.
  std::function<void(MyDialog&)> refreshPreview;

  CutterState& state() { return state_; }
  CutterPreview& preview() { return preview_; }
  // Asks for the picture at the edited point (through refreshPreview).
  void RefreshPreview();
  // Places the scroll bar's thumb at the edited position.
  void SyncScroll();
  // Loads and measures the input named by inputPathText.
  void LoadInput();
  // Measures the input: total time, PCR range and PCR PID into Settings. 0 on success; 1 on
  // failure, the reason shown in a box (none for a missing file).
  int MeasureInput(const char* path, double size);
  // Has kerfdmx write packets from..to of the input into a clip per programme and starts the
  // external player on the selected programme's clip once this run has written it.
  void PlayClip(int32_t from, int32_t to);
  // A recording to load once the window is up, as if typed into the input field and the update
  // button pressed (the program's command-line argument).
  void SetStartInput(const char* path);

  bool CanClose() override;
  void SetupWindow() override;

  // The programme-structure analysis of a newly loaded input over the 50,000 packets from the
  // start position: the result of the tool run (0, 1 or -1), or 1 when the input is missing.
  int AnalyseProgrammes();
  // Reads DEMUX.txt into the programme list and combo box 145: 0, or 1 when it cannot be opened.
  int LoadProgrammeList();

 private:
  // The two rows of the cut range; the values are those of activePoint.
  enum Point { kStart = 0, kEnd = 1 };
  struct Row;

  UI_BEGIN_MESSAGE_TABLE(MyDialog, ui::Dialog)
    UI_MESSAGE(ui::kWmTimer, OnTimer)
    UI_MESSAGE(kOpenStartInputMessage, OnOpenStartInput)
    UI_HSCROLL(res::kPositionBar, ScrollPosition)
    UI_DROPFILES(DropFiles)
    UI_COMMAND(res::kMenuExit, CloseMain)
    UI_COMMAND(res::kExit, CloseMain)
    UI_COMMAND(res::kMenuHelp, OpenHelp)
    UI_COMMAND(res::kHelp, OpenHelp)
    UI_COMMAND(res::kMenuAbout, ShowAbout)
    UI_COMMAND(res::kUpdateInput, UpdateInput)
    UI_COMMAND(res::kBrowseInput, BrowseInput)
    UI_COMMAND(res::kBrowseOutput, BrowseOutput)
    UI_COMMAND(res::kTotalFromBitrate, TotalFromBitrate)
    UI_COMMAND(res::kBitrateFromTotal, BitrateFromTotal)
    UI_COMMAND(res::kSelectStart, SelectStart)
    UI_COMMAND(res::kSelectEnd, SelectEnd)
    UI_COMMAND(res::kTimesToPackets, TimesToPackets)
    UI_COMMAND(res::kPacketsToTimes, PacketsToTimes)
    UI_COMMAND(res::kCopyStartToEnd, CopyStartToEnd)
    UI_COMMAND(res::kCopyEndToStart, CopyEndToStart)
    UI_COMMAND(res::kPlayBeforeStart, PlayBeforeStart)
    UI_COMMAND(res::kPlayAfterStart, PlayAfterStart)
    UI_COMMAND(res::kPlayBeforeEnd, PlayBeforeEnd)
    UI_COMMAND(res::kPlayAfterEnd, PlayAfterEnd)
    UI_COMMAND(res::kAcquireStructure, AcquireProgrammeStructure)
    UI_COMMAND(res::kVideoInfo, ShowVideoInfo)
    UI_COMMAND(res::kExecuteCut, ExecuteCut)
    UI_COMMAND(res::kPlayerSettings, OpenPlayerSettings)
    UI_COMMAND(res::kOptions, OpenOptions)
    UI_NOTIFY(res::kProgrammeList, ui::kCbnSelChange, SelectProgramme)
    // After every other button whose id lies inside the step range (play, help, cut).
    UI_COMMAND_RANGE(res::kFirstStep, res::kLastStep, StepPosition)
    UI_NOTIFY(res::kDemuxList, ui::kCbnSelChange, SelectDemuxMode)
  UI_END_MESSAGE_TABLE()

  static constexpr uint32_t kOpenStartInputMessage = ui::kWmApp + 1;

  // Message handlers.
  intptr_t OnTimer(ui::Message& m);
  intptr_t OnOpenStartInput(ui::Message& m);
  void DropFiles(ui::DroppedFiles& files);

  // Command handlers.
  void CloseMain();
  void OpenHelp();
  void ShowAbout();
  void UpdateInput();
  void BrowseInput();
  void BrowseOutput();
  void SelectProgramme();
  void SelectDemuxMode();
  void OpenPlayerSettings();
  void OpenOptions();
  void ShowVideoInfo();
  void TimesToPackets();
  void PacketsToTimes();
  void CopyStartToEnd();
  void CopyEndToStart();
  void SelectStart();
  void SelectEnd();
  void StepPosition(int id);
  void TotalFromBitrate();
  void BitrateFromTotal();
  void ScrollPosition(int code, int thumb);
  void PlayBeforeStart() { PlayBefore(kStart); }
  void PlayAfterStart() { PlayAfter(kStart); }
  void PlayBeforeEnd() { PlayBefore(kEnd); }
  void PlayAfterEnd() { PlayAfter(kEnd); }

  // Steps of the commands.
  bool Busy() const { return state_.job.Busy(); }
  void CopyPosition(Point from, Point to);
  void SelectPoint(Point p);
  void PlayBefore(Point p);
  void PlayAfter(Point p);
  Row RowOf(Point p);
  int32_t ReadTotal();
  static int32_t ReadTime(const ui::Edit& field);
  static void ShowTime(ui::Edit& field, int32_t ms);
  static void ShowPacket(ui::Edit& field, int32_t packet);
  // The playing time field, limited to 1 to 600 seconds, into playSeconds and back.
  int32_t ReadPlaySeconds();
  void ShowBitrate();
  void ShowMarkers();

  void AcquireProgrammeStructure();
  void ExecuteCut();

  // The cut (cut_commands.cpp).
  bool ConfirmOverwrite();
  bool WriteCutControl();
  int RunCut();
  // The programme structure (programme_structure.cpp).
  int AnalysisRun(const char* title);
  void ShowProgrammeList();
  // Message boxes owned by this dialog.
  void ErrorBox(const char* text);
  void InformationBox(const char* text);

  CutterState& state_;
  CutterPreview preview_{state_};
  char startInput_[kPathBuffer] = {};
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
// The recording named on a command line after the program: the first argument, in double
// quotes or not, where a path without quotes runs to the end of the line (blanks included).
// Empty when there is none or it does not fit a path buffer.
void command_line_input(const char* commandLine, char* out);
