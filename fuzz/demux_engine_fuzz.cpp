// libFuzzer target for the packet loop with the tables as kerfdmx runs it, through the engine's
// typed API: the input is a recording (after a four-byte header choosing the job) read from a
// file, with its range, sync recovery, table layer, information file or control-file outputs.
//
// Header: byte 0 bits 0-1 the request (none, information file, control file MODE=ALL, control
// file MODE=DEMUX), bit 2 first programme only / keep the network entry, bit 3 leave out ECM and
// data, bit 4 the lock file gone at the second per cent; byte 1 the start packet (0xFF: -1);
// byte 2 the range length in fours of packets (0xFF: open end).
//
// Beside the sanitizers it checks what the run promises: no more packets than the file holds
// from the start, a MODE=ALL output that is exactly the packets read (the range of the input
// itself when no sync was lost), MODE=DEMUX outputs of whole packets of their PIDs only, and an
// information file that reads back as a control file and as the cutter's programme list.
#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/programme_list.h"
#include "demux/demux_engine.h"
#include "demux/work_files.h"
#include "fuzz/fuzz_file.h"

namespace {

// Registered window messages lie in 0xC000..0xFFFF; any one of them serves the engine here.
constexpr uint32_t kRegisteredMessage = 0xC000;

void Check(bool ok) {
  if (!ok) std::abort();
}

// Nothing printed or posted leaves the process; the lock file goes at a chosen test.
class QuietHost : public DemuxHost {
 public:
  void Print(const char*, size_t) override {}
  int Post(uint32_t, uint32_t, uint32_t, uint32_t) override { return 1; }
  uint32_t RegisterMessage(const char*) override { return kRegisteredMessage; }
  bool LockFileExists(const char*) override { return ++lockTests < lockGoneAtTest; }
  void Sleep(uint32_t) override {}
  int lockTests = 0;
  int lockGoneAtTest = 1 << 30;
};

std::string ReadAll(const std::string& path) {
  std::string bytes;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    char chunk[65536];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;) bytes.append(chunk, n);
    std::fclose(f);
  }
  return bytes;
}

struct Fixture {
  Fixture() : engine(host, folder.path().c_str()) {
    const std::string all = "MODE=ALL\nNAME=" + folder.File("all.ts") + "\n";
    // The first output by its service id, the second through the PMT PID in its list; ECM, EMM,
    // NIT and SI PIDs among them.
    const std::string demux = "MODE=DEMUX\nNAME=" + folder.File("a.ts") +
                              "\nSERVICE_ID=0400\nPID=0000,PAT\nPID=01F0,PMT\nPID=0100,V\nPID=0110,A\n"
                              "PID=0012\nPID=0030,ECM\nNAME=" + folder.File("b.ts") +
                              "\nPID=0000\nPID=01F8\nPID=0200\nPID=0210\nPID=0001\nPID=0010\nPID=0014\n";
    folder.Write("all.cfg", reinterpret_cast<const uint8_t*>(all.data()), all.size());
    folder.Write("demux.cfg", reinterpret_cast<const uint8_t*>(demux.data()), demux.size());
  }
  FuzzFolder folder;
  QuietHost host;
  DemuxEngine engine;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // One engine and folder for the whole fuzzing run: Run starts every job afresh (counters,
  // tables, sources, writers), so a saved crash reproduces on its own.
  static Fixture* const fx = new Fixture;
  if (size < 3 || !fx->folder.ok()) return 0;
  const uint8_t flags = data[0];
  const std::string input = fx->folder.File("in.ts");
  if (!fx->folder.Write("in.ts", data + 3, size - 3)) return 0;
  const uint64_t fileSize = size - 3;

  DemuxJob job;
  job.inputPath = input.c_str();
  job.startPacket = data[1] == 0xFF ? -1 : data[1];
  job.endPacket = data[2] == 0xFF ? -1 : (data[1] == 0xFF ? 0 : data[1]) + 4 * data[2];
  const int request = flags & 3;
  const std::string info = fx->folder.File(kDemuxInfoFileName);
  const std::string control = fx->folder.File(request == 2 ? "all.cfg" : "demux.cfg");
  job.request = request == 0 ? DemuxRequest::None : request == 1 ? DemuxRequest::Information : DemuxRequest::Control;
  job.requestPath = request == 1 ? info.c_str() : control.c_str();
  job.firstProgrammeOnly = job.keepNetworkEntry = (flags & 4) != 0;
  job.excludeEcmAndData = (flags & 8) != 0;
  job.callerWindow = 1;
  fx->host.lockTests = 0;
  fx->host.lockGoneAtTest = (flags & 16) ? 2 : 1 << 30;
  std::remove(info.c_str());

  const DemuxResult r = fx->engine.Run(job);
  Check(r.outcome == DemuxOutcome::Done || r.outcome == DemuxOutcome::Stopped ||
        r.outcome == DemuxOutcome::InputError);
  const uint64_t first = job.startPacket > 0 ? uint64_t(job.startPacket) : 0;
  const uint64_t held = fileSize / 188 > first ? fileSize / 188 - first : 0;
  Check(r.summary.packets <= held);
  if (!demux_succeeded(r)) return 0;

  if (request == 2) {
    const std::string out = ReadAll(fx->folder.File("all.ts"));
    Check(out.size() == uint64_t(r.summary.packets) * 188);
    for (size_t at = 0; at < out.size(); at += 188) Check(uint8_t(out[at]) == 0x47);
    if (r.summary.syncLosses == 0)
      Check(std::memcmp(out.data(), data + 3 + first * 188, out.size()) == 0);
  } else if (request == 3) {
    const char* names[2] = {"a.ts", "b.ts"};
    const uint16_t pids[2][7] = {{0x0000, 0x01F0, 0x0100, 0x0110, 0x0012, 0x0030, 0x0030},
                                 {0x0000, 0x01F8, 0x0200, 0x0210, 0x0001, 0x0010, 0x0014}};
    for (int o = 0; o < 2; ++o) {
      const std::string out = ReadAll(fx->folder.File(names[o]));
      Check(out.size() % 188 == 0 && out.size() <= uint64_t(r.summary.packets) * 188);
      for (size_t at = 0; at < out.size(); at += 188) {
        Check(uint8_t(out[at]) == 0x47);
        const uint16_t pid = uint16_t(((uint8_t(out[at + 1]) & 0x1F) << 8) | uint8_t(out[at + 2]));
        bool listed = false;
        for (uint16_t p : pids[o]) listed = listed || p == pid;
        Check(listed);
      }
    }
  } else if (request == 1) {
    // What the tool writes is a control file, and the cutter reads the same programmes from it.
    struct stat st;
    Check(stat(info.c_str(), &st) == 0);
    static DemuxControl* const back = new DemuxControl;
    *back = DemuxControl{};
    int badLine = 0;
    const ControlStatus status = ReadDemuxControl(info.c_str(), *back, badLine);
    ProgrammeStructure list;
    Check(read_programme_list(info.c_str(), list) == 0);
    // Only more programmes or PIDs than a control record holds may keep it from being one.
    bool beyond = list.programmes.size() > size_t(kMaxOutputs);
    for (const Programme& p : list.programmes) beyond = beyond || p.pids.size() > size_t(kMaxOutputPids);
    Check(status == ControlStatus::Ok || (status == ControlStatus::BadLine && beyond));
    if (status == ControlStatus::Ok) Check(int(list.programmes.size()) == back->outputCount);
  }
  return 0;
}
