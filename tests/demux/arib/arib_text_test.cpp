// Decoding rules of the ARIB text converter: shifts, designations, sizes, controls, replacement
// regions, failures and the output bound.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "demux/arib/arib_text.h"

namespace {

std::string hex(const std::string& s) {
  std::string h;
  char b[4];
  for (unsigned char c : s) {
    std::snprintf(b, sizeof b, "%02X ", c);
    h += b;
  }
  return h;
}

struct Converted {
  int status;
  std::string text;
};

// Converts from a buffer of exactly the input's size, so a read past the input shows under ASan.
Converted convert(const std::vector<uint8_t>& in) {
  std::vector<uint8_t> exact(in);
  char out[kAribTextMax + 1];
  const int status = arib_convert(exact.empty() ? nullptr : exact.data(), exact.size(), out);
  return {status, std::string(out)};
}

struct Case {
  const char* what;
  std::vector<uint8_t> in;
  const char* out;
};

void expect_all(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    const Converted r = convert(c.in);
    EXPECT_EQ(r.status, 0) << c.what;
    EXPECT_EQ(hex(r.text), hex(c.out)) << c.what;
  }
}

class AribText : public ::testing::Test {};

TEST_F(AribText, EmptyInputGivesEmptyText) {
  char out[kAribTextMax + 1] = "junk";
  EXPECT_EQ(arib_convert(nullptr, 0, out), 0);
  EXPECT_STREQ(out, "");
}

TEST_F(AribText, ShiftsSelectTheSets) {
  expect_all({
      {"kanji in GL", {0x30, 0x21, 0x21, 0x21}, "亜　"},
      {"SS2 takes one hiragana from G2", {0x19, 0x22, 0x30, 0x21}, "あ亜"},
      {"GR is G2 at the start", {0xA2, 0xB0, 0xA1}, "あぐぁ"},
      {"SS3 takes one katakana from G3", {0x1D, 0x2C}, "ガ"},
      {"a control keeps the single shift pending", {0x19, 0x0D, 0x22}, "[0D]あ"},
      {"a GR byte spends the single shift", {0x19, 0xA2, 0x30, 0x21}, "あ亜"},
      {"LS1 locks G1", {0x0E, 0x41, 0x42, 0x43}, "ＡＢＣ"},
      {"LS0 returns to G0", {0x0E, 0x41, 0x0F, 0x30, 0x21}, "Ａ亜"},
      {"ESC 7E puts G1 in GR", {0x1B, 0x7E, 0xC1, 0xE1}, "Ａａ"},
      {"ESC 7C puts G3 in GR", {0x1B, 0x7C, 0xA2}, "ア"},
      {"ESC 7D puts G2 back", {0x1B, 0x7E, 0x1B, 0x7D, 0xA2}, "あ"},
  });
}

TEST_F(AribText, SizeChangesAlphanumericsAndKatakanaOnly) {
  expect_all({
      {"medium alphanumerics are the bytes", {0x89, 0x0E, 0x41, 0x42, 0x43}, "ABC"},
      {"NSZ widens again", {0x89, 0x0E, 0x41, 0x8A, 0x41}, "AＡ"},
      {"medium katakana with voicing mark", {0x89, 0x1D, 0x2C}, "ｶﾞ"},
      {"medium katakana without half-width form", {0x89, 0x1D, 0x6E, 0x1D, 0x6F}, " ﾜ"},
      {"hiragana at any size", {0x89, 0x19, 0x22}, "あ"},
      {"kanji at any size", {0x89, 0x30, 0x21}, "亜"},
  });
}

TEST_F(AribText, DesignationsChangeWhatASetDecodes) {
  expect_all({
      {"G0 one-byte alphanumeric", {0x1B, 0x28, 0x4A, 0x41}, "Ａ"},
      {"G1 hiragana", {0x1B, 0x29, 0x37, 0x0E, 0x22}, "あ"},
      {"G2 katakana", {0x1B, 0x2A, 0x38, 0x19, 0x22}, "ア"},
      {"G3 alphanumeric", {0x1B, 0x2B, 0x36, 0x1D, 0x31}, "１"},
      {"G0 two-byte short form", {0x1B, 0x28, 0x4A, 0x1B, 0x24, 0x42, 0x30, 0x21}, "亜"},
      {"G1 two-byte kanji via GR", {0x1B, 0x24, 0x29, 0x42, 0x1B, 0x7E, 0xB0, 0xA1}, "亜"},
      {"additional symbols in G0", {0x1B, 0x24, 0x3B, 0x7A, 0x50, 0x7A, 0x72}, "[HV][PPV]"},
      {"additional symbols in GR", {0x1B, 0x24, 0x2A, 0x3B, 0xFA, 0xD6}, "[字]"},
      {"service marks in the kanji set", {0x7A, 0x50, 0x7A, 0x56, 0x7A, 0x4C}, "[HV][字]\xED\xCA"},
      {"symbol codes outside the table give nothing",
       {0x1B, 0x24, 0x3B, 0x7A, 0x4C, 0x7A, 0x75, 0x79, 0x50, 0x21, 0x21}, ""},
      {"mosaic set", {0x1B, 0x28, 0x32, 0x21, 0x22}, "[?][?]"},
      {"unknown final byte", {0x1B, 0x29, 0x50, 0x0E, 0x41}, "[?]"},
      {"DRCS with a known final byte", {0x1B, 0x28, 0x20, 0x4A, 0x41}, "[?]"},
      {"two-byte DRCS", {0x1B, 0x24, 0x28, 0x20, 0x40, 0x21, 0x21}, "[?][?]"},
      {"LS2 and LS3 do nothing", {0x1B, 0x6E, 0x1B, 0x6F, 0x30, 0x21}, "亜"},
      {"an escape cut by the end", {0x30, 0x21, 0x1B, 0x24, 0x29}, "亜"},
  });
}

