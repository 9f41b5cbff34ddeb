// VideoInfDialog: the nine texts, worded by the shared value tables.
#include "cutter/video_info_dialog.h"

#include "resources/ids.h"

static_assert(res::kVideoInfoFirstText == kVideoInfoFirstId);
static_assert(res::kVideoInfoLastText == kVideoInfoFirstId + kVideoInfoTextCount - 1);

VideoInfDialog::VideoInfDialog(ui::Window* parent, const VideoInfoValues& values, bool programmeListEmpty)
    : ui::Dialog(parent, res::kVideoInfoDialog), values_(values), programmeListEmpty_(programmeListEmpty) {}

void VideoInfDialog::SetupWindow() {
  VideoInfoTexts texts;
  FormatVideoInfoTexts(values_, programmeListEmpty_, texts);
  for (int i = 0; i < kVideoInfoTextCount; ++i) SetItemText(kVideoInfoFirstId + i, texts.text[i]);
}
