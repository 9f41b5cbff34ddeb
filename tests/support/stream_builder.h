// Test stream builder: writes MPEG-2 transport streams for test fixtures — TS packets, PSI/SI
// sections with their own CRC-32, section and PES packetisation with a PCR timeline, ARIB STD-B24
// text and the ARIB STD-B10 SI tables, temporary folders and whole "broadcast" recordings.
//
// It is written independently of the parsing code of the project and shares no helper with it,
// so that a fault in a parser cannot hide behind the same fault in the fixture. Errors in the use
// of the builder (a payload that does not fit, a field out of range) throw std::invalid_argument
// or std::length_error: this is test code, a wrong fixture must fail loudly.
//
// A typical fixture:
//
//   tsb::TsStream ts;
//   ts.Section(0x0000, tsb::Pat(0x7FE1, {{0, 0x0010}, {0x0400, 0x01F0}}));
//   ts.Section(0x01F0, tsb::Pmt(0x0400, 0x0100, {{0x02, 0x0100, tsb::StreamIdentifierDescriptor(0x00)},
//                                                {0x0F, 0x0110, tsb::StreamIdentifierDescriptor(0x10)}}));
//   ts.Pes(0x0100, {.stream_id = 0xE0, .pts = 90000, .data = tsb::Bytes(1000, 0xAA)},
//          tsb::Pcr::FromMs(1000));
//   tsb::TempDir dir;                       // removed with the fixture
//   std::string path = dir.Write("in.ts", ts.bytes());
//
// Texts in the fixtures are Shift-JIS: the sources are compiled with -fexec-charset=CP932.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tsb {

using Bytes = std::vector<uint8_t>;

constexpr size_t kPacketSize = 188;
constexpr uint8_t kSyncByte = 0x47;
constexpr uint16_t kNullPid = 0x1FFF;
constexpr uint64_t kPcrBaseWrap = uint64_t(1) << 33;   // program_clock_reference_base is 33 bits
constexpr uint64_t kSystemClockHz = 27000000;          // PCR ticks per second (base × 300 + ext)

// ---------------------------------------------------------------------------------------------
// Small helpers
// ---------------------------------------------------------------------------------------------

// CRC-32/MPEG-2 (ISO/IEC 13818-1 Annex A): polynomial 0x04C11DB7, MSB first, initial value
// 0xFFFFFFFF, no reflection, no final inversion. Bitwise. Pass the previous result as crc to
// continue over several chunks. crc32_mpeg2("123456789") = 0x0376E6E7; a section with its CRC
// appended gives 0.
uint32_t crc32_mpeg2(const uint8_t* data, size_t size, uint32_t crc = 0xFFFFFFFF);
uint32_t crc32_mpeg2(const Bytes& data);

// Appends a big-endian value of 1, 2, 3, 4 or 5 bytes (n) to out.
void put_be(Bytes& out, uint64_t value, int n);
// Concatenation: cat({a, b, c}).
Bytes cat(std::initializer_list<Bytes> parts);
// The bytes of a string (no terminator); for Shift-JIS literals and ASCII.
Bytes bytes_of(std::string_view text);

// Hex dump with offsets, 16 bytes a line ("0000: 47 40 00 10 ..."), for failure messages.
std::string hex_dump(const uint8_t* data, size_t size, size_t firstOffset = 0);
std::string hex_dump(const Bytes& data);

// ---------------------------------------------------------------------------------------------
// TS packets (ISO/IEC 13818-1 2.4.3.2, 2.4.3.4)
// ---------------------------------------------------------------------------------------------

// A program clock reference: 33-bit base at 90 kHz and 9-bit extension (0..299).
struct Pcr {
  uint64_t base = 0;
  uint16_t extension = 0;

  // From a count of 27 MHz ticks; the base wraps at 2^33.
  static Pcr FromTicks(uint64_t ticks27MHz);
  // From milliseconds (ms × 27000 ticks).
  static Pcr FromMs(uint64_t ms);
  // base × 300 + extension.
  uint64_t Ticks() const;
};

