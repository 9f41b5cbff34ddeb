// End to end under Wine: kerfcut loads recordings built by the stream builder (typed into the
// input field, dropped onto the window, named on the command line) and edits the cut range with
// its buttons, fields and scroll bar. Every expected text is computed with the shared measurement
// and conversions, never read back from the window.
#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "common/path.h"
#include "common/timefmt.h"
#include "common/win32_text.h"
#include "core/input_measure.h"
#include "core/positions.h"
#include "resources/ids.h"
#include "tests/e2e/driver_util.h"
#include "tests/support/stream_builder.h"

namespace {

constexpr int32_t kPacket = 188;
constexpr int kBarMax = 629;

// What the window must show for a recording.
struct Expected {
  std::wstring path;
  double size = 0;
  int32_t count = 0;  // whole packets
  int32_t total = 0;
  int32_t bitrate = 0;
  InputMeasurement m;
};

Expected expect(const std::wstring& path) {
  Expected e;
  e.path = path;
  std::string cp932;
  wide_to_cp932(path.c_str(), cp932);
  e.size = path_file_size(cp932.c_str());
  e.count = packet_count(e.size, kPacket);
  static std::vector<uint8_t> buffer(kCutterReadBufferSize);
  PcrScanner scanner(buffer.data(), kPacket);
  struct : MessageSink {
    bool Report(MessageKind, const char*) override { return true; }
  } quiet;
  check(scanner.MeasureInput(cp932.c_str(), e.size, kMethodAutomatic, quiet) == 0, "recording measures");
  e.m = scanner.result();
  e.total = e.m.totalMs;
  e.bitrate = total_to_bitrate(e.total, e.size);
  return e;
}

std::string time_text(int32_t ms) {
  char b[16];
  return ms_to_text(ms, b);
}
std::string packet_text(int32_t p) {
  char b[16];
  return packet_to_text(p, b);
}

// Sends a message and returns once the program has handled it.
void send(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  DWORD_PTR r = 0;
  SendMessageTimeoutW(h, msg, wp, lp, SMTO_NORMAL, kAnswerLimitMs, &r);
}
void press(HWND dialog, int id) { send(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(GetDlgItem(dialog, id))); }
void type(HWND dialog, int id, const std::wstring& text) { send(GetDlgItem(dialog, id), WM_SETTEXT, 0, LPARAM(text.c_str())); }
void type(HWND dialog, int id, const char* cp932) { type(dialog, id, wide(cp932)); }
void scroll(HWND dialog, int code, int pos = 0) {
  send(dialog, WM_HSCROLL, MAKEWPARAM(code, pos), LPARAM(GetDlgItem(dialog, res::kPositionBar)));
}
int bar_position(HWND dialog) { return GetScrollPos(GetDlgItem(dialog, res::kPositionBar), SB_CTL); }

// Both rows as the window must show them, times converted from the packet numbers' rows as the
// commands do.
void check_rows(HWND d, int32_t startPacket, int32_t startMs, int32_t endPacket, int32_t endMs, const char* what) {
  std::wstring got = item_text(d, res::kStartPacket) + L" " + item_text(d, res::kStartTime) + L" " +
                     item_text(d, res::kEndPacket) + L" " + item_text(d, res::kEndTime);
  std::wstring want = wide((packet_text(startPacket) + " " + time_text(startMs) + " " + packet_text(endPacket) + " " +
                            time_text(endMs)).c_str());
  check(got == want, what, L"got \"" + got + L"\" want \"" + want + L"\"");
}

void check_loaded(HWND d, const Expected& e, const char* what) {
  char size[32], rate[32];
  check(item_text(d, res::kInputPath) == e.path, what, L"input field " + item_text(d, res::kInputPath));
  check_text(d, res::kFileSize, size_to_text(e.size, size), what);
  check_text(d, res::kTotalTime, time_text(e.total).c_str(), what);
  check_text(d, res::kBitrate, bitrate_to_text(e.bitrate, rate), what);
  check_text(d, res::kStartMarker, "◆", what);
  check_text(d, res::kEndMarker, "　", what);
  check_text(d, res::kPcrRange, "", what);
  check_rows(d, 0, 0, e.count, packet_to_ms(e.count, e.size, e.total, kPacket), what);
  check(bar_position(d) == 0, what, L"scroll bar at the start");
}

// Waits until the field shows the text (a load that runs from a posted message).
bool wait_text(HWND d, int id, const std::wstring& text) {
  for (int waited = 0; waited < 60000; waited += 50) {
    if (item_text(d, id) == text) return true;
    Sleep(50);
  }
  return false;
}

// Files dropped as the shell drops them: a DROPFILES block with wide paths in the receiving
// program's memory, posted with WM_DROPFILES. The shell makes the block in that process; a test
// can only write it there.
bool drop(HANDLE process, HWND target, std::initializer_list<std::wstring> paths) {
  DROPFILES header{};
  header.pFiles = sizeof header;
  header.fWide = TRUE;
  std::vector<unsigned char> block(sizeof header);
  memcpy(block.data(), &header, sizeof header);
  for (const std::wstring& p : paths) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(p.c_str());
    block.insert(block.end(), bytes, bytes + (p.size() + 1) * sizeof(wchar_t));
  }
  block.insert(block.end(), sizeof(wchar_t), 0);
  void* remote = VirtualAllocEx(process, nullptr, block.size(), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  return remote != nullptr && WriteProcessMemory(process, remote, block.data(), block.size(), nullptr) &&
         PostMessageW(target, WM_DROPFILES, WPARAM(remote), 0);
}

// A recording of `packets` packets sent at `bitrate`, a PCR on PID 0x0100 every 100 packets from
// firstMs on.
std::vector<unsigned char> recording(size_t packets, uint64_t bitrate, uint64_t firstMs) {
  tsb::TsStream ts;
  ts.SetClock(bitrate, tsb::Pcr::FromMs(firstMs));
  for (size_t i = 0; i < packets; ++i) {
    if (i % 100 == 0)
      ts.PcrPacket(0x0100);
    else
      ts.Null();
  }
  return ts.bytes();
}

void close_session(Session& s, const char* what) {
  PostMessageW(s.frame, WM_COMMAND, MAKEWPARAM(res::kMenuExit, 0), 0);
  DWORD code = 1;
  check(wait_exit(s, code) && code == 0, what);
}

}  // namespace

