// The preview window and RefreshPreview (see preview_window.h).
#include "cutter/preview_window.h"

#include <cstring>

#include "cutter/main_dialog.h"
#include "resources/ids.h"
#include "ui/canvas.h"
#include "ui/dialog_template.h"
#include "ui/window_sink.h"

namespace {

constexpr const char* kPreviewClass = "_KERFCUT100:PREVIEW";
constexpr const char* kPreviewTitle = "プレビュー";

}  // namespace

int programme_count(const Settings& s) {
  const int32_t count = s.programmeList.count;
  return count < 0 ? 0 : count > kProgrammeListMax ? kProgrammeListMax : int(count);
}

int selected_programme(const Settings& s) {
  const int count = programme_count(s);
  return s.programmeIndex >= 0 && s.programmeIndex < count ? int(s.programmeIndex) : 0;
}

// ---- PreViewFrameWindow ----

PreViewFrameWindow::PreViewFrameWindow(CutterPreview& preview)
    : ui::FrameWindow(kPreviewClass, kPreviewTitle, nullptr), preview_(preview) {
  SetClassStyle(ui::kCsByteAlignClient | ui::kCsByteAlignWindow);
}

void PreViewFrameWindow::SetupWindow() {
  dib_.reset(new uint8_t[kPreviewDibBytes]());
  preview_.WindowCreated();
}

void PreViewFrameWindow::CleanupWindow() {
  dib_.reset();
  preview_.WindowClosed();
}

intptr_t PreViewFrameWindow::KeepSize(ui::Message& m) {
  if (m.lParam != 0 && preview_.windowWidth() > 0) {
    auto* info = reinterpret_cast<ui::MinMaxInfo*>(m.lParam);
    info->maxSize[0] = info->minTrackSize[0] = info->maxTrackSize[0] = preview_.windowWidth();
    info->maxSize[1] = info->minTrackSize[1] = info->maxTrackSize[1] = preview_.windowHeight();
  }
  return 0;
}

void PreViewFrameWindow::Paint(ui::Canvas& canvas) {
  if (!dib_) return;
  preview_.UpdatePicture(dib_.get());
  canvas.DrawBits24(0, 0, kPreviewWidth, kPreviewHeight, dib_.get());
}

// ---- CutterPreview ----

CutterPreview::CutterPreview(CutterState& state)
    : state_(state),
      decoder_(new PreviewDecoder()),
      esBuffer_(new uint8_t[kEsBufferSize]),
      driver_(state.readBuffer.get(), esBuffer_.get(), *decoder_),
      frame_(*this) {}

CutterPreview::~CutterPreview() {
  // The window goes first: its clean-up still reaches this object.
  if (window_ != nullptr) window_->Destroy();
}

void CutterPreview::RefreshPreview(MyDialog& dialog) {
  dialog_ = &dialog;
  const Settings& s = state_.settings;
  if (s.previewEnabled != 1) {
    dialog.SetItemText(res::kPcrRange, "");
    if (window_ != nullptr) window_->Destroy();
    return;
  }
  pictureCurrent_ = 0;
  if (window_ != nullptr) {
    window_->Invalidate(false);
    return;
  }
  using ui::Metric;
  windowWidth_ = 2 * ui::system_metric(Metric::FrameWidth) + kPreviewWidth;
  windowHeight_ = 2 * ui::system_metric(Metric::FrameHeight) + ui::system_metric(Metric::CaptionHeight) +
                  kPreviewHeight;
  const int y = (ui::system_metric(Metric::ScreenHeight) - windowHeight_) / 3;
  frame_.SetParent(&dialog);
  if (!frame_.Create(0, y, ui::kWsOverlappedWindow, 0, res::kProgramIcon, windowWidth_, windowHeight_)) return;
  // Its first paint builds the picture.
  frame_.Show(true);
}

PreviewRequest CutterPreview::Request() const {
  const Settings& s = state_.settings;
  PreviewRequest r;
  r.inputPath = s.loadedInputPath;
  r.inputSize = s.inputSize;
  r.packetSize = s.packetSize;
  r.previewEnabled = s.previewEnabled;
  r.stopDecodeOnError = s.stopDecodeOnError;
  r.programmeCount = programme_count(s);
  r.videoPid = s.programmeList.videoPid[selected_programme(s)];
  r.pcrPid = s.pcrPid;
  r.startPacket = s.startPacket;
  r.endPacket = s.endPacket;
  r.activePoint = s.activePoint;
  r.startPcrMs = s.startPcrMs;
  r.endPcrMs = s.endPcrMs;
  r.jobRunning = &state_.job.jobRunning;
  return r;
}

void CutterPreview::UpdatePicture(uint8_t* dib) {
  if (pictureCurrent_ != 0 || dialog_ == nullptr) return;
  PreviewRequest request = Request();
  ui::WindowSink sink(*dialog_, res::kStatusLine);
  const int extracted = driver_.ExtractPreviewStream(request, sink);
  Settings& s = state_.settings;
  s.startPcrMs = request.startPcrMs;
  s.endPcrMs = request.endPcrMs;
  if (request.pcrRangeSet) dialog_->SetItemText(res::kPcrRange, request.pcrRangeText);
  // A refused extraction (a job holds jobRunning) leaves the picture out of date, so the next
  // paint tries again. A disabled preview extracts nothing, so there is nothing to decode.
  if (extracted != 0 || request.previewEnabled != 1) return;
  driver_.DecodePreviewStream(request, sink, dib);
  pictureCurrent_ = 1;
}