// Everything of one TS packet. Fields left at their defaults give a plain payload-only packet.
struct PacketDesc {
  uint16_t pid = 0;
  bool payload_unit_start_indicator = false;
  bool transport_error_indicator = false;
  bool transport_priority = false;
  uint8_t transport_scrambling_control = 0;   // 2 bits
  // continuity_counter; empty = automatic (per PID, TsStream). A given value also sets the
  // stream's counter, so that the next automatic value follows it.
  std::optional<uint8_t> continuity_counter = {};

  // Adaptation field (2.4.3.4). One is written when any of these asks for it, or when the
  // payload is shorter than the room left and padWithFF is false (then it carries stuffing).
  std::optional<Pcr> pcr = {};
  bool discontinuity_indicator = false;
  bool random_access_indicator = false;
  bool forceAdaptationField = false;          // an adaptation field even when nothing needs one
  size_t adaptationStuffing = 0;              // extra 0xFF stuffing bytes inside the field

  // Payload. noPayload = true gives adaptation_field_control '10' (adaptation only), the
  // adaptation field then fills the packet and the continuity counter does not advance.
  bool noPayload = false;
  Bytes payload = {};
  // Payload shorter than the room: false = pad with adaptation-field stuffing (right for PES);
  // true = pad the payload with 0xFF after it (right for PSI, 2.4.4.1).
  bool padWithFF = false;
};

// Room for payload in a packet with this adaptation field: 184 without one, else 183 minus its
// contents (flags byte, 6 PCR bytes, stuffing).
size_t payload_room(const PacketDesc& desc);

// One 188-byte packet with the given continuity counter (the PacketDesc's own, when set, wins).
// Throws std::length_error when the payload does not fit.
Bytes MakePacket(const PacketDesc& desc, uint8_t continuityCounter = 0);
// A null packet: PID 0x1FFF, payload only, 184 × 0xFF.
Bytes MakeNullPacket();

struct SectionPacking;
struct PesDesc;

// A growing transport stream: appends packets, keeps a continuity counter per PID, and knows
// the stream's clock (bitrate and the PCR of packet 0) so that PCRs follow the packet positions.
class TsStream {
 public:
  // Appends one packet; returns its packet index (byte offset / 188 when only whole packets were
  // appended). The continuity counter of its PID advances when the packet has a payload.
  size_t Packet(const PacketDesc& desc);
  // Several packets in order; returns the index of the first.
  size_t Packets(const std::vector<PacketDesc>& descs);
  size_t Null(size_t count = 1);
  // Arbitrary bytes (a damaged stream: half packets, wrong sync bytes, garbage); returns the
  // packet index at which they start (bytes().size() / 188 before appending).
  size_t Raw(const Bytes& bytes);
  // An adaptation-only packet carrying just a PCR (adaptation_field_control '10').
  size_t PcrPacket(uint16_t pid, Pcr pcr);
  // A PCR-only packet whose PCR is the stream clock at its own position (ClockAt).
  size_t PcrPacket(uint16_t pid);

  // Continuity counters: the value the next payload-carrying packet of pid gets (0 at first).
  uint8_t NextContinuity(uint16_t pid) const;
  void SetContinuity(uint16_t pid, uint8_t next);

  // Sections (already built, CRC included) packetised by PacketiseSections; returns the index
  // of the first packet written.
  size_t Section(uint16_t pid, const Bytes& section);
  size_t Sections(uint16_t pid, const std::vector<Bytes>& sections, const SectionPacking& packing);
  size_t Sections(uint16_t pid, const std::vector<Bytes>& sections);
  // A PES packet (BuildPes) split over packets by PacketisePes; pcr goes into the first packet.
  size_t Pes(uint16_t pid, const PesDesc& pes, std::optional<Pcr> pcr = std::nullopt);

