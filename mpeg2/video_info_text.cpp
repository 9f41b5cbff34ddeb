// Value tables of the video information dialog (ISO/IEC 13818-2 Tables 6-3, 6-4, 6-6, 8-2, 8-3).
#include "mpeg2/video_info_text.h"

#include <cstdio>
#include <cstring>

namespace {

const char* const kAspect[16] = {
    "… ?(=0)",  "… 1：1",   "… 4：3",   "… 16：9",  "… 2.21：1", "… ?(=5)",
    "… ?(=6)",  "… ?(=7)",  "… ?(=8)",  "… ?(=9)",  "… ?(=10)",  "… ?(=11)",
    "… ?(=12)", "… ?(=13)", "… ?(=14)", "… ?(=15)"};

const char* const kFrameRate[16] = {
    "… ?(=0)",  "… 23.976Hz", "… 24Hz",   "… 25Hz",   "… 29.97Hz", "… 30Hz",
    "… 50Hz",   "… 59.94Hz",  "… 60Hz",   "… ?(=9)",  "… ?(=10)",  "… ?(=11)",
    "… ?(=12)", "… ?(=13)",   "… ?(=14)", "… ?(=15)"};

const char* const kLevel[16] = {
    "… ?(=0)",  "… ?(=1)",  "… ?(=2)",  "… ?(=3)",  "… High", "… ?(=5)",
    "… High 1440", "… ?(=7)", "… Main", "… ?(=9)",  "… Low",  "… ?(=11)",
    "… ?(=12)", "… ?(=13)", "… ?(=14)", "… ?(=15)"};

const char* const kProfile[8] = {"… ?(=0)",        "… High",
                                 "… Spatially Scalable", "… SNR Scalable",
                                 "… Main",         "… Simple",
                                 "… ?(=6)",        "… ?(=7)"};

const char* const kVideoFormat[8] = {"… Component", "… PAL", "… NTSC", "… SECAM",
                                     "… MAC",       "… Unspecified(=5)", "… ?(=6)", "… ?(=7)"};

const char* const kProgressive[2] = {"… ｲﾝﾀｰﾚｰｽ", "… ﾌﾟﾛｸﾞﾚｯｼﾌﾞ"};

// The entry for 0 has no closing parenthesis; that is the text the dialog shows.
const char* const kChroma[4] = {"… ?(=0", "… 4：2：0", "… 4：2：2", "… 4：4：4"};

const char* const kPlaceholders[8] = {"… ????×???? ﾄﾞｯﾄ", "… ?：?", "… ??Hz", "… ?",
                                      "… ?",               "… ?",     "… ?：?：?", "… ????"};

void copy_text(char* dst, const char* src) {
  std::strncpy(dst, src, 63);
  dst[63] = '\0';
}

}  // namespace

const char* aspect_ratio_text(int32_t v) { return kAspect[v & 15]; }
const char* frame_rate_text(int32_t v) { return kFrameRate[v & 15]; }
const char* profile_text(int32_t v) { return kProfile[(v >> 4) & 7]; }
const char* level_text(int32_t v) { return kLevel[v & 15]; }
const char* progressive_sequence_text(int32_t v) { return kProgressive[v & 1]; }
const char* chroma_format_text(int32_t v) { return kChroma[v & 3]; }
const char* video_format_text(int32_t v) { return kVideoFormat[v & 7]; }

void FormatVideoInfoTexts(const VideoInfoValues& v, bool programmeListEmpty, VideoInfoTexts& out) {
  if (programmeListEmpty) {
    for (int i = 0; i < 8; ++i) copy_text(out.text[i], kPlaceholders[i]);
  } else {
    std::snprintf(out.text[0], sizeof out.text[0], "… %d×%d ﾄﾞｯﾄ", v.horizontal_size_value,
                  v.vertical_size_value);
    copy_text(out.text[1], aspect_ratio_text(v.aspect_ratio_information));
    copy_text(out.text[2], frame_rate_text(v.frame_rate_code));
    copy_text(out.text[3], profile_text(v.profile_and_level_indication));
    copy_text(out.text[4], level_text(v.profile_and_level_indication));
    copy_text(out.text[5], progressive_sequence_text(v.progressive_sequence));
    copy_text(out.text[6], chroma_format_text(v.chroma_format));
    copy_text(out.text[7], video_format_text(v.video_format));
  }
  std::snprintf(out.text[8], sizeof out.text[8], "… %04X （16進数）", unsigned(v.videoPid) & 0xFFFFu);
}
