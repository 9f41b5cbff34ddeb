// ARIB STD-B24 Vol. 1 第2編 chapter 7 (8-unit code) encoder for test texts, and its own
// Shift-JIS <-> JIS X 0208 conversion.
#include <stdexcept>

#include "tests/support/stream_builder.h"

namespace tsb {

namespace {

constexpr uint8_t kEsc = 0x1B;

bool is_kanji_class(uint8_t f) { return f == AribText::kKanji || f == AribText::kJisKanji1; }
bool is_alnum_class(uint8_t f) { return f == AribText::kAlnum || f == 0x36; }   // 0x36 proportional
bool is_hiragana_class(uint8_t f) { return f == AribText::kHiragana || f == 0x37; }
bool is_katakana_class(uint8_t f) { return f == AribText::kKatakana || f == 0x38; }

// Shift-JIS symbols that the hiragana and katakana sets share at codes 0x79..0x7E (ー 。「 」、・).
int shared_symbol_code(uint8_t s1, uint8_t s2) {
  if (s1 != 0x81) return -1;
  switch (s2) {
    case 0x5B: return 0x79;
    case 0x42: return 0x7A;
    case 0x75: return 0x7B;
    case 0x76: return 0x7C;
    case 0x41: return 0x7D;
    case 0x45: return 0x7E;
    default: return -1;
  }
}

// The (lead, trail) pairs of a Shift-JIS text; throws when a byte is not part of a pair.
std::vector<std::pair<uint8_t, uint8_t>> sjis_pairs(std::string_view text) {
  std::vector<std::pair<uint8_t, uint8_t>> pairs;
  for (size_t i = 0; i < text.size(); i += 2) {
    if (i + 1 >= text.size()) throw std::invalid_argument("Shift-JIS text ends inside a character");
    pairs.emplace_back(uint8_t(text[i]), uint8_t(text[i + 1]));
  }
  return pairs;
}

}  // namespace

bool sjis_to_jis(uint8_t s1, uint8_t s2, uint8_t& j1, uint8_t& j2) {
  // Lead bytes 0x81..0x9F and 0xE0..0xEF cover rows 1..94 two rows per lead byte; the trail
  // byte 0x40..0x9E (without 0x7F) is a cell of the odd row, 0x9F..0xFC a cell of the even row.
  const bool lead = (s1 >= 0x81 && s1 <= 0x9F) || (s1 >= 0xE0 && s1 <= 0xEF);
  if (!lead || s2 < 0x40 || s2 == 0x7F || s2 > 0xFC) return false;
  const uint8_t oddRow = uint8_t((s1 <= 0x9F ? s1 - 0x81 : s1 - 0xC1) * 2 + 0x21);
  if (s2 >= 0x9F) {
    j1 = uint8_t(oddRow + 1);
    j2 = uint8_t(s2 - 0x7E);
  } else {
    j1 = oddRow;
    j2 = uint8_t(s2 - (s2 >= 0x80 ? 0x20 : 0x1F));
  }
  return true;
}

bool jis_to_sjis(uint8_t j1, uint8_t j2, uint8_t& s1, uint8_t& s2) {
  if (j1 < 0x21 || j1 > 0x7E || j2 < 0x21 || j2 > 0x7E) return false;
  s1 = uint8_t(((j1 - 0x21) >> 1) + 0x81);
  if (s1 > 0x9F) s1 = uint8_t(s1 + 0x40);
  if (j1 & 1) {
    s2 = uint8_t(j2 + (j2 >= 0x60 ? 0x20 : 0x1F));
  } else {
    s2 = uint8_t(j2 + 0x7E);
  }
  return true;
}

void AribText::UseInGL(int g) {
  if (gl_ == g) return;
  switch (g) {
    case 0: bytes_.push_back(0x0F); break;                 // LS0
    case 1: bytes_.push_back(0x0E); break;                 // LS1
    case 2: bytes_.insert(bytes_.end(), {kEsc, 0x6E}); break;   // LS2
    default: bytes_.insert(bytes_.end(), {kEsc, 0x6F}); break;  // LS3
  }
  gl_ = g;
}

AribText& AribText::Kanji(uint8_t j1, uint8_t j2) {
  if (j1 < 0x21 || j1 > 0x7E || j2 < 0x21 || j2 > 0x7E) throw std::invalid_argument("JIS code out of 0x21..0x7E");
  if (!is_kanji_class(g_[0])) Designate(0, kKanji, true);
  UseInGL(0);
  bytes_.push_back(j1);
  bytes_.push_back(j2);
  return *this;
}

AribText& AribText::Kanji(const std::vector<std::pair<uint8_t, uint8_t>>& pairs) {
  for (const auto& [j1, j2] : pairs) Kanji(j1, j2);
  return *this;
}

AribText& AribText::Sjis(std::string_view sjisText) {
  size_t i = 0;
  while (i < sjisText.size()) {
    const uint8_t b = uint8_t(sjisText[i]);
    if (b >= 0x20 && b <= 0x7E) {
      size_t j = i;
      while (j < sjisText.size() && uint8_t(sjisText[j]) >= 0x20 && uint8_t(sjisText[j]) <= 0x7E) ++j;
      Alnum(sjisText.substr(i, j - i));
      i = j;
      continue;
    }
    uint8_t j1, j2;
    if (i + 1 >= sjisText.size() || !sjis_to_jis(b, uint8_t(sjisText[i + 1]), j1, j2)) {
      throw std::invalid_argument("not a Shift-JIS double-byte character or ASCII");
    }
    Kanji(j1, j2);
    i += 2;
  }
  return *this;
}

AribText& AribText::Alnum(std::string_view ascii) {
  if (!is_alnum_class(g_[1])) Designate(1, kAlnum, false);
  for (char c : ascii) {
    const uint8_t b = uint8_t(c);
    if (b < 0x20 || b > 0x7E) throw std::invalid_argument("alphanumeric text must be ASCII 0x20..0x7E");
    UseInGL(1);
    bytes_.push_back(b);
  }
  return *this;
}

AribText& AribText::Hiragana(const Bytes& codes, bool viaGR) {
  if (!is_hiragana_class(g_[2])) Designate(2, kHiragana, false);
  for (uint8_t c : codes) {
    if (c < 0x21 || c > 0x7E) throw std::invalid_argument("set code out of 0x21..0x7E");
    if (viaGR) {
      if (gr_ != 2) LS2R();
      bytes_.push_back(uint8_t(c | 0x80));
    } else {
      SS2();
      bytes_.push_back(c);
    }
  }
  return *this;
}

AribText& AribText::Katakana(const Bytes& codes) {
  if (!is_katakana_class(g_[3])) Designate(3, kKatakana, false);
  for (uint8_t c : codes) {
    if (c < 0x21 || c > 0x7E) throw std::invalid_argument("set code out of 0x21..0x7E");
    SS3();
    bytes_.push_back(c);
  }
  return *this;
}

AribText& AribText::HiraganaSjis(std::string_view sjisText, bool viaGR) {
  Bytes codes;
  for (const auto& [s1, s2] : sjis_pairs(sjisText)) {
    int code = shared_symbol_code(s1, s2);
    if (s1 == 0x82 && s2 >= 0x9F && s2 <= 0xF1) code = 0x21 + (s2 - 0x9F);   // ぁ..ん
    if (s1 == 0x81 && s2 == 0x54) code = 0x77;                               // ゝ
    if (s1 == 0x81 && s2 == 0x55) code = 0x78;                               // ゞ
    if (code < 0) throw std::invalid_argument("not a character of the hiragana set");
    codes.push_back(uint8_t(code));
  }
  return Hiragana(codes, viaGR);
}

AribText& AribText::KatakanaSjis(std::string_view sjisText) {
  Bytes codes;
  for (const auto& [s1, s2] : sjis_pairs(sjisText)) {
    int code = shared_symbol_code(s1, s2);
    // ァ..ヶ are 0x8340..0x8396 in Shift-JIS, skipping the trail byte 0x7F.
    if (s1 == 0x83 && s2 >= 0x40 && s2 <= 0x96 && s2 != 0x7F) code = 0x21 + (s2 - 0x40) - (s2 > 0x7F ? 1 : 0);
    if (s1 == 0x81 && s2 == 0x52) code = 0x77;                               // ヽ
    if (s1 == 0x81 && s2 == 0x53) code = 0x78;                               // ヾ
    if (code < 0) throw std::invalid_argument("not a character of the katakana set");
    codes.push_back(uint8_t(code));
  }
  return Katakana(codes);
}

AribText& AribText::Designate(int g, uint8_t final, bool twoByte, bool drcs) {
  if (g < 0 || g > 3) throw std::invalid_argument("G set index out of 0..3");
  bytes_.push_back(kEsc);
  if (twoByte) {
    bytes_.push_back(0x24);
    // G0 has the short form ESC 0x24 F (ARIB STD-B24 Table 7-2); the others need 0x28+g.
    if (g != 0 || drcs) bytes_.push_back(uint8_t(0x28 + g));
  } else {
    bytes_.push_back(uint8_t(0x28 + g));
  }
  if (drcs) bytes_.push_back(0x20);
  bytes_.push_back(final);
  g_[g] = final;
  twoByte_[g] = twoByte;
  return *this;
}

AribText& AribText::LS0() { bytes_.push_back(0x0F); gl_ = 0; return *this; }
AribText& AribText::LS1() { bytes_.push_back(0x0E); gl_ = 1; return *this; }
AribText& AribText::LS2R() { bytes_.insert(bytes_.end(), {kEsc, 0x7D}); gr_ = 2; return *this; }
AribText& AribText::SS2() { bytes_.push_back(0x19); return *this; }
AribText& AribText::SS3() { bytes_.push_back(0x1D); return *this; }
AribText& AribText::MSZ() { bytes_.push_back(0x89); return *this; }
AribText& AribText::NSZ() { bytes_.push_back(0x8A); return *this; }
AribText& AribText::Control(uint8_t code) { bytes_.push_back(code); return *this; }
AribText& AribText::Csi(uint8_t p) { bytes_.insert(bytes_.end(), {0x9B, p, 0x20, 0x66}); return *this; }
AribText& AribText::Raw(const Bytes& bytes) {
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  return *this;
}

}  // namespace tsb
