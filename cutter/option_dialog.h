// OptionDialog: the options behind button 150: how the total time of a recording is measured and
// whether the preview's decoder gives up on a picture at its first error.
#pragma once
#include <cstdint>

#include "resources/ids.h"
#include "ui/controls.h"
#include "ui/window.h"

class OptionDialog : public ui::Dialog {
 public:
  OptionDialog(ui::Window* parent, int32_t stopDecodeOnError, int32_t totalTimeMethod);
  // After OK: the accepted values (the method 0 to 2, the flag 0 or 1).
  int32_t stopDecodeOnError() const { return stopDecodeOnError_; }
  int32_t totalTimeMethod() const { return totalTimeMethod_; }

  void SetupWindow() override;

 private:
  UI_BEGIN_MESSAGE_TABLE(OptionDialog, ui::Dialog)
    UI_COMMAND(ui::kIdOk, Accept)
    // ui::kIdCancel: the framework closes the dialog with cancel, reading nothing.
  UI_END_MESSAGE_TABLE()

  // Command handlers.
  void Accept();

  int32_t stopDecodeOnError_;
  int32_t totalTimeMethod_;
  ui::RadioButton firstLastPcr_{this, res::kOptionFirstLastPcr};
  ui::RadioButton headPcrs_{this, res::kOptionHeadPcrs};
  ui::RadioButton automatic_{this, res::kOptionAutomatic};
  ui::CheckBox stopOnError_{this, res::kOptionStopOnError};
};
