// The cut scenario of the Wine end-to-end test (see cut_scenario.h). It operates kerfcut.exe
// through its windows like the driver does: texts by WM_SETTEXT, buttons and list choices by
// posted commands, message boxes found by their titles.
#include "tests/e2e/cut_scenario.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "resources/ids.h"
#include "tests/e2e/driver_util.h"

namespace {

std::vector<unsigned char> slice(const std::vector<unsigned char>& b, long long first, long long last) {
  if (first < 0 || last < first || size_t(last + 1) * 188 > b.size()) return {};
  return std::vector<unsigned char>(b.begin() + first * 188, b.begin() + (last + 1) * 188);
}

// The CP932 form of a path, as a control file holds it.
std::string cp932_of(const std::wstring& w) {
  const int n = WideCharToMultiByte(932, 0, w.c_str(), int(w.size()), nullptr, 0, nullptr, nullptr);
  std::string out(size_t(n), '\0');
  WideCharToMultiByte(932, 0, w.c_str(), int(w.size()), out.data(), n, nullptr, nullptr);
  return out;
}

long long hex_field(Cutter& c, int id) { return std::wcstoll(c.Text(id).c_str(), nullptr, 16); }

// Cuts the loaded long recording into `cancelled` with the demux tool held from its start: for
// this run the program folder's KERFDMX.EXE is the holder that lies beside the driver, which
// starts the real tool suspended and marks that with "tool.held"; the run goes on once the mark
// is deleted. The progress window is closed while the tool is held, so the cancel always comes
// before the tool's end, however fast this machine reads.
void cancel_held_cut(Cutter& c, const std::wstring& folder, const std::wstring& cancelled,
                     const std::vector<unsigned char>& longer) {
  wchar_t self[MAX_PATH] = {};
  const std::wstring driver(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
  const std::wstring holder = driver.substr(0, driver.find_last_of(L'\\') + 1) + L"tool_holder.exe";
  const std::wstring tool = folder + L"KERFDMX.EXE", real = folder + L"KERFDMX-REAL.EXE", mark = folder + L"tool.held";
  if (!check(MoveFileW(tool.c_str(), real.c_str()) && CopyFileW(holder.c_str(), tool.c_str(), FALSE),
             "the tool holder in place", holder)) {
    return;
  }
  c.SetText(res::kOutputPath, cancelled);
  c.Click(res::kExecuteCut);
  const HANDLE run = wait_child(c.pid(), L"KERFDMX.EXE", 60000);
  bool held = false;
  for (int waited = 0; run != nullptr && !held && waited < 60000; waited += 20) {
    held = GetFileAttributesW(mark.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (!held) Sleep(20);
  }
  check(held, "the tool is held while the progress window is closed");
  HWND progress = wait_dialog(c.pid(), wide("切り出し中"), 30000);
  check(progress != nullptr, "progress window shows");
  if (progress != nullptr) PostMessageW(progress, WM_CLOSE, 0, 0);
  const std::wstring box = c.Box("情報");
  check(box == wide("処理を中止しました."), "closing the progress window cancels", box);
  check(GetFileAttributesW((folder + L"lockfile").c_str()) == INVALID_FILE_ATTRIBUTES, "lock file gone");
  // Let go, the tool stops at its first per cent without the lock file and closes its output;
  // the holder ends with it.
  DeleteFileW(mark.c_str());
  check(run != nullptr && WaitForSingleObject(run, 120000) == WAIT_OBJECT_0, "the held tool ends after the cancel");
  if (run != nullptr) CloseHandle(run);
  check(DeleteFileW(tool.c_str()) && MoveFileW(real.c_str(), tool.c_str()), "the real tool back in place");
  const std::vector<unsigned char> out = read_file(cancelled);
  check(out.size() % 188 == 0 && out.size() < longer.size(), "cancelled output is shorter, whole packets",
        std::to_wstring(out.size()));
  check(std::equal(out.begin(), out.end(), longer.begin()), "cancelled output is a prefix of the input");
}

}  // namespace

int run_cut_scenario(const std::wstring& folder) {
  const int before = failures;
  // Recordings in a folder with a Japanese name beside the program folder (whose own name may
  // have no CP932 form): three programmes, 60000 packets (11 MB), and a long one for the cancel.
  const size_t parent = folder.find_last_of(L'\\', folder.size() - 2);
  const std::wstring data = folder.substr(0, parent + 1) + L"録画\\";
  CreateDirectoryW(data.c_str(), nullptr);
  const std::vector<unsigned char> recording = three_programme_recording();
  std::vector<unsigned char> longer;
  for (int i = 0; i < 10; ++i) longer.insert(longer.end(), recording.begin(), recording.end());
  const std::wstring input = data + L"入力.ts", longInput = data + L"長い.ts";
  check(write_file(input, recording) && write_file(longInput, longer), "recordings written");

  // The recording carries the read-only attribute through every load and cut below: no program
  // of ours opens it for writing. Where the attribute does not keep this process from writing
  // (Wine run by root), the unchanged bytes still show that nothing was written.
  check(SetFileAttributesW(input.c_str(), FILE_ATTRIBUTE_READONLY) != 0, "recording made read-only");
  {
    const HANDLE probe = CreateFileW(input.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
      printf("NOTE: cut scenario: the read-only attribute does not keep this process from writing the recording\n");
      CloseHandle(probe);
    }
  }

  Cutter c;
  if (!c.Start(folder)) {
    check(false, "kerfcut.exe starts for the cut scenario");
    return failures - before;
  }
  if (!c.Load(input)) {
    printf("SKIPPED: cut scenario: typing the path and pressing 149 loaded nothing (field 1000 shows \"%s\", "
           "%d programmes): this build's update button does not load a recording yet\n",
           utf8(c.Text(res::kFileSize)).c_str(), int(c.Items(res::kProgrammeList).size()));
    c.Quit();
    return 0;
  }
  check(c.Items(res::kProgrammeList) ==
            std::vector<std::wstring>{L"PRG1,VPID=0111", L"PRG2,VPID=0121", L"PRG3,VPID=0131"},
        "the three programmes in 145");

  // Mode 0 over one to four seconds: the range itself, end packet included. The cut turns the
  // time fields into packet numbers and writes them back, so they are read afterwards.
  c.SetText(res::kStartTime, L"00:00:01.000");
  c.SetText(res::kEndTime, L"00:00:04.000");
  c.Choose(res::kDemuxList, 0);
  const std::wstring all = data + L"全体.ts";
  c.SetText(res::kOutputPath, all);
  c.Click(res::kExecuteCut);
  std::wstring box = c.Box("情報");
  check(box == wide("正常終了しました."), "mode 0 ends normally", box);
  const long long first = hex_field(c, res::kStartPacket), last = hex_field(c, res::kEndPacket);
  check(first > 0 && last > first && last < 60000, "range from the time fields",
        std::to_wstring(first) + L".." + std::to_wstring(last));
  check(read_file(all) == slice(recording, first, last), "mode 0 output is the range");

  // Mode 1 of the second programme: what kerfdmx writes for that block of DEMUX.txt.
  c.Choose(res::kProgrammeList, 1);
  c.Choose(res::kDemuxList, 1);
  const std::wstring second = data + L"番組2.ts";
  c.SetText(res::kOutputPath, second);
  c.Click(res::kExecuteCut);
  box = c.Box("情報");
  check(box == wide("正常終了しました."), "mode 1 ends normally", box);
  write_file(folder + L"lockfile", {'\n'});
  wchar_t options[96];
  swprintf(options, 96, L" -h:0 -s:%llX -e:%llX -d:DEMUX.txt", first, last);
  const int code = run_to_end(L"\"" + folder + L"KERFDMX.EXE\" \"" + input + L"\"" + options);
  DeleteFileW((folder + L"lockfile").c_str());
  check(code == 0, "kerfdmx run directly ends with status 0", std::to_wstring(code));
  const std::vector<unsigned char> expected = read_file(folder + L"PRG2.TS");
  check(expected.size() > 188 * 1000 && read_file(second) == expected, "mode 1 output equals kerfdmx's PRG2.TS",
        std::to_wstring(expected.size()));

  // Mode 2 from the user's DEMUX.cfg: the third programme.
  const std::wstring third = data + L"番組3.ts";
  {
    std::string cfg = "NAME=" + cp932_of(third) + "\r\nSERVICE_ID=0402\r\nPID=0000\r\nPID=01F2\r\nPID=0131\r\n";
    write_file(folder + L"DEMUX.cfg", std::vector<unsigned char>(cfg.begin(), cfg.end()));
  }
  c.Choose(res::kDemuxList, 2);
  c.SetText(res::kOutputPath, data + L"未使用.ts");
  c.Click(res::kExecuteCut);
  box = c.Box("情報");
  check(box == wide("正常終了しました."), "mode 2 ends normally", box);
  check(read_file(third).size() > 188 * 1000, "mode 2 output from DEMUX.cfg", std::to_wstring(read_file(third).size()));
  check(read_file(input) == recording, "read-only recording unchanged after modes 0, 1 and 2");
  check((GetFileAttributesW(input.c_str()) & FILE_ATTRIBUTE_READONLY) != 0, "recording still read-only");

  // A DEMUX.cfg naming the recording in other letter case: kerfdmx refuses it before it creates
  // anything, and its own line is in the error box.
  {
    std::wstring upper = input;
    CharUpperW(upper.data());
    const std::wstring fresh = data + L"新規.ts";
    std::string cfg = "MODE=DEMUX\r\nNAME=" + cp932_of(fresh) + "\r\nPID=0000\r\nNAME=" + cp932_of(upper) +
                      "\r\nPID=0111\r\n";
    write_file(folder + L"DEMUX.cfg", std::vector<unsigned char>(cfg.begin(), cfg.end()));
    c.Click(res::kExecuteCut);
    box = c.Box("エラー");
    check(box.find(wide("（終了コード 4）")) != std::wstring::npos &&
              box.find(wide("出力ファイル(") + upper + wide(")は入力TSファイルと同じファイルです.")) != std::wstring::npos,
          "DEMUX.cfg naming the recording refused by kerfdmx", box);
    check(GetFileAttributesW(fresh.c_str()) == INVALID_FILE_ATTRIBUTES, "nothing created for the refused DEMUX.cfg");
    check(read_file(input) == recording, "recording unchanged after the refused DEMUX.cfg");
    DeleteFileW((folder + L"DEMUX.cfg").c_str());
  }

  // The input under another spelling is refused, and the recording stays as it was.
  c.Choose(res::kDemuxList, 0);
  c.SetText(res::kOutputPath, data + L"..\\録画\\入力.ts");
  c.Click(res::kExecuteCut);
  box = c.Box("エラー");
  check(box == wide("入力元TSファイル名と出力先TSファイル名が同じです."), "input under another spelling refused", box);
  check(read_file(input) == recording, "input unchanged");

  // A cancel: the progress window closed while the tool still has work left.
  if (!c.Load(longInput)) {
    check(false, "the long recording loads");
  } else {
    cancel_held_cut(c, folder, data + L"中止.ts", longer);
  }
  check(c.Quit(), "kerfcut ends after the cut scenario");
  SetFileAttributesW(input.c_str(), FILE_ATTRIBUTE_NORMAL);
  return failures - before;
}
