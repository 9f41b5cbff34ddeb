// Reports of the shared logic in message boxes and the status control (see window_sink.h).
#include "ui/window_sink.h"

namespace ui {

bool WindowSink::Report(MessageKind kind, const char* text) {
  switch (kind) {
    case MessageKind::Error:
      message_box(owner_.handle(), text, BoxKind::Error);
      return true;
    case MessageKind::Question:
      return message_box(owner_.handle(), text, BoxKind::Question) == kIdYes;
    case MessageKind::Information:
      message_box(owner_.handle(), text, BoxKind::Information);
      return true;
    case MessageKind::Status:
      if (statusId_ != kNoId) set_text(dialog_item(owner_.handle(), statusId_), text);
      return true;
  }
  return true;
}

}  // namespace ui