void check_loading_and_range_editing(const std::wstring& programFolder, const std::wstring& shots) {
  // The recordings lie in a folder with a Japanese name beside the driver.
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring folder(self);
  folder = folder.substr(0, folder.find_last_of(L'\\') + 1) + L"録画\\";
  CreateDirectoryW(folder.c_str(), nullptr);
  // 3 min 20 s: 20000 packets of 10 ms each, a PCR every second from 00:00:01.000.
  const std::wstring pathA = folder + L"番組 A.ts";
  // 30 s: 6000 packets of 5 ms each from 01:00:00.000.
  const std::wstring pathB = folder + L"番組 B.ts";
  check(write_file(pathA, recording(20000, 150400, 1000)) && write_file(pathB, recording(6000, 300800, 3600000)),
        "recordings written");
  const Expected a = expect(pathA), b = expect(pathB);
  auto ms_of = [&a](int32_t packet) { return packet_to_ms(packet, a.size, a.total, kPacket); };
  auto packet_of = [&a](int32_t ms) { return ms_to_packet(ms, a.size, a.total, kPacket); };
  const int32_t endMs = ms_of(a.count);

  // From the first-start settings (the earlier runs left the preview switched off).
  DeleteFileW((programFolder + L"kerfcut.DAT").c_str());

  // ---- A typed path and the update button ----
  Session s;
  if (!open_session(programFolder, s, false)) return;
  HWND d = s.dialog;
  type(d, res::kInputPath, pathA);
  press(d, res::kUpdateInput);
  check_loaded(d, a, "typed path loaded");

  // Step buttons move the start row, limited to the total time.
  int32_t t = step_time(0, 60000, a.total);
  press(d, res::kStepAhead1min);
  check_rows(d, packet_of(t), t, a.count, endMs, "+1分");
  t = step_time(t, 100, a.total);
  press(d, res::kStepAhead100ms);
  check_rows(d, packet_of(t), t, a.count, endMs, "+0.1秒");
  press(d, res::kStepAhead5min);
  check_rows(d, a.count, a.total, a.count, endMs, "+5分 stops at the total");
  press(d, res::kStepBack30min);
  check_rows(d, 0, 0, a.count, endMs, "-30分 stops at 0");

  // Times to packet numbers and back.
  type(d, res::kStartTime, "00:01:30.000");
  type(d, res::kEndTime, "00:02:00.000");
  press(d, res::kTimesToPackets);
  check_rows(d, packet_of(90000), 90000, packet_of(120000), 120000, "times to packets");
  type(d, res::kStartPacket, "00001000");
  type(d, res::kEndPacket, "FFFFFFFF");
  press(d, res::kPacketsToTimes);
  check_rows(d, 0x1000, ms_of(0x1000), a.count, endMs, "packets to times, FFFFFFFF is the packet count");

  // Copying one row onto the other.
  type(d, res::kStartTime, "00:00:30.000");
  press(d, res::kCopyStartToEnd);
  check_rows(d, packet_of(30000), 30000, packet_of(30000), 30000, "start copied to the end");
  type(d, res::kEndTime, "00:02:30.000");
  press(d, res::kCopyEndToStart);
  check_rows(d, packet_of(150000), 150000, packet_of(150000), 150000, "end copied to the start");

  // The scroll bar moves the edited row, now the end.
  press(d, res::kSelectEnd);
  check_text(d, res::kStartMarker, "　", "end row chosen");
  check_text(d, res::kEndMarker, "◆", "end row chosen");
  check(bar_position(d) == scroll_position_of(packet_of(150000), kPacket, a.size, 0, kBarMax), "bar follows the end row");
  scroll(d, SB_THUMBPOSITION, 314);
  scroll(d, SB_ENDSCROLL);
  int32_t p = scroll_packet_at(314, a.size, 0, kBarMax, kPacket);
  check(bar_position(d) == 314, "thumb released at 314");
  check_rows(d, packet_of(150000), 150000, p, ms_of(p), "end row from the thumb");
  scroll(d, SB_LINERIGHT);
  scroll(d, SB_ENDSCROLL);
  p = scroll_packet_at(315, a.size, 0, kBarMax, kPacket);
  check(bar_position(d) == 315, "line right");
  check_rows(d, packet_of(150000), 150000, p, ms_of(p), "end row one line on");

  // Two files dropped on the window: the first is loaded.
  check(drop(s.p.pi.hProcess, d, {pathB, pathA}), "drop delivered");
  char rate[32];
  check(wait_text(d, res::kBitrate, wide(bitrate_to_text(b.bitrate, rate))), "dropped recording measured");
  check_loaded(d, b, "dropped recording loaded");
  // A name without a CP932 form is taken in its short form, which names the same file.
  const std::wstring pathC = folder + L"\x526A\x5207 \x5F55\x50CF.ts";  // 剪切 录像.ts
  check(CopyFileW(pathA.c_str(), pathC.c_str(), FALSE) != FALSE, "recording copied");
  wchar_t shortC[MAX_PATH] = {};
  check(GetShortPathNameW(pathC.c_str(), shortC, MAX_PATH) > 0, "short name of a name outside CP932");
  Expected c = a;
  c.path = shortC;
  // The programmes are analysed into DEMUX.txt: the one B's load left must be rewritten.
  const FileStamp analysedB = stamp_of(programFolder + L"DEMUX.txt");
  check(drop(s.p.pi.hProcess, d, {pathC}), "drop delivered");
  check(wait_text(d, res::kInputPath, c.path), "dropped name outside CP932 shown in its short form",
        item_text(d, res::kInputPath));
  check(wait_tool_run(programFolder, d, analysedB), "the dropped recording's programmes analysed");
  check_loaded(d, c, "dropped recording with a name outside CP932 loaded");
  close_session(s, "program ends after the loads");

  // ---- The recording named on the command line ----
  Session s2;
  const FileStamp analysedC = stamp_of(programFolder + L"DEMUX.txt");
  if (!open_session(programFolder, s2, false, L"\"" + pathA + L"\"")) return;
  check(wait_tool_run(programFolder, s2.dialog, analysedC), "command-line recording analysed");
  check(wait_text(s2.dialog, res::kBitrate, wide(bitrate_to_text(a.bitrate, rate))), "command-line recording measured");
  check_loaded(s2.dialog, a, "command-line recording loaded");
  type(s2.dialog, res::kStartTime, "00:00:40.000");
  type(s2.dialog, res::kEndTime, "00:02:45.000");
  press(s2.dialog, res::kTimesToPackets);
  press(s2.dialog, res::kSelectEnd);
  close_session(s2, "program ends after the command-line load");

  // ---- The next start shows the loaded recording as it was left, with its PCR range ----
  // The range is kept in the settings record (18 bytes of header, startPcrMs at 1360).
  const std::vector<unsigned char> saved = read_file(programFolder + L"kerfcut.DAT");
  int32_t kept[2] = {-1, -1};
  if (saved.size() == 18 + 3444) memcpy(kept, saved.data() + 18 + 1360, sizeof kept);
  check(kept[0] == a.m.startPcrMs && kept[1] == a.m.endPcrMs, "PCR range kept in the settings");
  Session s3;
  if (!open_session(programFolder, s3, false)) return;
  // The field shows the kept range until the preview, 50 ms after the start, finds that this
  // recording has no video and clears it: either text may be read first, never another.
  const std::wstring pcrKept = wide(("PCR：[" + time_text(a.m.startPcrMs) + "～" + time_text(a.m.endPcrMs) + "]").c_str());
  const std::wstring pcrShown = item_text(s3.dialog, res::kPcrRange);
  check(pcrShown == pcrKept || pcrShown.empty(), "PCR range shown at the start", pcrShown);
  check(wait_text(s3.dialog, res::kStatusLine, wide("状態：映像ﾊﾟｹｯﾄが検出できません。→入力元TSファイル名などを再確認")),
        "preview finds no video", item_text(s3.dialog, res::kStatusLine));
  check_text(s3.dialog, res::kPcrRange, "", "PCR range cleared by the preview");
  check_rows(s3.dialog, packet_of(40000), 40000, packet_of(165000), 165000, "range kept");
  check(bar_position(s3.dialog) == scroll_position_of(packet_of(165000), kPacket, a.size, 0, kBarMax), "bar kept");
  capture(s3.frame, shots + L"main-window-loaded.bmp");
  close_session(s3, "program ends");
}