  // The clock: packet i is sent at time ClockAt(i) = pcrOfPacket0 + i × 188 × 8 / bitrate
  // seconds (in 27 MHz ticks, the base wrapping at 2^33). Defaults: 16 Mbit/s, PCR 0.
  void SetClock(uint64_t bitsPerSecond, Pcr pcrOfPacket0 = {});
  uint64_t bitrate() const { return bitrate_; }
  Pcr ClockAt(size_t packetIndex) const;
  // The clock of the next packet to be appended.
  Pcr ClockNow() const { return ClockAt(PacketCount()); }

  const Bytes& bytes() const { return bytes_; }
  Bytes& bytes() { return bytes_; }
  size_t PacketCount() const { return bytes_.size() / kPacketSize; }
  // The 188 bytes of packet i (a copy); throws std::out_of_range past the end.
  Bytes PacketAt(size_t index) const;

 private:
  Bytes bytes_;
  std::map<uint16_t, uint8_t> continuity_;
  uint64_t bitrate_ = 16000000;
  uint64_t clockOrigin_ = 0;   // 27 MHz ticks of packet 0
};

// ---------------------------------------------------------------------------------------------
// PSI/SI sections (ISO/IEC 13818-1 2.4.4, ARIB STD-B10 5.1)
// ---------------------------------------------------------------------------------------------

// A long-form section (section_syntax_indicator 1): the 8-byte header, the body, CRC_32.
struct LongSection {
  uint8_t table_id = 0;
  uint16_t table_id_extension = 0;
  uint8_t version_number = 0;          // 5 bits
  bool current_next_indicator = true;
  uint8_t section_number = 0;
  uint8_t last_section_number = 0;
  Bytes body = {};                          // everything between last_section_number and CRC_32
  // The bit after section_syntax_indicator: '0' in the MPEG-2 PSI tables (PAT, CAT, PMT),
  // reserved_future_use '1' in the ARIB SI tables. Empty = 0 for table ids below 0x40, else 1.
  std::optional<bool> private_bit = {};
  bool corruptCrc = false;             // write the correct CRC with its lowest bit flipped
  // section_length to write instead of the true one (a damaged header); empty = true length.
  std::optional<uint16_t> section_length = {};

  // The whole section: 3 + section_length bytes. Throws std::length_error when the section
  // would exceed 4096 bytes (section_length 4093, the private-section maximum).
  Bytes Build() const;
  // So that a table can be handed to TsStream::Section(s) or compared with bytes as it is.
  operator Bytes() const { return Build(); }
};

// A short-form section (section_syntax_indicator 0): table_id, flags and section_length, then the
// body; withCrc appends CRC_32 (TOT), without it there is none (TDT, DIT). The bit after
// section_syntax_indicator is reserved_future_use '1'.
Bytes ShortSection(uint8_t table_id, const Bytes& body, bool withCrc, bool corruptCrc = false);

// A descriptor: tag, length, body (body of at most 255 bytes).
Bytes Descriptor(uint8_t tag, const Bytes& body);
// Stream identifier descriptor (ARIB STD-B10 6.2.16): 0x52 0x01 component_tag.
Bytes StreamIdentifierDescriptor(uint8_t component_tag);
// CA descriptor (ISO/IEC 13818-1 2.6.16): 0x09, CA_system_ID, reserved '111' + CA_PID, private data.
Bytes CaDescriptor(uint16_t CA_system_ID, uint16_t CA_PID, const Bytes& private_data = {});

// PAT (table 0x00, PID 0x0000). Program number 0 is the network PID entry.
struct PatEntry {
  uint16_t program_number = 0;
  uint16_t pid = 0;
};
LongSection Pat(uint16_t transport_stream_id, const std::vector<PatEntry>& programs,
                uint8_t version_number = 0);

// PMT (table 0x02): table_id_extension = program_number.
struct PmtStream {
  uint8_t stream_type = 0;
  uint16_t elementary_PID = 0;
  Bytes descriptors = {};                   // ES_info
};
LongSection Pmt(uint16_t program_number, uint16_t pcr_pid, const std::vector<PmtStream>& streams,
                const Bytes& program_info = {}, uint8_t version_number = 0);

