// Helpers of the Win32 driver that operates kerfcut.exe for the end-to-end tests under Wine:
// checks that count failures, texts of other processes' windows, starting the program and
// waiting for its windows, screenshots, and whole-file reads and writes.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// Failed checks so far; each printed one line.
extern int failures;

// How long a message sent to the program may take to be handled. Sends wait the whole time
// (SMTO_NORMAL): on a busy machine a window that has not taken a message for 5 s counts as hung,
// and a send that gives up on a hung window returns before the program has answered.
constexpr UINT kAnswerLimitMs = 60000;

std::wstring wide(const char* cp932);
std::string utf8(const std::wstring& w);

// Counts and prints a failed check; gives ok back so a scenario can stop early.
bool check(bool ok, const char* what, const std::wstring& detail = L"");

std::wstring text_of(HWND h);
std::wstring item_text(HWND dialog, int id);
void check_text(HWND dialog, int id, const char* expected_cp932, const char* what);
// The same for a field that the program fills on its own time, such as the PCR range, which the
// preview writes when it first paints: waits up to kAnswerLimitMs for the text, then checks.
void check_text_soon(HWND dialog, int id, const char* expected_cp932, const char* what);

struct Program {
  PROCESS_INFORMATION pi{};
  DWORD pid() const { return pi.dwProcessId; }
};

// Starts folder\kerfcut.exe with the arguments (appended to its quoted path) in that folder.
bool start(const std::wstring& folder, Program& p, const std::wstring& args = L"");

HWND find_window(DWORD pid, const wchar_t* cls, const wchar_t* title);
// Waits up to limit_ms for a visible top-level window of the process that answers messages;
// nullptr on timeout. title nullptr: any.
HWND wait_window(DWORD pid, const wchar_t* cls, const wchar_t* title, int limit_ms = 60000);
bool wait_gone(DWORD pid, const wchar_t* cls, const wchar_t* title, int limit_ms = 30000);

// What a file holds and when it was last written, to tell a rewritten file from the one that
// was there before a step.
struct FileStamp {
  bool exists = false;
  FILETIME written{};
  std::vector<unsigned char> bytes;
  bool operator==(const FileStamp& o) const {
    return exists == o.exists && CompareFileTime(&written, &o.written) == 0 && bytes == o.bytes;
  }
};
FileStamp stamp_of(const std::wstring& path);

// Waits until an analysis run of the demux tool, started after `before` was taken of the program
// folder's DEMUX.txt, has ended and the command that started it is finished: DEMUX.txt rewritten
// (the tool writes it at its end), the lock file gone (the program removes it once the tool has
// ended), and the program's window thread answering again. Each is a state that lasts until the
// next run, so a driver that is not scheduled for a while still sees it. false when that did not
// happen within limit_ms.
bool wait_tool_run(const std::wstring& folder, HWND dialog, const FileStamp& before, int limit_ms = 120000);

// The first process named exe (upper case, as the snapshot spells it) that the process parent
// started, waited for up to limit_ms; nullptr when none came. The handle waits for its end.
HANDLE wait_child(DWORD parent, const wchar_t* exe, int limit_ms);

// Writes the window's pixels as seen on the screen to a 24-bit BMP.
bool capture(HWND h, const std::wstring& path);
// The same for a rectangle of the screen (windows in it are not redrawn first).
bool capture_rect(const RECT& r, const std::wstring& path);
// The pixels of a rectangle of the screen: blue, green, red, rows from the top, 3 * width bytes each.
std::vector<unsigned char> screen_pixels(const RECT& r);
COLORREF screen_pixel(HWND h, int x, int y);
// The logo as painted must be LOGO.BMP pixel for pixel, palette colours included.
void check_logo_pixels(HWND logo, const std::wstring& folder);

struct Session {
  Program p;
  HWND frame = nullptr;
  HWND dialog = nullptr;
};

// Starts the program and waits for its main window (after the logo, checked when expectLogo).
bool open_session(const std::wstring& folder, Session& s, bool expectLogo, const std::wstring& args = L"");
// Waits for the program to end (ending it after 30 s) and gives its exit code.
bool wait_exit(Session& s, DWORD& code);

// A visible dialog (#32770) of the process with that title, waited for up to limit_ms; nullptr
// when none came.
HWND wait_dialog(DWORD pid, const std::wstring& title, int limit_ms);
// Size of a file, -1 when there is none.
long long file_size(const std::wstring& path);
// A size as field 1000 shows it ("%6.3fGB").
std::wstring size_text(long long bytes);
// Runs a program without a window to its end (at most a minute); its exit code, or -1.
int run_to_end(const std::wstring& line);

// kerfcut.exe operated through its main dialog: texts by WM_SETTEXT, buttons and list choices by
// posted commands, message boxes found by their titles.
class Cutter {
 public:
  // Starts folder\kerfcut.exe (folder ending in a backslash) and waits for its main dialog.
  bool Start(const std::wstring& folder);
  DWORD pid() const { return pi_.dwProcessId; }
  HWND frame() const { return frame_; }
  HWND dialog() const { return dialog_; }
  HWND item(int id) const { return GetDlgItem(dialog_, id); }
  std::wstring Text(int id) const { return text_of(item(id)); }
  void SetText(int id, const std::wstring& text) {
    SendMessageTimeoutW(item(id), WM_SETTEXT, 0, LPARAM(text.c_str()), SMTO_ABORTIFHUNG, 5000, nullptr);
  }
  void Click(int id) { PostMessageW(dialog_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(item(id))); }
  void Choose(int id, int index);
  // Waits until the program's window thread answers again.
  void Idle();
  std::vector<std::wstring> Items(int id);
  // The text of the next box with this title (OK pressed on it), or "<no box>".
  std::wstring Box(const char* title, int limit_ms = 60000);
  // Types path into 102, presses 149, and waits (up to limit_ms) until field 1000 shows the
  // file's size and 145 lists programmes.
  bool Load(const std::wstring& path, int limit_ms = 60000);
  // Ends the program through its menu; false when it had to be killed.
  bool Quit();

 private:
  PROCESS_INFORMATION pi_{};
  HWND frame_ = nullptr;
  HWND dialog_ = nullptr;
};

// The whole file; empty when it does not exist. A file the program holds open is waited for.
// Three programmes (services 0400-0402, video 0111/0121/0131 with audio), 60000 packets: the
// recording the cut and player scenarios load.
std::vector<unsigned char> three_programme_recording();
std::vector<unsigned char> read_file(const std::wstring& path);
bool write_file(const std::wstring& path, const std::vector<unsigned char>& bytes);
void put32(std::vector<unsigned char>& b, size_t at, int32_t v);
