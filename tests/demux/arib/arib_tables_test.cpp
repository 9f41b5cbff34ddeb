// Known answers for every character table, each set decoded code by code and compared with the
// same characters written as text (compiled to Shift-JIS by the compiler, independently of the
// tables' hexadecimal transcription).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "demux/arib/arib_tables.h"
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

// The text after `prefix`, followed by every code 0x20..0x7F.
std::string all_codes_after(std::vector<uint8_t> prefix) {
  for (int c = 0x20; c <= 0x7F; ++c) prefix.push_back(uint8_t(c));
  char out[kAribTextMax + 1];
  EXPECT_EQ(arib_convert(prefix.data(), prefix.size(), out), 0);
  return out;
}

std::string sjis(uint16_t code) { return {char(code >> 8), char(code & 0xFF)}; }

const char kFullAlnum[] =
    "　！”＃＄％＆’（）＊＋，－．／０１２３４５６７８９：；＜＝＞？"
    "＠ＡＢＣＤＥＦＧＨＩＪＫＬＭＮＯＰＱＲＳＴＵＶＷＸＹＺ［￥］＾＿"
    "　ａｂｃｄｅｆｇｈｉｊｋｌｍｎｏｐｑｒｓｔｕｖｗｘｙｚ｛｜｝￣　";
const char kHiragana[] =
    "　ぁあぃいぅうぇえぉおかがきぎくぐけげこごさざしじすずせぜそぞただちぢっつづてでとど"
    "なにぬねのはばぱひびぴふぶぷへべぺほぼぽまみむめもゃやゅゆょよらりるれろゎわゐゑをん"
    "　　　ヽヾー。「」、・　";
const char kFullKatakana[] =
    "　ァアィイゥウェエォオカガキギクグケゲコゴサザシジスズセゼソゾタダチヂッツヅテデトド"
    "ナニヌネノハバパヒビピフブプヘベペホボポマミムメモャヤュユョヨラリルレロ　ワ　　ヲンヴ"
    "　　　　ー。「」、・　";
const char kHalfKatakana[] =
    " ｧｱｨｲｩｳｪｴｫｵｶｶﾞｷｷﾞｸｸﾞｹｹﾞｺｺﾞｻｻﾞｼｼﾞｽｽﾞｾｾﾞｿｿﾞﾀﾀﾞﾁﾁﾞｯﾂﾂﾞﾃﾃﾞﾄﾄﾞ"
    "ﾅﾆﾇﾈﾉﾊﾊﾞﾊﾟﾋﾋﾞﾋﾟﾌﾌﾞﾌﾟﾍﾍﾞﾍﾟﾎﾎﾞﾎﾟﾏﾐﾑﾒﾓｬﾔｭﾕｮﾖﾗﾘﾙﾚﾛ ﾜ  ｦﾝｳﾞ    ｰ｡｢｣､･ ";

class AribTables : public ::testing::Test {};

TEST_F(AribTables, AlphanumericSet) {
  EXPECT_EQ(hex(all_codes_after({0x0E})), hex(kFullAlnum));
  EXPECT_EQ(hex(all_codes_after({0x1B, 0x28, 0x36})), hex(kFullAlnum));
  std::string ascii;
  for (int c = 0x20; c <= 0x7F; ++c) ascii += char(c);
  EXPECT_EQ(hex(all_codes_after({0x89, 0x0E})), hex(ascii));
}

TEST_F(AribTables, HiraganaSet) {
  EXPECT_EQ(hex(all_codes_after({0x1B, 0x28, 0x30})), hex(kHiragana));
  EXPECT_EQ(hex(all_codes_after({0x89, 0x1B, 0x28, 0x37})), hex(kHiragana));
}

TEST_F(AribTables, KatakanaSets) {
  for (uint8_t f : {0x31, 0x38, 0x49}) {
    EXPECT_EQ(hex(all_codes_after({0x1B, 0x28, f})), hex(kFullKatakana)) << int(f);
    EXPECT_EQ(hex(all_codes_after({0x89, 0x1B, 0x28, f})), hex(kHalfKatakana)) << int(f);
  }
}