// CAT (table 0x01, PID 0x0001): table_id_extension reserved (0xFFFF).
LongSection Cat(const Bytes& descriptors, uint8_t version_number = 0);

// ---------------------------------------------------------------------------------------------
// Section packetisation (ISO/IEC 13818-1 2.4.4.1-2.4.4.2: pointer_field and stuffing)
// ---------------------------------------------------------------------------------------------

struct SectionPacking {
  // true: each section starts in a new packet (pointer_field 0, the previous packet ends with
  // 0xFF stuffing). false: sections follow each other without a gap, so a section may start in
  // the middle of a packet right after the end of the previous one (pointer_field > 0 when the
  // previous one spilled over from an earlier packet).
  bool newPacketPerSection = false;
  // Bytes placed after the pointer_field of the first packet, before the first section (the tail
  // of a section that was never sent): the pointer_field skips them.
  Bytes leadingBytes = {};
  // 0xFF bytes inserted between two sections of the same packet — the stuffing that ends the
  // packet for a reader (2.4.4.1: once 0xFF appears, the rest of the packet is stuffing), so
  // the next section starts in a new packet regardless.
  bool stuffAfterEachSection = false;
  // A section starts in the current packet only when at least this many payload bytes are left
  // (besides a pointer_field still to be written); otherwise the packet is stuffed and the
  // section starts in the next one. 1 = start wherever the standard allows; 8 keeps whole
  // long-form headers (up to last_section_number) inside one packet.
  size_t minRoomToStart = 1;
  // Continuity, scrambling and PCR fields are taken from this template (pid is ignored).
  PacketDesc packetTemplate;
};

// The packets that carry the sections on pid: payload_unit_start_indicator on every packet in
// which a section starts, pointer_field = offset of the first section start in that payload,
// 0xFF stuffing after the last section.
std::vector<PacketDesc> PacketiseSections(uint16_t pid, const std::vector<Bytes>& sections,
                                          const SectionPacking& packing = {});

// ---------------------------------------------------------------------------------------------
// PES (ISO/IEC 13818-1 2.4.3.6) and elementary streams
// ---------------------------------------------------------------------------------------------

struct PesDesc {
  uint8_t stream_id = 0xE0;            // 0xE0 video, 0xC0 MPEG audio, 0xBD private stream 1
  std::optional<uint64_t> pts = {};         // 33 bits at 90 kHz
  std::optional<uint64_t> dts = {};         // only with pts
  Bytes data = {};                          // PES_packet_data_byte
  bool data_alignment_indicator = false;
  // PES_packet_length 0 (unbounded, allowed for video in a TS) instead of the true length;
  // forced when the packet is longer than 65535 bytes after the length field.
  bool unboundedLength = false;
};
// The whole PES packet: start code prefix, stream_id, length, the optional header with
// PTS/DTS ('0010'/'0011' prefixes and marker bits), the data.
Bytes BuildPes(const PesDesc& pes);

// Splits a PES packet over packets of pid: unit start on the first, pcr (if any) in the first
// packet's adaptation field, the last packet padded with adaptation-field stuffing.
std::vector<PacketDesc> PacketisePes(uint16_t pid, const Bytes& pesPacket,
                                     std::optional<Pcr> pcr = std::nullopt);

