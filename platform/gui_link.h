// Registered window messages posted between processes. On Windows: RegisterWindowMessageW and
// PostMessageW to a window handle. On POSIX a "window handle" is a 32-bit number; a process owning
// windows listens on the abstract Unix datagram socket "kerfcut-%08X" named after the handle, and a
// posted message is one datagram of three little-endian 32-bit words: message, wParam, lParam.
#pragma once
#include <cstdint>

constexpr uint32_t kBroadcastHandle = 0xFFFF;   // HWND_BROADCAST

// Same number in every process for the same name.
uint32_t register_message(const char* name);
// Never blocks; non-zero when the message was handed over, 0 when nobody listens on the handle.
// On POSIX a post to kBroadcastHandle reaches no listener and reports success, as on Windows.
int post_message(uint32_t handle, uint32_t message, uint32_t wparam, uint32_t lparam);

// False only when handle names no window that could take a post (no listener on POSIX); the
// broadcast handle always exists.
bool window_exists(uint32_t handle);

#ifndef _WIN32
// Receiving side for POSIX programs and tests: listens for messages posted to handle.
class GuiLinkListener {
 public:
  explicit GuiLinkListener(uint32_t handle);
  ~GuiLinkListener();
  GuiLinkListener(const GuiLinkListener&) = delete;
  GuiLinkListener& operator=(const GuiLinkListener&) = delete;
  bool ok() const { return fd_ >= 0; }
  // Waits up to timeout_ms for one message; true when one arrived. Datagrams that are not
  // three words long are dropped.
  bool Receive(uint32_t& message, uint32_t& wparam, uint32_t& lparam, int timeout_ms);
  int fd() const { return fd_; }

 private:
  int fd_ = -1;
};
#endif
