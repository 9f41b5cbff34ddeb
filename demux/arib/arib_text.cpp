// ARIB STD-B24 8-unit character code (an ISO/IEC 2022 code extension with sets G0..G3, locking
// and single shifts) to Shift-JIS, for the titles and names carried in SI descriptors.
#include "demux/arib/arib_text.h"

#include <cstring>

#include "demux/arib/arib_tables.h"

namespace {

using namespace arib;

// C0 and C1 control bytes that act on the decoder rather than appear in the text.
constexpr uint8_t kLS1 = 0x0E;  // locking shift: GL = G1
constexpr uint8_t kLS0 = 0x0F;  // locking shift: GL = G0
constexpr uint8_t kSS2 = 0x19;  // single shift: next character from G2
constexpr uint8_t kESC = 0x1B;
constexpr uint8_t kSS3 = 0x1D;  // single shift: next character from G3
constexpr uint8_t kMSZ = 0x89;  // medium (half-width) character size
constexpr uint8_t kNSZ = 0x8A;  // normal character size
constexpr uint8_t kCSI = 0x9B;

enum class SetClass : uint8_t {
  kKanji, kAlphanumeric, kHiragana, kKatakana, kSymbols, kUnsupported
};

// What a set decodes as, from the final byte of its designation (ARIB STD-B24 Vol. 1 第2編,
// the final bytes of the graphic sets). The kanji and JIS-compatible kanji plane 1 sets both
// convert through JIS X 0208; the proportional sets decode as their plain forms.
constexpr SetClass class_of(uint8_t final_byte) {
  switch (final_byte) {
    case 0x42: case 0x39: return SetClass::kKanji;
    case 0x4A: case 0x36: return SetClass::kAlphanumeric;
    case 0x30: case 0x37: return SetClass::kHiragana;
    case 0x31: case 0x38: case 0x49: return SetClass::kKatakana;
    case 0x3B: return SetClass::kSymbols;
    default: return SetClass::kUnsupported;  // mosaics 0x32..0x35 and anything unknown
  }
}

// A G set, kept as what it decodes as. A set designated as a DRCS (downloaded glyphs) has no
// code in Shift-JIS, even when its final byte equals that of a set we know.
struct GSet {
  SetClass cls;
  constexpr GSet(uint8_t finalByte, bool drcs)
      : cls(drcs ? SetClass::kUnsupported : class_of(finalByte)) {}
};

// The decoder's state at the start of every text: kanji in GL, hiragana in GR.
struct State {
  GSet g[4] = {{0x39, false}, {0x4A, false}, {0x30, false}, {0x49, false}};
  int gl = 0;
  int gr = 2;
  int singleShift = -1;  // G set of a pending SS2/SS3, or -1
  bool medium = false;   // MSZ in force
};

// The standard text, with the replacement regions left out. A four-byte sequence
// CSI P 0x20 0x66 switches the mode: P = 0x30 returns to the standard text and discards what was
// collected before it; any other P starts bytes that are not used (P = 0x32: the replacement
// text). Since a P = 0x30 sequence discards everything before it, reading starts after the last
// one; no copy of the text is needed.
bool switch_at(const uint8_t* p, size_t n, size_t i) {
  return n - i >= 4 && p[i] == kCSI && p[i + 2] == 0x20 && p[i + 3] == 0x66;
}

// Where the standard text starts; `regions` tells whether any switch sequence occurs.
size_t standard_start(const uint8_t* p, size_t n, bool& regions) {
  size_t start = 0;
  regions = false;
  for (size_t i = 0; i < n;) {
    const void* csi = std::memchr(p + i, kCSI, n - i);
    if (!csi) break;
    i = size_t(static_cast<const uint8_t*>(csi) - p);
    if (switch_at(p, n, i)) {
      if (p[i + 1] == 0x30) start = i + 4;
      regions = true;
      i += 4;
    } else {
      ++i;
    }
  }
  return start;
}

// A text without switch sequences (the usual case): every byte is standard text.
class PlainText {
 public:
  PlainText(const uint8_t* bytes, size_t length) : p_(bytes), end_(bytes + length) {}
  bool next(uint8_t& b) {
    if (p_ == end_) return false;
    b = *p_++;
    return true;
  }

