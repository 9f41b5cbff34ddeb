// The processor-specific intra row stores against the plain one: every store this processor runs
// writes the same samples to the same places, for both DCT types and both chroma placements, and
// for a macroblock cut by the end of the frame buffer.
#include "mpeg2/macroblock_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "mpeg2/slice_decoder.h"
#include "mpeg2/vlc_tables.h"
#include "tests/mpeg2/decoder_test_util.h"

namespace {

struct StoreCase {
  int dct_type;
  int progressive_frame;
  int32_t address;  // of a 3 x 2 macroblock picture
  int32_t maxRows;  // stored rows inside the buffer; 0: the whole buffer
};

class MacroblockStore : public ::testing::Test {
 protected:
  void SetUp() override {
    d_ = &test_decoder();
    std::memset(&d_->headers, 0, sizeof d_->headers);
    ResetDecoderRun(*d_, 0);
    d_->headers.horizontal_size_value = 48;
    d_->headers.vertical_size_value = 32;
    d_->headers.picture_coding_type = kPictureI;
    d_->headers.chroma_format = kChroma420;
  }

  // The picture's rows and eight more above them after storing one intra macroblock of random
  // blocks with `store`; the rest of the rows hold a fill pattern that no store writes.
  std::vector<int16_t> Store(const StoreCase& k, RowStore store) {
    d_->headers.progressive_frame = k.progressive_frame;
    SliceContext c{};
    c.d = d_;
    set_slice_picture(c, frame_geometry(d_->headers));
    if (k.maxRows > 0) c.maxRows = k.maxRows;
    c.rowStore = store;
    std::mt19937 rng(27);
    for (int i = 0; i < 6; ++i) {
      c.coded[i] = 1;
      for (int16_t& v : c.samples[i]) v = int16_t(int(rng() % 601) - 300);
    }
    int16_t* current = d_->frames.Current();
    const size_t samples = size_t(c.g.rowStride) * 40;
    std::fill(current, current + samples, int16_t(0x5A5A));
    MacroblockModes m;
    m.flags = kMbIntra;
    m.dct_type = k.dct_type;
    reconstruct_macroblock(c, k.address, m);
    return std::vector<int16_t>(current, current + samples);
  }

  PreviewDecoder* d_ = nullptr;
};

TEST_F(MacroblockStore, EveryRowStoreWritesWhatThePlainStoreWrites) {
  const StoreCase cases[] = {
      {0, 1, 0, 0}, {1, 1, 0, 0}, {0, 0, 4, 0}, {1, 0, 4, 0},
      {0, 0, 1, 20},  // stored rows 31..20 of the top macroblock row lie past the buffer
  };
  for (const StoreCase& k : cases) {
    const std::vector<int16_t> plain = Store(k, RowStore::kPlain);
    for (RowStore store : {RowStore::kSsse3, RowStore::kAvx512}) {
      if (store > best_row_store()) continue;
      const std::vector<int16_t> got = Store(k, store);
      const auto [g, p] = std::mismatch(got.begin(), got.end(), plain.begin());
      EXPECT_TRUE(g == got.end())
          << "row store " << int(store) << ", dct_type " << k.dct_type << ", progressive "
          << k.progressive_frame << ", address " << k.address << ", rows " << k.maxRows
          << ": sample " << (g - got.begin()) << " is " << *g << ", plain store " << *p;
    }
  }
}

}  // namespace
