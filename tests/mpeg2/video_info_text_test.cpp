#include "mpeg2/video_info_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(VideoInfoText, ValuesAreMaskedToTheirTable) {
  EXPECT_STREQ(aspect_ratio_text(0x13), "… 16：9");
  EXPECT_STREQ(profile_text(0xC4), "… Main");  // escape bit ignored
  EXPECT_STREQ(profile_text(0x85), "… ?(=0)");  // 4:2:2 profile
  EXPECT_STREQ(progressive_sequence_text(3), "… ﾌﾟﾛｸﾞﾚｯｼﾌﾞ");
  EXPECT_STREQ(chroma_format_text(0), "… ?(=0");  // no closing parenthesis
  EXPECT_STREQ(video_format_text(8 + 2), "… NTSC");
}

TEST(VideoInfoText, DialogTextsFromValues) {
  VideoInfoValues v{1440, 1080, 3, 4, 0x46, 0, 1, 5, 0x1011};
  VideoInfoTexts t;
  FormatVideoInfoTexts(v, false, t);
  EXPECT_STREQ(t.text[0], "… 1440×1080 ﾄﾞｯﾄ");
  EXPECT_STREQ(t.text[1], "… 16：9");
  EXPECT_STREQ(t.text[2], "… 29.97Hz");
  EXPECT_STREQ(t.text[3], "… Main");
  EXPECT_STREQ(t.text[4], "… High 1440");
  EXPECT_STREQ(t.text[5], "… ｲﾝﾀｰﾚｰｽ");
  EXPECT_STREQ(t.text[6], "… 4：2：0");
  EXPECT_STREQ(t.text[7], "… Unspecified(=5)");
  EXPECT_STREQ(t.text[8], "… 1011 （16進数）");
}

TEST(VideoInfoText, EmptyProgrammeListShowsPlaceholdersAndPidZero) {
  VideoInfoValues v{};
  VideoInfoTexts t;
  FormatVideoInfoTexts(v, true, t);
  EXPECT_STREQ(t.text[0], "… ????×???? ﾄﾞｯﾄ");
  EXPECT_STREQ(t.text[1], "… ?：?");
  EXPECT_STREQ(t.text[2], "… ??Hz");
  EXPECT_STREQ(t.text[6], "… ?：?：?");
  EXPECT_STREQ(t.text[7], "… ????");
  EXPECT_STREQ(t.text[8], "… 0000 （16進数）");
}

TEST(VideoInfoText, SizesBeforeAnyDecodeShowZero) {
  VideoInfoValues v{};
  VideoInfoTexts t;
  FormatVideoInfoTexts(v, false, t);
  EXPECT_STREQ(t.text[0], "… 0×0 ﾄﾞｯﾄ");
}

}  // namespace