 private:
  const uint8_t* p_;
  const uint8_t* end_;
};

class RegionText {
 public:
  RegionText(const uint8_t* bytes, size_t length, size_t start)
      : p_(bytes), n_(length), pos_(start) {}
  bool next(uint8_t& b) {
    while (pos_ < n_) {
      if (switch_at(p_, n_, pos_)) {
        standard_ = p_[pos_ + 1] == 0x30;
        pos_ += 4;
      } else if (standard_) {
        b = p_[pos_++];
        return true;
      } else {
        ++pos_;
      }
    }
    return false;
  }

 private:
  const uint8_t* p_;
  size_t n_;
  size_t pos_;
  bool standard_ = true;
};

// The converted text. Every character goes in whole or not at all, so a text that would pass
// kAribTextMax bytes ends at a character boundary (255 input bytes never get there: the largest
// growth is four bytes per control byte).
class Output {
 public:
  explicit Output(char* out) : out_(out) {}

  bool full() const { return full_; }

  void put(const char* bytes, size_t n) {
    if (!room(n)) return;
    for (size_t i = 0; i < n; ++i) out_[used_ + i] = bytes[i];
    used_ += n;
  }
  void put_sjis(uint16_t code) {
    if (!room(2)) return;
    out_[used_] = char(code >> 8);
    out_[used_ + 1] = char(code & 0xFF);
    used_ += 2;
  }
  void put_byte(uint8_t byte) {
    const char b = char(byte);
    put(&b, 1);
  }
  void put_control(uint8_t byte) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    if (!room(4)) return;
    char* o = out_ + used_;
    o[0] = '[';
    o[1] = kHex[byte >> 4];
    o[2] = kHex[byte & 0xF];
    o[3] = ']';
    used_ += 4;
  }
  void terminate() { out_[used_] = '\0'; }

 private:
  bool room(size_t n) {
    if (n > kAribTextMax - used_) full_ = true;
    return !full_;
  }

  char* out_;
  size_t used_ = 0;
  bool full_ = false;
};

// JIS X 0208 row/cell bytes (0x21..0x7E each) to Shift-JIS. False for a pair outside the
// 94 x 94 plane (a space, DEL or control byte taken as either byte): the arithmetic alone would
// turn it into a byte that is no Shift-JIS lead or trail byte, garbling what follows, or into
// an unrelated character.
inline bool jis_to_sjis(uint8_t j1, uint8_t j2, uint16_t& sjis) {
  if (j1 < 0x21 || j1 > 0x7E || j2 < 0x21 || j2 > 0x7E) return false;
  unsigned s2 = j2 + (j2 >= 0x60 ? 0x20u : 0x1Fu);
  unsigned row = j1;
  if ((j1 & 1) == 0) {  // even rows use the second half of the trail bytes
    s2 = j2 + 0x7Eu;
    row = j1 - 1u;
  }
  const unsigned h = (row - 0x1F) / 2;
  const unsigned s1 = h + (h >= 0x20 ? 0xC0u : 0x80u);
  sjis = uint16_t((s1 << 8) | s2);
  return true;
}

inline void put_katakana(const State& st, uint8_t code, Output& out) {
  const uint16_t half = kKatakanaHalf[code - kKatakanaFirst];
  const uint8_t letter = uint8_t(half & 0xFF);
  const uint8_t mark = uint8_t(half >> 8);
  if (st.medium) {
    const char pair[2] = {char(letter), char(mark)};
    out.put(pair, mark ? 2 : 1);
    return;
  }
  if (mark) {
    for (const VoicedPair& v : kVoicedPairs) {
      if (v.letter == letter && v.mark == mark) {
        out.put_sjis(v.full);
        return;
      }
    }
    const char pair[2] = {char(letter), char(mark)};
    out.put(pair, 2);
    return;
  }
  const bool inTable = letter >= kHalfFirst && letter < kHalfFirst + kHalfCount;
  out.put_sjis(inTable ? kHalfToFull[letter - kHalfFirst] : 0x8140);
}

// The bracketed text of an additional symbol, or null for a code without one.
const char* symbol_text(uint8_t row, uint8_t cell) {
  if (row != kSymbolRow || cell < kSymbolFirstCell || cell >= kSymbolFirstCell + kSymbolCount) {
    return nullptr;
  }
  return kSymbolTexts[cell - kSymbolFirstCell];
}

