// The dialog templates and the menu of kerfcut: every control with its id, kind, place in dialog
// units, style and initial text. The initial texts of the main dialog are placeholders that its
// set-up replaces.
#include "resources/ids.h"
#include "resources/templates.h"
#include "ui/dialog_template.h"
#include "ui/message.h"

namespace res {
namespace {

using namespace ui;  // the kinds and style bits of the template rows

// Every control is a visible child; the constants below add what sets each kind apart.
constexpr uint32_t kShown = kWsChild | kWsVisible;
constexpr uint32_t kLabel = kShown | kWsGroup | kSsLeft;
constexpr uint32_t kText = kShown | kSsLeft;
constexpr uint32_t kFrame = kShown | kSsEtchedFrame;
constexpr uint32_t kNumber = kShown | kWsBorder | kWsTabStop | kEsCenter;
constexpr uint32_t kPath = kShown | kWsBorder | kWsTabStop | kEsAutoHScroll;
constexpr uint32_t kPush = kShown | kWsTabStop | kBsPushButton;
constexpr uint32_t kDefPush = kShown | kWsTabStop | kBsDefPushButton;
constexpr uint32_t kDropList = kShown | kWsVScroll | kWsTabStop | kCbsDropDownList;
constexpr uint32_t kHBar = kShown | kSbsHorz;
constexpr uint32_t kIconStyle = kShown | kSsIcon;
constexpr uint32_t kFramedText = kShown | kWsBorder | kSsLeftNoWordWrap;
constexpr uint32_t kCheck = kShown | kWsTabStop | kBsAutoCheckBox;
// A group of radio buttons starts at the one with WS_GROUP and ends before the next control
// that has it.
constexpr uint32_t kFirstRadio = kShown | kWsGroup | kWsTabStop | kBsAutoRadioButton;
constexpr uint32_t kRadio = kShown | kBsAutoRadioButton;
// The drive list; the folder and file lists are sorted and scroll sideways too.
constexpr uint32_t kDriveList = kShown | kWsBorder | kWsVScroll | kWsTabStop | kLbsNoIntegralHeight | kLbsNotify;
constexpr uint32_t kSortedList = kDriveList | kWsHScroll | kLbsSort;

constexpr const char* kTitle = "KerfCut Ver 1.20  (KerfWorks)";

// The time step buttons: nine columns, the forward steps above the backward ones.
constexpr int16_t step_x(int column) { return int16_t(12 + 37 * column); }

constexpr ControlTemplate kMainControls[] = {
    // The three areas.
    {kNoId, ControlKind::EtchedFrame, 2, 2, 346, 67, kFrame, nullptr},
    {kNoId, ControlKind::EtchedFrame, 2, 71, 346, 143, kFrame, nullptr},
    {kNoId, ControlKind::EtchedFrame, 2, 216, 346, 38, kFrame, nullptr},
    // Input area.
    {kNoId, ControlKind::Static, 5, 8, 80, 8, kLabel, "《入力元TSﾌｧｲﾙ名》"},
    {kInputPath, ControlKind::Edit, 10, 20, 230, 12, kPath, ""},
    {kBrowseInput, ControlKind::Button, 245, 20, 45, 12, kPush, "参照..."},
    {kUpdateInput, ControlKind::Button, 295, 20, 40, 12, kPush, "更新"},
    {kNoId, ControlKind::Static, 10, 40, 42, 8, kLabel, "ﾄｰﾀﾙ時間："},
    {kTotalTime, ControlKind::Edit, 53, 39, 60, 10, kNumber, "hh:mm:ss.sss"},
    {kNoId, ControlKind::Static, 125, 40, 38, 8, kLabel, "ﾋﾞｯﾄﾚｰﾄ："},
    {kBitrate, ControlKind::Edit, 163, 39, 44, 10, kNumber, "16.500000"},
    {kNoId, ControlKind::Static, 211, 40, 20, 8, kLabel, "Mbps"},
    {kNoId, ControlKind::Static, 241, 40, 26, 8, kLabel, "容量："},
    {kFileSize, ControlKind::Static, 267, 40, 40, 8, kText, "12.345GB"},
    {kTotalFromBitrate, ControlKind::Button, 93, 51, 20, 12, kPush, "←"},
    {kBitrateFromTotal, ControlKind::Button, 125, 51, 20, 12, kPush, "→"},
    {kPcrRange, ControlKind::Static, 168, 54, 150, 10, kText, "PCR：[23:59:59.000～23:59:59.000]"},
    // Cut-range area.
    {kNoId, ControlKind::Static, 5, 76, 82, 8, kLabel, "《切り出し範囲指定》"},
    {kNoId, ControlKind::Static, 70, 88, 44, 8, kLabel, "TSﾊﾟｹｯﾄNo."},
    {kNoId, ControlKind::Static, 138, 88, 18, 8, kLabel, "時間"},
    {kNoId, ControlKind::Static, 204, 88, 34, 8, kLabel, "動画再生"},
    {kCopyEndToStart, ControlKind::Button, 163, 83, 15, 12, kPush, "↑"},
    {kVideoInfo, ControlKind::Button, 265, 80, 75, 12, kPush, "映像情報..."},
    {kStartMarker, ControlKind::Static, 5, 98, 10, 8, kText, "◆"},
    {kSelectStart, ControlKind::Button, 15, 96, 45, 12, kPush, "開始位置"},
    {kStartPacket, ControlKind::Edit, 67, 97, 45, 10, kNumber, "12345678"},
    {kStartTime, ControlKind::Edit, 118, 97, 60, 10, kNumber, "hh:mm:ss.sss"},
    {kPlayBeforeStart, ControlKind::Button, 185, 96, 35, 12, kPush, "→∥"},
    {kPlayAfterStart, ControlKind::Button, 220, 96, 35, 12, kPush, "∥→"},
    {kAcquireStructure, ControlKind::Button, 265, 96, 75, 12, kPush, "番組構成取得"},
    {kEndMarker, ControlKind::Static, 5, 113, 10, 8, kText, "◆"},
    {kSelectEnd, ControlKind::Button, 15, 111, 45, 12, kPush, "終了位置"},
    {kEndPacket, ControlKind::Edit, 67, 112, 45, 10, kNumber, "12345678"},
    {kEndTime, ControlKind::Edit, 118, 112, 60, 10, kNumber, "hh:mm:ss.sss"},
    {kPlayBeforeEnd, ControlKind::Button, 185, 111, 35, 12, kPush, "→∥"},
    {kPlayAfterEnd, ControlKind::Button, 220, 111, 35, 12, kPush, "∥→"},
    {kProgrammeList, ControlKind::DropDownList, 265, 111, 75, 59, kDropList, nullptr},
    {kTimesToPackets, ControlKind::Button, 92, 124, 20, 12, kPush, "←"},
    {kPacketsToTimes, ControlKind::Button, 118, 124, 20, 12, kPush, "→"},
    {kCopyStartToEnd, ControlKind::Button, 163, 124, 15, 12, kPush, "↓"},
    {kNoId, ControlKind::Static, 185, 128, 34, 8, kLabel, "再生時間"},
    {kPlaySeconds, ControlKind::Edit, 222, 127, 23, 10, kNumber, "100"},
    {kNoId, ControlKind::Static, 249, 128, 10, 8, kLabel, "秒"},
    {kStepAhead100ms, ControlKind::Button, step_x(0), 143, 35, 14, kPush, "+0.1秒"},
    {kStepAhead500ms, ControlKind::Button, step_x(1), 143, 35, 14, kPush, "+0.5秒"},
    {kStepAhead1s, ControlKind::Button, step_x(2), 143, 35, 14, kPush, "+1秒"},
    {kStepAhead5s, ControlKind::Button, step_x(3), 143, 35, 14, kPush, "+5秒"},
    {kStepAhead20s, ControlKind::Button, step_x(4), 143, 35, 14, kPush, "+20秒"},
    {kStepAhead1min, ControlKind::Button, step_x(5), 143, 35, 14, kPush, "+1分"},
    {kStepAhead5min, ControlKind::Button, step_x(6), 143, 35, 14, kPush, "+5分"},
    {kStepAhead10min, ControlKind::Button, step_x(7), 143, 35, 14, kPush, "+10分"},
    {kStepAhead30min, ControlKind::Button, step_x(8), 143, 35, 14, kPush, "+30分"},
    {kStepBack100ms, ControlKind::Button, step_x(0), 157, 35, 14, kPush, "-0.1秒"},
    {kStepBack500ms, ControlKind::Button, step_x(1), 157, 35, 14, kPush, "-0.5秒"},
    {kStepBack1s, ControlKind::Button, step_x(2), 157, 35, 14, kPush, "-1秒"},
    {kStepBack5s, ControlKind::Button, step_x(3), 157, 35, 14, kPush, "-5秒"},
    {kStepBack20s, ControlKind::Button, step_x(4), 157, 35, 14, kPush, "-20秒"},
    {kStepBack1min, ControlKind::Button, step_x(5), 157, 35, 14, kPush, "-1分"},
    {kStepBack5min, ControlKind::Button, step_x(6), 157, 35, 14, kPush, "-5分"},
    {kStepBack10min, ControlKind::Button, step_x(7), 157, 35, 14, kPush, "-10分"},
    {kStepBack30min, ControlKind::Button, step_x(8), 157, 35, 14, kPush, "-30分"},
    {kPositionBar, ControlKind::HScrollBar, 10, 179, 330, 12, kHBar, nullptr},
    {kStatusLine, ControlKind::Static, 10, 197, 325, 10, kText, "MSG"},
    // Output area.
    {kNoId, ControlKind::Static, 5, 222, 110, 8, kLabel, "《出力先TSﾌｧｲﾙ名》  DEMUX："},
    {kDemuxList, ControlKind::DropDownList, 117, 220, 193, 56, kDropList, nullptr},
    {kOutputPath, ControlKind::Edit, 10, 236, 230, 12, kPath, ""},
    {kBrowseOutput, ControlKind::Button, 245, 236, 45, 12, kPush, "参照..."},
    // Buttons along the bottom.
    {kHelp, ControlKind::Button, 11, 263, 45, 14, kPush, "ﾍﾙﾌﾟ(&H)"},
    {kOptions, ControlKind::Button, 60, 263, 65, 14, kPush, "ｵﾌﾟｼｮﾝ設定..."},
    {kPlayerSettings, ControlKind::Button, 130, 263, 75, 14, kPush, "再生環境設定..."},
    {kExecuteCut, ControlKind::Button, 210, 263, 75, 14, kPush, "切り出し実行(&G)"},
    {kExit, ControlKind::DefaultButton, 290, 263, 50, 14, kDefPush, "終了(&X)"},
};

constexpr ControlTemplate kAboutControls[] = {
    {kNoId, ControlKind::Icon, 10, 10, 21, 20, kIconStyle, nullptr, kProgramIcon},
    {kProductLine, ControlKind::Static, 40, 16, 150, 10, kText, ""},
    {kIdOk, ControlKind::DefaultButton, 75, 52, 50, 14, kDefPush, "OK"},
};

constexpr ControlTemplate kFileSelectControls[] = {
    {kNoId, ControlKind::Static, 5, 5, 28, 8, kLabel, "ﾊﾟｽ名:"},
    {kChooserFolderText, ControlKind::Static, 35, 4, 250, 10, kFramedText, ""},
    {kNoId, ControlKind::Static, 5, 19, 60, 8, kLabel, "ﾌｫﾙﾀﾞ(&P):"},
    {kChooserFolders, ControlKind::ListBox, 5, 29, 135, 130, kSortedList, nullptr},
    {kNoId, ControlKind::Static, 150, 19, 60, 8, kLabel, "ﾌｧｲﾙ(&F):"},
    {kChooserFiles, ControlKind::ListBox, 150, 29, 135, 130, kSortedList, nullptr},
    {kNoId, ControlKind::Static, 5, 166, 48, 8, kLabel, "ﾄﾞﾗｲﾌﾞ(&D):"},
    {kChooserDrives, ControlKind::ListBox, 55, 164, 40, 42, kDriveList, nullptr},
    {kChooserDriveRoot, ControlKind::Button, 100, 164, 30, 14, kPush, "&\\:"},
    {kChooserNewFile, ControlKind::Button, 150, 164, 80, 14, kPush, "新しいﾌｧｲﾙ(&N)"},
    {ui::kIdOk, ControlKind::DefaultButton, 175, 190, 52, 14, kDefPush, "選択(&S)"},
    {ui::kIdCancel, ControlKind::Button, 233, 190, 52, 14, kPush, "ｷｬﾝｾﾙ(&C)"},
};

constexpr ControlTemplate kNewFileControls[] = {
    {kNewFileName, ControlKind::Edit, 5, 5, 240, 12, kPath, ""},
    {ui::kIdOk, ControlKind::DefaultButton, 135, 22, 52, 14, kDefPush, "設定(&S)"},
    {ui::kIdCancel, ControlKind::Button, 193, 22, 52, 14, kPush, "ｷｬﾝｾﾙ(&C)"},
};

constexpr ControlTemplate kViewerControls[] = {
    {kNoId, ControlKind::Static, 5, 6, 90, 8, kLabel, "《TS再生ﾌﾟﾛｸﾞﾗﾑ》"},
    {kViewerPlayerPath, ControlKind::Edit, 10, 17, 185, 12, kPath, ""},
    {kViewerBrowse, ControlKind::Button, 200, 17, 45, 12, kPush, "参照..."},
    {kNoId, ControlKind::Static, 5, 37, 90, 8, kLabel, "《ｵﾌﾟｼｮﾝ文字列》"},
    {kViewerOptionsEnabled, ControlKind::CheckBox, 10, 48, 32, 12, kCheck, "有効"},
    {kViewerOptions, ControlKind::Edit, 45, 48, 200, 12, kPath, ""},
    {kViewerPreviewEnabled, ControlKind::CheckBox, 10, 68, 150, 10, kCheck, "ﾌﾟﾚﾋﾞｭｰｳｨﾝﾄﾞｳを有効にする"},
    {ui::kIdOk, ControlKind::DefaultButton, 135, 86, 52, 14, kDefPush, "設定(&S)"},
    {ui::kIdCancel, ControlKind::Button, 193, 86, 52, 14, kPush, "ｷｬﾝｾﾙ(&C)"},
};

constexpr ControlTemplate kOptionControls[] = {
    {kNoId, ControlKind::Static, 5, 6, 100, 8, kLabel, "《ﾄｰﾀﾙ時間の算出方法》"},
    {kOptionFirstLastPcr, ControlKind::RadioButton, 10, 17, 235, 10, kFirstRadio,
     "[1]：先頭／末尾のPCRから算出（正確，PCR不連続時NG）"},
    {kOptionHeadPcrs, ControlKind::RadioButton, 10, 29, 235, 10, kRadio, "[2]：先頭付近の複数個のPCRから推定（多少誤差が出る）"},
    {kOptionAutomatic, ControlKind::RadioButton, 10, 41, 235, 10, kRadio, "[3]：[1]と[2]を自動切換（推奨）"},
    {kOptionStopOnError, ControlKind::CheckBox, 5, 59, 240, 10, kCheck | kWsGroup,
     "ﾃﾞｺｰﾄﾞｴﾗｰを１回検出したら、その画面のﾃﾞｺｰﾄﾞを中止する。"},
    {ui::kIdOk, ControlKind::DefaultButton, 135, 78, 52, 14, kDefPush | kWsGroup, "設定(&S)"},
    {ui::kIdCancel, ControlKind::Button, 193, 78, 52, 14, kPush, "ｷｬﾝｾﾙ(&C)"},
};

// The video information: a label and its value on each row, OK below.
constexpr int16_t info_y(int row) { return int16_t(8 + 12 * row); }
constexpr ControlTemplate kVideoInfoControls[] = {
    {kNoId, ControlKind::Static, 8, info_y(0), 60, 8, kLabel, "画像ﾃﾞｰﾀｻｲｽﾞ"},
    {kVideoInfoFirstText + 0, ControlKind::Static, 70, info_y(0), 122, 8, kText, ""},
    {kNoId, ControlKind::Static, 8, info_y(1), 60, 8, kLabel, "ｱｽﾍﾟｸﾄ比"},
    {kVideoInfoFirstText + 1, ControlKind::Static, 70, info_y(1), 122, 8, kText, ""},
    {kNoId, ControlKind::Static, 8, info_y(2), 60, 8, kLabel, "ﾌﾚｰﾑﾚｰﾄ"},
    {kVideoInfoFirstText + 2, ControlKind::Static, 70, info_y(2), 122, 8, kText, ""},
    {kNoId, ControlKind::Static, 8, info_y(3), 60, 8, kLabel, "ﾌﾟﾛﾌｧｲﾙ"},
    {kVideoInfoFirstText + 3, ControlKind::Static, 70, info_y(3), 122, 8, kText, ""},
    {kNoId, ControlKind::Static, 8, info_y(4), 60, 8, kLabel, "ﾚﾍﾞﾙ"},
    {kVideoInfoFirstText + 4, ControlKind::Static, 70, info_y(4), 122, 8, kText, ""},
    {kNoId, ControlKind::Static, 8, info_y(5), 60, 8, kLabel, "I／P"},
    {kVideoInfoFirstText + 5, ControlKind::Static, 70, info_y(5), 122, 8, kText, ""},
    {kNoId, ControlKind::Static, 8, info_y(6), 60, 8, kLabel, "ｸﾛﾏ"},
    {kVideoInfoFirstText + 6, ControlKind::Static, 70, info_y(6), 122, 8, kText, ""},
    {kNoId, ControlKind::Static, 8, info_y(7), 60, 8, kLabel, "映像ﾌｫｰﾏｯﾄ"},
    {kVideoInfoFirstText + 7, ControlKind::Static, 70, info_y(7), 122, 8, kText, ""},
    {kNoId, ControlKind::Static, 8, info_y(8), 60, 8, kLabel, "映像PID"},
    {kVideoInfoLastText, ControlKind::Static, 70, info_y(8), 122, 8, kText, ""},
    {ui::kIdOk, ControlKind::DefaultButton, 75, 120, 50, 14, kDefPush, "OK"},
};

constexpr DialogTemplate kDialogs[] = {
    // A visible child with caption, system menu and modal frame (the caption is dropped when it
    // becomes the client of the main frame).
    {kMainDialog, kWsChild | kWsVisible | kWsCaption | kWsSysMenu | kDsModalFrame | kDsSetFont, 10, 20, 350,
     285, kTitle, "ＭＳ ゴシック", 12, kMainControls, sizeof kMainControls / sizeof kMainControls[0]},
    // Modal popup.
    {kAboutDialog, kWsPopup | kWsCaption | kWsSysMenu | kDsModalFrame | kDsSetFont, 0, 0, 200, 75,
     "バージョン情報", "ＭＳ Ｐゴシック", 12, kAboutControls, sizeof kAboutControls / sizeof kAboutControls[0]},
    // The progress window of a tool run: a visible modal popup with caption and system menu, no
    // controls; the run's title replaces the caption, and the bar is drawn on the client area.
    {kProgressDialog, kWsPopup | kWsVisible | kWsCaption | kWsSysMenu | kDsModalFrame | kDsSetFont, 0, 0, 120, 30,
     "進度表示", "ＭＳ ゴシック", 12, nullptr, 0},
    // Popup without caption, dialog frame only, centred on the screen; its set-up sizes it to the
    // 320 x 200 picture.
    {kLogoDialog, kWsPopup | kWsDlgFrame | kDsCenter | kDsModalFrame | kDsSetFont, 0, 0, 160, 100, nullptr,
     "ＭＳ ゴシック", 12, nullptr, 0},
    // The path chooser and the new-file dialog: modal popups like the version box, placed a
    // little below and right of their owner's corner. The new-file dialog keeps the system font.
    {kFileSelectDialog, kWsPopup | kWsCaption | kWsSysMenu | kDsModalFrame | kDsSetFont, 20, 20, 290, 210,
     "パスの選択", "ＭＳ ゴシック", 12, kFileSelectControls, sizeof kFileSelectControls / sizeof kFileSelectControls[0]},
    {kNewFileDialog, kWsPopup | kWsCaption | kWsSysMenu | kDsModalFrame, 30, 60, 250, 40, "新しいﾌｧｲﾙ名の入力",
     nullptr, 0, kNewFileControls, sizeof kNewFileControls / sizeof kNewFileControls[0]},
    // The player settings and the options: modal popups placed like the path chooser.
    {kViewerDialog, kWsPopup | kWsCaption | kWsSysMenu | kDsModalFrame | kDsSetFont, 20, 20, 250, 105,
     "再生環境設定", "ＭＳ ゴシック", 12, kViewerControls, sizeof kViewerControls / sizeof kViewerControls[0]},
    {kOptionDialog, kWsPopup | kWsCaption | kWsSysMenu | kDsModalFrame | kDsSetFont, 20, 20, 250, 97,
     "オプション設定", "ＭＳ ゴシック", 12, kOptionControls, sizeof kOptionControls / sizeof kOptionControls[0]},
    // The video information: a modal popup placed like the path chooser.
    {kVideoInfoDialog, kWsPopup | kWsCaption | kWsSysMenu | kDsModalFrame | kDsSetFont, 20, 20, 200, 140,
     "映像情報", "ＭＳ ゴシック", 12, kVideoInfoControls, sizeof kVideoInfoControls / sizeof kVideoInfoControls[0]},
};

constexpr MenuEntry kMainMenuEntries[] = {
    {MenuRow::Popup, 0, "ﾌｧｲﾙ(&F)"},
    {MenuRow::Item, kMenuExit, "終了(&X)"},
    {MenuRow::EndPopup, 0, nullptr},
    {MenuRow::Popup, 0, "ﾍﾙﾌﾟ(&H)"},
    {MenuRow::Item, kMenuHelp, "ﾍﾙﾌﾟ(&H)"},
    {MenuRow::Separator, 0, nullptr},
    {MenuRow::Item, kMenuAbout, "ﾊﾞｰｼﾞｮﾝ情報(&A)..."},
    {MenuRow::EndPopup, 0, nullptr},
};

constexpr MenuTemplate kMenus[] = {
    {kMainMenu, kMainMenuEntries, sizeof kMainMenuEntries / sizeof kMainMenuEntries[0]},
};

}  // namespace

std::span<const DialogTemplate> dialog_templates() { return kDialogs; }
std::span<const MenuTemplate> menu_templates() { return kMenus; }

}  // namespace res
