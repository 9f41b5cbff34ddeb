// The demux engine's surroundings: standard output, the caller's window, the lock file and
// sleeping come through DemuxHost, so that kerfdmx, kerf and the tests each give their own.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/gui_link.h"

// The link to the caller's window: a registered message, progress posts while a run goes on and
// two completion posts at its end.
constexpr char kMessageName[] = "KERFCUT_00";
constexpr uint32_t kNoCallerWindow = kBroadcastHandle;   // the handle while -h: is absent
constexpr uint32_t kProgressPost = 1;          // wParam of a progress post; lParam is the per cent
constexpr uint32_t kCompletionPost = 2;        // wParam of the completion posts

class DemuxHost {
 public:
  virtual ~DemuxHost() = default;
  // Bytes for standard output (Shift-JIS text, lines ending in a line feed).
  virtual void Print(const char* text, size_t length) = 0;
  // Posts a registered message to a caller window; non-zero when it was handed over.
  virtual int Post(uint32_t handle, uint32_t message, uint32_t wparam, uint32_t lparam) = 0;
  virtual uint32_t RegisterMessage(const char* name) = 0;
  // False when handle names no window that could take a post.
  virtual bool WindowExists(uint32_t /*handle*/) { return true; }
  // True while the caller's lock file exists.
  virtual bool LockFileExists(const char* path) = 0;
  virtual void Sleep(uint32_t ms) = 0;
};

// The real surroundings: stdout, registered window messages, the file system.
class PlatformDemuxHost : public DemuxHost {
 public:
  void Print(const char* text, size_t length) override;
  int Post(uint32_t handle, uint32_t message, uint32_t wparam, uint32_t lparam) override;
  uint32_t RegisterMessage(const char* name) override;
  bool WindowExists(uint32_t handle) override;
  bool LockFileExists(const char* path) override;
  void Sleep(uint32_t ms) override;
};