// Designates G set `index` (0..3) to the set with final byte `f`.
void designate(State& st, int index, uint8_t f, bool drcs) { st.g[index] = GSet(f, drcs); }

// The bytes after ESC (at most four). A sequence cut by the end of the text does nothing.
template <class Text>
void escape(State& st, Text& in) {
  uint8_t b1, b2, b3, b4;
  if (!in.next(b1)) return;
  switch (b1) {
    case 0x7E: st.gr = 1; return;  // LS1R
    case 0x7D: st.gr = 2; return;  // LS2R
    case 0x7C: st.gr = 3; return;  // LS3R
    case 0x28: case 0x29: case 0x2A: case 0x2B:  // one-byte set, or DRCS with 0x20
      if (!in.next(b2)) return;
      if (b2 != 0x20) return designate(st, b1 - 0x28, b2, false);
      if (!in.next(b3)) return;
      return designate(st, b1 - 0x28, b3, true);
    case 0x24:  // two-byte set
      if (!in.next(b2)) return;
      if (b2 < 0x28 || b2 > 0x2B) return designate(st, 0, b2, false);
      if (!in.next(b3)) return;
      if (b3 != 0x20) return designate(st, b2 - 0x28, b3, false);
      if (!in.next(b4)) return;
      return designate(st, b2 - 0x28, b4, true);
    default:
      return;  // LS2, LS3 (ESC 0x6E, 0x6F) and anything else: no effect here
  }
}

// Decodes the standard text into `text`: 0, or 1 for a kanji code out of range.
template <class Text>
int decode(Text& in, Output& text) {
  State st;
  uint8_t b;
  while (!text.full() && in.next(b)) {
    if ((b & 0x7F) < 0x20) {
      switch (b) {
        case kLS0: st.gl = 0; break;
        case kLS1: st.gl = 1; break;
        case kSS2: st.singleShift = 2; break;
        case kSS3: st.singleShift = 3; break;
        case kESC: escape(st, in); break;
        case kMSZ: st.medium = true; break;
        case kNSZ: st.medium = false; break;
        default: text.put_control(b); break;
      }
      continue;
    }

    // A GR byte always decodes through GR; a pending single shift is spent either way.
    int set = st.singleShift >= 0 ? st.singleShift : st.gl;
    st.singleShift = -1;
    if (b >= 0xA0) set = st.gr;
    const uint8_t code = b & 0x7F;
    switch (st.g[set].cls) {
      case SetClass::kKanji: {
        uint8_t second;
        if (!in.next(second)) break;  // first byte of a pair at the very end: dropped
        // ARIB places its additional symbols in rows 85..94 of the kanji set too, beyond the 84
        // rows of JIS X 0208; the service marks there would otherwise come out as unrelated
        // vendor kanji, so they get the same bracketed texts as in the symbol set.
        if (const char* s = symbol_text(code, second & 0x7F)) {
          text.put(s, std::strlen(s));
          break;
        }
        uint16_t sjis;
        if (!jis_to_sjis(code, second & 0x7F, sjis)) return 1;
        text.put_sjis(sjis);
        break;
      }
      case SetClass::kAlphanumeric:
        if (st.medium) {
          text.put_byte(code);
        } else {
          text.put_sjis(code <= 0x7E ? kAlnumFull[code - kAlnumFirst] : 0x8140);
        }
        break;
      case SetClass::kHiragana:
        text.put_sjis(hiragana_sjis(code));
        break;
      case SetClass::kKatakana:
        put_katakana(st, code, text);
        break;
      case SetClass::kSymbols: {
        uint8_t cell;
        if (!in.next(cell)) break;  // as for kanji
        if (const char* s = symbol_text(code, cell & 0x7F)) text.put(s, std::strlen(s));
        break;
      }
      case SetClass::kUnsupported:
        text.put("[?]", 3);
        break;
    }
  }
  return 0;
}

}  // namespace

int arib_convert(const uint8_t* bytes, size_t length, char* out) {
  Output text(out);
  if (bytes == nullptr) length = 0;
  bool regions;
  const size_t start = standard_start(bytes, length, regions);
  int status;
  if (regions) {
    RegionText in(bytes, length, start);
    status = decode(in, text);
  } else {
    PlainText in(bytes, length);
    status = decode(in, text);
  }
  text.terminate();
  return status;
}
