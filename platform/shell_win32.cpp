// Opening a document on Windows with ShellExecuteW.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "common/win32_text.h"
#include "platform/shell.h"

namespace {
ShellOpenHandler g_handler = nullptr;
}

void set_shell_open_handler(ShellOpenHandler handler) { g_handler = handler; }

void shell_open(uintptr_t owner, const char* path) {
  if (g_handler != nullptr) {
    g_handler(owner, path);
    return;
  }
  std::wstring wide;
  if (!cp932_to_wide(path, wide)) return;
  ShellExecuteW(reinterpret_cast<HWND>(owner), nullptr, wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
