// Registered messages between processes on POSIX: one datagram per posted message to the
// abstract Unix socket "kerfcut-%08X" of the receiving handle.
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "common/bytes.h"
#include "platform/gui_link.h"

namespace {

// Builds the abstract address (leading zero byte, no terminator) and returns its length.
socklen_t link_address(uint32_t handle, sockaddr_un& addr) {
  std::memset(&addr, 0, sizeof addr);
  addr.sun_family = AF_UNIX;
  char name[sizeof addr.sun_path];
  const int n = std::snprintf(name, sizeof name, "kerfcut-%08X", unsigned(handle));
  std::memcpy(addr.sun_path + 1, name, size_t(n));
  return socklen_t(offsetof(sockaddr_un, sun_path) + 1 + size_t(n));
}

int64_t now_ms() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

}  // namespace

uint32_t register_message(const char* name) {
  // FNV-1a over the name with ASCII letters folded to upper case (window message names compare
  // without case), mapped into 0xC000..0xFFFF, the range of registered messages.
  uint32_t hash = 2166136261u;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p; ++p) {
    const unsigned char c = (*p >= 'a' && *p <= 'z') ? (unsigned char)(*p - 'a' + 'A') : *p;
    hash = (hash ^ c) * 16777619u;
  }
  return 0xC000u + hash % 0x4000u;
}

int post_message(uint32_t handle, uint32_t message, uint32_t wparam, uint32_t lparam) {
  // A broadcast reaches every top-level window on Windows, and only a window that registered the
  // message reacts. Here no listener is a broadcast target, so a stray broadcast cannot disturb
  // another cutter; the post itself succeeds, as it does on Windows.
  if (handle == kBroadcastHandle) return 1;
  const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return 0;
  sockaddr_un addr;
  const socklen_t len = link_address(handle, addr);
  unsigned char datagram[12];
  le_write32(datagram, message);
  le_write32(datagram + 4, wparam);
  le_write32(datagram + 8, lparam);
  const ssize_t sent =
      sendto(fd, datagram, sizeof datagram, MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&addr), len);
  close(fd);
  return sent == ssize_t(sizeof datagram) ? 1 : 0;
}

bool window_exists(uint32_t handle) {
  if (handle == kBroadcastHandle) return true;
  const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return true;   // cannot tell: as if it existed
  sockaddr_un addr;
  const socklen_t len = link_address(handle, addr);
  const bool refused = connect(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0 &&
                       (errno == ECONNREFUSED || errno == ENOENT);
  close(fd);
  return !refused;
}

GuiLinkListener::GuiLinkListener(uint32_t handle) {
  fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return;
  sockaddr_un addr;
  const socklen_t len = link_address(handle, addr);
  if (bind(fd_, reinterpret_cast<sockaddr*>(&addr), len) != 0) {
    close(fd_);
    fd_ = -1;
  }
}

GuiLinkListener::~GuiLinkListener() {
  if (fd_ >= 0) close(fd_);
}

bool GuiLinkListener::Receive(uint32_t& message, uint32_t& wparam, uint32_t& lparam,
                              int timeout_ms) {
  if (fd_ < 0) return false;
  const int64_t deadline = now_ms() + (timeout_ms > 0 ? timeout_ms : 0);
  for (;;) {
    unsigned char datagram[16];
    const ssize_t got = recv(fd_, datagram, sizeof datagram, 0);
    if (got == 12) {
      message = le_read32(datagram);
      wparam = le_read32(datagram + 4);
      lparam = le_read32(datagram + 8);
      return true;
    }
    // Datagrams of another size are not ours: drop them and keep waiting.
    if (got >= 0) continue;
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return false;
    const int64_t left = deadline - now_ms();
    if (left <= 0) return false;
    pollfd pfd{fd_, POLLIN, 0};
    if (poll(&pfd, 1, int(left)) < 0 && errno != EINTR) return false;
  }
}
