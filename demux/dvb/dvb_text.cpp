// DVB text decoding (ETSI EN 300 468 Annex A): the table selector, then the text in the one-byte,
// two-byte (UCS-2) or UTF-8 form of its table.
#include "demux/dvb/dvb_text.h"

#include <cstring>

#include "demux/dvb/dvb_tables.h"

namespace {

constexpr uint32_t kReplacement = 0xFFFD;
constexpr uint32_t kLineBreak = 0x8A;   // the CR/LF control code (A.1)
// Two-byte and UTF-8 texts carry the one-byte control codes 0x80-0x9F at U+E080-U+E09F (A.2).
constexpr uint32_t kPrivateControls = 0xE000;

enum class Form : uint8_t { Latin00, Iso8859, Ucs2, Utf8, Unknown };

struct Selection {
  Form form = Form::Latin00;
  const uint16_t* upperHalf = kLatin00UpperHalf;
  size_t selectorBytes = 0;
};

// The row of kIso8859UpperHalves holding ISO/IEC 8859 part, or -1.
int iso8859_row(uint32_t part) {
  if (part >= 1 && part <= 11) return int(part) - 1;
  if (part >= 13 && part <= 15) return int(part) - 2;
  return -1;
}

Selection iso8859(uint32_t part, size_t selectorBytes) {
  const int row = iso8859_row(part);
  if (row < 0) return {Form::Unknown, nullptr, selectorBytes};
  return {Form::Iso8859, kIso8859UpperHalves[row], selectorBytes};
}

// Table A.3: 0x01-0x0B select ISO/IEC 8859 parts 5-15; 0x10 0x00 N part N; 0x11 the two-byte
// form of ISO/IEC 10646; 0x15 UTF-8; 0x1F an encoding_type_id (compressed text) that follows.
// Any other selector (0x12-0x14 KS X 1001, GB 2312, Big5, and the reserved values) names a table
// not held here: its text becomes replacement characters.
Selection select_table(const uint8_t* b, size_t n) {
  if (n == 0 || b[0] >= 0x20) return {};
  const uint8_t first = b[0];
  if (first >= 0x01 && first <= 0x0B) return iso8859(first + 4u, 1);
  switch (first) {
    case 0x10:
      if (n < 3) return {Form::Unknown, nullptr, n};
      return b[1] == 0x00 ? iso8859(b[2], 3) : Selection{Form::Unknown, nullptr, 3};
    case 0x11: return {Form::Ucs2, nullptr, 1};
    case 0x15: return {Form::Utf8, nullptr, 1};
    case 0x1F: return {Form::Unknown, nullptr, n < 2 ? n : 2};
    default: return {Form::Unknown, nullptr, 1};
  }
}

void append_utf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | (cp >> 6));
    out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += char(0xE0 | (cp >> 12));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xF0 | (cp >> 18));
    out += char(0x80 | ((cp >> 12) & 0x3F));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
}

// Appends a decoded character; control codes (C0, DEL, C1 and their private-use copies) carry
// no character: the line break becomes a line feed, the emphasis marks and the rest go.
void put(std::string& out, uint32_t cp) {
  if (cp >= kPrivateControls + 0x80 && cp <= kPrivateControls + 0x9F) cp -= kPrivateControls;
  if (cp == kLineBreak) {
    out += '\n';
    return;
  }
  if (cp < 0x20 || (cp >= 0x7F && cp <= 0x9F)) return;
  append_utf8(out, cp);
}

const Diacritic* diacritic_of(uint8_t code) {
  for (const Diacritic& d : kDiacritics)
    if (d.code == code) return &d;
  return nullptr;
}

// The character of byte c in a one-byte table (control codes as their values; 0 for a
// diacritic of table 00).
uint32_t one_byte_char(uint8_t c, const uint16_t* upperHalf) { return c < 0xA0 ? c : upperHalf[c - 0xA0]; }

