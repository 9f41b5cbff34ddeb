// The preview: PreViewFrameWindow, a small fixed-size window at the left edge of the screen that
// shows the picture at the cut point being edited, and RefreshPreview, through which the main
// dialog asks for a new picture. The picture is extracted, decoded and converted lazily, in the
// window's paint, and only when the one shown is out of date.
#pragma once
#include <cstdint>
#include <memory>

#include "cutter/cutter_state.h"
#include "mpeg2/extract.h"
#include "ui/window.h"

class MyDialog;
class CutterPreview;

// The preview window: class "_KERFCUT100:PREVIEW", caption "プレビュー", client area exactly
// PreviewDib's 360 x 240 pixels, drawn 1:1. It can be moved but never resized.
class PreViewFrameWindow : public ui::FrameWindow {
 public:
  explicit PreViewFrameWindow(CutterPreview& preview);

  // Creates PreviewDib (black until the first picture).
  void SetupWindow() override;
  // Deletes PreviewDib; the next RefreshPreview makes a new window.
  void CleanupWindow() override;
  // Brings the picture up to date when it is not current, then copies PreviewDib to the window.
  void Paint(ui::Canvas& canvas) override;

  // PreviewDib's pixel bits: kPreviewDibBytes, rows bottom-up, blue, green, red; null while the
  // window is absent.
  const uint8_t* dibBits() const { return dib_.get(); }

 private:
  UI_BEGIN_MESSAGE_TABLE(PreViewFrameWindow, ui::FrameWindow)
    UI_MESSAGE(ui::kWmGetMinMaxInfo, KeepSize)
  UI_END_MESSAGE_TABLE()

  intptr_t KeepSize(ui::Message& m);

  CutterPreview& preview_;
  std::unique_ptr<uint8_t[]> dib_;  // PreviewDib
};

// The cutter's preview: the one window (absent until the first RefreshPreview, and again once
// closed), whether its picture is current, and the decoder and driver that make the picture. The
// decoder's header record outlives every preview, so the video information shows the last stream
// decoded.
class CutterPreview {
 public:
  explicit CutterPreview(CutterState& state);
  ~CutterPreview();
  CutterPreview(const CutterPreview&) = delete;
  CutterPreview& operator=(const CutterPreview&) = delete;

  // With the preview disabled: empties the PCR range field and closes the window. Otherwise marks
  // the picture out of date and has the window repaint, creating it first when there is none.
  void RefreshPreview(MyDialog& dialog);

  PreViewFrameWindow* window() const { return window_; }
  bool pictureCurrent() const { return pictureCurrent_ != 0; }
  // The headers of the most recent decode (all zero before the first).
  const StreamHeaders& headers() const { return decoder_->headers; }
  // previewWindowSize: the outer size the window keeps, fixed at its creation.
  int windowWidth() const { return windowWidth_; }
  int windowHeight() const { return windowHeight_; }

 private:
  friend class PreViewFrameWindow;

  // The paint's work: when the picture is not current, extract the sequence at the edited point
  // and decode its first picture into dib.
  void UpdatePicture(uint8_t* dib);
  PreviewRequest Request() const;
  void WindowCreated() { window_ = &frame_; }
  void WindowClosed() { window_ = nullptr; }

  CutterState& state_;
  MyDialog* dialog_ = nullptr;  // the main dialog, whose fields 1001 and 1004 the preview writes
  std::unique_ptr<PreviewDecoder> decoder_;
  std::unique_ptr<uint8_t[]> esBuffer_;  // kEsBufferSize bytes: the extracted stream
  PreviewDriver driver_;
  PreViewFrameWindow frame_;
  PreViewFrameWindow* window_ = nullptr;  // &frame_ while the window exists
  int pictureCurrent_ = 0;
  int windowWidth_ = 0;
  int windowHeight_ = 0;
};

// The programme list entry the preview and the video information use: programmeIndex, or the
// first entry when the index lies outside the list (a damaged settings file).
int selected_programme(const Settings& s);
// Entries of the programme list, 0 to kProgrammeListMax whatever a damaged settings file holds.
int programme_count(const Settings& s);
