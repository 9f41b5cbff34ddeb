// The in-process demux engine and the programme analysis (see work_engine.h).
#include "plans/work_engine.h"

#include <climits>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

#include "common/cp932_text.h"
#include "common/path.h"
#include "core/scan_window.h"
#include "demux/psi/stream_kind.h"
#include "demux/psi/table_layer.h"
#include "demux/psi/service_names.h"
#include "demux/work_files.h"

namespace {

// The engine's posts never leave the process, so any number of the registered-message range
// (0xC000..0xFFFF) serves; the first is taken.
constexpr uint32_t kInProcessMessage = 0xC000;

// The information file writes a stream's line with its class letter (or nothing); the other
// lines name a table, the PCR or an ECM.
bool is_stream_line(const ProgrammePid& pid) { return pid.classText.size() <= 1; }

// Classes and codecs from the engine's tables for the streams of structure, read from the file
// the engine wrote from those tables: its blocks follow the tables' services in order, and a
// block's stream lines the service's streams. The video list is made again from the new classes.
void add_stream_kinds(const TableLayer& tables, ProgrammeStructure& structure) {
  size_t block = 0;
  for (int t = 0; t <= tables.currentTable(); ++t) {
    const ProgrammeTable& table = tables.table(t);
    for (int s = 0; s < table.serviceCount && block < structure.programmes.size(); ++s, ++block) {
      const Service& service = table.services[s];
      Programme& p = structure.programmes[block];
      if (p.serviceId != service.serviceId) continue;
      int k = 0;
      for (ProgrammePid& pid : p.pids) {
        if (!is_stream_line(pid)) continue;
        if (k >= service.streamCount || service.streams[k].pid != pid.pid) break;
        const StreamKind& kind = service.streams[k++].kind;
        pid.classText = class_text(kind.streamClass);
        pid.codec = kind.codec;
      }
    }
  }
  structure.videos.clear();
  for (const Programme& p : structure.programmes) {
    for (const ProgrammePid& pid : p.pids) {
      if (pid.classText == class_text(StreamClass::Video) && structure.videos.size() < size_t(kMaxProgrammeEntries))
        structure.videos.push_back({pid.pid, p.ordinal, pid.codec});
    }
  }
}

// Fills each programme's eventName, serviceName and providerName from what the tables named.
void name_programmes(const ServiceNameCollector& names, ProgrammeStructure& structure) {
  // On an ISDB network the event's name is the one the information file gives (ARIB text, as
  // the window program shows it); elsewhere the tables' own text is decoded by the DVB rule, as
  // ARIB decoding would make it nonsense.
  const bool dvb = names.coding() == SiTextCoding::Dvb;
  for (Programme& p : structure.programmes) {
    ServiceNameTexts texts = names.Names(uint16_t(p.serviceId));
    p.eventName = dvb ? std::move(texts.eventName) : cp932_to_utf8(p.name);
    p.serviceName = std::move(texts.serviceName);
    p.providerName = std::move(texts.providerName);
  }
}

// kerf's paths are UTF-8 on every system. A std::filesystem path's narrow form is not (on Windows
// it is the C library's code page, where a user name such as "Jürgen" in the temporary folder's
// path would not survive), so the folder passes through its UTF-8 form both ways.
std::string text_of(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::filesystem::path path_of(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

}  // namespace

// The engine's surroundings inside kerf: its text, the window program's Shift-JIS messages and
// summary, is dropped (kerf says what a run found in its own words, from the typed result),
// progress posts reach the caller's callback, and there is no lock file (the job's stop flag ends
// a run instead).
class WorkEngineHost : public DemuxHost {
 public:
  void Print(const char*, size_t) override {}
  int Post(uint32_t, uint32_t, uint32_t wparam, uint32_t lparam) override {
    if (wparam == kProgressPost && progress && *progress) (*progress)(int(lparam));
    return 1;
  }
  uint32_t RegisterMessage(const char*) override { return kInProcessMessage; }
  bool LockFileExists(const char*) override { return true; }
  void Sleep(uint32_t) override {}

  const PercentCallback* progress = nullptr;
};

WorkEngine::WorkEngine() : host_(new WorkEngineHost) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path base = fs::temp_directory_path(ec);
  if (ec) return;
  std::random_device random;
  for (int attempt = 0; attempt < 16; ++attempt) {
    char name[32];
    std::snprintf(name, sizeof name, "kerf-%08x", unsigned(random()));
    const fs::path folder = base / name;
    if (fs::create_directory(folder, ec) && !ec) {
      folder_ = text_of(folder);
      folder_ += kPathSeparator;
      break;
    }
  }
  if (folder_.size() > kPathMax - 16) {   // the engine's file names must fit after it
    fs::remove_all(path_of(folder_), ec);
    folder_.clear();
  }
  if (!folder_.empty()) engine_ = std::make_unique<DemuxEngine>(*host_, folder_.c_str());
}

WorkEngine::~WorkEngine() {
  engine_.reset();
  if (!folder_.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(path_of(folder_), ec);
  }
}

CommandError WorkEngine::Ready() const {
  if (ok()) return {};
  return command_error(Outcome::OutputError, "cannot make a work folder");
}

DemuxResult WorkEngine::Run(const DemuxJob& job, const PercentCallback& progress) {
  host_->progress = &progress;
  DemuxResult result = engine_->Run(job);
  host_->progress = nullptr;
  return result;
}

bool preview_reads(StreamCodec codec) {
  return codec == StreamCodec::None || codec == StreamCodec::Mpeg1Video || codec == StreamCodec::Mpeg2Video;
}

CommandError unread_video_error(const char* what, int programme, uint16_t pid, StreamCodec codec) {
  return command_error(Outcome::InputError,
                       "%sprogramme %d's video (PID %04X) is %s: the preview decoder reads MPEG-2 video only", what,
                       programme, unsigned(pid), codec_name(codec));
}

ProgrammeAnalysis AnalyseProgrammes(WorkEngine& engine, const Recording& rec, int32_t first) {
  ProgrammeAnalysis analysis;
  analysis.first = first;
  analysis.packets = scan_window_packets(rec.packets, first);
  const std::string structure = engine.folder() + kDemuxInfoFileName;
  DemuxJob job;
  job.inputPath = rec.path.c_str();
  job.startPacket = first;
  job.endPacket = first > INT32_MAX - kScanWindowLast ? INT32_MAX : first + kScanWindowLast;
  job.request = DemuxRequest::Information;
  job.requestPath = structure.c_str();
  ServiceNameCollector names;
  job.tables = &names;
  analysis.run = engine.Run(job);
  // The run says whether it wrote the file; a run that wrote none leaves the lists empty.
  for (const std::string& written : analysis.run.written)
    if (written == structure) analysis.structurePath = structure;
  if (!analysis.structurePath.empty() && read_programme_list(structure.c_str(), analysis.structure) == 0)
    add_stream_kinds(engine.tables(), analysis.structure);
  name_programmes(names, analysis.structure);
  return analysis;
}

const VideoEntry* programme_video(const ProgrammeAnalysis& analysis, int programme, const char* what,
                                  CommandError& error) {
  const VideoEntry* unread = nullptr;
  for (const VideoEntry& v : analysis.structure.videos) {
    if (programme && v.ordinal != programme) continue;
    if (preview_reads(v.codec)) return &v;
    if (!unread) unread = &v;
  }
  if (unread)
    error = unread_video_error(what, int(unread->ordinal), uint16_t(unread->videoPid), unread->codec);
  else if (programme)
    error = command_error(Outcome::InputError, "%sprogramme %d has no video stream in the %d packets from %08X",
                          what, programme, int(analysis.packets), unsigned(analysis.first));
  else
    error = command_error(Outcome::InputError, "%sno video stream found in the %d packets from %08X", what,
                          int(analysis.packets), unsigned(analysis.first));
  return nullptr;
}
