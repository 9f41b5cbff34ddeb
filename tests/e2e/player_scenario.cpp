// The player scenario of the Wine end-to-end test (see player_scenario.h): a missing player is
// refused and the stand-in accepted in "再生環境設定", whose "参照..." opens the path chooser on
// programs only; "∥→" on the start row hands the stand-in "--play-and-stop" and the selected
// programme's clip, which equals kerfdmx's own output for the range; the choices made in
// "オプション設定" are in the settings file after exit.
#include "tests/e2e/player_scenario.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "common/timefmt.h"
#include "resources/ids.h"
#include "tests/e2e/driver_util.h"

namespace {

constexpr size_t kRecord = 18;  // the Settings record starts after header and reserved word

void press(HWND dialog, int id) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(GetDlgItem(dialog, id)));
}

bool checked(HWND dialog, int id) {
  DWORD_PTR r = 0;
  SendMessageTimeoutW(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0, SMTO_NORMAL, kAnswerLimitMs, &r);
  return r == BST_CHECKED;
}

// A person's click on a check box or radio button of another process's dialog.
void click_box(HWND dialog, int id) {
  SendMessageTimeoutW(GetDlgItem(dialog, id), BM_CLICK, 0, 0, SMTO_NORMAL, kAnswerLimitMs, nullptr);
}

std::vector<std::wstring> lines_of(const std::vector<unsigned char>& utf16) {
  std::wstring text(utf16.size() / 2, L'\0');
  std::memcpy(text.data(), utf16.data(), text.size() * 2);
  std::vector<std::wstring> lines;
  for (size_t from = 0, at; (at = text.find(L'\n', from)) != std::wstring::npos; from = at + 1) {
    lines.push_back(text.substr(from, at - from));
  }
  return lines;
}

std::string cp932(const std::wstring& w) {
  char buf[1024] = {};
  WideCharToMultiByte(932, 0, w.c_str(), -1, buf, sizeof buf - 1, nullptr, nullptr);
  return buf;
}

std::wstring long_form(const std::wstring& path) {
  wchar_t buf[MAX_PATH * 2] = {};
  const DWORD n = GetLongPathNameW(path.c_str(), buf, MAX_PATH * 2);
  return n > 0 && n < MAX_PATH * 2 ? std::wstring(buf, n) : path;
}

void set_the_player(Cutter& c, const std::wstring& player) {
  c.Click(res::kPlayerSettings);
  HWND viewer = wait_dialog(c.pid(), wide("再生環境設定"), 20000);
  if (!check(viewer != nullptr, "player settings dialog opens")) return;
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  const std::wstring vlc = std::wstring(system, 3) + L"Program Files\\VideoLAN\\VLC\\VLC.EXE";
  check(item_text(viewer, res::kViewerPlayerPath) == vlc, "default player on the system drive",
        item_text(viewer, res::kViewerPlayerPath));
  check(item_text(viewer, res::kViewerOptions) == L"--play-and-stop" && checked(viewer, res::kViewerOptionsEnabled) &&
            IsWindowEnabled(GetDlgItem(viewer, res::kViewerOptions)),
        "default options, enabled");
  SendMessageTimeoutW(GetDlgItem(viewer, res::kViewerPlayerPath), WM_SETTEXT, 0,
                      LPARAM((player.substr(0, player.size() - 4) + L"-missing.exe").c_str()), SMTO_NORMAL, kAnswerLimitMs, nullptr);
  press(viewer, IDOK);
  const std::wstring box = c.Box("エラー", 20000);
  check(box == wide("指定したTS再生プログラムは存在しません."), "a missing player is refused", box);
  check(IsWindow(viewer) != FALSE, "the dialog stays open after the refusal");

  // The chooser starts from the stored path's folder: the player's, once it has been chosen there.
  SendMessageTimeoutW(GetDlgItem(viewer, res::kViewerPlayerPath), WM_SETTEXT, 0, LPARAM(player.c_str()),
                      SMTO_NORMAL, kAnswerLimitMs, nullptr);
  press(viewer, IDOK);
  check(wait_gone(c.pid(), L"#32770", wide("再生環境設定").c_str()), "the player is accepted");
  c.Click(res::kPlayerSettings);
  viewer = wait_dialog(c.pid(), wide("再生環境設定"), 20000);
  if (!check(viewer != nullptr, "player settings dialog opens again")) return;
  press(viewer, res::kViewerBrowse);
  HWND chooser = wait_dialog(c.pid(), wide("TS再生プログラム選択"), 20000);
  if (check(chooser != nullptr, "参照... opens the path chooser")) {
    HWND files = GetDlgItem(chooser, res::kChooserFiles);
    wchar_t first[MAX_PATH] = {};
    const LRESULT count = SendMessageW(files, LB_GETCOUNT, 0, 0);
    if (count == 1) SendMessageW(files, LB_GETTEXT, 0, LPARAM(first));
    check(count == 1 && std::wstring(first) == L"player.exe", "the chooser lists the programs only", first);
    check(!IsWindowVisible(GetDlgItem(chooser, res::kChooserNewFile)), "no new file for a program");
    press(chooser, IDOK);
    wait_gone(c.pid(), L"#32770", wide("TS再生プログラム選択").c_str());
    check(item_text(viewer, res::kViewerPlayerPath) == player, "the chosen program in 101",
          item_text(viewer, res::kViewerPlayerPath));
  }
  press(viewer, IDCANCEL);
  wait_gone(c.pid(), L"#32770", wide("再生環境設定").c_str());
}

