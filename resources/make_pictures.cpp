// Draws kerfcut's pictures at build time: LOGO.BMP (320 x 200, 8 bits per pixel, 256-colour
// palette, the layout the logo window reads) and kerfcut.ico (32 x 32, 32-bit colour).
// Usage: make_pictures <output folder>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/bytes.h"

namespace {

constexpr int kW = 320, kH = 200;

// 5 x 7 glyphs of the letters the logo writes, one byte per row, bit 4 leftmost.
struct Glyph {
  char c;
  uint8_t rows[7];
};
constexpr Glyph kFont[] = {
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}}, {'e', {0x00, 0x00, 0x0E, 0x11, 0x1F, 0x10, 0x0E}},
    {'r', {0x00, 0x00, 0x16, 0x19, 0x10, 0x10, 0x10}}, {'f', {0x06, 0x09, 0x08, 0x1C, 0x08, 0x08, 0x08}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}}, {'u', {0x00, 0x00, 0x11, 0x11, 0x11, 0x13, 0x0D}},
    {'t', {0x08, 0x08, 0x1C, 0x08, 0x08, 0x09, 0x06}}, {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}}, {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}}, {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}},
    {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}}, {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}},
    {'r', {0x00, 0x00, 0x16, 0x19, 0x10, 0x10, 0x10}}, {' ', {0, 0, 0, 0, 0, 0, 0}},
};

const Glyph* glyph(char c) {
  for (const Glyph& g : kFont) {
    if (g.c == c) return &g;
  }
  return nullptr;
}

// Palette: 0-127 a blue ramp for the background, 128-191 a grey ramp, 192 white, 193 orange
// (the cut line), 194 dark grey, 195 black; the rest black.
void palette(uint8_t pal[256][4]) {
  memset(pal, 0, 256 * 4);
  for (int i = 0; i < 128; ++i) {
    pal[i][0] = uint8_t(96 + i);      // blue
    pal[i][1] = uint8_t(24 + i / 2);  // green
    pal[i][2] = uint8_t(8 + i / 4);   // red
  }
  for (int i = 0; i < 64; ++i) pal[128 + i][0] = pal[128 + i][1] = pal[128 + i][2] = uint8_t(64 + i * 3);
  auto set = [&](int i, int r, int g, int b) {
    pal[i][0] = uint8_t(b);
    pal[i][1] = uint8_t(g);
    pal[i][2] = uint8_t(r);
  };
  set(192, 255, 255, 255);
  set(193, 255, 140, 0);
  set(194, 48, 48, 48);
  set(195, 0, 0, 0);
}

struct Canvas {
  std::vector<uint8_t> px = std::vector<uint8_t>(kW * kH);  // top-down while drawing
  void put(int x, int y, uint8_t c) {
    if (x >= 0 && x < kW && y >= 0 && y < kH) px[size_t(y * kW + x)] = c;
  }
  void rect(int x0, int y0, int x1, int y1, uint8_t c) {
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) put(x, y, c);
  }
  void text(int x, int y, const char* s, int scale, uint8_t c) {
    for (; *s != '\0'; ++s, x += 6 * scale) {
      const Glyph* g = glyph(*s);
      if (g == nullptr) continue;
      for (int r = 0; r < 7; ++r)
        for (int b = 0; b < 5; ++b)
          if (g->rows[r] & (0x10 >> b)) rect(x + b * scale, y + r * scale, x + (b + 1) * scale, y + (r + 1) * scale, c);
    }
  }
};

// Appends a little-endian field of size bytes (2 or 4).
void le(std::vector<uint8_t>& v, uint32_t x, size_t size) {
  uint8_t bytes[4];
  if (size == 2) le_write16(bytes, x); else le_write32(bytes, x);
  v.insert(v.end(), bytes, bytes + size);
}
void le16(std::vector<uint8_t>& v, uint32_t x) { le(v, x, 2); }
void le32(std::vector<uint8_t>& v, uint32_t x) { le(v, x, 4); }

bool write(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok;
}

