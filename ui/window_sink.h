// Reports of the shared logic as a window shows them: "エラー", "確認" and "情報" boxes owned by
// the window, and status texts in one of its controls.
#pragma once
#include "common/message_sink.h"
#include "ui/dialog_template.h"
#include "ui/window.h"

namespace ui {

class WindowSink : public MessageSink {
 public:
  // statusId: the control of owner that takes status texts; kNoId drops them.
  explicit WindowSink(const Window& owner, int statusId = kNoId) : owner_(owner), statusId_(statusId) {}

  bool Report(MessageKind kind, const char* text) override;

 private:
  const Window& owner_;
  int statusId_;
};

}  // namespace ui
