// The DVB text decoder against texts written from ETSI EN 300 468 Annex A, ISO/IEC 6937 and the
// ISO/IEC 8859 parts: every table, the diacritics, the selectors, the control codes and bad input.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "demux/dvb/dvb_text.h"

namespace {

struct Case {
  const char* what;
  std::vector<uint8_t> bytes;
  const char8_t* utf8;
};

const Case kCases[] = {
    // Table 00 (no selector): ASCII, the upper half, and diacritics before the letter.
    {"table 00 ASCII", {'B', 'B', 'C', ' ', '1'}, u8"BBC 1"},
    {"table 00 upper half", {0xA4, 0xE1, 0xFB, 0xD4, 0xA9}, u8"€Æß™‘"},
    {"acute, diaeresis, caron, ring", {'C', 'a', 'f', 0xC2, 'e', ' ', 0xC8, 'u', 0xCF, 'S', 0xCA, 'A'}, u8"Café üŠÅ"},
    {"cedilla, double acute, ogonek", {0xCB, 'c', 0xCD, 'o', 0xCE, 'E'}, u8"çőĘ"},
    {"no composed form: letter and mark", {0xC2, 'q', 0xC8, 0xE1}, u8"q\u0301Æ\u0308"},
    {"before a space or at the end", {0xC2, ' ', 'x', 'a', 0xC8}, u8"´xa¨"},
    {"before another diacritic", {0xC1, 0xC2, 'e'}, u8"`é"},
    {"unused positions", {0xC9, 'a', 0xC0, 0xE5}, u8"\uFFFDa\uFFFD\uFFFD"},
    // One-byte selectors 0x01-0x0B and the three-byte 0x10 0x00 N.
    {"8859-5", {0x01, 0xB0, 'x'}, u8"Аx"},
    {"8859-6", {0x02, 0xC7}, u8"ا"},
    {"8859-7", {0x03, 0xC1}, u8"Α"},
    {"8859-8", {0x04, 0xE0}, u8"א"},
    {"8859-9", {0x05, 0xDD}, u8"İ"},
    {"8859-10", {0x06, 0xBD}, u8"―"},
    {"8859-11", {0x07, 0xA1}, u8"ก"},
    {"8859-13", {0x09, 0xD0}, u8"Š"},
    {"8859-14", {0x0A, 0xA1}, u8"Ḃ"},
    {"8859-15", {0x0B, 0xA4, 0xC2, 'e'}, u8"€Âe"},
    {"8859-1", {0x10, 0x00, 0x01, 0xE9}, u8"é"},
    {"8859-2", {0x10, 0x00, 0x02, 0xB9}, u8"š"},
    {"8859-3", {0x10, 0x00, 0x03, 0xA6, 0xA5}, u8"Ĥ\uFFFD"},
    {"8859-4", {0x10, 0x00, 0x04, 0xBD}, u8"Ŋ"},
    // Two-byte and UTF-8 forms.
    {"UCS-2", {0x11, 0x00, 0x41, 0x04, 0x1F, 0x30, 0x42}, u8"AПあ"},
    {"UCS-2 surrogate pair", {0x11, 0xD8, 0x3D, 0xDE, 0x00}, u8"😀"},
    {"UTF-8", {0x15, 0xC3, 0x9C, 'n', 0xE2, 0x82, 0xAC}, u8"Ün€"},
    // Tables not held, reserved selectors, selectors cut short.
    {"8859-12 does not exist", {0x10, 0x00, 0x0C, 'a'}, u8"\uFFFD"},
    {"KS X 1001", {0x12, 0xB0, 0xA1}, u8"\uFFFD\uFFFD"},
    {"reserved selector", {0x08, 'a', 'b'}, u8"\uFFFD\uFFFD"},
    {"encoding_type_id", {0x1F, 0x01, 'a'}, u8"\uFFFD"},
    {"three-byte selector cut short", {0x10, 0x00}, u8""},
    {"empty", {}, u8""},
    // Control codes: emphasis and the rest dropped, the line break a line feed.
    {"one-byte controls", {0x86, 'B', 0x87, 0x8A, 'H', 0x1B, 0x9F, 0x7F}, u8"B\nH"},
    {"UCS-2 controls", {0x11, 0xE0, 0x86, 0x00, 'A', 0xE0, 0x8A, 0x00, 'B'}, u8"A\nB"},
    {"UTF-8 controls", {0x15, 0xEE, 0x82, 0x8A, 'A', 0xC2, 0x86}, u8"\nA"},
    // Broken units: one replacement each, and the text goes on.
    {"UCS-2 odd byte", {0x11, 0x00, 0x41, 0x00}, u8"A\uFFFD"},
    {"UCS-2 lone surrogate", {0x11, 0xDC, 0x00, 0x00, 0x41}, u8"\uFFFDA"},
    {"UTF-8 cut short", {0x15, 'a', 0xE2, 0x82}, u8"a\uFFFD\uFFFD"},
    {"UTF-8 overlong and surrogate", {0x15, 0xC0, 0xAF, 0xED, 0xA0, 0x80}, u8"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
};

TEST(DvbText, DecodesEveryTableAndReplacesWhatItCannot) {
  for (const Case& c : kCases) {
    // An exact-size copy, so that a read past the text is seen by the address sanitizer.
    std::unique_ptr<uint8_t[]> bytes(new uint8_t[c.bytes.size() + 1]);
    std::copy(c.bytes.begin(), c.bytes.end(), bytes.get());
    EXPECT_EQ(dvb_text_to_utf8(bytes.get(), c.bytes.size()), reinterpret_cast<const char*>(c.utf8)) << c.what;
  }
}

}  // namespace