// Half-width bytes and pairs the katakana set never produces (0xA0, a lone voicing mark) are
// reached only through the tables themselves.
TEST_F(AribTables, HalfWidthWidening) {
  std::string wide;
  for (uint16_t c : arib::kHalfToFull) wide += sjis(c);
  EXPECT_EQ(hex(wide),
            hex("　。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテト"
                "ナニヌネノハヒフヘホマミムメモヤユヨラリルレロワン゛゜"));
  std::string pairs, full;
  for (const arib::VoicedPair& v : arib::kVoicedPairs) {
    pairs += {char(v.letter), char(v.mark)};
    full += sjis(v.full);
  }
  EXPECT_EQ(hex(pairs), hex("ﾊﾟﾋﾟﾌﾟﾍﾟﾎﾟｳﾞｶﾞｷﾞｸﾞｹﾞｺﾞｻﾞｼﾞｽﾞｾﾞｿﾞﾀﾞﾁﾞﾂﾞﾃﾞﾄﾞﾊﾞﾋﾞﾌﾞﾍﾞﾎﾞ"));
  EXPECT_EQ(hex(full), hex("パピプペポヴガギグゲゴザジズゼゾダヂヅデドバビブベボ"));
}

TEST_F(AribTables, AdditionalSymbols) {
  std::vector<uint8_t> in = {0x1B, 0x24, 0x3B};
  for (int cell = 0x4D; cell <= 0x74; ++cell) in.insert(in.end(), {0x7A, uint8_t(cell)});
  char out[kAribTextMax + 1];
  ASSERT_EQ(arib_convert(in.data(), in.size(), out), 0);
  EXPECT_STREQ(out,
               "[10.][11.][12.][HV][SD][P][W][MV][手][字][双][デ][S][二][多][解][SS][B][N]"
               "[■][●][天][交][映][無][料][PL][前][後][再][新][初][終][生][販][声][吹][PPV]"
               "[秘][ほか]");
}

// Both parities of the row byte and the three ranges of the cell byte (0x21..0x5F, 0x60..0x7E
// on odd rows; any cell on even rows), both lead-byte ranges (0x81..0x9F, 0xE0..0xEF).
TEST_F(AribTables, KanjiPairs) {
  struct {
    uint8_t j1, j2;
    uint16_t sjis;
  } const known[] = {
      {0x30, 0x21, 0x889F}, {0x21, 0x21, 0x8140}, {0x34, 0x41, 0x8ABF}, {0x3B, 0x7A, 0x8E9A},
      {0x24, 0x22, 0x82A0}, {0x25, 0x74, 0x8394}, {0x5F, 0x21, 0xE040}, {0x5F, 0x60, 0xE080},
      {0x60, 0x5F, 0xE0DD}, {0x74, 0x26, 0xEAA4}, {0x4F, 0x53, 0x9872}, {0x50, 0x21, 0x989F},
      {0x23, 0x30, 0x824F}, {0x26, 0x21, 0x839F}, {0x27, 0x7E, 0x849E}, {0x7E, 0x7E, 0xEFFC},
      {0x7A, 0x21, 0xED9F}, {0x2D, 0x21, 0x8740}, {0x21, 0x7E, 0x819E}, {0x22, 0x21, 0x819F},
  };
  for (const auto& k : known) {
    // G2 designated kanji, one pair through GR, one through GL (G0).
    const uint8_t text[] = {0x1B, 0x24, 0x2A, 0x42, uint8_t(k.j1 | 0x80), uint8_t(k.j2 | 0x80),
                            k.j1, k.j2};
    char out[kAribTextMax + 1];
    ASSERT_EQ(arib_convert(text, sizeof text, out), 0);
    EXPECT_EQ(hex(out), hex(sjis(k.sjis) + sjis(k.sjis))) << std::hex << int(k.j1) << int(k.j2);
  }
}

}  // namespace
