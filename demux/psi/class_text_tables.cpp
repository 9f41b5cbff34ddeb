// Stream class by component_tag: the tag ranges broadcasters assign to video, audio, captions and
// data (ARIB TR-B14 for full-segment services, 0x80-0x8F for one-segment services), and the
// letter the information file writes for each class.
#include "demux/psi/table_state.h"

namespace {

struct ClassRange {
  uint8_t first;
  uint8_t last;
  StreamClass streamClass;
};

constexpr StreamClass V = StreamClass::Video, A = StreamClass::Audio, C = StreamClass::Caption,
                      D = StreamClass::Data;
constexpr ClassRange kClassRanges[] = {
    {0x00, 0x0F, V}, {0x10, 0x2F, A}, {0x30, 0x3F, C}, {0x40, 0x7F, D}, {0x80, 0x80, D},
    {0x81, 0x82, V}, {0x83, 0x86, A}, {0x87, 0x88, C}, {0x89, 0x8B, D}, {0x8C, 0x8F, A},
};

}  // namespace

StreamClass class_for_component_tag(uint8_t component_tag) {
  for (const ClassRange& r : kClassRanges) {
    if (component_tag >= r.first && component_tag <= r.last) return r.streamClass;
  }
  return StreamClass::None;
}

const char* class_text(StreamClass streamClass) {
  switch (streamClass) {
    case StreamClass::Video: return "V";
    case StreamClass::Audio: return "A";
    case StreamClass::Caption: return "C";
    case StreamClass::Data: return "D";
    case StreamClass::None: break;
  }
  return "";
}
