// LogoDialog and the reading of LOGO.BMP.
#include "cutter/logo_dialog.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "common/bytes.h"
#include "common/path.h"
#include "common/raw_file.h"
#include "resources/ids.h"

namespace {

constexpr int kLogoTimer = 1;
constexpr uint32_t kLogoShowMs = 2000;
constexpr size_t kFileHeader = 14;  // BITMAPFILEHEADER
constexpr size_t kInfoHeader = 40;  // BITMAPINFOHEADER, taken as 40 bytes whatever it says

}  // namespace

int logo_load(const char* path, ui::Picture8& picture) {
  RawFile file(path, "rb");
  if (!file.ok()) return 1;
  const RawHandle h = file.get();
  uint8_t head[kFileHeader + kInfoHeader];
  if (raw_read(head, 1, sizeof head, h) != sizeof head || le_read16(head) != 0x4D42) return 1;
  const uint8_t* info = head + kFileHeader;
  int32_t width = int32_t(le_read32(info + 4));
  int32_t height = int32_t(le_read32(info + 8));
  uint32_t compression = le_read32(info + 16);
  uint32_t colours = le_read32(info + 32);
  if (compression > 1) return 1;
  if (colours == 0 || colours > 256) colours = 256;

  uint8_t palette[256 * 4];
  size_t got = raw_read(palette, 1, colours * 4, h);
  for (size_t i = 0; i < got / 4; ++i) {
    picture.palette[i][0] = palette[i * 4 + 0];  // blue
    picture.palette[i][1] = palette[i * 4 + 1];  // green
    picture.palette[i][2] = palette[i * 4 + 2];  // red
    picture.palette[i][3] = 0;
  }

  // Rows as the file holds them; a header announcing more than the 320 x 200 picture is read
  // only as far as the picture goes.
  int64_t rowLength = width > 0 ? (int64_t(width) + 3) / 4 * 4 : 0;
  int64_t bytes = height > 0 ? rowLength * height : 0;
  size_t want = size_t(std::min<int64_t>(bytes, ui::Picture8::kPictureBytes));
  if (want > 0) raw_read(picture.pixels, 1, want, h);
  return 0;
}

LogoDialog::LogoDialog(ui::Window* parent, const char* programFolder)
    : ui::Dialog(parent, res::kLogoDialog), programFolder_(programFolder) {
  picture_.width = kLogoWidth;
  picture_.height = kLogoHeight;
}

void LogoDialog::SetupWindow() {
  ui::Rect window = GetWindowRect();
  ui::Rect client = GetClientRect();
  // Client area of exactly the picture's size; the frame keeps its own width.
  Move(window.left, window.top, kLogoWidth + window.width() - client.width(),
       kLogoHeight + window.height() - client.height(), true);
  char path[kPathBuffer + 16];
  snprintf(path, sizeof path, "%sLOGO.BMP", programFolder_);
  logo_load(path, picture_);
  Invalidate();
  SetTimer(kLogoTimer, kLogoShowMs);
}

intptr_t LogoDialog::OnTimer(ui::Message& m) {
  if (int(m.wParam) == kLogoTimer) {
    KillTimer(kLogoTimer);
    PostMessage(ui::kWmClose);
  }
  return 0;
}

void LogoDialog::Paint(ui::Canvas& canvas) { canvas.DrawPicture(0, 0, picture_); }