bool is_graphic(uint32_t cp) { return cp > 0x20 && cp != 0x7F && !(cp >= 0x80 && cp <= 0x9F) && cp != kReplacement; }

// One-byte tables: the lower half is ASCII, 0x80-0x9F control codes, the upper half the table's.
// In table 00 a diacritic precedes the character it marks (ISO/IEC 6937): with a letter of its
// repertoire it gives the composed letter, with any other character that character and the
// combining mark; before a space, a control code, another diacritic or at the end it stands on
// its own (a following space is its carrier and goes with it).
void decode_one_byte(const uint8_t* b, size_t n, const uint16_t* upperHalf, std::string& out) {
  for (size_t i = 0; i < n; ++i) {
    const uint32_t cp = one_byte_char(b[i], upperHalf);
    if (b[i] < 0xA0 || cp != 0) {
      put(out, cp);
      continue;
    }
    const Diacritic* d = diacritic_of(b[i]);
    if (!d) {
      put(out, kReplacement);
      continue;
    }
    const uint8_t next = i + 1 < n ? b[i + 1] : 0;
    const char* composedAt = next >= 0x41 && next <= 0x7A ? std::strchr(d->bases, char(next)) : nullptr;
    const uint32_t base = i + 1 < n ? one_byte_char(next, upperHalf) : 0;
    if (composedAt) {
      put(out, d->composed[composedAt - d->bases]);
      ++i;
    } else if (is_graphic(base)) {
      put(out, base);
      put(out, d->mark);
      ++i;
    } else {
      put(out, d->spacing);
      if (base == 0x20) ++i;
    }
  }
}

void decode_ucs2(const uint8_t* b, size_t n, std::string& out) {
  size_t i = 0;
  for (; i + 1 < n; i += 2) {
    uint32_t unit = (uint32_t(b[i]) << 8) | b[i + 1];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < n) {
      const uint32_t low = (uint32_t(b[i + 2]) << 8) | b[i + 3];
      if (low >= 0xDC00 && low <= 0xDFFF) {
        put(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        i += 2;
        continue;
      }
    }
    put(out, unit >= 0xD800 && unit <= 0xDFFF ? kReplacement : unit);
  }
  if (i < n) put(out, kReplacement);   // an odd byte at the end
}

// The length of the well-formed UTF-8 sequence at b (n bytes left) and its code point; 0 when
// the bytes there are not one (overlong forms, surrogates and values past U+10FFFF included).
size_t utf8_sequence(const uint8_t* b, size_t n, uint32_t& cp) {
  const uint8_t lead = b[0];
  size_t length;
  uint32_t min;
  if (lead < 0x80) {
    cp = lead;
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, min = 0x80, cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, min = 0x800, cp = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, min = 0x10000, cp = lead & 0x07;
  } else {
    return 0;
  }
  if (n < length) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((b[k] & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b[k] & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return length;
}

void decode_utf8(const uint8_t* b, size_t n, std::string& out) {
  for (size_t i = 0; i < n;) {
    uint32_t cp = 0;
    const size_t length = utf8_sequence(b + i, n - i, cp);
    put(out, length ? cp : kReplacement);
    i += length ? length : 1;
  }
}

}  // namespace

std::string dvb_text_to_utf8(const uint8_t* bytes, size_t length) {
  std::string out;
  if (!bytes || length == 0) return out;
  const Selection s = select_table(bytes, length);
  const uint8_t* text = bytes + s.selectorBytes;
  const size_t n = length - s.selectorBytes;
  switch (s.form) {
    case Form::Latin00:
    case Form::Iso8859: decode_one_byte(text, n, s.upperHalf, out); break;
    case Form::Ucs2: decode_ucs2(text, n, out); break;
    case Form::Utf8: decode_utf8(text, n, out); break;
    case Form::Unknown:
      for (size_t i = 0; i < n; ++i) put(out, kReplacement);
      break;
  }
  return out;
}
