// Colour conversion of decoded pictures (see convert.h).
#include "mpeg2/convert.h"

#include <cstring>

namespace {

int32_t cap(int32_t v, int32_t limit) { return v < 0 ? 0 : v > limit ? limit : v; }

// The store row that shows picture row y (from the bottom). A field picture fills the upper
// half of the store (rows H16/2 up), so each of its lines serves two picture rows. H16 is the
// coded height rounded up to whole macroblock rows, from the uncapped size.
int64_t source_row(const PictureView& pic, int32_t y) {
  if (!pic.fieldPicture) return y;
  const int64_t h16 = (int64_t(pic.height) + 15) / 16 * 16;
  return y / 2 + h16 / 2;
}

// Writes `count` pixels into out: pixel i from column i * step of store row `row`, black where the
// row or the column is not in the store. Exactly count * 3 bytes are written.
void convert_row(const PictureView& pic, int64_t row, int32_t count, int32_t step, uint8_t* out) {
  if (count <= 0) return;
  const StoreRow src = store_row(pic, row);
  int32_t shown = 0;
  if (src.samples != nullptr) {
    // Columns 0, step, ... up to the last that lies inside the stored row.
    const int64_t inside = (int64_t(src.pixels) + step - 1) / step;
    shown = inside < count ? int32_t(inside) : count;
  }
  for (int32_t i = 0; i < shown; ++i, out += 3) {
    const int16_t* s = src.samples + 3 * int64_t(i) * step;
    ycbcr_to_bgr(s[0], s[1], s[2], out);
  }
  std::memset(out, 0, size_t(count - shown) * 3);
}

// Pixels a row of `width` columns sampled every `step` gives: columns 0, step, ... below width.
int32_t sampled_count(int32_t width, int32_t step) { return width <= 0 ? 0 : (width + step - 1) / step; }

}  // namespace

PreviewLayout preview_layout(int32_t width, int32_t height) {
  PreviewLayout l{};
  l.width = cap(width, kConvertMaxWidth);
  l.height = cap(height, kConvertMaxHeight);
  const int w = l.width, h = l.height;
  l.stepX = w > 720 ? (w + kPreviewWidth - 1) / kPreviewWidth : w > 360 ? 2 : 1;
  l.stepY = h > 480 ? (h + kPreviewHeight - 1) / kPreviewHeight : h > 240 ? 2 : 1;
  l.marginX = (kPreviewWidth - w / l.stepX) / 2;
  l.marginY = (kPreviewHeight - h / l.stepY) / 2;
  return l;
}

void convert_to_preview(const PictureView& pic, uint8_t* dib) {
  const PreviewLayout l = preview_layout(pic.width, pic.height);
  const int mx = l.marginX, my = l.marginY;
  if (my > 0) {
    std::memset(dib, 0, size_t(my) * kPreviewRowBytes);
    std::memset(dib + size_t(kPreviewHeight - my) * kPreviewRowBytes, 0,
                size_t(my) * kPreviewRowBytes);
  }
  if (mx > 0) {
    for (int r = my; r < kPreviewHeight - my; ++r) {
      uint8_t* row = dib + size_t(r) * kPreviewRowBytes;
      std::memset(row, 0, size_t(mx) * 3);
      std::memset(row + size_t(kPreviewWidth - mx) * 3, 0, size_t(mx) * 3);
    }
  }
  // The sampled columns, never more than the bitmap row has room for after the left bar.
  int32_t columns = sampled_count(l.width, l.stepX);
  if (columns > kPreviewWidth - mx) columns = kPreviewWidth - mx;
  int r = my;
  for (int32_t y = 0; y < l.height && r < kPreviewHeight; y += l.stepY, ++r) {
    convert_row(pic, source_row(pic, y), columns, l.stepX,
                dib + size_t(r) * kPreviewRowBytes + size_t(mx) * 3);
  }
}

StoreRow store_row(const PictureView& pic, int64_t row) {
  if (pic.samples == nullptr || pic.rowStride < 3 || row < 0 || row >= pic.storeRows) return {};
  return StoreRow{pic.samples + row * int64_t(pic.rowStride), pic.rowStride / 3};
}

int32_t full_width(const PictureView& pic) { return cap(pic.width, kConvertMaxWidth); }
int32_t full_height(const PictureView& pic) { return cap(pic.height, kConvertMaxHeight); }

int64_t picture_store_row(const PictureView& pic, int32_t line) {
  const int64_t top = (int64_t(pic.height) + 15) / 16 * 16 - 1;   // the coded picture's top line
  return pic.fieldPicture ? top - line / 2 : top - line;
}

void convert_full_row(const PictureView& pic, int32_t r, uint8_t* out) {
  convert_row(pic, picture_store_row(pic, full_height(pic) - 1 - r), full_width(pic), 1, out);
}

PictureView current_picture_view(const PreviewDecoder& decoder) {
  const StreamHeaders& h = decoder.headers;
  const FrameGeometry& g = decoder.run.picture;
  PictureView v;
  v.width = g.width;
  v.height = g.height;
  v.fieldPicture = h.picture_structure == kTopField || h.picture_structure == kBottomField;
  v.rowStride = g.rowStride;
  if (g.rowStride > 0) {
    v.samples = decoder.frames.Current();
    v.storeRows = int32_t(FrameStore::kBufferSamples / size_t(g.rowStride));
  }
  return v;
}

void ConvertPicture(PreviewDecoder& decoder, void* context) {
  auto* target = static_cast<ConvertTarget*>(context);
  if (target == nullptr || decoder.run.pictureCount < 2) return;
  if (decoder.headers.picture_coding_type == kPictureB) return;
  if (target->dib != nullptr) convert_to_preview(current_picture_view(decoder), target->dib);
  target->converted = true;
}
