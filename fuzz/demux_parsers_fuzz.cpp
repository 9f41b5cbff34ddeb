// libFuzzer target for the demux tool's parsers: the first input byte chooses the command-line
// splitter and option parser, the control-file reader, or the information-file reader with the
// cutter's rules (and the cutter's programme list read from it) for the rest. None may read or
// write outside its buffers, and what they fill stays within the data model's limits. Every input
// gets records of its own.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "core/programme_list.h"
#include "demux/demux_control.h"
#include "demux/demux_options.h"
#include "demux/info_file_reader.h"
#include "demux/work_files.h"
#include "fuzz/fuzz_file.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const char* text = reinterpret_cast<const char*>(data + 1);
  const size_t length = size - 1;
  // Fresh records for every input: nothing carries over, so a saved crash reproduces on its own.
  if (data[0] & 1) {
    auto store = std::make_unique<CommandLineStore>();
    auto options = std::make_unique<DemuxOptions>();
    const std::string line(text, strnlen(text, length));
    if (SplitCommandLine(line.c_str(), *store) == 0) {
      Check(store->count <= kMaxTokens);
      for (int i = 0; i < kMaxTokens; ++i) Check(store->tokens[i] != nullptr);
      ParseOptions(*store, "/prog/", *options);
      Check(std::strlen(options->infoPath) <= kPathMax);
      Check(std::strlen(options->controlPath) <= kPathMax);
    }
  } else if (data[0] & 2) {
    InfoFileReader reader(text, length, kCutterReadRules);
    for (InfoLine line; reader.Next(line);) {
      Check(std::strlen(line.text) <= kLinePieceMax);
      if (line.kind == InfoLineKind::Pid) {
        const PidLineValue v = read_pid_value(line.value);
        Check(v.classText.size() <= kLinePieceMax);
      }
    }
    // The cutter's programme list from the same text as a file: no more entries than its list box
    // holds, each in a block that exists.
    static FuzzFolder* const folder = new FuzzFolder;
    if (folder->ok() && folder->Write(kDemuxInfoFileName, data + 1, length)) {
      ProgrammeStructure list;
      Check(read_programme_list(folder->File(kDemuxInfoFileName).c_str(), list) == 0);
      Check(list.videos.size() <= size_t(kMaxProgrammeEntries));
      for (const VideoEntry& v : list.videos) Check(v.ordinal >= 0 && size_t(v.ordinal) <= list.programmes.size());
    }
  } else {
    auto control = std::make_unique<DemuxControl>();
    int bad = 0;
    ParseDemuxControl(text, length, *control, bad);
    Check(control->outputCount >= 0 && control->outputCount <= kMaxOutputs);
    for (int i = 0; i < control->outputCount; ++i) {
      Check(control->outputs[i].pidCount <= kMaxOutputPids);
      Check(std::strlen(control->outputs[i].path) <= kPathMax);
    }
  }
  return 0;
}