// Embeds an elementary stream (for example an MPEG-2 video ES read from a file) as PES packets
// on a PID, with a realistic PCR timeline: every packet is timed by the stream clock (TsStream::
// SetClock, bitrate), and a PCR is sent at least every pcrIntervalMs of stream time.
struct EsEmbedding {
  uint16_t pid = 0x0100;
  uint8_t stream_id = 0xE0;
  // Where the PCRs go: the same PID as the ES (in the ES packets' adaptation fields), another
  // PID (adaptation-only packets interleaved), or 0 for no PCR at all.
  uint16_t pcrPid = 0x0100;
  uint32_t pcrIntervalMs = 40;         // at most 100 (ISO/IEC 13818-1 2.7.2); checked
  // PES boundaries: 0 = one PES per MPEG-2 video picture (a picture start code 00 00 01 00,
  // together with the sequence, GOP and extension headers right before it); otherwise fixed
  // chunks of this many ES bytes.
  size_t pesChunk = 0;
  // PTS of the first PES and the step per PES (90 kHz). Empty first PTS = the clock at the first
  // packet plus 500 ms. The default step is one frame at 30000/1001 Hz.
  std::optional<uint64_t> firstPts = {};
  uint64_t ptsStep = 3003;
  // Called before each ES packet is appended (i = how many ES packets came before), so that a
  // fixture can interleave its own packets (PAT, PMT, audio, nulls) into the timeline.
  std::function<void(TsStream&, size_t esPacketIndex)> beforePacket = {};
};
// Appends the ES; returns the number of ES packets written (PCR-only packets not counted).
size_t EmbedEs(TsStream& ts, const Bytes& es, const EsEmbedding& how);

// The offsets in es where EmbedEs (pesChunk 0) starts a PES: at every picture, moved back to
// the first of the sequence/GOP/extension/user-data headers right before it. Offset 0 is always
// first.
std::vector<size_t> PictureAccessUnits(const Bytes& es);

// ---------------------------------------------------------------------------------------------
// ARIB STD-B24 8-unit text (for programme names)
// ---------------------------------------------------------------------------------------------

// Shift-JIS <-> JIS X 0208 for one double-byte character (row/cell codes 0x21..0x7E).
// false when the bytes are not a valid two-byte code of that form.
bool sjis_to_jis(uint8_t s1, uint8_t s2, uint8_t& j1, uint8_t& j2);
bool jis_to_sjis(uint8_t j1, uint8_t j2, uint8_t& s1, uint8_t& s2);

// An encoder of the 8-unit code (ARIB STD-B24 vol. 1 sec. 2, chapter 7) that tracks its own G0-G3,
// GL and GR (starting from the reception initial state: G0 kanji 0x42, G1 alphanumeric 0x4A,
// G2 hiragana 0x30, G3 macro 0x70; GL = G0, GR = G2) and emits the designations and shifts a
// piece of text needs. Each call appends and returns *this, so texts read as one chain:
//   tsb::AribText().Sjis("ニュース").Alnum("7").bytes()
class AribText {
 public:
  // Final bytes of the graphic sets (ARIB STD-B24 Table 7-3/7-4).
  static constexpr uint8_t kKanji = 0x42, kAlnum = 0x4A, kHiragana = 0x30, kKatakana = 0x31,
                           kMosaicA = 0x32, kJisKanji1 = 0x39, kAdditionalSymbols = 0x3B,
                           kJisX0201Katakana = 0x49, kMacro = 0x70;

  // JIS X 0208 kanji (row, cell): into GL through G0 (designated to kanji if it is not).
  AribText& Kanji(uint8_t j1, uint8_t j2);
  AribText& Kanji(const std::vector<std::pair<uint8_t, uint8_t>>& pairs);
  // Shift-JIS text: double-byte characters become kanji-set pairs (JIS X 0208 covers hiragana,
  // katakana and full-width symbols too), ASCII 0x20..0x7E becomes the alphanumeric set.
  // Throws std::invalid_argument for other bytes (half-width katakana, broken pairs).
  AribText& Sjis(std::string_view sjisText);
  // ASCII 0x20..0x7E through the alphanumeric set in G1 (designated to it if it is not),
  // invoked into GL with LS1.
  AribText& Alnum(std::string_view ascii);
  // Hiragana / katakana set codes (0x21..0x7E; ぁ = 0x21 … ん = 0x73, ァ = 0x21 …):
  // hiragana through G2 with SS2 before each character, katakana through G3 (designated to the
  // katakana set first when needed) with SS3 before each. viaGR writes hiragana as code | 0x80
  // through GR (= G2, invoked with LS2R when needed) instead.
  AribText& Hiragana(const Bytes& codes, bool viaGR = false);
  AribText& Katakana(const Bytes& codes);
  // Hiragana or katakana given as Shift-JIS text (ぁ..ん, ァ..ヶ and ー), converted to set codes.
  AribText& HiraganaSjis(std::string_view sjisText, bool viaGR = false);
  AribText& KatakanaSjis(std::string_view sjisText);

