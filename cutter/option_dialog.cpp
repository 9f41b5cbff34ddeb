// OptionDialog: the radio group shows the method (any stored value outside 0 and 1 as the
// automatic choice) and the check box the error policy; accept reads them back.
#include "cutter/option_dialog.h"

#include "core/input_measure.h"

OptionDialog::OptionDialog(ui::Window* parent, int32_t stopDecodeOnError, int32_t totalTimeMethod)
    : ui::Dialog(parent, res::kOptionDialog), stopDecodeOnError_(stopDecodeOnError), totalTimeMethod_(totalTimeMethod) {}

void OptionDialog::SetupWindow() {
  firstLastPcr_.SetCheck(0);
  headPcrs_.SetCheck(0);
  automatic_.SetCheck(0);
  ui::RadioButton& shown = totalTimeMethod_ == kMethodFirstLast ? firstLastPcr_
                           : totalTimeMethod_ == kMethodEstimate ? headPcrs_
                                                                 : automatic_;
  shown.SetCheck(1);
  stopOnError_.SetCheck(stopDecodeOnError_ != 0 ? 1 : 0);
}

void OptionDialog::Accept() {
  totalTimeMethod_ = firstLastPcr_.GetCheck() == 1 ? kMethodFirstLast
                     : headPcrs_.GetCheck() == 1   ? kMethodEstimate
                                                   : kMethodAutomatic;
  stopDecodeOnError_ = stopOnError_.GetCheck() == 1 ? 1 : 0;
  EndDialog(ui::kIdOk);
}
