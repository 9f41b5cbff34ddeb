// kerfdmx's real surroundings (see demux_host.h).
#include "demux/demux_host.h"

#include <cstdio>

#include "common/path.h"
#include "platform/gui_link.h"
#include "platform/platform.h"

void PlatformDemuxHost::Print(const char* text, size_t length) {
  std::fwrite(text, 1, length, stdout);
  std::fflush(stdout);
}
int PlatformDemuxHost::Post(uint32_t handle, uint32_t message, uint32_t wparam, uint32_t lparam) {
  return post_message(handle, message, wparam, lparam);
}
bool PlatformDemuxHost::WindowExists(uint32_t handle) { return window_exists(handle); }
uint32_t PlatformDemuxHost::RegisterMessage(const char* name) { return register_message(name); }
bool PlatformDemuxHost::LockFileExists(const char* path) { return path_exists(path) != 0; }
void PlatformDemuxHost::Sleep(uint32_t ms) { sleep_ms(ms); }
