// Colour conversion of a decoded picture: YCbCr samples of the frame store to 24-bit BGR rows,
// either point-sampled into the 360 x 240 preview bitmap or at the picture's full size.
#pragma once
#include <cstdint>

#include "mpeg2/picture_decoder.h"

constexpr int kPreviewWidth = 360;
constexpr int kPreviewHeight = 240;
constexpr int kPreviewRowBytes = kPreviewWidth * 3;   // 1080: already a multiple of 4
constexpr int kPreviewDibBytes = kPreviewRowBytes * kPreviewHeight;
// Largest picture shown; larger coded sizes are cut to it.
constexpr int kConvertMaxWidth = 1920;
constexpr int kConvertMaxHeight = 1080;

// A decoded picture as the decoder leaves it: rows bottom-up (row 0 is the bottom row), every
// pixel three signed 16-bit samples Y, Cb, Cr with Cb and Cr centred on 0.
struct PictureView {
  const int16_t* samples = nullptr;
  int32_t rowStride = 0;       // samples from one row to the next
  int32_t storeRows = 0;       // rows the buffer holds; rows beyond it are never read
  int32_t width = 0;           // horizontal_size_value the picture was decoded with
  int32_t height = 0;          // vertical_size_value the picture was decoded with
  bool fieldPicture = false;   // picture_structure 1 or 2: one field in the upper half of the store
};

// BT.601 with 8 fractional bits; Y is taken as it is (no 16-235 expansion). Writes B, G, R.
inline void ycbcr_to_bgr(int y, int cb, int cr, uint8_t* out) {
  auto clamp = [](int v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); };
  out[0] = clamp(y + ((454 * cb) >> 8));
  out[1] = clamp(y + ((-88 * cb - 182 * cr) >> 8));
  out[2] = clamp(y + ((359 * cr) >> 8));
}

// Steps and margins of the preview layout for a coded size.
struct PreviewLayout {
  int stepX, stepY;       // point-sampling steps
  int marginX, marginY;   // black bars on each side / top and bottom
  int width, height;      // the size after capping at kConvertMaxWidth x kConvertMaxHeight
};
PreviewLayout preview_layout(int32_t width, int32_t height);

// Draws the picture into a 360 x 240 bottom-up BGR bitmap (kPreviewDibBytes bytes), centred
// between black bars. Rows the picture does not cover and the bars are the only ones written.
// Rows and columns the store does not hold come out black; nothing outside the bitmap is written.
void convert_to_preview(const PictureView& picture, uint8_t* dib);

// Store row `row` (counted from the bottom): its first sample and the pixels of it inside the
// buffer; null and 0 for a row outside the store. The conversion and the picture writers read
// the store through it.
struct StoreRow {
  const int16_t* samples = nullptr;
  int32_t pixels = 0;
};
StoreRow store_row(const PictureView& picture, int64_t row);

// The store row holding line `line` of the picture, counted from the top. The store keeps the
// coded picture bottom-up, so with a height that is not a multiple of 16 its lowest rows are the
// padding lines of the last macroblock row; a field picture's lines fill the upper half and each
// serves two picture lines.
int64_t picture_store_row(const PictureView& picture, int32_t line);
// Converts row r (counted from the bottom) of the full-size picture, width() pixels, into BGR:
// the picture's own lines, top line first in the file's last row, padding lines left out (the
// preview instead shows the lowest rows of the store). Exactly width() * 3 bytes are written; rows
// and columns outside the store come out black.
void convert_full_row(const PictureView& picture, int32_t r, uint8_t* out);
// Full-size picture dimensions after capping.
int32_t full_width(const PictureView& picture);
int32_t full_height(const PictureView& picture);

// The picture in the decoder's current frame store, with the geometry it was decoded with (an
// empty picture when the run decoded none, e.g. one larger than the store).
PictureView current_picture_view(const PreviewDecoder& decoder);

// Where ConvertPicture draws: the preview bitmap's pixel bits (kPreviewDibBytes; null draws
// nothing), and whether a picture was drawn in this run (the caller clears it before a run).
struct ConvertTarget {
  uint8_t* dib = nullptr;
  bool converted = false;
};

// The decoder's picture-start hook (context: a ConvertTarget). From the second picture start code
// of a run on, converts the picture just finished into the target unless it is a B picture.
void ConvertPicture(PreviewDecoder& decoder, void* context);
