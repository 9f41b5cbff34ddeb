// Helpers of the Win32 end-to-end driver (see driver_util.h).
#include "tests/e2e/driver_util.h"

#include <tlhelp32.h>

#include <cstdio>
#include <cstring>

#include "resources/ids.h"
#include "tests/support/stream_builder.h"

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

bool check(bool ok, const char* what, const std::wstring& detail) {
  if (ok) return true;
  ++failures;
  printf("FAILED: %s %s\n", what, utf8(detail).c_str());
  fflush(stdout);
  return false;
}

std::wstring text_of(HWND h) {
  wchar_t buf[1024] = {};
  DWORD_PTR r = 0;
  SendMessageTimeoutW(h, WM_GETTEXT, 1024, LPARAM(buf), SMTO_NORMAL, kAnswerLimitMs, &r);
  return buf;
}

std::wstring item_text(HWND dialog, int id) { return text_of(GetDlgItem(dialog, id)); }

void check_text(HWND dialog, int id, const char* expected_cp932, const char* what) {
  std::wstring got = item_text(dialog, id);
  std::wstring want = wide(expected_cp932);
  check(got == want, what, L"got \"" + got + L"\" want \"" + want + L"\"");
}

void check_text_soon(HWND dialog, int id, const char* expected_cp932, const char* what) {
  const std::wstring want = wide(expected_cp932);
  for (int waited = 0; waited < int(kAnswerLimitMs) && item_text(dialog, id) != want; waited += 50) Sleep(50);
  check_text(dialog, id, expected_cp932, what);
}

bool start(const std::wstring& folder, Program& p, const std::wstring& args) {
  std::wstring exe = folder + L"kerfcut.exe";
  std::wstring cmd = L"\"" + exe + L"\"";
  if (!args.empty()) cmd += L" " + args;
  STARTUPINFOW si{};
  si.cb = sizeof si;
  return CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &p.pi) !=
         FALSE;
}

namespace {

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

}  // namespace

HWND find_window(DWORD pid, const wchar_t* cls, const wchar_t* title) {
  Find f{pid, cls, title, nullptr};
  EnumWindows(find_proc, LPARAM(&f));
  return f.found;
}

// Waits up to limit_ms for a visible top-level window of the process; nullptr on timeout.
HWND wait_window(DWORD pid, const wchar_t* cls, const wchar_t* title, int limit_ms) {
  for (int waited = 0; waited < limit_ms; waited += 50) {
    if (HWND h = find_window(pid, cls, title)) {
      DWORD_PTR r;
      if (SendMessageTimeoutW(h, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &r)) return h;
    }
    Sleep(50);
  }
  return nullptr;
}

HWND wait_dialog(DWORD pid, const std::wstring& title, int limit_ms) {
  for (int waited = 0; waited <= limit_ms; waited += 20) {
    if (HWND h = find_window(pid, L"#32770", title.c_str())) return h;
    Sleep(20);
  }
  return nullptr;
}

long long file_size(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA d;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &d)) return -1;
  return (long long)d.nFileSizeHigh << 32 | d.nFileSizeLow;
}

std::wstring size_text(long long bytes) {
  char buf[32];
  snprintf(buf, sizeof buf, "%6.3fGB", double(bytes) * 0.000000001);
  return wide(buf);
}

int run_to_end(const std::wstring& line) {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::wstring copy = line;
  if (!CreateProcessW(nullptr, copy.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi)) {
    return -1;
  }
  DWORD code = DWORD(-1);
  if (WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  return int(code);
}

bool wait_gone(DWORD pid, const wchar_t* cls, const wchar_t* title, int limit_ms) {
  for (int waited = 0; waited < limit_ms; waited += 50) {
    if (find_window(pid, cls, title) == nullptr) return true;
    Sleep(50);
  }
  return false;
}

FileStamp stamp_of(const std::wstring& path) {
  FileStamp s;
  WIN32_FILE_ATTRIBUTE_DATA d;
  s.exists = GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &d) != FALSE;
  if (!s.exists) return s;
  s.written = d.ftLastWriteTime;
  s.bytes = read_file(path);
  return s;
}

bool wait_tool_run(const std::wstring& folder, HWND dialog, const FileStamp& before, int limit_ms) {
  const std::wstring list = folder + L"DEMUX.txt", lock = folder + L"lockfile";
  for (int waited = 0;; waited += 50) {
    // DEMUX.txt first: once it is rewritten the run has begun, and a lock file gone after that
    // means the run is over.
    const FileStamp now = stamp_of(list);
    if (now.exists && !(now == before) && GetFileAttributesW(lock.c_str()) == INVALID_FILE_ATTRIBUTES) break;
    if (waited >= limit_ms) return false;
    Sleep(50);
  }
  // The rest of the command (the measurement of a load) runs before the next message is handled.
  DWORD_PTR r = 0;
  return SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_NORMAL, DWORD(limit_ms), &r) != 0;
}

