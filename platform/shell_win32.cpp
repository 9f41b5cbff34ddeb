// Opening a document on Windows with ShellExecuteW.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "common/win32_text.h"
#include "platform/shell_desktop.h"

void desktop_open(uintptr_t owner, const char* path) {
  std::wstring wide;
  if (!cp932_to_wide(path, wide)) return;
  ShellExecuteW(reinterpret_cast<HWND>(owner), nullptr, wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
