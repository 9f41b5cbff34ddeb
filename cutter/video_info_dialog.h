// VideoInfDialog: the modal box "映像情報" with the main parameters of the stream the preview
// decoded last and the video PID of the selected programme.
#pragma once
#include "mpeg2/video_info_text.h"
#include "ui/window.h"

class VideoInfDialog : public ui::Dialog {
 public:
  // values: what the opener copied from the stream headers and the programme list; with an empty
  // programme list the stream's fields show placeholders.
  VideoInfDialog(ui::Window* parent, const VideoInfoValues& values, bool programmeListEmpty);
  void SetupWindow() override;

 private:
  VideoInfoValues values_;
  bool programmeListEmpty_;
};
