// Registered messages between processes on Windows: RegisterWindowMessageW and PostMessageW.
#include <windows.h>

#include <cstdint>
#include <string>

#include "common/win32_text.h"
#include "platform/gui_link.h"

uint32_t register_message(const char* name) {
  std::wstring wide;
  if (!cp932_to_wide(name, wide) || wide.empty()) return 0;
  return RegisterWindowMessageW(wide.c_str());
}

bool window_exists(uint32_t handle) {
  return handle == kBroadcastHandle || IsWindow(reinterpret_cast<HWND>(uintptr_t(handle))) != FALSE;
}

int post_message(uint32_t handle, uint32_t message, uint32_t wparam, uint32_t lparam) {
  // Window handles fit 32 bits on 64-bit Windows too, which is why one travels as "%X" text.
  const HWND window = reinterpret_cast<HWND>(uintptr_t(handle));
  return PostMessageW(window, message, WPARAM(wparam), LPARAM(lparam)) ? 1 : 0;
}
