// The kerf command line as a user runs it: the built program on built recordings, its output,
// its files and its exit statuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "common/timefmt.h"
#include "core/control_files.h"
#include "core/input_measure.h"
#include "mpeg2/extract.h"
#include "mpeg2/picture_decoder.h"
#include "tests/mpeg2/sample_clip.h"
#include "tests/support/stream_builder.h"
#include "tests/support/test_mounts.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace {

#ifdef _WIN32
const char kKerf[] = "kerf.exe";
const char kTool[] = "KERFDMX.EXE";
const char kSeparator[] = "\\";
#else
const char kKerf[] = "kerf";
const char kTool[] = "kerfdmx";
const char kSeparator[] = "/";
#endif

std::string built(const char* name) {
  const char* dir = std::getenv("KERF_BUILD_DIR");
  return (std::filesystem::path(dir ? dir : ".") / "bin" / name).string();
}

std::string utf8(const char8_t* text) { return reinterpret_cast<const char*>(text); }
// kerf's own words are English: none of the window program's or the demux tool's Japanese texts.
bool ascii(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return uint8_t(c) < 0x80; });
}

// A UTF-8 path as the system names it (a std::filesystem path's narrow form is not UTF-8 on Windows).
std::filesystem::path native(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

// Sets (or, with an empty value, removes) a variable of the environment the programs get.
void set_environment(const char* name, const std::string& value) {
#ifdef _WIN32
  _wputenv(native(name + ("=" + value)).c_str());
#else
  value.empty() ? unsetenv(name) : setenv(name, value.c_str(), 1);
#endif
}

struct Result {
  int status = -1;
  std::string out, err;
};

std::string quote(const std::string& s) { return "\"" + s + "\""; }

#ifdef _WIN32
// Started directly, not through cmd.exe: under Wine, cmd.exe now and then failed to find a
// program named by a Unix-style path (status 9009) before the program ever ran.
int start_and_wait(const std::string& program, const std::string& line, const std::string& out,
                   const std::string& err) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  auto create = [&](const std::string& path) {
    return CreateFileW(native(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
  };
  const HANDLE o = create(out), e = create(err);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = o;
  si.hStdError = e;
  wchar_t app[MAX_PATH * 4];
  std::wstring command = native(line).wstring();
  PROCESS_INFORMATION pi{};
  int status = -1;
  if (o != INVALID_HANDLE_VALUE && e != INVALID_HANDLE_VALUE &&
      GetFullPathNameW(native(program).c_str(), DWORD(std::size(app)), app, nullptr) != 0 &&
      CreateProcessW(app, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    if (GetExitCodeProcess(pi.hProcess, &code)) status = int(code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  if (o != INVALID_HANDLE_VALUE) CloseHandle(o);
  if (e != INVALID_HANDLE_VALUE) CloseHandle(e);
  return status;
}
#endif

// Runs a built program with its output in files; every argument is quoted.
Result run(const tsb::TempDir& dir, const std::string& program, const std::vector<std::string>& args) {
  std::string line = quote(program);
  for (const std::string& a : args) line += " " + quote(a);
  const std::string out = dir.File("stdout.txt"), err = dir.File("stderr.txt");
  Result r;
#ifdef _WIN32
  r.status = start_and_wait(program, line, out, err);
#else
  const int raw = std::system((line + " > " + quote(out) + " 2> " + quote(err)).c_str());
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
  r.out = std::string(reinterpret_cast<const char*>(tsb::ReadFile(out).data()), tsb::ReadFile(out).size());
  r.err = std::string(reinterpret_cast<const char*>(tsb::ReadFile(err).data()), tsb::ReadFile(err).size());
  return r;
}

// Three programmes with ARIB titles, 60000 packets at 8 Mbit/s (about 7 s).
tsb::Bytes three_programmes() {
  tsb::BroadcastDesc desc;
  desc.eit = true;
  desc.packets = 60000;
  desc.bitrate = 8000000;
  desc.services = {
      {0x0400, 0x01F0, 0x0111, 0x0112, 0, tsb::AribText().Sjis("ニュース").Alnum("7").bytes(), 0},
      {0x0401, 0x01F1, 0x0121, 0x0122, 0, tsb::AribText().Sjis("天気予報").bytes(), 0},
      {0x0402, 0x01F2, 0x0131, 0, 0, {}, 0},
  };
  return tsb::Broadcast(desc).bytes();
}

class KerfCli : public ::testing::Test {
 protected:
  void SetUp() override {
    input_ = dir_.Write("in.ts", three_programmes());
    size_ = double(std::filesystem::file_size(input_));
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[kCutterReadBufferSize]);
    PcrScanner scanner(buffer.get());
    struct : MessageSink {
      bool Report(MessageKind, const char*) override { return true; }
    } quiet;
    ASSERT_EQ(scanner.MeasureInput(input_.c_str(), size_, kMethodAutomatic, quiet), 0);
    totalMs_ = scanner.result().totalMs;
  }
  Result Kerf(const std::vector<std::string>& args) { return run(dir_, built(kKerf), args); }
  tsb::Bytes Slice(int32_t first, int32_t last) const {
    const tsb::Bytes all = tsb::ReadFile(input_);
    return tsb::Bytes(all.begin() + first * 188, all.begin() + std::min<size_t>((last + 1) * 188, all.size()));
  }

  tsb::TempDir dir_;
  std::string input_;
  double size_ = 0;
  int32_t totalMs_ = 0;
};

TEST_F(KerfCli, InfoMeasuresAndListsTheProgrammesInUtf8) {
  Result r = Kerf({"info", input_, "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\"packets\": 60000,"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"totalMs\": " + std::to_string(totalMs_) + ","), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"method\": 3,"), std::string::npos);
  EXPECT_NE(r.out.find("\"name\": \"" + utf8(u8"ニュース７") + "\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"name\": \"" + utf8(u8"天気予報") + "\""), std::string::npos);
  EXPECT_NE(r.out.find("{\"ordinal\": 3, \"serviceId\": 1026, \"name\": \"\", \"serviceName\": \"\", "
                       "\"providerName\": \"\", \"pids\": [{\"pid\": 0, "
                       "\"class\": \"PAT\", \"codec\": \"\"}, {\"pid\": 498, \"class\": \"PMT\", \"codec\": \"\"}, "
                       "{\"pid\": 305, \"class\": "
                       "\"PCR\", \"codec\": \"\"}, {\"pid\": 305, \"class\": \"V\", \"codec\": \"mpeg2video\"}]}"),
            std::string::npos)
      << r.out;

  r = Kerf({"info", input_, "--method", "1"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("(method 1)"), std::string::npos);
  EXPECT_NE(r.out.find(utf8(u8"天気予報")), std::string::npos);
}

TEST_F(KerfCli, InfoNamesTheChannelsByTheirNetworksRule) {
  // A Japanese terrestrial stream names its channels in ARIB text; a DVB-T one (its NIT says so)
  // in the DVB tables: the default Latin one with a diacritic, and ISO 8859-5 by its selector.
  tsb::BroadcastDesc isdb;
  isdb.sdt = isdb.eit = true;
  isdb.packets = 3000;
  isdb.services = {{0x0400, 0x01F0, 0x0111, 0, 0, tsb::AribText().Sjis("ニュース").bytes(), 0,
                    tsb::AribText().Sjis("ＴＯＫＹＯ　ＭＸ１").bytes(), tsb::AribText().Sjis("東京").bytes()}};
  tsb::BroadcastDesc dvb = isdb;
  dvb.original_network_id = 0x233A;
  dvb.transport_stream_id = 0x1001;
  dvb.nitDelivery = tsb::Descriptor(0x5A, tsb::Bytes(11, 0x00));
  dvb.services = {{0x1044, 0x01F0, 0x0111, 0, 0, {'C', 'a', 'f', 0xC2, 'e'}, 0, {'O', 'n', 'e'}, {'B', 'B', 'C'}},
                  {0x1045, 0x01F1, 0x0121, 0, 0, {}, 0, {0x01, 0xBF, 0xD5, 0xE0, 0xD2, 0xEB, 0xD9}, {}},
                  {0x1046, 0x01F2, 0x0131, 0, 0, {}, 0, {}, {}}};
  const struct {
    const tsb::BroadcastDesc* desc;
    std::vector<std::string> lines;
  } cases[] = {
      {&isdb, {utf8(u8"service 0400  ＴＯＫＹＯ　ＭＸ１ (東京): ニュース")}},
      {&dvb, {"service 1044  One (BBC): " + utf8(u8"Café"), utf8(u8"service 1045  Первый"), "service 1046  -"}},
  };
  for (const auto& c : cases) {
    const std::string path = dir_.Write("named.ts", tsb::Broadcast(*c.desc).bytes());
    const Result r = Kerf({"info", path});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const std::string& line : c.lines) EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
  }
  // (Outside the macro, whose text of its arguments is compiled in Shift-JIS, which has no é.)
  const std::string named = "\"name\": \"" + utf8(u8"Café") + "\", \"serviceName\": \"One\", \"providerName\": \"BBC\"";
  const Result r = Kerf({"info", dir_.File("named.ts"), "--json"});
  EXPECT_NE(r.out.find(named), std::string::npos) << r.out;
}

TEST_F(KerfCli, TimesAndPacketNumbersConvertAsTheCutterDoes) {
  const std::string out = dir_.File("all.ts");
  Result r = Kerf({"cut", input_, "-o", out, "--start", "00:00:01.000", "--end", "p:C350"});
  ASSERT_EQ(r.status, 0) << r.err;
  const int32_t first = ms_to_packet(1000, size_, totalMs_, 188);
  EXPECT_EQ(tsb::ReadFile(out), Slice(first, 0xC350));
  char expected[64];
  std::snprintf(expected, sizeof expected, "cut %08X..0000C350", unsigned(first));
  EXPECT_NE(r.out.find(expected), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("packets " + std::to_string(0xC350 - first + 1) + ", PIDs "), 0u) << r.out;
  EXPECT_TRUE(ascii(r.out)) << r.out;

  // A time beyond the total is lowered to it; a packet number beyond the file is the packet count.
  r = Kerf({"cut", input_, "-o", out, "--force", "--start", "99:00:00", "--end", "p:FFFFFFFF"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("cut 0000EA60..0000EA60"), std::string::npos) << r.out;
  EXPECT_TRUE(tsb::ReadFile(out).empty());   // packet 60000 is past the last one
}

TEST_F(KerfCli, ProgrammeCutIsTheFileTheDemuxToolWrites) {
  const std::string out = dir_.File("prg2.ts");
  Result r = Kerf({"cut", input_, "-o", out, "--programme", "2", "--start", "p:100", "--end", "p:9000"});
  ASSERT_EQ(r.status, 0) << r.err;

  // The same cut made the cutter's way: kerfdmx analyses, the control file is cut out of
  // DEMUX.txt, kerfdmx cuts.
  tsb::TempDir programFolder;
  const std::string tool = (std::filesystem::path(programFolder.path()) / kTool).string();
  std::filesystem::copy_file(built(kTool), tool);
  programFolder.Write("lockfile", {'\n'});   // the caller's lock file: its removal would stop the run
  Result a = run(dir_, tool, {input_, "-h:1", "-s:0", "-e:C350", "-i:DEMUX.txt"});
  const std::string reference = dir_.File("reference.ts");
  ASSERT_EQ(write_programme_control(programFolder.File("DEMUX.txt").c_str(), 2, reference.c_str(),
                                    programFolder.File("DEMUX.tmp").c_str()),
            ControlWrite::Ok);
  run(dir_, tool, {input_, "-h:1", "-s:100", "-e:9000", "-d:DEMUX.tmp"});
  const tsb::Bytes mine = tsb::ReadFile(out);
  EXPECT_FALSE(mine.empty());
  EXPECT_EQ(mine, tsb::ReadFile(reference));

  // By service id, the same programme.
  const std::string bySid = dir_.File("sid.ts");
  r = Kerf({"cut", input_, "-o", bySid, "--service", "0401", "--start", "p:100", "--end", "p:9000"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(tsb::ReadFile(bySid), mine);
}

TEST_F(KerfCli, ControlFileNamesTheOutputs) {
  const std::string a = dir_.File("a.ts"), b = dir_.File("b.ts");
  const std::string cfg = dir_.Write("DEMUX.cfg", tsb::bytes_of("MODE=DEMUX\r\nNAME=" + a + "\r\nPID=0000\r\nPID=01F0\r\n"
                                                                "PID=0111\r\nNAME=" + b + "\r\nPID=0121\r\n"));
  Result r = Kerf({"cut", input_, "--control", cfg, "--end", "p:3E7"});
  ASSERT_EQ(r.status, 0) << r.err;
  const tsb::Bytes aBytes = tsb::ReadFile(a), bBytes = tsb::ReadFile(b);
  ASSERT_FALSE(aBytes.empty());
  ASSERT_FALSE(bBytes.empty());
  for (size_t i = 0; i < bBytes.size(); i += 188) EXPECT_EQ(((bBytes[i + 1] & 0x1F) << 8) | bBytes[i + 2], 0x121);
}

TEST_F(KerfCli, BadArgumentsAndFilesHaveTheirStatus) {
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* says;
  };
  const std::string out = dir_.File("o.ts");
  const std::string exists = dir_.Write("exists.ts", {0x47});
  const std::string badControl = dir_.Write("bad.cfg", tsb::bytes_of("MODE=ALL\nBOGUS\n"));
  const std::vector<Case> cases = {
      {{}, 2, "usage: kerf"},
      {{"slice"}, 2, "unknown command slice"},
      {{"info"}, 2, "info takes one FILE"},
      {{"info", dir_.File("none.ts")}, 3, "no such file"},
      {{"info", input_, "--method", "4"}, 2, "--method takes 1, 2 or 3"},
      {{"cut", input_}, 2, "-o OUT is required"},
      {{"cut", input_, "-o", out, "--start", "later"}, 2, "--start takes a time"},
      {{"cut", input_, "-o", out, "--start", "p:10", "--end", "p:F"}, 2, "lies after the end"},
      {{"cut", input_, "-o", exists}, 4, "exists (--force replaces it)"},
      {{"cut", input_, "-o", input_, "--force"}, 4, "the output is the input"},
      {{"cut", input_, "-o", out, "--programme", "9"}, 3, "no programme 9"},
      {{"cut", input_, "-o", out, "--programme", "1", "--service", "400"}, 2, "exclude each other"},
      {{"cut", input_, "-o", out, "--programme", "two"}, 2, "--programme takes an ordinal"},
      {{"cut", input_, "-o", out, "--service", "4G0"}, 2, "--service takes a hexadecimal id"},
      {{"cut", input_, "-o", dir_.File("no/such/folder.ts")}, 4, "cannot create the output file"},
      {{"cut", input_, "--control", dir_.File("none.cfg")}, 3, "cannot read the control file"},
      {{"cut", input_, "--control", badControl}, 3, "line 2 of the control file"},
      {{"frame", input_, "-o", out}, 2, "--at POS is required"},
      {{"frame", input_, "--at", "0", "-o", out, "--programme", "7"}, 3, "has no video stream"},
      {{"cut", input_, "-o", out, "--bogus"}, 2, "unknown option --bogus"},
      {{"cut", input_, "-o", out, "--range", "p:10-p:20", "--range", "p:20-p:30"}, 2, "need %d in OUT"},
      {{"cut", input_, "-o", out, "--join", "--range", "p:10-p:20", "--range", "p:20-p:30"}, 2,
       "stretches 1 (00000010..00000020) and 2 (00000020..00000030) overlap"},
      {{"cut", input_, "-o", out, "--range", "p:30-p:20"}, 2, "stretch 1: the start (00000030) lies after"},
      {{"cut", input_, "-o", out, "--range", "p:30"}, 2, "--range takes A-B"},
      {{"cut", input_, "-o", out, "--range", "p:1-p:2", "--start", "p:1"}, 2, "--range replaces --start"},
      {{"cut", input_, "--control", out, "--range", "-p:2", "--range", "p:3-"}, 2, "--control takes one stretch"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    Result r = Kerf(args);
    std::string all;
    for (const std::string& a : args) all += a + " ";
    EXPECT_EQ(r.status, c.status) << all << "\n" << r.err;
    EXPECT_TRUE(ascii(r.err)) << all << "\n" << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << all << "\n" << r.err;
  }
  EXPECT_EQ(Kerf({"cut", "--help"}).status, 0);
#ifndef _WIN32
  // A short cut whose only write is the last one, after the summary: the failure still counts.
  Result r = Kerf({"cut", input_, "-o", "/dev/full", "--force", "--end", "p:A"});
  EXPECT_EQ(r.status, 4) << r.out;
  EXPECT_NE(r.err.find("kerf: writing the output file failed"), std::string::npos) << r.err;
  EXPECT_EQ(r.out.find("cut "), std::string::npos) << r.out;
#endif
}

// What is no recording is said so by every command, and a recording kerf can only partly read
// (no PCRs, video of another coding) is said so once, in kerf's words.
TEST_F(KerfCli, FilesThatAreNoRecordingAndVideoThePreviewCannotReadAreSaidSo) {
  const std::string empty = dir_.Write("empty.ts", {});
  tsb::Bytes picture = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  picture.resize(4096, 0);
  const std::string png = dir_.Write("picture.ts", picture);
  // Transport streams in 192- and 204-byte packets: a time stamp before or parity after each one.
  tsb::Bytes stamped, parity;
  for (int k = 0; k < 8; ++k) {
    stamped = tsb::cat({stamped, {0, 0, 0, 0}, tsb::MakeNullPacket()});
    parity = tsb::cat({parity, tsb::MakeNullPacket(), tsb::Bytes(16, 0)});
  }
  const std::string m2ts = dir_.Write("stamped.m2ts", stamped), rs = dir_.Write("parity.ts", parity);
  const std::string out = dir_.File("o.bmp");
  const bool cm = Kerf({"cm", "--help"}).status == 0;
  for (const std::string& file : {empty, png, dir_.path(), m2ts, rs}) {
    for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
             {"info"}, {"scan"}, {"frame", "--at", "0", "-o", out}, {"cut", "-o", out}, {"cm"}}) {
      if (args[0] == "cm" && !cm) continue;
      args.insert(args.begin() + 1, file);
      const Result r = Kerf(args);
      EXPECT_EQ(r.status, 3) << args[0] << " " << file;
      EXPECT_NE(r.err.find(file == dir_.path() ? "kerf: a folder, not a recording: "
                           : file == m2ts ? "holds 192-byte packets" : file == rs ? "holds 204-byte packets"
                                          : "kerf: not an MPEG transport stream: "),
                std::string::npos) << r.err;
    }
  }

  // H.264 video and AAC audio without component tags or PCRs.
  tsb::TsStream ts;
  for (int round = 0; round < 8; ++round) {
    ts.Section(0x0000, tsb::Pat(1, {{0x0101, 0x01F0}}));
    ts.Section(0x01F0, tsb::Pmt(0x0101, 0x0100, {{0x1B, 0x0100, {}}, {0x0F, 0x0110, {}}}));
  }
  const std::string h264 = dir_.Write("h264.ts", ts.bytes());
  Result r = Kerf({"info", h264, "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("{\"pid\": 256, \"class\": \"V\", \"codec\": \"h264\"}, {\"pid\": 272, \"class\": "
                       "\"A\", \"codec\": \"aac\"}"),
            std::string::npos) << r.out;
  // A file shorter than the two measuring windows was read whole, and the note says so.
  const std::string note = "kerf: no PCR found in the " + std::to_string(ts.bytes().size() / 188) +
                           " packets of the file: the total time is taken as 0";
  EXPECT_EQ(r.err.find(note), 0u) << r.err;
  EXPECT_EQ(r.err.find(note, 1), std::string::npos) << r.err;   // once
  r = Kerf({"info", h264});
  EXPECT_NE(r.out.find("programmes in the " + std::to_string(ts.bytes().size() / 188) + " packets from 00000000"),
            std::string::npos) << r.out;
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"scan", h264}, {"frame", h264, "--at", "0", "-o", out}, {"cut", h264, "-o", out, "--snap"}, {"cm", h264}}) {
    if (args[0] == "cm" && !cm) continue;
    r = Kerf(args);
    EXPECT_EQ(r.status, 3) << args[0];
    EXPECT_NE(r.err.find("programme 1's video (PID 0100) is h264: the preview decoder reads MPEG-2 video only"),
              std::string::npos) << r.err;
  }
}

// kerf keeps a path as the system gives it, from its command line through the file layer to what it
// prints: names outside code page 932 (accented Latin, the euro sign, CJK characters outside JIS X
// 0208, one beyond the BMP) and Japanese ones whose CP932 form holds a 0x5C byte (表, ソ), also in
// the temporary folder. On Windows this runs in a Japanese and an English locale (CMakeLists.txt).
TEST_F(KerfCli, AnyNameIsReadCutAndPrintedAsGiven) {
  const char* const temp = kSeparator[0] == '/' ? "TMPDIR" : "TMP";
  const std::string systemTemp = std::getenv(temp) ? std::getenv(temp) : "";
  const char8_t* const names[][2] = {{u8"Ünïcødé ñame €", u8"𠮟 鷗 récording.ts"}, {u8"録画 フォルダ", u8"番組表 ソース.ts"}};
  for (const auto& name : names) {
    const std::string folder = dir_.path() + kSeparator + utf8(name[0]);
    const std::string input = folder + kSeparator + utf8(name[1]);
    const std::string output = folder + kSeparator + "cut " + utf8(name[1]);
    std::filesystem::create_directory(native(folder));
    std::filesystem::copy_file(native(input_), native(input));
    set_environment(temp, folder);
    Result r = Kerf({"info", input});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("file        " + input + "\n"), std::string::npos) << r.out;
    r = Kerf({"cut", input, "-o", output, "--start", "p:64", "--end", "p:3E7"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(" to " + output + "\n"), std::string::npos) << r.out;
    std::ifstream written(native(output), std::ios::binary);
    EXPECT_EQ(tsb::Bytes(std::istreambuf_iterator<char>(written), {}), Slice(0x64, 0x3E7));
    const std::string missing = folder + kSeparator + "no " + utf8(name[1]);
    r = Kerf({"info", missing});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find(missing), std::string::npos) << r.err;
  }
  set_environment(temp, systemTemp);
}

// The recording is never an output: another spelling, a link, --force or a control file change
// nothing of that; the status is the output failure's and the file stays as it was.
TEST_F(KerfCli, TheRecordingIsNeverReplaced) {
  const tsb::Bytes before = tsb::ReadFile(input_);
  std::filesystem::create_directory(dir_.File("sub"));
  std::vector<std::string> spellings = {(std::filesystem::path(dir_.File("sub")) / ".." / "in.ts").string()};
  std::error_code ec;
  std::filesystem::create_hard_link(input_, dir_.File("hard.ts"), ec);
  if (!ec) spellings.push_back(dir_.File("hard.ts"));
#ifdef _WIN32
  spellings.push_back(dir_.File("IN.TS"));
#else
  std::filesystem::create_symlink(input_, dir_.File("soft.ts"), ec);
  if (!ec) spellings.push_back(dir_.File("soft.ts"));
#endif
  for (const std::string& spelling : spellings) {
    for (const char* programme : {"0", "1"}) {
      std::vector<std::string> args = {"cut", input_, "-o", spelling, "--force", "--end", "p:FF"};
      if (programme[0] == '1') args.insert(args.end(), {"--programme", "1"});
      const Result r = Kerf(args);
      EXPECT_EQ(r.status, 4) << spelling;
      EXPECT_NE(r.err.find("the output is the input file"), std::string::npos) << r.err;
    }
    const std::string control = dir_.Write("c.cfg", tsb::bytes_of("MODE=ALL\nNAME=" + spelling + "\n"));
    const Result r = Kerf({"cut", input_, "--control", control, "--end", "p:FF"});
    EXPECT_EQ(r.status, 4) << spelling;
    EXPECT_TRUE(ascii(r.err)) << r.err;
    EXPECT_NE(r.err.find("an output of the control file is the input file"), std::string::npos) << r.err;
    EXPECT_EQ(tsb::ReadFile(input_), before) << spelling;
  }
  const std::string twice = dir_.Write(
      "twice.cfg", tsb::bytes_of("NAME=" + dir_.File("a.ts") + "\nPID=0000\nNAME=" + dir_.File("a.ts") + "\n"));
  const Result r = Kerf({"cut", input_, "--control", twice, "--end", "p:FF"});
  EXPECT_EQ(r.status, 4);
  EXPECT_NE(r.err.find("two outputs of the control file are one file"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir_.File("a.ts")));
}

#ifndef _WIN32
// An output file system that fills up partway: kerf's write-error message, status
// 4, no "cut" line, an output of whole packets from the start of the range, the recording intact.
TEST_F(KerfCli, FullFileSystemEndsTheCutWithStatus4) {
  const std::string small = dir_.File("small");
  std::filesystem::create_directory(small);
  tsb::TestMount fs = tsb::TestMount::SmallFileSystem(small, 64 * 1024);
  if (!fs.ok()) GTEST_SKIP() << "no small file system to fill: " << fs.why();
  const tsb::Bytes before = tsb::ReadFile(input_);
  const std::string out = small + "/cut.ts";
  for (const char* programme : {"", "2"}) {
    std::filesystem::remove(out);
    std::vector<std::string> args = {"cut", input_, "-o", out};
    if (programme[0] != 0) args.insert(args.end(), {"--programme", programme});
    const Result r = Kerf(args);
    EXPECT_EQ(r.status, 4) << programme << r.err;
    EXPECT_NE(r.err.find("kerf: writing the output file failed"), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("cut "), std::string::npos) << r.out;
    const tsb::Bytes written = tsb::ReadFile(out);
    EXPECT_GT(written.size(), 0u);
    EXPECT_EQ(written.size() % 188, 0u) << written.size();
    if (programme[0] == 0) {
      EXPECT_TRUE(std::equal(written.begin(), written.end(), before.begin()));
    }
    EXPECT_EQ(tsb::ReadFile(input_), before);
  }
}

// A recording nobody can write (a read-only mount over it): every kind of cut reads it as usual.
TEST_F(KerfCli, ReadOnlyRecordingIsCutInEveryMode) {
  const tsb::Bytes before = tsb::ReadFile(input_);
  tsb::TestMount readOnly = tsb::TestMount::ReadOnly(input_);
  if (!readOnly.ok()) GTEST_SKIP() << "the recording cannot be made read-only: " << readOnly.why();
  const std::string control =
      dir_.Write("c.cfg", tsb::bytes_of("NAME=" + dir_.File("c.ts") + "\nSERVICE_ID=0401\nPID=0000\nPID=0121\n"));
  const std::vector<std::vector<std::string>> cuts = {
      {"cut", input_, "-o", dir_.File("a.ts"), "--end", "p:3FF"},
      {"cut", input_, "-o", dir_.File("b.ts"), "--programme", "2", "--start", "p:100"},
      {"cut", input_, "-o", dir_.File("s.ts"), "--service", "402", "--network-entry"},
      {"cut", input_, "--control", control, "--end", "0:00:02"},
      {"info", input_},
  };
  for (const auto& args : cuts) {
    const Result r = Kerf(args);
    EXPECT_EQ(r.status, 0) << args[2] << "\n" << r.err;
    EXPECT_EQ(tsb::ReadFile(input_), before) << args[2];
  }
  EXPECT_TRUE(tsb::ReadFile(dir_.File("a.ts")) == Slice(0, 0x3FF));
}
#endif

// Two programmes carrying the sample clip (a sequence header every 15 pictures), 30000 packets
// at 5 Mbit/s, with the packets where the builder started each sequence's PES.
class KerfCliVideo : public KerfCli {
 protected:
  void SetUp() override {
    const std::vector<uint8_t> clip = sample_clip();
    ASSERT_FALSE(clip.empty());
    tsb::BroadcastDesc desc;
    desc.packets = 30000;
    desc.bitrate = 5000000;
    desc.videoEs = clip;
    desc.services = {{0x0400, 0x01F0, 0x0111, 0, 0, {}, 0}, {0x0401, 0x01F1, 0x0121, 0, 0, {}, 0}};
    std::vector<std::pair<uint16_t, size_t>> starts;
    input_ = dir_.Write("video.ts", tsb::Broadcast(desc, &starts).bytes());
    for (const auto& [pid, packet] : starts)
      if (packet < desc.packets) headers_[pid == 0x0111 ? 0 : 1].push_back(int64_t(packet));
    ASSERT_GT(headers_[1].size(), 4u);
  }
  // The numbers after each "key": " in a JSON text, in order.
  static std::vector<int64_t> Numbers(const std::string& json, const std::string& key) {
    std::vector<int64_t> values;
    const std::string tag = "\"" + key + "\": ";
    for (size_t at = json.find(tag); at != std::string::npos; at = json.find(tag, at + 1))
      values.push_back(std::stoll(json.substr(at + tag.size())));
    return values;
  }
#ifndef _WIN32
  // The mpeg2video lines of ffmpeg's errors while decoding the first picture of path; "-" when
  // ffmpeg is missing.
  static std::string DecodeErrors(const std::string& path) {
    if (std::system("ffmpeg -version > /dev/null 2>&1") != 0) return "-";
    const std::string cmd = "ffmpeg -nostdin -v error -i '" + path + "' -map 0:v:0 -frames:v 1 -f null - 2>&1";
    std::string errors;
    if (FILE* p = popen(cmd.c_str(), "r")) {
      char line[512];
      while (std::fgets(line, sizeof line, p))
        if (std::strstr(line, "mpeg2video")) errors += line;
      pclose(p);
    }
    return errors;
  }
  static bool JsonParses(const std::string& path) {
    return std::system(("python3 -c 'import json,sys; json.load(open(sys.argv[1]))' '" + path + "'").c_str()) == 0;
  }
#endif
  std::vector<int64_t> headers_[2];
};

TEST_F(KerfCliVideo, ScanListsTheSequenceHeadersWhereTheBuilderPutThem) {
  for (int programme : {1, 2}) {
    const Result r = Kerf({"scan", input_, "--programme", std::to_string(programme), "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Numbers(r.out, "packet"), headers_[programme - 1]) << r.out;
#ifndef _WIN32
    EXPECT_TRUE(JsonParses(dir_.File("stdout.txt"))) << r.out;
#endif
  }
  const Result text = Kerf({"scan", input_});
  ASSERT_EQ(text.status, 0) << text.err;
  char line[32];
  std::snprintf(line, sizeof line, "\n%08X  ", unsigned(headers_[0][2]));
  EXPECT_NE(text.out.find(line), std::string::npos) << text.out;
  EXPECT_NE(text.out.find(std::to_string(headers_[0].size()) + " sequence headers"), std::string::npos);
}

// --snap moves the start back to a header and the end to just before the next one; a start
// before the first header moves forward to it. The snapped cut's first picture decodes where the
// plain cut's does not.
TEST_F(KerfCliVideo, SnappedCutsStartAndEndAtSequenceHeaders) {
  const std::vector<int64_t>& h = headers_[1];
  char range[64];
  std::snprintf(range, sizeof range, "p:%X-p:%X", unsigned(h[1] + 7), unsigned(h[3] + 5));
  const std::string snapped = dir_.File("snapped.ts"), plain = dir_.File("plain.ts");
  Result r = Kerf({"cut", input_, "--programme", "2", "--range", range, "--snap", "-o", snapped, "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Numbers(r.out, "startPacket"), std::vector<int64_t>{h[1]}) << r.out;
  EXPECT_EQ(Numbers(r.out, "endPacket"), std::vector<int64_t>{h[4] - 1}) << r.out;
#ifndef _WIN32
  EXPECT_TRUE(JsonParses(dir_.File("stdout.txt")));
#endif
  ASSERT_EQ(Kerf({"cut", input_, "--programme", "2", "--range", range, "-o", plain}).status, 0);
#ifndef _WIN32
  const std::string plainErrors = DecodeErrors(plain);
  if (plainErrors != "-") {
    EXPECT_FALSE(plainErrors.empty());
    EXPECT_EQ(DecodeErrors(snapped), "");
  }
#endif
  std::snprintf(range, sizeof range, "p:0-p:%X", unsigned(h[0] + 1));
  r = Kerf({"cut", input_, "--programme", "2", "--range", range, "--snap", "-o", snapped, "--force"});
  ASSERT_EQ(r.status, 0) << r.err;
  char moved[96];
  std::snprintf(moved, sizeof moved, "snap 1: start 00000000 (00:00:00.000) -> %08X", unsigned(h[0]));
  EXPECT_NE(r.out.find(moved), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("moves forward to the first"), std::string::npos) << r.err;
}

// Three stretches given out of order: each file equals its single cut, and --join equals their
// concatenation in the order of the recording.
TEST_F(KerfCliVideo, SeveralStretchesAreTheSingleCutsAndJoinConcatenatesThem) {
  const std::vector<std::string> ranges = {"p:3000-p:4FFF", "p:100-p:1FFF", "0:0:7-p:7000"};
  std::vector<std::string> args = {"cut", input_, "--programme", "2", "-o", dir_.File("part_%d.ts")};
  for (const std::string& range : ranges) args.insert(args.end(), {"--range", range});
  Result r = Kerf(args);
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<tsb::Bytes> single;
  for (size_t i = 0; i < ranges.size(); ++i) {
    const std::string one = dir_.File("one.ts");
    const size_t dash = ranges[i].find('-');
    ASSERT_EQ(Kerf({"cut", input_, "--programme", "2", "--start", ranges[i].substr(0, dash), "--end",
                    ranges[i].substr(dash + 1), "-o", one, "--force"}).status, 0);
    single.push_back(tsb::ReadFile(one));
    EXPECT_FALSE(single.back().empty());
    EXPECT_EQ(tsb::ReadFile(dir_.File("part_" + std::to_string(i + 1) + ".ts")), single.back()) << ranges[i];
  }
  args[5] = dir_.File("joined.ts");
  args.push_back("--join");
  r = Kerf(args);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(tsb::ReadFile(dir_.File("joined.ts")), tsb::cat({single[1], single[0], single[2]}));
}

TEST_F(KerfCli, FrameIsThePreviewDecodersPicture) {
  // The committed sample clip as the video of one programme.
  const char* source = std::getenv("KERF_SOURCE_DIR");
  ASSERT_NE(source, nullptr);
  tsb::BroadcastDesc desc;
  desc.packets = 20000;
  desc.bitrate = 6000000;
  desc.videoEs = tsb::ReadFile((std::filesystem::path(source) / "sample" / "clip.m2v").string());
  const std::string input = dir_.Write("clip.ts", tsb::Broadcast(desc).bytes());
  const std::string bmp = dir_.File("f.bmp"), yuv = dir_.File("f.yuv");
  Result r = Kerf({"frame", input, "--at", "p:1000", "-o", bmp, "--full", "--yuv", yuv});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("decoded without errors"), std::string::npos) << r.out;

  // The same picture through the preview driver in this process.
  static PreviewDecoder decoder;
  std::unique_ptr<uint8_t[]> readBuffer(new uint8_t[kPreviewReadSize]);
  std::unique_ptr<uint8_t[]> es(new uint8_t[kEsBufferSize]);
  PreviewDriver driver(readBuffer.get(), es.get(), decoder);
  PreviewRequest request;
  request.inputPath = input.c_str();
  request.inputSize = double(std::filesystem::file_size(input));
  request.programmeCount = 1;
  request.videoPid = 0x0100;
  request.pcrPid = 0x0100;
  request.startPacket = 0x1000;
  request.endPacket = 20000;
  struct : MessageSink {
    bool Report(MessageKind, const char*) override { return true; }
  } quiet;
  ASSERT_EQ(driver.ExtractPreviewStream(request, quiet), 0);
  std::unique_ptr<uint8_t[]> dib(new uint8_t[kPreviewDibBytes]);
  driver.DecodePreviewStream(request, quiet, dib.get());
  const PictureView v = current_picture_view(decoder);
  ASSERT_EQ(v.width, 720);
  const tsb::Bytes planes = tsb::ReadFile(yuv);
  ASSERT_EQ(planes.size(), size_t(720 * 480 * 3 / 2));
  size_t differ = 0;
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 720; ++x) {
      const int s = v.samples[size_t(479 - y) * v.rowStride + 3 * x];
      differ += planes[size_t(y) * 720 + x] != uint8_t(s < 0 ? 0 : s > 255 ? 255 : s);
    }
  EXPECT_EQ(differ, 0u);
  const tsb::Bytes picture = tsb::ReadFile(bmp);
  ASSERT_GE(picture.size(), 54u);
  EXPECT_EQ(picture[18] | picture[19] << 8, 720);   // biWidth
  EXPECT_EQ(picture[22] | picture[23] << 8, 480);   // biHeight
}

// The first two sequences of the committed sample clip (720 x 480), with the size fields of the
// first sequence header set to `first` and of the second to `second` (width, height).
struct CodedSize {
  int width, height;
};
tsb::Bytes clip_sequences(CodedSize first, CodedSize second) {
  tsb::Bytes es = sample_clip();
  const std::vector<size_t> headers = start_codes(es, 0xB3);
  if (headers.size() < 3) return {};
  es.resize(headers[2]);
  set_sequence_size(es, headers[0], first.width, first.height);
  set_sequence_size(es, headers[1], second.width, second.height);
  return es;
}

// Sequence headers whose size the frame store cannot hold (a damaged header: 4095 x 720 is bytes
// FF F2 D0): the picture is refused as an unsupported format, whatever output is asked for, and
// nothing is written. A size that changes between sequences affects only the sequence it heads.
TEST_F(KerfCli, FrameOfASizeTheFrameStoreCannotHoldIsRefused) {
  const std::string refused = "kerf: the picture is larger than the preview decoder's frame store (error 22)";
  const std::string bmp = dir_.File("big.bmp"), yuv = dir_.File("big.yuv");
  auto recording = [&](CodedSize first, CodedSize second) {
    tsb::BroadcastDesc desc;
    desc.packets = 8000;
    desc.bitrate = 6000000;
    desc.videoEs = clip_sequences(first, second);
    return dir_.Write("big.ts", tsb::Broadcast(desc).bytes());
  };
  for (const CodedSize s : {CodedSize{4095, 720}, CodedSize{4095, 4095}, CodedSize{16, 4095}}) {
    const std::string input = recording(s, s);
    for (const bool full : {false, true}) {
      SCOPED_TRACE(std::to_string(s.width) + "x" + std::to_string(s.height) + (full ? " --full --yuv" : ""));
      std::vector<std::string> args{"frame", input, "--at", "p:0", "-o", bmp};
      if (full) args.insert(args.end(), {"--full", "--yuv", yuv});
      Result r = Kerf(args);
      EXPECT_EQ(r.status, 3) << r.out << r.err;
      EXPECT_NE(r.err.find(refused), std::string::npos) << r.err;
      EXPECT_FALSE(std::filesystem::exists(bmp));
      EXPECT_FALSE(std::filesystem::exists(yuv));
    }
  }

  const std::string input = recording({720, 480}, {4095, 4095});
  Result r = Kerf({"frame", input, "--at", "p:0", "-o", bmp, "--full", "--yuv", yuv});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("decoded without errors"), std::string::npos) << r.out;
  const tsb::Bytes picture = tsb::ReadFile(bmp);
  ASSERT_GE(picture.size(), 54u);
  EXPECT_EQ(picture[18] | picture[19] << 8, 720);   // biWidth
  EXPECT_EQ(picture[22] | picture[23] << 8, 480);   // biHeight
  EXPECT_EQ(tsb::ReadFile(yuv).size(), size_t(720 * 480 * 3 / 2));
  // From packet 200 on, the next sequence header is the second one.
  r = Kerf({"frame", input, "--at", "p:200", "-o", dir_.File("second.bmp")});
  EXPECT_EQ(r.status, 3) << r.err;
  EXPECT_NE(r.err.find(refused), std::string::npos) << r.err;
}

#ifdef KERF_PREVIEW_REFERENCE_DIR
// kerf frame on the decoder's reference streams (made by ffmpeg's encoder), each carried twice in
// one programme so that the first sequence is complete, against ffmpeg's own decode of the first
// picture.
double psnr(const uint8_t* a, const uint8_t* b, size_t n) {
  double sum = 0;
  for (size_t i = 0; i < n; ++i) sum += double(int(a[i]) - int(b[i])) * (int(a[i]) - int(b[i]));
  return sum == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 * double(n) / sum);
}

TEST_F(KerfCli, FrameOfEveryReferenceStreamMatchesAnIndependentDecoder) {
  const std::filesystem::path dir = KERF_PREVIEW_REFERENCE_DIR;
  const struct {
    const char* name;
    int width, height;
  } cases[] = {{"progressive_720x480", 720, 480},   {"interlaced_1440x1080", 1440, 1080},
               {"hd_1920x1080", 1920, 1080},         {"custom_matrix_720x480", 720, 480},
               {"dc9_720x480", 720, 480},            {"dc10_720x480", 720, 480},
               {"dc11_720x480", 720, 480},           {"nonlinear_720x480", 720, 480},
               {"fine_quant_720x480", 720, 480},     {"odd_size_704x470", 704, 470}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const tsb::Bytes es = tsb::ReadFile((dir / (std::string(c.name) + ".m2v")).string());
    tsb::BroadcastDesc desc;
    desc.bitrate = 20000000;
    desc.videoEs = tsb::cat({es, es});
    desc.packets = 4 * es.size() / 184 + 2000;
    const std::string input = dir_.Write("ref.ts", tsb::Broadcast(desc).bytes());
    const std::string yuv = dir_.File("ref.yuv");
    Result r = Kerf({"frame", input, "--at", "p:0", "-o", dir_.File("ref.bmp"), "--full", "--yuv", yuv});
    ASSERT_EQ(r.status, 0) << r.err;
    const tsb::Bytes mine = tsb::ReadFile(yuv);
    const tsb::Bytes theirs = tsb::ReadFile((dir / (std::string(c.name) + ".yuv")).string());
    const size_t luma = size_t(c.width) * c.height;
    ASSERT_EQ(mine.size(), luma + 2 * size_t((c.width + 1) / 2) * ((c.height + 1) / 2));
    ASSERT_EQ(theirs.size(), mine.size());
    EXPECT_GE(psnr(mine.data(), theirs.data(), luma), 40.0);
    EXPECT_GE(psnr(mine.data() + luma, theirs.data() + luma, mine.size() - luma), 38.0);
  }
  // 4:2:2 profile video is decoded too (the window program refuses it).
  const tsb::Bytes es = tsb::ReadFile((dir / "chroma422_720x480.m2v").string());
  tsb::BroadcastDesc desc;
  desc.videoEs = tsb::cat({es, es});
  desc.packets = 4 * es.size() / 184 + 2000;
  const std::string input = dir_.Write("ref.ts", tsb::Broadcast(desc).bytes());
  Result r = Kerf({"frame", input, "--at", "p:0", "-o", dir_.File("422.bmp")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(std::filesystem::exists(dir_.File("422.bmp")));
}
#endif

#ifndef _WIN32
TEST_F(KerfCli, InterruptStopsACutCleanly) {
  // The output is a FIFO that nothing reads until the signal has been sent: the cut waits on it
  // with its first bytes written, so it is still running when the signal comes however fast the
  // machine is and however late this test is scheduled.
  tsb::Bytes big = tsb::ReadFile(input_);
  const size_t once = big.size();
  big.resize(once * 12);
  for (size_t k = 1; k < 12; ++k) std::copy(big.begin(), big.begin() + once, big.begin() + k * once);
  const std::string input = dir_.Write("big.ts", big);
  big.clear();
  const std::string out = dir_.File("part.ts");
  ASSERT_EQ(mkfifo(out.c_str(), 0644), 0);
  const int reader = open(out.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(reader, 0);
  const std::string kerf = built(kKerf);
  std::vector<char*> argv;
  std::vector<std::string> args = {kerf, "cut", input, "-o", out, "--force"};  // the FIFO is there already
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", 1, 0);
  ASSERT_EQ(posix_spawn(&pid, kerf.c_str(), &actions, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  // Wait until the first bytes are in the pipe (they stay there), then interrupt.
  pollfd ready{reader, POLLIN, 0};
  for (int waited = 0; waited < 60000 && !(poll(&ready, 1, 10) > 0 && (ready.revents & POLLIN) != 0); waited += 10) {
  }
  kill(pid, SIGINT);
  // Everything the cut writes until it closes its output (at most a minute).
  tsb::Bytes part;
  uint8_t buf[65536];
  for (int idle = 0; idle < 60000;) {
    pollfd p{reader, POLLIN, 0};
    poll(&p, 1, 50);
    const ssize_t n = read(reader, buf, sizeof buf);
    if (n == 0) break;  // the writer has closed
    if (n > 0) {
      part.insert(part.end(), buf, buf + n);
      idle = 0;
    } else {
      idle += 50;
    }
  }
  close(reader);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 5);
  ASSERT_GT(part.size(), 0u);
  EXPECT_LT(part.size(), std::filesystem::file_size(input));
  EXPECT_EQ(part.size() % 188, 0u);
  const tsb::Bytes head = tsb::ReadFile(input);
  EXPECT_TRUE(std::equal(part.begin(), part.end(), head.begin()));
}
#endif

}  // namespace