void change_the_options(Cutter& c) {
  c.Click(res::kOptions);
  HWND options = wait_dialog(c.pid(), wide("オプション設定"), 20000);
  if (!check(options != nullptr, "options dialog opens")) return;
  check(checked(options, res::kOptionAutomatic) && !checked(options, res::kOptionFirstLastPcr) &&
            !checked(options, res::kOptionStopOnError),
        "[3] and no stop on error at first");
  click_box(options, res::kOptionFirstLastPcr);
  click_box(options, res::kOptionStopOnError);
  check(checked(options, res::kOptionFirstLastPcr) && !checked(options, res::kOptionAutomatic),
        "one radio button of the group checked");
  press(options, IDOK);
  check(wait_gone(c.pid(), L"#32770", wide("オプション設定").c_str()), "options accepted");
}

}  // namespace

int run_player_scenario(const std::wstring& folder, const std::wstring& standIn) {
  const int before = failures;
  const std::wstring parent = folder.substr(0, folder.find_last_of(L'\\', folder.size() - 2) + 1);
  const std::wstring players = parent + L"再生 ソフト\\", input = parent + L"再生用.ts";
  CreateDirectoryW(players.c_str(), nullptr);
  const std::wstring player = players + L"player.exe", played = players + L"played.txt";
  DeleteFileW(played.c_str());
  if (!check(CopyFileW(standIn.c_str(), player.c_str(), FALSE) != FALSE, "stand-in player in place", standIn)) {
    return failures - before;
  }
  const std::vector<unsigned char> recording = three_programme_recording();
  check(write_file(input, recording), "recording written");

  Cutter c;
  if (!check(c.Start(folder), "kerfcut.exe starts for the player scenario")) return failures - before;
  if (!check(c.Load(input), "the recording loads")) {
    c.Quit();
    return failures - before;
  }
  set_the_player(c, player);

  // Two seconds from one second in, of the second programme.
  c.Choose(res::kProgrammeList, 1);
  c.SetText(res::kStartTime, L"00:00:01.000");
  c.SetText(res::kPlaySeconds, L"2");
  c.Click(res::kPlayAfterStart);
  for (int waited = 0; waited < 60000 && file_size(played) < 0; waited += 100) Sleep(100);
  const std::vector<std::wstring> record = lines_of(read_file(played));
  const std::wstring clipPath = folder + L"PRG2.ts";
  const std::vector<unsigned char> clip = read_file(clipPath);
  if (check(record.size() == 3, "the stand-in player was started", std::to_wstring(record.size()))) {
    // A program folder without a CP932 name reaches the program in its short form.
    check(record[0] == L"\"" + player + L"\" --play-and-stop \"" + record[1] + L"\"", "player command line", record[0]);
    check(_wcsicmp(long_form(record[1]).c_str(), long_form(clipPath).c_str()) == 0, "the clip of the second programme",
          record[1]);
    check(record[2] == std::to_wstring(clip.size()), "the player saw the whole clip", record[2]);
  }
  std::string total = cp932(c.Text(res::kTotalTime)), start = cp932(c.Text(res::kStartTime));
  const int32_t totalMs = text_to_ms(total.data()), startMs = text_to_ms(start.data());
  const double size = double(recording.size());
  const int32_t from = ms_to_packet(startMs, size, totalMs, 188);
  const int32_t to = ms_to_packet(std::min(totalMs, startMs + 1999), size, totalMs, 188);
  write_file(folder + L"lockfile", {'\n'});
  wchar_t options[96];
  swprintf(options, 96, L" -h:0 -s:%X -e:%X -d:DEMUX.txt", unsigned(from), unsigned(to));
  const int code = run_to_end(L"\"" + folder + L"KERFDMX.EXE\" \"" + input + L"\"" + options);
  DeleteFileW((folder + L"lockfile").c_str());
  check(code == 0, "kerfdmx run directly ends with status 0", std::to_wstring(code));
  check(clip.size() > 188 * 100 && read_file(folder + L"PRG2.TS") == clip, "the clip is kerfdmx's PRG2.TS for the range",
        std::to_wstring(clip.size()));

  change_the_options(c);
  check(c.Quit(), "kerfcut ends after the player scenario");
  const std::vector<unsigned char> saved = read_file(folder + L"kerfcut.DAT");
  if (check(saved.size() == 3462, "settings saved")) {
    int32_t method = -1, stop = -1;
    std::memcpy(&method, &saved[kRecord + 1324], 4);
    std::memcpy(&stop, &saved[kRecord + 1320], 4);
    check(method == 0 && stop == 1, "total-time method [1] and stop on error saved");
    check(std::strcmp(reinterpret_cast<const char*>(&saved[kRecord + 788]), cp932(player).c_str()) == 0,
          "player path saved");
  }
  return failures - before;
}