HANDLE wait_child(DWORD parent, const wchar_t* exe, int limit_ms) {
  for (int waited = 0; waited <= limit_ms; waited += 20) {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return nullptr;
    PROCESSENTRY32W pe{};
    pe.dwSize = sizeof pe;
    DWORD child = 0;
    for (BOOL ok = Process32FirstW(snap, &pe); ok && child == 0; ok = Process32NextW(snap, &pe)) {
      if (pe.th32ParentProcessID == parent && _wcsicmp(pe.szExeFile, exe) == 0) child = pe.th32ProcessID;
    }
    CloseHandle(snap);
    if (child != 0) return OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, child);
    Sleep(20);
  }
  return nullptr;
}

// Writes the window's pixels as seen on the screen to a 24-bit BMP.
bool capture(HWND h, const std::wstring& path) {
  RECT r;
  GetWindowRect(h, &r);
  RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
  Sleep(300);
  return capture_rect(r, path);
}

namespace {

// Copies a rectangle of the screen into a bottom-up (height > 0) or top-down (height < 0) 24-bit
// picture with rows padded to 4 bytes.
std::vector<unsigned char> grab(const RECT& r, bool topDown, BITMAPINFOHEADER& header) {
  const int w = r.right - r.left, ht = r.bottom - r.top;
  header = BITMAPINFOHEADER{};
  header.biSize = sizeof header;
  header.biWidth = w;
  header.biHeight = topDown ? -ht : ht;
  header.biPlanes = 1;
  header.biBitCount = 24;
  const int stride = (w * 3 + 3) / 4 * 4;
  std::vector<unsigned char> out(size_t(stride) * size_t(ht > 0 ? ht : 0));
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bmp != nullptr) {
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, ht, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    memcpy(out.data(), bits, out.size());
    SelectObject(mem, old);
    DeleteObject(bmp);
  }
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return out;
}

}  // namespace

bool capture_rect(const RECT& r, const std::wstring& path) {
  BITMAPINFOHEADER header;
  const std::vector<unsigned char> bits = grab(r, false, header);
  BITMAPFILEHEADER fh{};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof fh + sizeof header;
  fh.bfSize = fh.bfOffBits + DWORD(bits.size());
  bool ok = false;
  if (FILE* f = _wfopen(path.c_str(), L"wb")) {
    ok = fwrite(&fh, sizeof fh, 1, f) == 1 && fwrite(&header, sizeof header, 1, f) == 1 &&
         fwrite(bits.data(), bits.size(), 1, f) == 1;
    fclose(f);
  }
  return ok;
}

std::vector<unsigned char> screen_pixels(const RECT& r) {
  BITMAPINFOHEADER header;
  std::vector<unsigned char> padded = grab(r, true, header);
  const size_t row = size_t(r.right - r.left) * 3, stride = (row + 3) / 4 * 4;
  std::vector<unsigned char> out;
  for (size_t at = 0; at + row <= padded.size(); at += stride) out.insert(out.end(), &padded[at], &padded[at] + row);
  return out;
}

COLORREF screen_pixel(HWND h, int x, int y) {
  POINT pt{x, y};
  ClientToScreen(h, &pt);
  HDC screen = GetDC(nullptr);
  COLORREF c = GetPixel(screen, pt.x, pt.y);
  ReleaseDC(nullptr, screen);
  return c;
}