  // Designates set final to G<g> (0..3): ESC 0x28+g F (one-byte), ESC 0x24 F (two-byte into
  // G0) or ESC 0x24 0x28+g F (two-byte into G1..G3). drcs inserts 0x20 before F (DRCS sets:
  // ESC 0x28+g 0x20 F, ESC 0x24 0x28+g 0x20 F).
  AribText& Designate(int g, uint8_t final, bool twoByte, bool drcs = false);
  AribText& LS0();                     // 0x0F: GL = G0
  AribText& LS1();                     // 0x0E: GL = G1
  AribText& LS2R();                    // ESC 0x7D: GR = G2 (ESC 0x7E G1, ESC 0x7C G3 via Raw)
  AribText& SS2();                     // 0x19
  AribText& SS3();                     // 0x1D
  AribText& MSZ();                     // 0x89 middle size
  AribText& NSZ();                     // 0x8A normal size
  AribText& Control(uint8_t code);     // any C0/C1 byte, e.g. 0x0D (APR)
  // The 4 bytes 0x9B P 0x20 0x66 (a CSI sequence with final 0x66 and parameter byte P).
  AribText& Csi(uint8_t p);
  // Bytes as they are; the tracked state is not changed.
  AribText& Raw(const Bytes& bytes);

  const Bytes& bytes() const { return bytes_; }
  // The tracked state: final byte in G<g>, the G set invoked into GL and GR.
  uint8_t designation(int g) const { return g_[g]; }
  int gl() const { return gl_; }
  int gr() const { return gr_; }

 private:
  void UseInGL(int g);
  Bytes bytes_;
  uint8_t g_[4] = {kKanji, kAlnum, kHiragana, kMacro};
  bool twoByte_[4] = {true, false, false, false};
  int gl_ = 0;
  int gr_ = 2;
};

// ---------------------------------------------------------------------------------------------
// ARIB STD-B10 SI tables and descriptors
// ---------------------------------------------------------------------------------------------

// start_time / JST_time: 16-bit MJD then 6 BCD digits hhmmss (ARIB STD-B10 Annex C), 40 bits.
uint64_t mjd_bcd_time(int year, int month, int day, int hour, int minute, int second);
// duration: 6 BCD digits hhmmss, 24 bits.
uint32_t bcd_duration(int hours, int minutes, int seconds);

// Short event descriptor (0x4D): ISO_639_language_code, event_name_length, event_name_char,
// text_length, text_char. Name and text at most 255 bytes each, the whole body at most 255.
Bytes ShortEventDescriptor(const Bytes& event_name, const Bytes& text = {},
                           std::string_view language = "jpn");
// Service descriptor (0x48): service_type, provider name, service name (ARIB-coded bytes).
Bytes ServiceDescriptor(uint8_t service_type, const Bytes& provider_name, const Bytes& service_name);

// EIT (ARIB STD-B10 5.2.7): table_id_extension = service_id.
struct EitEvent {
  uint16_t event_id = 0;
  uint64_t start_time = 0xFFFFFFFFFF;  // 40 bits, mjd_bcd_time; all ones = undefined
  uint32_t duration = 0xFFFFFF;        // 24 bits, bcd_duration; all ones = undefined
  uint8_t running_status = 0;          // 3 bits
  bool free_CA_mode = false;
  Bytes descriptors = {};
};
struct EitDesc {
  // 0x4E present/following actual (section 0 = present, 1 = following), 0x4F p/f other,
  // 0x50..0x5F schedule actual, 0x60..0x6F schedule other.
  uint8_t table_id = 0x4E;
  uint16_t service_id = 0;
  uint16_t transport_stream_id = 0;
  uint16_t original_network_id = 0;
  uint8_t version_number = 0;
  bool current_next_indicator = true;
  uint8_t section_number = 0;
  uint8_t last_section_number = 1;
  // Empty = last_section_number for p/f tables (not segmented), (section_number | 7) clipped to
  // last_section_number for schedule tables (the last section of this segment of 8).
  std::optional<uint8_t> segment_last_section_number = {};
  std::optional<uint8_t> last_table_id = {};   // empty = table_id
  std::vector<EitEvent> events = {};
  bool corruptCrc = false;
};
LongSection Eit(const EitDesc& eit);
// The common case: a p/f actual section (0 = present, 1 = following) of one event whose
// short event descriptor carries the ARIB-coded name.
LongSection EitPf(uint16_t service_id, uint16_t transport_stream_id, uint16_t original_network_id,
                  uint8_t section_number, uint16_t event_id, const Bytes& aribName,
                  uint8_t version_number = 0);

