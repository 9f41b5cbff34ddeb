// Text of DVB service information (ETSI EN 300 468 Annex A) into UTF-8: the first byte may select
// the character table; a text that opens with a printable byte is in table 00, the Latin alphabet
// of ISO/IEC 6937.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Decodes length bytes. Each byte of a table this decoder does not hold, each byte that means
// nothing in its table and each broken UTF-8 or UCS-2 unit becomes one U+FFFD; the emphasis
// codes and the other control codes are dropped, the line-break code (0x8A) is a line feed.
// No byte at or after bytes + length is read.
std::string dvb_text_to_utf8(const uint8_t* bytes, size_t length);