void check_logo_pixels(HWND logo, const std::wstring& folder) {
  std::vector<unsigned char> bmp = read_file(folder + L"LOGO.BMP");
  check(bmp.size() == 14 + 40 + 1024 + 64000, "LOGO.BMP in the program folder");
  if (bmp.size() != 14 + 40 + 1024 + 64000) return;
  RedrawWindow(logo, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  Sleep(200);
  // The logo lives two seconds: its pixels are read in one grab of the client area, not pixel by
  // pixel (each read is a round trip to the display), so a driver that is scheduled late still
  // reads them while the logo is up.
  RECT area;
  GetClientRect(logo, &area);
  MapWindowPoints(logo, nullptr, reinterpret_cast<POINT*>(&area), 2);
  const std::vector<unsigned char> shown = screen_pixels(area);
  const size_t width = size_t(area.right - area.left);
  check(shown.size() == width * size_t(area.bottom - area.top) * 3 && width == 320, "logo area read");
  if (shown.size() != 320 * 200 * 3) return;
  int wrong = 0;
  for (int y = 5; y < 200; y += 13) {
    for (int x = 3; x < 320; x += 17) {
      unsigned index = bmp[14 + 40 + 1024 + size_t(199 - y) * 320 + size_t(x)];
      const unsigned char* pal = &bmp[14 + 40 + index * 4];
      const unsigned char* px = &shown[(size_t(y) * 320 + size_t(x)) * 3];   // blue, green, red
      if (px[2] != pal[2] || px[1] != pal[1] || px[0] != pal[0]) ++wrong;
    }
  }
  check(wrong == 0, "logo painted 1:1 with its palette", std::to_wstring(wrong) + L" pixels differ");
}

bool open_session(const std::wstring& folder, Session& s, bool expectLogo, const std::wstring& args) {
  if (!start(folder, s.p, args)) {
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
  FILE* f = _wfopen(path.c_str(), L"rb");
  // The program opens files without sharing, and its preview reads the loaded recording in a paint
  // that may come just after a command: an existing file that cannot be opened is tried again.
  for (int waited = 0; f == nullptr && waited < 10000 && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
       waited += 50) {
    Sleep(50);
    f = _wfopen(path.c_str(), L"rb");
  }
  if (f != nullptr) {
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

// ---- Cutter ----

bool Cutter::Start(const std::wstring& folder) {
  std::wstring exe = folder + L"kerfcut.exe";
  std::wstring cmd = L"\"" + exe + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  if (!CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &pi_)) {
    return false;
  }
  for (int waited = 0; waited < 90000 && dialog_ == nullptr; waited += 50) {
    HWND frame = FindWindowW(L"KERFCUT:MAIN", nullptr);
    DWORD pid = 0;
    if (frame != nullptr) GetWindowThreadProcessId(frame, &pid);
    if (pid == pi_.dwProcessId && IsWindowVisible(frame)) {
      frame_ = frame;
      dialog_ = FindWindowExW(frame, nullptr, L"#32770", nullptr);
    }
    if (dialog_ == nullptr) Sleep(50);
  }
  return dialog_ != nullptr;
}

void Cutter::Choose(int id, int index) {
  SendMessageTimeoutW(item(id), CB_SETCURSEL, WPARAM(index), 0, SMTO_NORMAL, kAnswerLimitMs, nullptr);
  PostMessageW(dialog_, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), LPARAM(item(id)));
  Idle();
}

void Cutter::Idle() {
  DWORD_PTR r;
  SendMessageTimeoutW(dialog_, WM_NULL, 0, 0, SMTO_NORMAL, kAnswerLimitMs, &r);
}

std::vector<std::wstring> Cutter::Items(int id) {
  std::vector<std::wstring> items;
  HWND combo = item(id);
  LRESULT n = SendMessageW(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < n; ++i) {
    wchar_t buf[256] = {};
    if (SendMessageW(combo, CB_GETLBTEXTLEN, WPARAM(i), 0) < 255) SendMessageW(combo, CB_GETLBTEXT, WPARAM(i), LPARAM(buf));
    items.push_back(buf);
  }
  return items;
}

std::wstring Cutter::Box(const char* title, int limit_ms) {
  HWND box = wait_dialog(pid(), wide(title), limit_ms);
  if (box == nullptr) return L"<no box>";
  std::wstring text = text_of(GetDlgItem(box, 0xFFFF));
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  for (int waited = 0; waited < 10000 && IsWindow(box); waited += 20) Sleep(20);
  return text;
}

bool Cutter::Load(const std::wstring& path, int limit_ms) {
  SetText(res::kInputPath, path);
  Click(res::kUpdateInput);
  const std::wstring want = size_text(file_size(path));
  for (int waited = 0; waited < limit_ms; waited += 100) {
    Idle();
    if (Text(res::kFileSize) == want && !Items(res::kProgrammeList).empty()) return true;
    Sleep(100);
  }
  return false;
}

bool Cutter::Quit() {
  PostMessageW(frame_, WM_COMMAND, MAKEWPARAM(res::kMenuExit, 0), 0);
  bool ended = WaitForSingleObject(pi_.hProcess, 30000) == WAIT_OBJECT_0;
  if (!ended) TerminateProcess(pi_.hProcess, 1);
  CloseHandle(pi_.hProcess);
  CloseHandle(pi_.hThread);
  return ended;
}

std::vector<unsigned char> three_programme_recording() {
  tsb::BroadcastDesc desc;
  desc.services.clear();
  for (uint16_t n = 0; n < 3; ++n) {
    desc.services.push_back({.service_id = uint16_t(0x0400 + n), .pmt_pid = uint16_t(0x01F0 + n),
                             .video_pid = uint16_t(0x0111 + 0x10 * n), .audio_pid = uint16_t(0x0112 + 0x10 * n)});
  }
  desc.packets = 60000;
  return tsb::Broadcast(desc).bytes();
}