std::vector<uint8_t> logo() {
  Canvas c;
  for (int y = 0; y < kH; ++y) c.rect(0, y, kW, y + 1, uint8_t(y * 127 / (kH - 1)));
  // A strip of film with sprocket holes, cut by an orange line.
  c.rect(20, 120, 300, 170, 194);
  for (int x = 26; x < 296; x += 16) {
    c.rect(x, 124, x + 8, 130, 192);
    c.rect(x, 160, x + 8, 166, 192);
  }
  for (int f = 0; f < 5; ++f) c.rect(30 + f * 54, 133, 76 + f * 54, 157, uint8_t(140 + f * 10));
  for (int y = 110; y < 180; ++y) c.rect(158 + (y % 6 < 3 ? 0 : 1), y, 162 + (y % 6 < 3 ? 0 : 1), y + 1, 193);
  c.text(63 + 3, 33 + 3, "KerfCut", 5, 195);
  c.text(63, 33, "KerfCut", 5, 192);
  c.text(104, 88, "Ver 1.20", 2, 192);
  c.text(124, 182, "TS", 2, 193);

  std::vector<uint8_t> out;
  uint32_t pixelsAt = 14 + 40 + 256 * 4;
  le16(out, 0x4D42);
  le32(out, pixelsAt + kW * kH);
  le32(out, 0);
  le32(out, pixelsAt);
  le32(out, 40);
  le32(out, kW);
  le32(out, kH);
  le16(out, 1);
  le16(out, 8);
  le32(out, 0);  // BI_RGB
  le32(out, kW * kH);
  le32(out, 2835);
  le32(out, 2835);
  le32(out, 256);
  le32(out, 0);
  uint8_t pal[256][4];
  palette(pal);
  out.insert(out.end(), &pal[0][0], &pal[0][0] + 256 * 4);
  for (int y = kH - 1; y >= 0; --y) out.insert(out.end(), c.px.begin() + y * kW, c.px.begin() + (y + 1) * kW);
  return out;
}

std::vector<uint8_t> icon() {
  constexpr int n = 32;
  uint32_t px[n][n];
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) {
      bool edge = x < 2 || y < 2 || x >= n - 2 || y >= n - 2;
      uint8_t b = uint8_t(160 + y * 2), g = uint8_t(60 + y * 2), r = uint8_t(20 + y);
      px[y][x] = edge ? 0xFF202020u : (0xFF000000u | uint32_t(r) << 16 | uint32_t(g) << 8 | b);
    }
  // Film frame and the orange cut.
  for (int y = 9; y < 23; ++y)
    for (int x = 5; x < 27; ++x) px[y][x] = 0xFF303030u;
  for (int x = 7; x < 26; x += 4) {
    px[10][x] = px[10][x + 1] = 0xFFFFFFFFu;
    px[21][x] = px[21][x + 1] = 0xFFFFFFFFu;
  }
  for (int y = 5; y < 27; ++y) px[y][15] = px[y][16] = 0xFFFF8C00u;

  std::vector<uint8_t> bmp;
  le32(bmp, 40);
  le32(bmp, n);
  le32(bmp, n * 2);  // colour and mask halves
  le16(bmp, 1);
  le16(bmp, 32);
  le32(bmp, 0);
  le32(bmp, n * n * 4 + n * 4);
  le32(bmp, 0);
  le32(bmp, 0);
  le32(bmp, 0);
  le32(bmp, 0);
  for (int y = n - 1; y >= 0; --y)
    for (int x = 0; x < n; ++x) le32(bmp, px[y][x]);
  bmp.insert(bmp.end(), size_t(n * 4), 0);  // AND mask: all opaque

  std::vector<uint8_t> out;
  le16(out, 0);
  le16(out, 1);  // icon
  le16(out, 1);  // one image
  out.push_back(n);
  out.push_back(n);
  out.push_back(0);
  out.push_back(0);
  le16(out, 1);
  le16(out, 32);
  le32(out, uint32_t(bmp.size()));
  le32(out, 6 + 16);
  out.insert(out.end(), bmp.begin(), bmp.end());
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: make_pictures <output folder>\n");
    return 2;
  }
  std::string dir = argv[1];
  if (!write(dir + "/LOGO.BMP", logo()) || !write(dir + "/kerfcut.ico", icon())) {
    fprintf(stderr, "make_pictures: cannot write into %s\n", argv[1]);
    return 1;
  }
  return 0;
}