TEST_F(AribText, ControlBytesBecomePlaceholders) {
  expect_all({
      {"line break", {0x30, 0x21, 0x0D, 0x30, 0x21}, "亜[0D]亜"},
      {"C0 and C1 limits", {0x00, 0x1F, 0x80, 0x9F}, "[00][1F][80][9F]"},
      {"a lone CSI", {0x9B, 0x0E, 0x20, 0x67}, "[9B]　ｇ"},
  });
}

TEST_F(AribText, ReplacementRegionsKeepOnlyTheStandardText) {
  expect_all({
      {"replacement then standard",
       {0x19, 0x22, 0x9B, 0x32, 0x20, 0x66, 0x30, 0x21, 0x9B, 0x30, 0x20, 0x66, 0x34, 0x41},
       "漢"},
      {"other P drops the rest", {0x30, 0x21, 0x9B, 0x31, 0x20, 0x66, 0x34, 0x41}, "亜"},
      {"standard text before a P=0x30 region is gone with its designations",
       {0x1B, 0x28, 0x32, 0x9B, 0x30, 0x20, 0x66, 0x30, 0x21}, "亜"},
      {"the last P=0x30 wins",
       {0x9B, 0x30, 0x20, 0x66, 0x30, 0x21, 0x9B, 0x30, 0x20, 0x66, 0x34, 0x41}, "漢"},
  });
}

TEST_F(AribText, PairCutByTheEndIsDropped) {
  expect_all({
      {"lone kanji byte", {0x30}, ""},
      {"after a character", {0x19, 0x22, 0x30}, "あ"},
      {"lone symbol row", {0x1B, 0x24, 0x3B, 0x7A}, ""},
  });
}

TEST_F(AribText, KanjiOutOfRangeFailsKeepingWhatCameBefore) {
  const std::vector<std::vector<uint8_t>> bad = {
      {0x0E, 0x41, 0x0F, 0x30, 0x20},  // half-width space as second byte
      {0x0E, 0x41, 0x0F, 0x30, 0x0D},  // control as second byte
      {0x0E, 0x41, 0x0F, 0x20, 0x41},  // space as first byte
      {0x0E, 0x41, 0x0F, 0x30, 0x7F},  // DEL as second byte
      {0x0E, 0x41, 0x1B, 0x24, 0x2A, 0x42, 0xFF, 0xA1},  // row 0x7F through GR
  };
  for (const auto& in : bad) {
    const Converted r = convert(in);
    EXPECT_NE(r.status, 0) << hex(std::string(in.begin(), in.end()));
    EXPECT_EQ(hex(r.text), hex("Ａ"));
  }
}

TEST_F(AribText, NoStateCarriesOverBetweenTexts) {
  convert({0x89, 0x1B, 0x28, 0x32, 0x0E, 0x1B, 0x7C, 0x19});
  expect_all({{"defaults again", {0x30, 0x21, 0xA2, 0x0E, 0x41}, "亜あＡ"}});
}

// The caller's buffer holds kAribTextMax + 1 bytes whatever the input; a guard after it must
// survive and the text must end on a whole character.
TEST_F(AribText, OutputStaysWithinTheBuffer) {
  std::vector<char> buf(kAribTextMax + 1 + 64, '\x55');
  auto run = [&](const std::vector<uint8_t>& in) -> std::string {
    std::fill(buf.begin(), buf.end(), '\x55');
    arib_convert(in.data(), in.size(), buf.data());
    const size_t len = std::strlen(buf.data());
    EXPECT_LE(len, kAribTextMax);
    EXPECT_EQ(std::count(buf.begin() + kAribTextMax + 1, buf.end(), '\x55'), 64);
    return std::string(buf.data(), len);
  };

  std::string lineBreaks;
  for (int i = 0; i < 255; ++i) lineBreaks += "[0D]";
  EXPECT_EQ(run(std::vector<uint8_t>(255, 0x0D)), lineBreaks);
  EXPECT_EQ(run(std::vector<uint8_t>(400, 0x0D)), lineBreaks);

  std::vector<uint8_t> symbols = {0x1B, 0x24, 0x3B};
  for (int i = 0; i < 300; ++i) symbols.insert(symbols.end(), {0x7A, 0x74});
  const std::string many = run(symbols);
  const std::string one = "[ほか]";
  EXPECT_EQ(many.size() % one.size(), 0u);
  EXPECT_EQ(many.size(), kAribTextMax / one.size() * one.size());

  // Random texts built from the bytes that steer the decoder.
  const uint8_t steer[] = {0x0E, 0x0F, 0x19, 0x1D, 0x1B, 0x24, 0x28, 0x29, 0x2A, 0x2B, 0x20,
                           0x3B, 0x32, 0x7A, 0x74, 0x7E, 0x7C, 0x89, 0x8A, 0x9B, 0x30, 0x66};
  std::mt19937 rng(20261207);
  for (int n = 0; n < 20000; ++n) {
    std::vector<uint8_t> in(rng() % 600);
    for (uint8_t& b : in) b = rng() % 3 ? steer[rng() % sizeof steer] : uint8_t(rng());
    run(in);
  }
}

}  // namespace
