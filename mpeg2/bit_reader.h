// MSB-first bit reader over a bounded byte range with a 64-bit cache.
//
// Guarantee: Show(n) and Get(n) for 1 <= n <= 32 always have n valid bits; bits past the end of
// the range read as zero and no byte at or after `end` is ever loaded, so a damaged stream can make
// the decoder read zeros but never read outside its buffer.
#pragma once
#include <cstdint>
#include <cstring>

class BitReader {
 public:
  BitReader(const uint8_t* begin, const uint8_t* end) : begin_(begin), ptr_(begin), end_(end) {
    if (end_ < ptr_) end_ = ptr_;
    Refill();
  }

  uint32_t Show(int n) {
    if (bits_ < 32) Refill();
    return uint32_t(cache_ >> (64 - n));
  }
  uint32_t Get(int n) {
    if (bits_ < 32) Refill();
    uint32_t v = uint32_t(cache_ >> (64 - n));
    cache_ <<= n;
    bits_ -= n;
    return v;
  }
  // Only after a Show of at least n bits.
  void Skip(int n) {
    cache_ <<= n;
    bits_ -= n;
  }
  int32_t GetSigned(int n) {  // n-bit two's complement
    uint32_t v = Get(n);
    return int32_t(v << (32 - n)) >> (32 - n);
  }
  // Bits consumed since begin (past the end, the zeros read are counted too).
  int64_t Position() const { return (ptr_ - begin_) * 8 + overrun_ - bits_; }

 private:
  // The next eight bytes as one big-endian number: one load and a byte swap where the compiler
  // offers the swap and the host is little-endian, bytes shifted in one by one elsewhere.
  static uint64_t load_be64(const uint8_t* p) {
#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    uint64_t v;
    std::memcpy(&v, p, 8);
    return __builtin_bswap64(v);
#else
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v = v << 8 | p[i];
    return v;
#endif
  }

  void Refill() {
    if (end_ - ptr_ >= 8) {
      cache_ |= load_be64(ptr_) >> bits_;
      int bytes = (63 - bits_) >> 3;
      ptr_ += bytes;
      bits_ += bytes * 8;
      return;
    }
    while (bits_ <= 56) {
      if (ptr_ < end_) {
        cache_ |= uint64_t(*ptr_++) << (56 - bits_);
      } else {
        overrun_ += 8;  // zeros: the cache below the valid bits is already zero
      }
      bits_ += 8;
    }
  }

  const uint8_t* begin_;
  const uint8_t* ptr_;
  const uint8_t* end_;
  uint64_t cache_ = 0;  // valid bits left-aligned; bits below them are zero or equal to the data
  int bits_ = 0;        // valid bits in cache_
  int64_t overrun_ = 0;
};
