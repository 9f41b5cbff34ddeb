// Where shared logic reports what a person should read: the window turns these into message boxes
// or the status line, the command line into lines on standard error. Texts are Shift-JIS.
#pragma once

enum class MessageKind {
  Error,        // "エラー" box with the exclamation icon
  Question,     // "確認" box with Yes/No
  Information,  // "情報" box
  Status,       // the preview status line ("状態：...")
};

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // For Question the answer is true for Yes; the other kinds return true.
  virtual bool Report(MessageKind kind, const char* text) = 0;
};
