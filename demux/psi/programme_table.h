// The programme tables that the PAT, PMT, CA descriptors and present events fill: one table per
// PAT version met in a run. The demux tool's outputs and information file read them.
#pragma once
#include <cstdint>

constexpr int kMaxProgrammeTables = 32;   // PAT versions kept per run
constexpr int kMaxServices = 64;          // services (and PAT entries) per PAT version
constexpr int kMaxStreams = 32;           // elementary streams per service
constexpr int kProgrammeNameMax = 127;    // bytes of a programme name, without the terminator

// What an elementary stream carries, as its component_tag says (None: no stream identifier
// descriptor, or a tag in no range).
enum class StreamClass : uint8_t { None, Video, Audio, Caption, Data };
// The class as the information file writes it: "V", "A", "C", "D", or "" for None.
const char* class_text(StreamClass streamClass);

// What a stream carries by its whole PMT entry (stream_kind.h).
enum class StreamCodec : uint8_t {
  None,          // private data, or a coding not known here
  Mpeg1Video,
  Mpeg2Video,
  Mpeg4Video,
  H264,
  Hevc,
  MpegAudio,     // ISO/IEC 11172-3 or 13818-3 (layers I-III)
  Aac,           // ADTS
  AacLatm,
  Ac3,
  Eac3,
  Dts,
  DvbSubtitle,
  Teletext,
  AribCaption,   // ARIB STD-B24 captions and superimposed text
  Scte35,
  PcmBluray,     // Blu-ray's LPCM
  TrueHd,
  HdmvPgs,       // Blu-ray's presentation graphics (bitmap subtitles)
  HdmvText,      // Blu-ray's text subtitles
  Vc1,
};

struct StreamKind {
  StreamClass streamClass = StreamClass::None;
  StreamCodec codec = StreamCodec::None;
};

struct ServiceStream {
  uint16_t pid = 0;
  uint16_t ecmPid = 0;        // 0 = none
  StreamClass streamClass = StreamClass::None;   // by component tag, as the information file writes it
  uint8_t stream_type = 0;
  StreamKind kind;            // by the whole PMT entry (classify_stream)
};

struct Service {
  uint16_t serviceId = 0;
  uint16_t pmtPid = 0;
  uint16_t pcrPid = 0;        // 0 = none
  uint16_t ecmPid = 0;        // 0 = none
  uint16_t streamCount = 0;
  ServiceStream streams[kMaxStreams];
  char name[kProgrammeNameMax + 1] = {};
};

struct ProgrammeTable {
  int serviceCount = 0;
  Service services[kMaxServices];
};

struct PatPidEntry {
  uint16_t programNumber = 0;
  uint16_t pid = 0;
};
