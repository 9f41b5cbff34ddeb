// Drives the real kerfcut.exe through its windows the way a person would, for the end-to-end test
// under Wine: starts it in a program folder, waits for the logo and the main window, reads and
// checks controls by id, compares the control rectangles with the dialog template, clicks
// buttons and menu entries, answers message boxes, saves screenshots, and checks the settings
// file that the program leaves behind.
//
// Usage: kerfcut_driver <program folder> <screenshot folder>
// Exit status 0 when every check held; each failed check prints one line.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "resources/ids.h"
#include "tests/e2e/path_chooser_scenario.h"
#include "ui/dialog_template.h"

namespace {

int failures = 0;

std::wstring wide(const char* cp932) {
  int n = MultiByteToWideChar(932, 0, cp932, -1, nullptr, 0);
  std::wstring out(size_t(n > 0 ? n : 1), L'\0');
  MultiByteToWideChar(932, 0, cp932, -1, out.data(), n);
  out.resize(wcslen(out.c_str()));
  return out;
}

std::string utf8(const std::wstring& w) {
  int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(size_t(n > 0 ? n : 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, out.data(), n, nullptr, nullptr);
  out.resize(strlen(out.c_str()));
  return out;
}

void check(bool ok, const char* what, const std::wstring& detail = L"") {
  if (ok) return;
  ++failures;
  printf("FAILED: %s %s\n", what, utf8(detail).c_str());
  fflush(stdout);
}

std::wstring text_of(HWND h) {
  wchar_t buf[1024] = {};
  DWORD_PTR r = 0;
  SendMessageTimeoutW(h, WM_GETTEXT, 1024, LPARAM(buf), SMTO_ABORTIFHUNG, 5000, &r);
  return buf;
}

std::wstring item_text(HWND dialog, int id) { return text_of(GetDlgItem(dialog, id)); }

void check_text(HWND dialog, int id, const char* expected_cp932, const char* what) {
  std::wstring got = item_text(dialog, id);
  std::wstring want = wide(expected_cp932);
  check(got == want, what, L"got \"" + got + L"\" want \"" + want + L"\"");
}

struct Program {
  PROCESS_INFORMATION pi{};
  DWORD pid() const { return pi.dwProcessId; }
};

bool start(const std::wstring& folder, Program& p) {
  std::wstring exe = folder + L"kerfcut.exe";
  std::wstring cmd = L"\"" + exe + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  return CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &p.pi) !=
         FALSE;
}

struct Find {
  DWORD pid;
  const wchar_t* cls;
  const wchar_t* title;  // nullptr: any
  HWND found;
};

BOOL CALLBACK find_proc(HWND h, LPARAM lp) {
  auto* f = reinterpret_cast<Find*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  if (pid != f->pid || !IsWindowVisible(h)) return TRUE;
  wchar_t cls[64] = {};
  GetClassNameW(h, cls, 64);
  if (wcscmp(cls, f->cls) != 0) return TRUE;
  if (f->title != nullptr) {
    wchar_t t[256] = {};
    GetWindowTextW(h, t, 256);
    if (wcscmp(t, f->title) != 0) return TRUE;
  }
  f->found = h;
  return FALSE;
}

HWND find_window(DWORD pid, const wchar_t* cls, const wchar_t* title) {
  Find f{pid, cls, title, nullptr};
  EnumWindows(find_proc, LPARAM(&f));
  return f.found;
}

// Waits up to limit_ms for a visible top-level window of the process; nullptr on timeout.
HWND wait_window(DWORD pid, const wchar_t* cls, const wchar_t* title, int limit_ms = 60000) {
  for (int waited = 0; waited < limit_ms; waited += 50) {
    if (HWND h = find_window(pid, cls, title)) {
      DWORD_PTR r;
      if (SendMessageTimeoutW(h, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &r)) return h;
    }
    Sleep(50);
  }
  return nullptr;
}

bool wait_gone(DWORD pid, const wchar_t* cls, const wchar_t* title, int limit_ms = 30000) {
  for (int waited = 0; waited < limit_ms; waited += 50) {
    if (find_window(pid, cls, title) == nullptr) return true;
    Sleep(50);
  }
  return false;
}

// Writes the window's pixels as seen on the screen to a 24-bit BMP.
bool capture(HWND h, const std::wstring& path) {
  RECT r;
  GetWindowRect(h, &r);
  int w = r.right - r.left, ht = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = ht;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
  Sleep(300);
  BitBlt(mem, 0, 0, w, ht, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  int stride = (w * 3 + 3) / 4 * 4;
  BITMAPFILEHEADER fh{};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
  fh.bfSize = fh.bfOffBits + DWORD(stride * ht);
  bool ok = false;
  if (FILE* f = _wfopen(path.c_str(), L"wb")) {
    ok = fwrite(&fh, sizeof fh, 1, f) == 1 && fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f) == 1 &&
         fwrite(bits, size_t(stride * ht), 1, f) == 1;
    fclose(f);
  }
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return ok;
}

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
  const ui::DialogTemplate* t = ui::dialog_template(res::kMainDialog);
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

COLORREF screen_pixel(HWND h, int x, int y) {
  POINT pt{x, y};
  ClientToScreen(h, &pt);
  HDC screen = GetDC(nullptr);
  COLORREF c = GetPixel(screen, pt.x, pt.y);
  ReleaseDC(nullptr, screen);
  return c;
}

std::vector<unsigned char> read_file(const std::wstring& path);

// The logo as painted must be LOGO.BMP pixel for pixel, palette colours included.
void check_logo_pixels(HWND logo, const std::wstring& folder) {
  std::vector<unsigned char> bmp = read_file(folder + L"LOGO.BMP");
  check(bmp.size() == 14 + 40 + 1024 + 64000, "LOGO.BMP in the program folder");
  if (bmp.size() != 14 + 40 + 1024 + 64000) return;
  RedrawWindow(logo, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  Sleep(200);
  int wrong = 0;
  for (int y = 5; y < 200; y += 13) {
    for (int x = 3; x < 320; x += 17) {
      unsigned index = bmp[14 + 40 + 1024 + size_t(199 - y) * 320 + size_t(x)];
      const unsigned char* pal = &bmp[14 + 40 + index * 4];
      if (screen_pixel(logo, x, y) != RGB(pal[2], pal[1], pal[0])) ++wrong;
    }
  }
  check(wrong == 0, "logo painted 1:1 with its palette", std::to_wstring(wrong) + L" pixels differ");
}

struct Session {
  Program p;
  HWND frame = nullptr;
  HWND dialog = nullptr;
};

bool open_session(const std::wstring& folder, Session& s, bool expectLogo) {
  if (!start(folder, s.p)) {
    check(false, "kerfcut.exe starts");
    return false;
  }
  if (expectLogo) {
    // The logo: a captionless dialog whose client area is the 320 x 200 picture.
    // Generous: the first start in a prefix made under another locale reconfigures Wine first.
    HWND logo = wait_window(s.p.pid(), L"#32770", L"", 90000);
    check(logo != nullptr, "logo window appears");
    if (logo != nullptr) {
      RECT c;
      GetClientRect(logo, &c);
      check(c.right == 320 && c.bottom == 200, "logo client area is 320 x 200",
            std::to_wstring(c.right) + L"x" + std::to_wstring(c.bottom));
      check(find_window(s.p.pid(), L"KERFCUT:MAIN", nullptr) == nullptr, "main window waits for the logo");
      check_logo_pixels(logo, folder);
    }
  }
  s.frame = wait_window(s.p.pid(), L"KERFCUT:MAIN", nullptr);
  check(s.frame != nullptr, "main window appears");
  if (s.frame == nullptr) return false;
  s.dialog = FindWindowExW(s.frame, nullptr, L"#32770", nullptr);
  check(s.dialog != nullptr, "main dialog is the frame's client");
  return s.dialog != nullptr;
}

bool wait_exit(Session& s, DWORD& code) {
  bool ended = WaitForSingleObject(s.p.pi.hProcess, 30000) == WAIT_OBJECT_0;
  code = 0;
  GetExitCodeProcess(s.p.pi.hProcess, &code);
  if (!ended) TerminateProcess(s.p.pi.hProcess, 1);
  CloseHandle(s.p.pi.hProcess);
  CloseHandle(s.p.pi.hThread);
  return ended;
}

std::vector<unsigned char> read_file(const std::wstring& path) {
  std::vector<unsigned char> bytes;
  if (FILE* f = _wfopen(path.c_str(), L"rb")) {
    unsigned char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
    fclose(f);
  }
  return bytes;
}

bool write_file(const std::wstring& path, const std::vector<unsigned char>& bytes) {
  FILE* f = _wfopen(path.c_str(), L"wb");
  if (f == nullptr) return false;
  bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok;
}

void put32(std::vector<unsigned char>& b, size_t at, int32_t v) {
  for (int i = 0; i < 4; ++i) b[at + size_t(i)] = static_cast<unsigned char>(uint32_t(v) >> (8 * i));
}

constexpr size_t kRecord = 18;  // the Settings record starts after header and reserved word

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    printf("usage: kerfcut_driver <program folder> <screenshot folder>\n");
    return 2;
  }
  std::wstring folder = argv[1];
  if (folder.back() != L'\\') folder += L'\\';
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
  check(text_of(s.frame) == wide("KerfCut Ver 1.20  (KerfWorks)"), "frame title", text_of(s.frame));
  check(item_text(s.dialog, res::kInputPath) == drive + L"INPUT_TS\\ORG.ts", "first-start input path",
        item_text(s.dialog, res::kInputPath));
  check(item_text(s.dialog, res::kOutputPath) == drive + L"OUTPUT_TS\\NEW.ts", "first-start output path",
        item_text(s.dialog, res::kOutputPath));
  check_text(s.dialog, res::kBitrate, "16.500000", "first-start bitrate");
  check_text(s.dialog, res::kTotalTime, "00:00:00.000", "first-start total time");
  check_text(s.dialog, res::kPlaySeconds, "5", "first-start playing time");
  check_text(s.dialog, res::kPcrRange, "PCR：[00:00:00.000～00:00:00.000]", "first-start PCR field");
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

  failures += run_path_chooser_scenario(folder);
  if (failures != 0) printf("kerfcut end-to-end: %d checks failed\n", failures);
  return failures == 0 ? 0 : 1;
}
