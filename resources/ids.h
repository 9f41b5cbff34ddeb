// Numbers of the dialog templates, menu, icon and controls of kerfcut.
#pragma once

namespace res {

constexpr int kMainDialog = 1;
constexpr int kAboutDialog = 2;
constexpr int kFileSelectDialog = 7;
constexpr int kProgressDialog = 4;
constexpr int kVideoInfoDialog = 5;
constexpr int kViewerDialog = 6;
constexpr int kOptionDialog = 8;
constexpr int kLogoDialog = 9;
constexpr int kNewFileDialog = 10;
constexpr int kMainMenu = 1;
constexpr int kProgramIcon = 1;

// Main dialog.
constexpr int kExit = 2;
constexpr int kInputPath = 102;
constexpr int kPlaySeconds = 103;
constexpr int kBrowseOutput = 104;
constexpr int kBrowseInput = 105;
constexpr int kStartPacket = 106;
constexpr int kEndPacket = 107;
constexpr int kOutputPath = 108;
constexpr int kStartTime = 109;
constexpr int kEndTime = 110;
constexpr int kTotalTime = 111;
constexpr int kPlayBeforeStart = 112;
constexpr int kPlayAfterStart = 114;
constexpr int kPlayBeforeEnd = 116;
constexpr int kPlayAfterEnd = 117;
constexpr int kHelp = 129;
constexpr int kExecuteCut = 130;
constexpr int kSelectStart = 136;
constexpr int kPlayerSettings = 137;
constexpr int kBitrate = 138;
constexpr int kAcquireStructure = 139;
constexpr int kTimesToPackets = 140;
constexpr int kSelectEnd = 141;
constexpr int kPacketsToTimes = 142;
constexpr int kTotalFromBitrate = 143;
constexpr int kBitrateFromTotal = 144;
constexpr int kProgrammeList = 145;
constexpr int kDemuxList = 146;
constexpr int kPositionBar = 147;
constexpr int kVideoInfo = 148;
constexpr int kUpdateInput = 149;
constexpr int kOptions = 150;
constexpr int kCopyStartToEnd = 151;
constexpr int kCopyEndToStart = 152;
constexpr int kFileSize = 1000;
constexpr int kPcrRange = 1001;
constexpr int kStartMarker = 1002;
constexpr int kEndMarker = 1003;
constexpr int kStatusLine = 1004;

// Time step buttons: forward (upper row) and back (lower row) by 0.1 s, 0.5 s, 1 s, 5 s, 20 s,
// 1 min, 5 min, 10 min and 30 min. Their ids lie between kFirstStep and kLastStep, among others.
constexpr int kStepAhead100ms = 113;
constexpr int kStepBack100ms = 115;
constexpr int kStepAhead500ms = 118;
constexpr int kStepBack500ms = 119;
constexpr int kStepAhead1s = 120;
constexpr int kStepBack1s = 121;
constexpr int kStepAhead5s = 122;
constexpr int kStepBack5s = 123;
constexpr int kStepAhead20s = 124;
constexpr int kStepBack20s = 125;
constexpr int kStepAhead1min = 126;
constexpr int kStepBack1min = 127;
constexpr int kStepAhead5min = 128;
constexpr int kStepBack5min = 131;
constexpr int kStepAhead10min = 132;
constexpr int kStepBack10min = 133;
constexpr int kStepAhead30min = 134;
constexpr int kStepBack30min = 135;
constexpr int kFirstStep = kStepAhead100ms;
constexpr int kLastStep = kStepBack30min;

// Menu commands.
constexpr int kMenuExit = 1050;
constexpr int kMenuHelp = 1910;
constexpr int kMenuAbout = 1920;

// About dialog.
constexpr int kProductLine = 100;

// Path chooser (the OK button chooses, the cancel button cancels).
constexpr int kChooserFolderText = 101;
constexpr int kChooserFolders = 102;
constexpr int kChooserDrives = 103;
constexpr int kChooserFiles = 104;
constexpr int kChooserDriveRoot = 105;
constexpr int kChooserNewFile = 106;

// New-file dialog.
constexpr int kNewFileName = 101;

// Player settings dialog.
constexpr int kViewerPlayerPath = 101;
constexpr int kViewerBrowse = 102;
constexpr int kViewerOptions = 103;
constexpr int kViewerOptionsEnabled = 104;
constexpr int kViewerPreviewEnabled = 105;

// Options dialog: the three total-time methods, in order, and the decode-error check box.
constexpr int kOptionStopOnError = 101;
constexpr int kOptionFirstLastPcr = 102;
constexpr int kOptionHeadPcrs = 103;
constexpr int kOptionAutomatic = 104;

// Video information: the nine value texts, size first and video PID last.
constexpr int kVideoInfoFirstText = 1000;
constexpr int kVideoInfoLastText = 1008;

}  // namespace res
