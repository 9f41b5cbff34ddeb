// The texts of the video information dialog: each value of the stream headers shown through a
// fixed table (every value has an entry), and the nine texts of the dialog built at once.
#pragma once
#include <cstddef>
#include <cstdint>

// Table lookups; the value is masked to the table's size first. Texts are Shift-JIS.
const char* aspect_ratio_text(int32_t aspect_ratio_information);       // 4 bits
const char* frame_rate_text(int32_t frame_rate_code);                  // 4 bits
const char* profile_text(int32_t profile_and_level_indication);        // bits 6-4
const char* level_text(int32_t profile_and_level_indication);          // bits 3-0
const char* progressive_sequence_text(int32_t progressive_sequence);   // 1 bit
const char* chroma_format_text(int32_t chroma_format);                 // 2 bits
const char* video_format_text(int32_t video_format);                   // 3 bits

// What the opener copies into the dialog.
struct VideoInfoValues {
  int32_t horizontal_size_value;
  int32_t vertical_size_value;
  int32_t aspect_ratio_information;
  int32_t frame_rate_code;
  int32_t profile_and_level_indication;
  int32_t progressive_sequence;
  int32_t chroma_format;
  int32_t video_format;
  int32_t videoPid;
};

// Texts of the static controls 1000-1008, in that order.
constexpr int kVideoInfoTextCount = 9;
constexpr int kVideoInfoFirstId = 1000;
struct VideoInfoTexts {
  char text[kVideoInfoTextCount][64];
};

// With no programme list, 1000-1007 show placeholders; 1008 always shows the PID.
void FormatVideoInfoTexts(const VideoInfoValues& values, bool programmeListEmpty,
                          VideoInfoTexts& out);
