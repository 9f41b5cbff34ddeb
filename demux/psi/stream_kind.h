// What an elementary stream carries, worked out from its PMT entry as a whole: the stream_type,
// the descriptors that name a coding, and the component tag where ISDB gives one. kerf reads
// streams from any broadcast this way; the information file keeps the tag-only class.
#pragma once
#include <cstdint>

#include "demux/psi/programme_table.h"

// The codec's name as kerf shows it (ffmpeg's short names where ffmpeg has one); "" for None.
const char* codec_name(StreamCodec codec);

// Whether a PMT's programme-level descriptors (program_info, length bytes) hold a registration
// descriptor with format_identifier "HDMV": the programme numbers its streams as Blu-ray does.
bool hdmv_registered(const uint8_t* program_info, uint32_t length);

// The stream's kind from its stream_type and its ES descriptor loop (es_info, length bytes; a
// loop cut short is read as far as it is whole). In order:
//  0. in an HDMV programme (hdmv), Blu-ray's numbering of the types 0x80-0xEA decides;
//  1. a stream_type that names a video or audio coding decides (ISDB's component tags for such
//     streams name the same class; DVB's own tags follow no ARIB range and are not read);
//  2. for private data, a descriptor that names a coding (AC-3, E-AC-3, DTS, DVB subtitles,
//     teletext, a registration, an ARIB caption data component);
//  3. the component tag of a stream identifier descriptor where the ARIB ranges make it captions
//     or data (ISDB's captions, superimposed text and data broadcasts);
//  4. private data and DSM-CC types are data; any other type has no class.
StreamKind classify_stream(uint8_t stream_type, const uint8_t* es_info, uint32_t length, bool hdmv = false);
