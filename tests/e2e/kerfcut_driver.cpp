// Drives the real kerfcut.exe through its windows the way a person would, for the end-to-end test
// under Wine: starts it in a program folder, waits for the logo and the main window, reads and
// checks controls by id, compares the control rectangles with the dialog template, clicks
// buttons and menu entries, answers message boxes, saves screenshots, and checks the settings
// file that the program leaves behind.
//
// Usage: kerfcut_driver <program folder> <screenshot folder>
//        kerfcut_driver <program folder> --start-only   (a shipped folder starts, shows its logo and
//        main window, and saves its settings beside the program at exit)
// Exit status 0 when every check held; each failed check prints one line.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "resources/ids.h"
#include "resources/templates.h"
#include "tests/e2e/driver_util.h"
#include "tests/e2e/cut_scenario.h"
#include "tests/e2e/path_chooser_scenario.h"
#include "tests/e2e/player_scenario.h"
#include "tests/e2e/preview_scenario.h"
#include "ui/dialog_template.h"

// The loading of recordings and the editing of the cut range (load_and_range_e2e.cpp).
void check_loading_and_range_editing(const std::wstring& programFolder, const std::wstring& shots);

namespace {

// The dialog base units are whole numbers; find the ones that give the dialog's client size.
bool base_units(HWND dialog, const ui::DialogTemplate& t, int& bx, int& by) {
  RECT c;
  GetClientRect(dialog, &c);
  bx = by = 0;
  for (int b = 1; b < 64 && bx == 0; ++b) {
    if (MulDiv(t.cx, b, 4) == c.right) bx = b;
  }
  for (int b = 1; b < 64 && by == 0; ++b) {
    if (MulDiv(t.cy, b, 8) == c.bottom) by = b;
  }
  return bx != 0 && by != 0;
}

// Every addressed control of the main dialog where the template puts it.
void check_layout(HWND dialog) {
  const ui::DialogTemplate* t = nullptr;
  for (const ui::DialogTemplate& d : res::dialog_templates()) {
    if (d.id == res::kMainDialog) t = &d;
  }
  int bx, by;
  check(base_units(dialog, *t, bx, by), "dialog client size is a whole number of base units");
  if (bx == 0 || by == 0) return;
  int checked = 0, addressed = 0;
  for (size_t i = 0; i < t->controlCount; ++i) {
    const ui::ControlTemplate& c = t->controls[i];
    if (c.id == ui::kNoId) continue;
    ++addressed;
    HWND h = GetDlgItem(dialog, c.id);
    check(h != nullptr, "control exists", std::to_wstring(c.id));
    if (h == nullptr) continue;
    RECT r;
    GetWindowRect(h, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    // The dialog manager maps the position and the size separately.
    RECT want{MulDiv(c.x, bx, 4), MulDiv(c.y, by, 8), 0, 0};
    want.right = want.left + MulDiv(c.cx, bx, 4);
    want.bottom = want.top + MulDiv(c.cy, by, 8);
    // A closed drop-down list is as tall as its edit part, not as its template height.
    bool ok = r.left == want.left && r.top == want.top && r.right == want.right &&
              (c.kind == ui::ControlKind::DropDownList || r.bottom == want.bottom);
    check(ok, "control rectangle matches the template",
          std::to_wstring(c.id) + L": " + std::to_wstring(r.left) + L"," + std::to_wstring(r.top) + L"," +
              std::to_wstring(r.right) + L"," + std::to_wstring(r.bottom) + L" want " + std::to_wstring(want.left) +
              L"," + std::to_wstring(want.top) + L"," + std::to_wstring(want.right) + L"," +
              std::to_wstring(want.bottom));
    ++checked;
  }
  check(checked == addressed && checked == 57, "layout covered the controls");
}

constexpr size_t kRecord = 18;  // the Settings record starts after header and reserved word
const char kFrameTitle[] = "KerfCut Ver 1.20  (KerfWorks)";

// The start-up of a program folder as unpacked from the zip: logo, main window, exit button,
// the settings file written into the folder.
int check_start_only(const std::wstring& folder) {
  Session s;
  if (!open_session(folder, s, true)) return 1;
  check(text_of(s.frame) == wide(kFrameTitle), "frame title", text_of(s.frame));
  PostMessageW(s.dialog, WM_COMMAND, MAKEWPARAM(res::kExit, BN_CLICKED), LPARAM(GetDlgItem(s.dialog, res::kExit)));
  DWORD code = 0;
  check(wait_exit(s, code) && code == 0, "program ends on the exit button");
  check(file_size(folder + L"kerfcut.DAT") > 0, "settings saved in the program folder");
  return failures == 0 ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    printf("usage: kerfcut_driver <program folder> <screenshot folder> | --start-only\n");
    return 2;
  }
  std::wstring folder = argv[1];
  if (folder.back() != L'\\') folder += L'\\';
  if (std::wstring(argv[2]) == L"--start-only") return check_start_only(folder);
  std::wstring shots = argv[2];
  if (shots.back() != L'\\') shots += L'\\';
  std::wstring settings = folder + L"kerfcut.DAT";
  std::wstring drive = folder.substr(0, 3);
  DeleteFileW(settings.c_str());
  // Work files that the program removes at exit.
  for (const wchar_t* name : {L"PRG1.TS", L"PRG10.TS", L"DEMUX.tmp"}) {
    write_file(folder + name, {0x47});
  }

  // ---- First start: defaults on the real window ----
  Session s;
  if (!open_session(folder, s, true)) return 1;
  check(text_of(s.frame) == wide(kFrameTitle), "frame title", text_of(s.frame));
  check(item_text(s.dialog, res::kInputPath) == drive + L"INPUT_TS\\ORG.ts", "first-start input path",
        item_text(s.dialog, res::kInputPath));
  check(item_text(s.dialog, res::kOutputPath) == drive + L"OUTPUT_TS\\NEW.ts", "first-start output path",
        item_text(s.dialog, res::kOutputPath));
  check_text(s.dialog, res::kBitrate, "16.500000", "first-start bitrate");
  check_text(s.dialog, res::kTotalTime, "00:00:00.000", "first-start total time");
  check_text(s.dialog, res::kPlaySeconds, "5", "first-start playing time");
  check_text_soon(s.dialog, res::kPcrRange, "PCR：[00:00:00.000～00:00:00.000]", "first-start PCR field");
  check_text(s.dialog, res::kStartMarker, "◆", "start marker");
  check_text(s.dialog, res::kEndMarker, "　", "end marker");
  check_text(s.dialog, res::kStartPacket, "00000000", "start packet");
  check_text(s.dialog, res::kFileSize, " 0.000GB", "file size");
  HWND demux = GetDlgItem(s.dialog, res::kDemuxList);
  check(SendMessageW(demux, CB_GETCOUNT, 0, 0) == 3, "DEMUX list has three entries");
  check(SendMessageW(demux, CB_GETCURSEL, 0, 0) == 0, "DEMUX list shows its first entry");
  check(text_of(demux) == wide("DEMUXしない（通常）"), "DEMUX list first entry", text_of(demux));
  check(IsWindowEnabled(GetDlgItem(s.dialog, res::kOutputPath)) && IsWindowEnabled(GetDlgItem(s.dialog, res::kBrowseOutput)),
        "output path enabled in mode 0");
  int smin = -1, smax = -1;
  GetScrollRange(GetDlgItem(s.dialog, res::kPositionBar), SB_CTL, &smin, &smax);
  check(smin == 0 && smax == 629, "scroll range 0 to 629");
  RECT fr;
  GetWindowRect(s.frame, &fr);
  check((GetWindowLongW(s.frame, GWL_STYLE) & WS_MAXIMIZEBOX) == 0, "frame has no maximise box");
  check_layout(s.dialog);
  // Light grey behind the dialog and its labels and fields, as every dialog answers.
  check(screen_pixel(s.dialog, 1, 1) == RGB(192, 192, 192), "dialog background light grey");
  {
    RECT r;
    HWND total = GetDlgItem(s.dialog, res::kTotalTime);
    GetClientRect(total, &r);
    check(screen_pixel(total, 2, r.bottom / 2) == RGB(192, 192, 192), "field background light grey");
  }
  capture(s.frame, shots + L"main-window.bmp");  // first start: the defaults

  // The frame keeps its size: a resize request is answered with the recorded size.
  SetWindowPos(s.frame, nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER);
  RECT fr2;
  GetWindowRect(s.frame, &fr2);
  check(fr2.right - fr2.left == fr.right - fr.left && fr2.bottom - fr2.top == fr.bottom - fr.top,
        "frame size is fixed");

  // A relative input path: the full-path message, owned by the main dialog.
  SendMessageW(GetDlgItem(s.dialog, res::kInputPath), WM_SETTEXT, 0, LPARAM(L"INPUT.ts"));
  PostMessageW(s.dialog, WM_COMMAND, MAKEWPARAM(res::kUpdateInput, BN_CLICKED), LPARAM(GetDlgItem(s.dialog, res::kUpdateInput)));
  std::wstring errorTitle = wide("エラー");
  HWND box = wait_window(s.p.pid(), L"#32770", errorTitle.c_str(), 20000);
  check(box != nullptr, "full-path message box appears");
  if (box != nullptr) {
    HWND label = GetDlgItem(box, 0xFFFF);
    check(text_of(label) == wide("入力元TSファイル名はフルパス（例：C:\\INPUT_TS\\ORG.ts）で指定してください."),
          "full-path message text", text_of(label));
    check(!IsWindowEnabled(s.frame), "message box is modal to the main window");
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    check(wait_gone(s.p.pid(), L"#32770", errorTitle.c_str()), "message box closes");
  }

  // The version box from the help menu, placed over the main dialog.
  PostMessageW(s.frame, WM_COMMAND, MAKEWPARAM(res::kMenuAbout, 0), 0);
  std::wstring aboutTitle = wide("バージョン情報");
  HWND about = wait_window(s.p.pid(), L"#32770", aboutTitle.c_str(), 20000);
  check(about != nullptr, "about box appears");
  if (about != nullptr) {
    check_text(about, res::kProductLine, "KerfCut Ver 1.20  (KerfWorks)", "about product line");
    RECT ar, dr;
    GetWindowRect(about, &ar);
    GetWindowRect(s.dialog, &dr);
    int dx = (dr.right - dr.left - (ar.right - ar.left)) / 2;
    check(ar.left == dr.left + (dx > 0 ? dx : 0), "about box centred across the main dialog",
          std::to_wstring(ar.left) + L" " + std::to_wstring(dr.left));
    capture(about, shots + L"about.bmp");
    PostMessageW(about, WM_COMMAND, IDOK, 0);
    check(wait_gone(s.p.pid(), L"#32770", aboutTitle.c_str()), "about box closes");
  }

  // A new output path, kept through the settings file; then exit through the menu.
  SendMessageW(GetDlgItem(s.dialog, res::kInputPath), WM_SETTEXT, 0, LPARAM((drive + L"録画\\入力.ts").c_str()));
  SendMessageW(GetDlgItem(s.dialog, res::kOutputPath), WM_SETTEXT, 0, LPARAM((drive + L"出力\\切り出し.ts").c_str()));
  SendMessageW(GetDlgItem(s.dialog, res::kPlaySeconds), WM_SETTEXT, 0, LPARAM(L"1000"));
  PostMessageW(s.frame, WM_COMMAND, MAKEWPARAM(res::kMenuExit, 0), 0);
  DWORD code = 1;
  check(wait_exit(s, code), "program ends after menu 1050");
  check(code == 0, "exit code 0");

  std::vector<unsigned char> saved = read_file(settings);
  check(saved.size() == 3462, "settings file of 3462 bytes", std::to_wstring(saved.size()));
  check(saved.size() >= 14 && memcmp(saved.data(), "KERFCUT0120HST", 14) == 0, "settings header");
  if (saved.size() == 3462) {
    std::string input(reinterpret_cast<const char*>(saved.data() + kRecord + 8));
    check(wide(input.c_str()) == drive + L"録画\\入力.ts", "input path saved in CP932", wide(input.c_str()));
    int32_t play = 0;
    memcpy(&play, saved.data() + kRecord + 1312, 4);
    check(play == 600, "playing time 1000 saved as 600");
  }
  for (const wchar_t* name : {L"PRG1.TS", L"PRG10.TS", L"DEMUX.tmp"}) {
    check(GetFileAttributesW((folder + name).c_str()) == INVALID_FILE_ATTRIBUTES, "work file deleted at exit", name);
  }

  // ---- Second start: the saved values come back ----
  Session s2;
  if (!open_session(folder, s2, false)) return 1;
  check(item_text(s2.dialog, res::kOutputPath) == drive + L"出力\\切り出し.ts", "output path restored",
        item_text(s2.dialog, res::kOutputPath));
  check_text(s2.dialog, res::kPlaySeconds, "600", "playing time restored");
  capture(s2.frame, shots + L"main-window-restarted.bmp");
  PostMessageW(s2.dialog, WM_COMMAND, MAKEWPARAM(res::kExit, BN_CLICKED), LPARAM(GetDlgItem(s2.dialog, res::kExit)));
  check(wait_exit(s2, code), "program ends on the exit button");

  // ---- Third start: DEMUX.cfg mode and no preview ----
  saved = read_file(settings);
  if (saved.size() == 3462) {
    put32(saved, kRecord + 1376, 2);  // DemuxMode
    put32(saved, kRecord + 1316, 0);  // previewEnabled
    put32(saved, kRecord + 1368, 1);  // activePoint: end row
    write_file(settings, saved);
  }
  Session s3;
  if (!open_session(folder, s3, false)) return 1;
  check(!IsWindowEnabled(GetDlgItem(s3.dialog, res::kOutputPath)), "output path disabled in mode 2");
  check(!IsWindowEnabled(GetDlgItem(s3.dialog, res::kBrowseOutput)), "output browse disabled in mode 2");
  check(SendMessageW(GetDlgItem(s3.dialog, res::kDemuxList), CB_GETCURSEL, 0, 0) == 2, "DEMUX list shows mode 2");
  check(item_text(s3.dialog, res::kPcrRange).empty(), "PCR field empty without preview");
  check_text(s3.dialog, res::kStartMarker, "　", "start marker cleared");
  check_text(s3.dialog, res::kEndMarker, "◆", "end marker set");
  PostMessageW(s3.frame, WM_CLOSE, 0, 0);
  check(wait_exit(s3, code), "program ends on closing the frame");

  // ---- A damaged settings file is deleted and replaced at exit ----
  saved = read_file(settings);
  if (saved.size() == 3462) {
    saved.pop_back();
    write_file(settings, saved);
  }
  Session s4;
  if (!open_session(folder, s4, false)) return 1;
  // The record was read up to its last byte before the file was found short: those bytes stay.
  check(GetFileAttributesW(settings.c_str()) == INVALID_FILE_ATTRIBUTES, "short settings file deleted at start");
  check(item_text(s4.dialog, res::kInputPath) == drive + L"録画\\入力.ts", "bytes read from a short file stay",
        item_text(s4.dialog, res::kInputPath));
  PostMessageW(s4.frame, WM_COMMAND, MAKEWPARAM(res::kMenuExit, 0), 0);
  check(wait_exit(s4, code), "program ends");
  check(read_file(settings).size() == 3462, "a whole settings file written after a damaged one");

  // ---- The settings file locked by another program, then read-only: the program starts (with
  // the defaults, or with what it could read), closes when asked, and the file stays as it was ----
  const std::vector<unsigned char> kept = read_file(settings);
  {
    const HANDLE lock = CreateFileW(settings.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    check(lock != INVALID_HANDLE_VALUE, "settings file locked by another program");
    Session s5;
    if (open_session(folder, s5, false)) {
      check_text(s5.dialog, res::kPlaySeconds, "5", "defaults while the settings file is locked");
      PostMessageW(s5.frame, WM_COMMAND, MAKEWPARAM(res::kMenuExit, 0), 0);
      check(wait_exit(s5, code), "program ends while its settings file is locked");
    }
    if (lock != INVALID_HANDLE_VALUE) CloseHandle(lock);
    check(read_file(settings) == kept, "locked settings file unchanged");
  }
  check(SetFileAttributesW(settings.c_str(), FILE_ATTRIBUTE_READONLY) != 0, "settings file made read-only");
  // Wine run by root lets a program write a read-only file; there the program may save as usual.
  bool writable = false;
  {
    const HANDLE probe = CreateFileW(settings.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    writable = probe != INVALID_HANDLE_VALUE;
    if (writable) {
      printf("NOTE: the read-only attribute does not keep this process from writing the settings file\n");
      CloseHandle(probe);
    }
  }
  {
    Session s6;
    if (open_session(folder, s6, false)) {
      check_text(s6.dialog, res::kPlaySeconds, "600", "read-only settings file read");
      SendMessageW(GetDlgItem(s6.dialog, res::kOutputPath), WM_SETTEXT, 0, LPARAM((drive + L"別\\出力.ts").c_str()));
      PostMessageW(s6.frame, WM_COMMAND, MAKEWPARAM(res::kMenuExit, 0), 0);
      check(wait_exit(s6, code), "program ends with a read-only settings file");
    }
    if (!writable) check(read_file(settings) == kept, "read-only settings file unchanged");
    check(read_file(settings).size() == 3462, "read-only settings file whole");
  }
  SetFileAttributesW(settings.c_str(), FILE_ATTRIBUTE_NORMAL);

  check_loading_and_range_editing(folder, shots);

  run_path_chooser_scenario(folder);

  run_cut_scenario(folder);

  // The stand-in player program lies beside the driver.
  wchar_t self[MAX_PATH] = {};
  std::wstring here(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
  run_player_scenario(folder, here.substr(0, here.find_last_of(L'\\') + 1) + L"stand_in_player.exe");
  run_preview_scenario(folder, shots);
  if (failures != 0) printf("kerfcut end-to-end: %d checks failed\n", failures);
  return failures == 0 ? 0 : 1;
}
