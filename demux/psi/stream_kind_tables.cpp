// Stream kinds by stream_type (ISO/IEC 13818-1 Table 2-34; AC-3 and E-AC-3 of ATSC A/52; SCTE 35;
// the Blu-ray numbering under an "HDMV" registration),
// by the descriptors of private data (ETSI EN 300 468 6.2 and Annex D; ISO/IEC 13818-1 2.6.8;
// ARIB STD-B10 6.2.20 and STD-B24 for the caption data component) and by component tag.
#include "demux/psi/stream_kind.h"

#include <cstring>

#include "demux/psi/table_state.h"

namespace {

constexpr StreamClass V = StreamClass::Video, A = StreamClass::Audio, C = StreamClass::Caption,
                      D = StreamClass::Data;
using K = StreamCodec;

struct TypeRow {
  uint8_t stream_type;
  StreamClass streamClass;
  StreamCodec codec;
};

// Video and audio types decide the kind; data types (class D) leave it to the descriptors and
// the component tag.
constexpr TypeRow kTypeRows[] = {
    {0x01, V, K::Mpeg1Video}, {0x02, V, K::Mpeg2Video}, {0x03, A, K::MpegAudio}, {0x04, A, K::MpegAudio},
    {0x05, D, K::None},       {0x06, D, K::None},       {0x0A, D, K::None},      {0x0B, D, K::None},
    {0x0C, D, K::None},       {0x0D, D, K::None},       {0x0F, A, K::Aac},       {0x10, V, K::Mpeg4Video},
    {0x11, A, K::AacLatm},    {0x15, D, K::None},       {0x1B, V, K::H264},      {0x24, V, K::Hevc},
    {0x81, A, K::Ac3},        {0x86, D, K::Scte35},     {0x87, A, K::Eac3},
};

// The Blu-ray disc's own numbering of the user-private types, which holds only in a programme
// registered as "HDMV" (a Blu-ray or AVCHD recording); elsewhere 0x86 is SCTE 35, 0x87 E-AC-3.
constexpr TypeRow kHdmvTypeRows[] = {
    {0x80, A, K::PcmBluray}, {0x81, A, K::Ac3},     {0x82, A, K::Dts},     {0x83, A, K::TrueHd},
    {0x84, A, K::Eac3},      {0x85, A, K::Dts},     {0x86, A, K::Dts},     {0x90, C, K::HdmvPgs},
    {0x92, C, K::HdmvText},  {0xA1, A, K::Eac3},    {0xA2, A, K::Dts},     {0xEA, V, K::Vc1},
};

struct DescriptorRow {
  uint8_t tag;
  StreamClass streamClass;
  StreamCodec codec;
};

// Descriptors whose presence alone names the coding of private data.
constexpr DescriptorRow kDescriptorRows[] = {
    {0x56, C, K::Teletext},   // teletext_descriptor
    {0x59, C, K::DvbSubtitle},   // subtitling_descriptor
    {0x6A, A, K::Ac3},        // AC-3_descriptor
    {0x7A, A, K::Eac3},       // enhanced_AC-3_descriptor
    {0x7B, A, K::Dts},        // DTS_descriptor
};

struct RegistrationRow {
  char format_identifier[5];
  StreamClass streamClass;
  StreamCodec codec;
};

// format_identifier values registered for audio codings carried as private data.
constexpr RegistrationRow kRegistrationRows[] = {
    {"AC-3", A, K::Ac3}, {"EAC3", A, K::Eac3}, {"DTS1", A, K::Dts}, {"DTS2", A, K::Dts}, {"DTS3", A, K::Dts},
};

constexpr uint8_t kRegistrationTag = 0x05;
constexpr uint8_t kStreamIdentifierTag = 0x52;
constexpr uint8_t kDataComponentTag = 0xFD;
constexpr uint16_t kAribCaptionComponent = 0x0008;   // data_component_id of captions and superimposed text

const char* const kCodecNames[] = {
    "",     "mpeg1video", "mpeg2video", "mpeg4",   "h264",         "hevc",         "mpeg_audio",   "aac",
    "aac_latm", "ac3",    "eac3",       "dts",     "dvb_subtitle", "dvb_teletext", "arib_caption", "scte_35",
    "pcm_bluray", "truehd", "hdmv_pgs_subtitle", "hdmv_text_subtitle", "vc1",
};
static_assert(sizeof kCodecNames / sizeof kCodecNames[0] == size_t(StreamCodec::Vc1) + 1,
              "one name per codec");

// The kind a descriptor names, if it names one.
bool descriptor_kind(const uint8_t* d, uint32_t total, StreamKind& kind) {
  const uint8_t tag = d[0];
  for (const DescriptorRow& r : kDescriptorRows) {
    if (r.tag != tag) continue;
    kind = {r.streamClass, r.codec};
    return true;
  }
  if (tag == kRegistrationTag && total >= 6) {
    for (const RegistrationRow& r : kRegistrationRows) {
      if (std::memcmp(d + 2, r.format_identifier, 4) != 0) continue;
      kind = {r.streamClass, r.codec};
      return true;
    }
  }
  if (tag == kDataComponentTag && total >= 4 && ((d[2] << 8) | d[3]) == kAribCaptionComponent) {
    kind = {C, K::AribCaption};
    return true;
  }
  return false;
}

}  // namespace

const char* codec_name(StreamCodec codec) {
  const size_t index = size_t(codec);
  return index < sizeof kCodecNames / sizeof kCodecNames[0] ? kCodecNames[index] : "";
}

bool hdmv_registered(const uint8_t* program_info, uint32_t length) {
  for (uint32_t pos = 0; length - pos >= 2 && length - pos >= uint32_t(program_info[pos + 1]) + 2;
       pos += uint32_t(program_info[pos + 1]) + 2) {
    const uint8_t* d = program_info + pos;
    if (d[0] == kRegistrationTag && d[1] >= 4 && std::memcmp(d + 2, "HDMV", 4) == 0) return true;
  }
  return false;
}

StreamKind classify_stream(uint8_t stream_type, const uint8_t* es_info, uint32_t length, bool hdmv) {
  if (hdmv) {
    for (const TypeRow& r : kHdmvTypeRows) {
      if (r.stream_type == stream_type) return {r.streamClass, r.codec};
    }
  }
  StreamKind byType;
  for (const TypeRow& r : kTypeRows) {
    if (r.stream_type == stream_type) byType = {r.streamClass, r.codec};
  }
  if (byType.streamClass == V || byType.streamClass == A) return byType;

  // One pass over the loop: a naming descriptor wins over the component tag wherever each stands.
  StreamClass byTag = StreamClass::None;
  uint32_t pos = 0;
  while (length - pos >= 2 && length - pos >= uint32_t(es_info[pos + 1]) + 2) {
    const uint8_t* d = es_info + pos;
    const uint32_t total = uint32_t(d[1]) + 2;
    StreamKind named;
    if (descriptor_kind(d, total, named)) return named;
    // Private data in ISDB is captions or data by its tag; a tag in the video or audio ranges on
    // private data is another network's own numbering, not ARIB's.
    if (d[0] == kStreamIdentifierTag && total >= 3 && byTag == StreamClass::None) {
      const StreamClass tagged = class_for_component_tag(d[2]);
      if (tagged == C || tagged == D) byTag = tagged;
    }
    pos += total;
  }
  if (byTag != StreamClass::None) return {byTag, byType.codec};
  return byType;
}