// SDT (5.2.6), table 0x42 actual / 0x46 other: table_id_extension = transport_stream_id.
struct SdtService {
  uint16_t service_id = 0;
  uint8_t EIT_user_defined_flags = 0;   // 3 bits
  bool EIT_schedule_flag = false;
  bool EIT_present_following_flag = true;
  uint8_t running_status = 4;           // running
  bool free_CA_mode = false;
  Bytes descriptors = {};
};
LongSection Sdt(uint16_t transport_stream_id, uint16_t original_network_id,
                const std::vector<SdtService>& services, uint8_t version_number = 0,
                uint8_t table_id = 0x42);

// NIT (5.2.4), table 0x40 actual / 0x41 other: table_id_extension = network_id.
struct NitTransportStream {
  uint16_t transport_stream_id = 0;
  uint16_t original_network_id = 0;
  Bytes descriptors = {};
};
LongSection Nit(uint16_t network_id, const Bytes& network_descriptors,
                const std::vector<NitTransportStream>& streams, uint8_t version_number = 0,
                uint8_t table_id = 0x40);

// TDT (5.2.8): table 0x70, JST_time only, no CRC. TOT (5.2.9): table 0x73, JST_time, descriptors,
// CRC_32.
Bytes Tdt(uint64_t JST_time);
Bytes Tot(uint64_t JST_time, const Bytes& descriptors, bool corruptCrc = false);

// SDTT (ARIB STD-B21 12.2.1.1), table 0xC3: table_id_extension = maker_id << 8 | model_id.
struct SdttContent {
  uint8_t group = 0;                    // 4 bits
  uint16_t target_version = 0;          // 12 bits
  uint16_t new_version = 0;             // 12 bits
  uint8_t download_level = 0;           // 2 bits
  uint8_t version_indicator = 0;        // 2 bits
  uint8_t schedule_timeshift_information = 0;   // 4 bits
  std::vector<std::pair<uint64_t, uint32_t>> schedules = {};   // (start_time 40, duration 24)
  Bytes descriptors = {};
};
LongSection Sdtt(uint8_t maker_id, uint8_t model_id, uint16_t transport_stream_id,
                 uint16_t original_network_id, uint16_t service_id,
                 const std::vector<SdttContent>& contents, uint8_t version_number = 0);

// BIT (ARIB STD-B10 5.2.13), table 0xC4: table_id_extension = original_network_id.
struct BitBroadcaster {
  uint8_t broadcaster_id = 0;
  Bytes descriptors = {};
};
LongSection Bit(uint16_t original_network_id, bool broadcast_view_propriety,
                const Bytes& first_descriptors, const std::vector<BitBroadcaster>& broadcasters,
                uint8_t version_number = 0);

// SIT (ARIB STD-B21 / STD-B10 5.2.15 layout), table 0x7F: table_id_extension reserved (0xFFFF).
struct SitService {
  uint16_t service_id = 0;
  uint8_t running_status = 0;           // 3 bits
  Bytes descriptors = {};
};
LongSection Sit(const Bytes& transmission_info_descriptors, const std::vector<SitService>& services,
                uint8_t version_number = 0);

