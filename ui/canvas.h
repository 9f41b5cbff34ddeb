// Painting: what a window's Paint handler may draw on its client area, and drawing on a client
// area outside a paint request (ClientCanvas).
#pragma once
#include <cstdint>

#include "ui/backend.h"

namespace ui {

// An 8-bit device-independent picture of at most kPictureBytes pixel bytes with its palette;
// rows are stored bottom-up and padded to a multiple of 4 bytes, as in a BMP file.
struct Picture8 {
  static constexpr int kMaxColours = 256;
  static constexpr int kPictureBytes = 320 * 200;  // the logo's 320 x 200 pixels
  int width = 0;
  int height = 0;
  uint8_t palette[kMaxColours][4] = {};  // blue, green, red, reserved
  uint8_t pixels[kPictureBytes] = {};
};

class Canvas {
 public:
  explicit Canvas(uintptr_t deviceContext) : dc_(deviceContext) {}
  uintptr_t deviceContext() const { return dc_; }

  // Copies the picture 1:1 with its palette at (x, y).
  void DrawPicture(int x, int y, const Picture8& picture);
  // Copies 24-bit rows (blue, green, red; bottom-up; each row padded to a multiple of 4 bytes)
  // 1:1 at (x, y).
  void DrawBits24(int x, int y, int width, int height, const uint8_t* rows);
  void FillRect(const Rect& r, uint8_t red, uint8_t green, uint8_t blue);
  void FrameRect(const Rect& r, uint8_t red, uint8_t green, uint8_t blue);
  // A rectangle outlined with pen and filled with brush, as GDI's Rectangle draws it: the outline
  // lies inside r, whose right and bottom edges are excluded.
  void Rectangle(const Rect& r, const Pen& pen, const Brush& brush);

 protected:
  uintptr_t dc_;
};

// The client area of a window, taken for drawing outside a paint request (a progress bar redrawn
// on every turn of a wait loop) and given back when the object goes. Drawing on it does nothing
// once the window is gone.
class ClientCanvas : public Canvas {
 public:
  explicit ClientCanvas(Handle window) : Canvas(get_client_dc(window)), window_(window) {}
  ~ClientCanvas() {
    if (dc_ != 0) release_client_dc(window_, dc_);
  }
  ClientCanvas(const ClientCanvas&) = delete;
  ClientCanvas& operator=(const ClientCanvas&) = delete;

 private:
  Handle window_;
};

}  // namespace ui
