// CP932 text for UTF-8 readers (terminals, JSON), on every platform through the system's CP932
// table (the Microsoft variant, as Windows converts).
#pragma once
#include <string>
#include <string_view>

// Converts character by character: ASCII passes straight through, and each character without a
// CP932 meaning (an undefined pair, a lead byte at the end) becomes one U+FFFD, the rest kept.
std::string cp932_to_utf8(std::string_view cp932);

// The converter behind it, one platform's table: a CP932 text into UTF-8 appended to out; false
// (out unchanged) when the bytes are not valid CP932.
class Cp932Decoder {
 public:
  Cp932Decoder();
  ~Cp932Decoder();
  Cp932Decoder(const Cp932Decoder&) = delete;
  Cp932Decoder& operator=(const Cp932Decoder&) = delete;
  bool Append(std::string_view cp932, std::string& out);

 private:
  void* state_ = nullptr;   // the POSIX build's iconv descriptor
};