// CDT (ARIB STD-B21 12.2.2), table 0xC8: table_id_extension = download_data_id.
LongSection Cdt(uint16_t download_data_id, uint16_t original_network_id, uint8_t data_type,
                const Bytes& descriptors, const Bytes& data_module, uint8_t version_number = 0);

// DIT (ARIB STD-B10 5.2.14), table 0x7E: transition_flag, no CRC.
Bytes Dit(bool transition_flag);

// ---------------------------------------------------------------------------------------------
// Recordings on disk
// ---------------------------------------------------------------------------------------------

// A unique, empty folder under the system's temporary folder ($TMPDIR, else /tmp; GetTempPath on
// Windows), removed with everything in it when the object is destroyed.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder, without a trailing separator.
  const std::string& path() const { return path_; }
  // path() + separator + name.
  std::string File(std::string_view name) const;
  // Writes bytes to the file name in the folder (replacing it); returns its full path.
  std::string Write(std::string_view name, const Bytes& bytes) const;

 private:
  std::string path_;
};

// Whole-file helpers; both throw std::runtime_error on failure.
void WriteFile(const std::string& path, const Bytes& bytes);
Bytes ReadFile(const std::string& path);

// ---------------------------------------------------------------------------------------------
// A whole broadcast
// ---------------------------------------------------------------------------------------------

struct BroadcastService {
  uint16_t service_id = 0x0400;
  uint16_t pmt_pid = 0x01F0;
  uint16_t video_pid = 0x0100;         // stream_type 0x02, component tag 0x00
  uint16_t audio_pid = 0x0110;         // stream_type 0x0F, component tag 0x10; 0 = none
  uint16_t pcr_pid = 0;                // 0 = video_pid
  Bytes name = {};                          // ARIB-coded present event name (EIT p/f), may be empty
  uint16_t ecm_pid = 0;                // non-zero: a CA descriptor (programme level) with it
  Bytes serviceName = {};                   // the SDT's names (BroadcastDesc::sdt), coded as the
  Bytes providerName = {};                  // network codes its text
};

struct BroadcastDesc {
  uint16_t transport_stream_id = 0x7FE1;
  uint16_t original_network_id = 0x7FE1;
  uint16_t nit_pid = 0x0010;           // the PAT's program 0 entry; 0 = no entry
  std::vector<BroadcastService> services = {BroadcastService{}};
  size_t packets = 2000;               // total packets written
  size_t psiInterval = 200;            // PAT then all PMTs every this many packets, from packet 0
  bool eit = false;                    // EIT p/f actual (present + following) after each PAT/PMT round
  bool sdt = false;                    // SDT actual (a service descriptor per service) in each round
  Bytes nitDelivery = {};                   // non-empty: a NIT actual in each round whose entry for
                                            // this stream holds these descriptors
  // From this packet index on, the PAT and PMTs carry version_number + 1 and the services of
  // servicesAfterChange (or the same services when it is empty).
  std::optional<size_t> patVersionChangeAt = {};
  std::vector<BroadcastService> servicesAfterChange = {};
  uint64_t bitrate = 16000000;
  Pcr firstPcr = Pcr::FromMs(1000);    // the clock at packet 0
  uint32_t pcrIntervalMs = 40;
  // Video ES repeated as the video of every service (e.g. an MPEG-2 clip); empty = PES packets of
  // filler bytes (0xA5) with PTS.
  Bytes videoEs = {};
};

// Writes the broadcast: PSI rounds at every psiInterval, then the services' video and audio
// packets in turn (video twice as often), PCR-only packets on each service's PCR PID early
// enough that no two PCRs of a PID are more than pcrIntervalMs of stream time apart. The stream
// is cut at exactly `packets` packets, wherever that falls (a PES or PSI round may end mid-way,
// as in a real recording). sequenceHeaders, when given, receives (video PID, packet index) of
// every video PES that opens with a sequence header, in the order written.
TsStream Broadcast(const BroadcastDesc& desc,
                   std::vector<std::pair<uint16_t, size_t>>* sequenceHeaders = nullptr);

}  // namespace tsb
