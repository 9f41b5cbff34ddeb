// Reader and writer of the demux information file.
#include "demux/demux_control.h"

#include <cstdio>
#include <cstring>

#include "common/raw_file.h"
#include "common/sjis.h"
#include "demux/demux_options.h"
#include "demux/psi/table_layer.h"

namespace {

bool starts_with(const char* text, const char* prefix) {
  return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// Bytes of a control file in order, with CR LF folded to LF as a text-mode read gives them.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Next byte (0..255), or -1 at the end.
  int Next() {
    int c = pending_ >= 0 ? pending_ : Raw();
    pending_ = -1;
    if (c == '\r') {
      int d = Raw();
      if (d == '\n') return '\n';
      pending_ = d;
    }
    return c;
  }

 protected:
  virtual int Raw() = 0;

 private:
  int pending_ = -1;
};

class MemorySource final : public ByteSource {
 public:
  MemorySource(const char* text, size_t length) : p_(text), end_(text + length) {}

 protected:
  int Raw() override { return p_ < end_ ? static_cast<unsigned char>(*p_++) : -1; }

 private:
  const char* p_;
  const char* end_;
};

class FileSource final : public ByteSource {
 public:
  explicit FileSource(RawHandle h) : h_(h) {}

 protected:
  int Raw() override {
    if (pos_ == held_) {
      if (eof_) return -1;
      held_ = raw_read(buf_, 1, sizeof buf_, h_);
      pos_ = 0;
      if (held_ < sizeof buf_) eof_ = true;
      if (held_ == 0) return -1;
    }
    return buf_[pos_++];
  }

 private:
  RawHandle h_;
  unsigned char buf_[16384];   // read-ahead; a control file is read once per run
  size_t pos_ = 0, held_ = 0;
  bool eof_ = false;
};

// One fgets step: up to kControlLineMax bytes, ending after a line feed. False at the end of input.
bool read_line(ByteSource& source, char (&line)[kControlLineMax + 1]) {
  size_t n = 0;
  while (n < kControlLineMax) {
    int c = source.Next();
    if (c < 0) break;
    line[n++] = char(c);
    if (c == '\n') break;
  }
  line[n] = '\0';
  return n > 0;
}

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

ControlStatus parse(ByteSource& source, DemuxControl& control, int& badLine) {
  control.mode = DemuxMode::Demux;
  control.outputCount = 0;
  badLine = 0;
  char line[kControlLineMax + 1];
  int number = 0;
  while (read_line(source, line)) {
    ++number;
    size_t len = std::strlen(line);
    if (len > 0 && line[len - 1] == '\n') {
      line[--len] = '\0';
      if (len > 0 && line[len - 1] == '\r') line[--len] = '\0';
    }
    DemuxOutputSpec* last = control.outputCount > 0 ? &control.outputs[control.outputCount - 1]
                                                    : nullptr;
    if (len == 0 || starts_with(line, "//") || starts_with(line, ";")) {
      continue;
    } else if (starts_with(line, "NAME=")) {
      if (control.outputCount == kMaxOutputs) {
        badLine = number;
        return ControlStatus::BadLine;
      }
      DemuxOutputSpec& out = control.outputs[control.outputCount++];
      out = DemuxOutputSpec{};
      copy_path(line + 5, out.path);
      if (control.mode == DemuxMode::All) break;
    } else if (starts_with(line, "SERVICE_ID=")) {
      uint32_t value;
      if (last && read_hex(line + 11, value)) last->serviceId = uint16_t(value);
    } else if (starts_with(line, "PID=")) {
      if (!last) continue;
      if (last->pidCount == kMaxOutputPids) {
        badLine = number;
        return ControlStatus::BadLine;
      }
      // The first piece between the separators is the PID; what follows only names it.
      const char* piece = line + 4;
      piece += std::strspn(piece, " ,\t\n");
      size_t pieceLen = std::strcspn(piece, " ,\t\n");
      uint16_t pid = kUnmatchablePid;
      char digits[kControlLineMax + 1];
      std::memcpy(digits, piece, pieceLen);
      digits[pieceLen] = '\0';
      uint32_t value;
      if (pieceLen > 0 && read_hex(digits, value) && value <= 0xFFFF) pid = uint16_t(value);
      last->pids[last->pidCount++] = pid;
    } else if (starts_with(line, "MODE=")) {
      control.mode = starts_with(line + 5, "ALL") ? DemuxMode::All : DemuxMode::Demux;
    } else {
      badLine = number;
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
  MemorySource source(text, length);
  return parse(source, control, badLine);
}

ControlStatus ReadDemuxControl(const char* path, DemuxControl& control, int& badLine) {
  control.mode = DemuxMode::Demux;
  control.outputCount = 0;
  badLine = 0;
  RawHandle h = raw_open(path, "rb");
  if (h == kInvalidRawHandle) return ControlStatus::CannotOpen;
  FileSource source(h);
  ControlStatus status = parse(source, control, badLine);
  raw_close(h);
  return status;
}

bool WriteDemuxInfo(const char* path, const TableLayer& tables, const DemuxInfoOptions& options) {
  RawHandle h = raw_open(path, "wb");
  if (h == kInvalidRawHandle) return false;
  TextWriter out(h);
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
      if (svc.pcrPid > 0 && svc.pcrPid < 0x1FFF) {
        std::snprintf(line, sizeof line, "PID=%04X,PCR", unsigned(svc.pcrPid));
        out.Line(line);
      }
      if (svc.ecmPid > 0 && svc.ecmPid < 0x1FFF && !options.excludeEcmAndData) {
        std::snprintf(line, sizeof line, "PID=%04X,ECM", unsigned(svc.ecmPid));
        out.Line(line);
      }
      int streams = svc.streamCount < kMaxStreams ? svc.streamCount : kMaxStreams;
      for (int k = 0; k < streams; ++k) {
        const ServiceStream& st = svc.streams[k];
        bool excluded = options.excludeEcmAndData &&
                        (std::strcmp(st.classText, "ECM") == 0 || std::strcmp(st.classText, "D") == 0);
        if (!excluded) {
          std::snprintf(line, sizeof line, "PID=%04X,%.7s", unsigned(st.pid), st.classText);
          out.Line(line);
        }
        if (st.ecmPid > 0 && st.ecmPid < 0x1FFF && !options.excludeEcmAndData) {
          std::snprintf(line, sizeof line, "PID=%04X,ECM", unsigned(st.ecmPid));
          out.Line(line);
        }
      }
      out.Line("");
      if (options.firstProgrammeOnly) done = true;
    }
  }
  bool ok = out.Flush();
  if (raw_close(h) == 0) ok = false;   // raw_close reports success as non-zero, as CloseHandle does
  return ok;
}
