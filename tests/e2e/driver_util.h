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

std::wstring wide(const char* cp932);
std::string utf8(const std::wstring& w);

// Counts and prints a failed check; gives ok back so a scenario can stop early.
bool check(bool ok, const char* what, const std::wstring& detail = L"");

std::wstring text_of(HWND h);
std::wstring item_text(HWND dialog, int id);
void check_text(HWND dialog, int id, const char* expected_cp932, const char* what);

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

// The whole file; empty when it does not exist. A file the program holds open is waited for.
std::vector<unsigned char> read_file(const std::wstring& path);
bool write_file(const std::wstring& path, const std::vector<unsigned char>& bytes);
void put32(std::vector<unsigned char>& b, size_t at, int32_t v);
