// Reader and writer of the demux information file.
#include "demux/demux_control.h"

#include <cstdio>
#include <cstring>

#include "common/raw_file.h"
#include "common/sjis.h"
#include "common/ts_packet.h"
#include "demux/psi/table_layer.h"

namespace {

// Copies at most kPathMax bytes of text into path without leaving half a two-byte character.
void copy_path(const char* text, char* path) {
  size_t n = 0;
  while (text[n] != '\0' && n < kPathMax) {
    if (sjis_is_lead(uint8_t(text[n]))) {
      if (n + 1 >= kPathMax || text[n + 1] == '\0') break;
      n += 2;
    } else {
      ++n;
    }
  }
  std::memcpy(path, text, n);
  path[n] = '\0';
}

ControlStatus parse(InfoFileReader& reader, DemuxControl& control, int& badLine) {
  control.mode = DemuxMode::Demux;
  control.outputCount = 0;
  badLine = 0;
  for (InfoLine line; reader.Next(line);) {
    DemuxOutputDesc* last = control.outputCount > 0 ? &control.outputs[control.outputCount - 1]
                                                    : nullptr;
    switch (line.kind) {
      case InfoLineKind::Empty:
      case InfoLineKind::Comment:
        break;
      case InfoLineKind::Name: {
        if (control.outputCount == kMaxOutputs) {
          badLine = line.number;
          return ControlStatus::BadLine;
        }
        DemuxOutputDesc& out = control.outputs[control.outputCount++];
        out = DemuxOutputDesc{};
        copy_path(line.value, out.path);
        // In ALL mode the first output takes everything: the rest of the file is not read.
        if (control.mode == DemuxMode::All) return ControlStatus::Ok;
        break;
      }
      case InfoLineKind::ServiceId: {
        uint32_t value;
        if (last && read_hex(line.value, value)) last->serviceId = uint16_t(value);
        break;
      }
      case InfoLineKind::Pid: {
        if (!last) break;
        if (last->pidCount == kMaxOutputPids) {
          badLine = line.number;
          return ControlStatus::BadLine;
        }
        // What follows the PID only names it.
        const PidLineValue v = read_pid_value(line.value);
        last->pids[last->pidCount++] = v.hasPid && v.pid <= 0xFFFF ? uint16_t(v.pid) : kUnmatchablePid;
        break;
      }
      case InfoLineKind::Mode:
        control.mode = std::strncmp(line.value, "ALL", 3) == 0 ? DemuxMode::All : DemuxMode::Demux;
        break;
      case InfoLineKind::Other:
        badLine = line.number;
        return ControlStatus::BadLine;
    }
  }
  return ControlStatus::Ok;
}

// Gathers the information file's lines and writes them in blocks.
class TextWriter {
 public:
  explicit TextWriter(RawHandle h) : h_(h) {}
  // Appends one line (text without its line feed) ending in CR LF.
  void Line(const char* text) {
    size_t n = std::strlen(text);
    if (used_ + n + 2 > sizeof buf_) Flush();
    if (n + 2 > sizeof buf_) {   // cannot happen with the lines written here
      ok_ = false;
      return;
    }
    std::memcpy(buf_ + used_, text, n);
    used_ += n;
    buf_[used_++] = '\r';
    buf_[used_++] = '\n';
  }
  bool Flush() {
    if (used_ > 0 && raw_write(buf_, 1, used_, h_) != used_) ok_ = false;
    used_ = 0;
    return ok_;
  }

 private:
  RawHandle h_;
  char buf_[8192];
  size_t used_ = 0;
  bool ok_ = true;
};

}  // namespace

ControlStatus ParseDemuxControl(const char* text, size_t length, DemuxControl& control,
                                int& badLine) {
  InfoFileReader reader(text, length);
  return parse(reader, control, badLine);
}

ControlStatus ReadDemuxControl(const char* path, DemuxControl& control, int& badLine) {
  control.mode = DemuxMode::Demux;
  control.outputCount = 0;
  badLine = 0;
  RawFile file(path, "rb");
  if (!file.ok()) return ControlStatus::CannotOpen;
  InfoFileReader reader(file.get());
  return parse(reader, control, badLine);
}

bool WriteDemuxInfo(const char* path, const TableLayer& tables, const DemuxInfoOptions& options) {
  RawFile file(path, "wb");
  if (!file.ok()) return false;
  TextWriter out(file.get());
  // A line holds at most the folder (259), a name (127) and a few keys: 512 leaves room.
  char line[512];
  out.Line("MODE=DEMUX");
  out.Line("");
  unsigned number = 0;
  bool done = false;
  for (int t = 0; t <= tables.currentTable() && !done; ++t) {
    const ProgrammeTable& table = tables.table(t);
    for (int s = 0; s < table.serviceCount && s < kMaxServices && !done; ++s) {
      const Service& svc = table.services[s];
      ++number;
      if (svc.name[0] != '\0') {
        std::snprintf(line, sizeof line, "// 番組名:%.*s", int(kProgrammeNameMax), svc.name);
        out.Line(line);
      }
      std::snprintf(line, sizeof line, "NAME=%sPRG%u.TS", options.programFolder, number);
      out.Line(line);
      std::snprintf(line, sizeof line, "SERVICE_ID=%04X", unsigned(svc.serviceId));
      out.Line(line);
      out.Line("PID=0000,PAT");
      std::snprintf(line, sizeof line, "PID=%04X,PMT", unsigned(svc.pmtPid));
      out.Line(line);
      if (svc.pcrPid > 0 && svc.pcrPid < kTsNullPid) {
        std::snprintf(line, sizeof line, "PID=%04X,PCR", unsigned(svc.pcrPid));
        out.Line(line);
      }
      if (svc.ecmPid > 0 && svc.ecmPid < kTsNullPid && !options.excludeEcmAndData) {
        std::snprintf(line, sizeof line, "PID=%04X,ECM", unsigned(svc.ecmPid));
        out.Line(line);
      }
      int streams = svc.streamCount < kMaxStreams ? svc.streamCount : kMaxStreams;
      for (int k = 0; k < streams; ++k) {
        const ServiceStream& st = svc.streams[k];
        if (!(options.excludeEcmAndData && st.streamClass == StreamClass::Data)) {
          std::snprintf(line, sizeof line, "PID=%04X,%s", unsigned(st.pid), class_text(st.streamClass));
          out.Line(line);
        }
        if (st.ecmPid > 0 && st.ecmPid < kTsNullPid && !options.excludeEcmAndData) {
          std::snprintf(line, sizeof line, "PID=%04X,ECM", unsigned(st.ecmPid));
          out.Line(line);
        }
      }
      out.Line("");
      if (options.firstProgrammeOnly) done = true;
    }
  }
  bool ok = out.Flush();
  if (file.Close() == 0) ok = false;   // a failed close can lose what was written
  return ok;
}
