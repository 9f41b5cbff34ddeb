// Reading the programme-structure file (see programme_list.h).
#include "core/programme_list.h"

#include <cstdio>
#include <cstring>

#include "common/raw_file.h"
#include "demux/info_file_reader.h"

namespace {

const char kTitleKey[] = "// 番組名:";   // the comment the engine writes above a named programme

bool is_video(std::string_view classText) {
  return classText.size() == 1 && (classText[0] == 'V' || classText[0] == 'v');
}

}  // namespace

int read_programme_list(const char* path, ProgrammeStructure& list) {
  list = ProgrammeStructure{};
  RawFile file(path, "rb");
  if (!file.ok()) return 1;

  InfoFileReader reader(file.get(), kCutterReadRules);
  std::string pendingName;
  for (InfoLine line; reader.Next(line);) {
    switch (line.kind) {
      case InfoLineKind::Comment:
        if (std::strncmp(line.text, kTitleKey, sizeof kTitleKey - 1) == 0)
          pendingName = line.text + sizeof kTitleKey - 1;
        break;
      case InfoLineKind::Name: {
        Programme p;
        p.ordinal = int32_t(list.programmes.size()) + 1;
        p.name.swap(pendingName);
        list.programmes.push_back(std::move(p));
        break;
      }
      case InfoLineKind::ServiceId: {
        uint32_t id;
        if (!list.programmes.empty() && read_hex(line.value, id)) list.programmes.back().serviceId = int32_t(id);
        break;
      }
      case InfoLineKind::Pid: {
        const PidLineValue v = read_pid_value(line.value);
        if (!v.hasPid) break;
        if (!list.programmes.empty())
          list.programmes.back().pids.push_back({int32_t(v.pid), std::string(v.classText)});
        if (is_video(v.classText) && list.videos.size() < size_t(kMaxProgrammeEntries))
          list.videos.push_back({int32_t(v.pid), int32_t(list.programmes.size())});
        break;
      }
      default:
        break;
    }
  }
  return 0;
}

char* programme_entry_text(const VideoEntry& entry, char* buf) {
  std::snprintf(buf, 32, "PRG%d,VPID=%04X", int(entry.ordinal), unsigned(entry.videoPid) & 0xFFFFu);
  return buf;
}
