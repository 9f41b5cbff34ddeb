// The path chooser under Wine, operated through its controls as a person would: from a relative
// input path it opens at the program's drive root, goes down folder by folder (through names
// whose Shift-JIS bytes hold 0x5C) to a recording, up one level and back, and chooses it; then the
// output chooser names a file in a folder that does not exist yet through the new-file dialog.
#include "tests/e2e/path_chooser_scenario.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "resources/ids.h"
#include "tests/e2e/driver_util.h"

namespace {

bool check_item(HWND dialog, int id, const std::wstring& want, const char* what) {
  std::wstring got = item_text(dialog, id);
  return check(got == want, what, L"got \"" + got + L"\" want \"" + want + L"\"");
}

bool wait_gone(DWORD pid, const std::wstring& title) { return ::wait_gone(pid, L"#32770", title.c_str()); }

// Clicks a button by posting its notification: the handler may open a modal dialog.
void click(HWND dialog, int id) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(GetDlgItem(dialog, id)));
}

std::vector<std::wstring> list_items(HWND dialog, int id) {
  HWND list = GetDlgItem(dialog, id);
  std::vector<std::wstring> items;
  LRESULT n = SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < n; ++i) {
    std::wstring s(size_t(SendMessageW(list, LB_GETTEXTLEN, WPARAM(i), 0)) + 1, L'\0');
    SendMessageW(list, LB_GETTEXT, WPARAM(i), LPARAM(s.data()));
    s.resize(wcslen(s.c_str()));
    items.push_back(s);
  }
  return items;
}

// Selects the list entry with this text as a click would: the selection, then LBN_SELCHANGE to the
// dialog, waited for.
bool pick(HWND dialog, int id, const std::wstring& entry) {
  HWND list = GetDlgItem(dialog, id);
  LRESULT i = SendMessageW(list, LB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(entry.c_str()));
  if (!check(i != LB_ERR, "list entry present", entry)) return false;
  SendMessageW(list, LB_SETCURSEL, WPARAM(i), 0);
  DWORD_PTR r;
  SendMessageTimeoutW(dialog, WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE), LPARAM(list), SMTO_NORMAL, kAnswerLimitMs, &r);
  return true;
}

bool write_file(const std::wstring& path, size_t size) {
  FILE* f = _wfopen(path.c_str(), L"wb");
  if (f == nullptr) return false;
  // Null packets, and every tenth packet a PCR of PID 0x100 ten milliseconds after the last, so
  // the chosen file measures without a message when it is loaded.
  std::vector<unsigned char> bytes(size, 0xFF);
  for (size_t at = 0, n = 0; at + 188 <= size; at += 188, ++n) {
    bytes[at] = 0x47;
    bytes[at + 1] = 0x1F;
    bytes[at + 2] = 0xFF;
    bytes[at + 3] = 0x10;
    if (n % 10 != 0) continue;
    const uint64_t base = (1000 + n * 10) * 90;
    const unsigned char pcr[] = {0x01, 0x00, 0x20, 183, 0x10, uint8_t(base >> 25), uint8_t(base >> 17),
                                 uint8_t(base >> 9), uint8_t(base >> 1), uint8_t(((base & 1) << 7) | 0x7E), 0x00};
    memcpy(&bytes[at + 1], pcr, sizeof pcr);
  }
  bool ok = fwrite(bytes.data(), 1, size, f) == size;
  return fclose(f) == 0 && ok;
}

// The folder names of a full path after its root: Z:\a\b\ gives a, b.
std::vector<std::wstring> components(const std::wstring& folder) {
  std::vector<std::wstring> parts;
  size_t from = 3;
  for (size_t at; (at = folder.find(L'\\', from)) != std::wstring::npos; from = at + 1) {
    parts.push_back(folder.substr(from, at - from));
  }
  return parts;
}

// The path as the program spells it: a folder name without a CP932 form goes by its short name,
// as the chooser lists it.
std::wstring program_form(const std::wstring& path) {
  std::wstring out = path.substr(0, 3);
  for (const std::wstring& name : components(path)) {
    BOOL lossy = FALSE;
    WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, name.c_str(), -1, nullptr, 0, nullptr, &lossy);
    WIN32_FIND_DATAW found{};
    HANDLE h = lossy ? FindFirstFileW((out + name).c_str(), &found) : INVALID_HANDLE_VALUE;
    if (h != INVALID_HANDLE_VALUE) FindClose(h);
    out += (h != INVALID_HANDLE_VALUE && found.cAlternateFileName[0] != 0 ? found.cAlternateFileName : name) + L"\\";
  }
  return out;
}

// Browses from a relative input path to the recording and chooses it.
void choose_input(DWORD pid, HWND main, const std::wstring& programFolder, const std::wstring& recordingFolder,
                  const std::wstring& recording) {
  SendMessageW(GetDlgItem(main, res::kInputPath), WM_SETTEXT, 0, LPARAM(L"ORG.ts"));
  click(main, res::kBrowseInput);
  HWND c = wait_window(pid, L"#32770", wide("入力元TSファイル選択").c_str(), 20000);
  if (!check(c != nullptr, "input chooser opens with its caption")) return;
  const std::wstring root = recordingFolder.substr(0, 3);
  check_item(c, res::kChooserFolderText, root, "opens at the program's drive root");
  check(!IsWindowVisible(GetDlgItem(c, res::kChooserNewFile)), "no new-file button for the input");
  std::vector<std::wstring> drives = list_items(c, res::kChooserDrives);
  std::wstring driveText = root.substr(0, 1) + L" :";
  LRESULT sel = SendMessageW(GetDlgItem(c, res::kChooserDrives), LB_GETCURSEL, 0, 0);
  check(sel >= 0 && size_t(sel) < drives.size() && drives[size_t(sel)] == driveText,
        "the program's drive is selected in the drive list", driveText);

  std::wstring shown = root;
  for (const std::wstring& name : components(recordingFolder)) {
    if (!pick(c, res::kChooserFolders, name)) break;
    shown += name + L"\\";
    check_item(c, res::kChooserFolderText, shown, "one folder down");
  }
  // Up one level from a folder whose name ends in 表 (95 5C), and back.
  pick(c, res::kChooserFolders, L"..");
  std::wstring parent = shown.substr(0, shown.rfind(L'\\', shown.size() - 2) + 1);
  check_item(c, res::kChooserFolderText, parent, "\"..\" goes one level up");
  pick(c, res::kChooserFolders, components(shown).back());
  check_item(c, res::kChooserFolderText, recordingFolder, "back in the recording's folder");
  std::vector<std::wstring> files = list_items(c, res::kChooserFiles);
  check(files.size() == 1 && files[0] == recording, "only the recording is listed",
        files.empty() ? L"(none)" : files[0]);
  const FileStamp analysed = stamp_of(programFolder + L"DEMUX.txt");
  click(c, IDOK);
  check(wait_gone(pid, wide("入力元TSファイル選択")), "input chooser closes");
  check(wait_tool_run(programFolder, main, analysed), "the chosen recording's programmes analysed");
  check_item(main, res::kInputPath, recordingFolder + recording, "input field holds the chosen recording");
  check(item_text(main, res::kTotalTime) != L"00:00:00.000", "the chosen recording is loaded and measured",
        item_text(main, res::kTotalTime));
}

// Names an output in a new folder through the new-file dialog.
void choose_new_output(DWORD pid, HWND main, const std::wstring& recordingFolder, const std::wstring& recording,
                       const std::wstring& output) {
  SendMessageW(GetDlgItem(main, res::kOutputPath), WM_SETTEXT, 0, LPARAM((recordingFolder + L"x.ts").c_str()));
  click(main, res::kBrowseOutput);
  const std::wstring caption = wide("出力先TSファイル選択");
  HWND c = wait_window(pid, L"#32770", caption.c_str(), 20000);
  if (!check(c != nullptr, "output chooser opens with its caption")) return;
  check_item(c, res::kChooserFolderText, recordingFolder, "output chooser opens at the output's folder");
  check(IsWindowVisible(GetDlgItem(c, res::kChooserNewFile)) != FALSE, "new-file button shown for the output");
  click(c, res::kChooserNewFile);
  const std::wstring named = wide("新しいﾌｧｲﾙ名の入力");
  HWND n = wait_window(pid, L"#32770", named.c_str(), 20000);
  if (check(n != nullptr, "new-file dialog opens")) {
    check_item(n, res::kNewFileName, recordingFolder + recording, "new-file dialog proposes the selected file");
    SendMessageW(GetDlgItem(n, res::kNewFileName), WM_SETTEXT, 0, LPARAM(output.c_str()));
    click(n, IDOK);
    check(wait_gone(pid, named), "new-file dialog closes");
  }
  check(wait_gone(pid, caption), "output chooser closes with it");
  check_item(main, res::kOutputPath, output, "output field holds the new file");
}

}  // namespace

void run_path_chooser_scenario(const std::wstring& folder) {
  // 録画 ソ表 and 番組表: ソ (83 5C) and 表 (95 5C) hold the byte of a backslash.
  const std::wstring created = folder + wide("録画 ソ表\\番組表\\");
  const std::wstring recording = wide("ニュース.ts");
  CreateDirectoryW((folder + wide("録画 ソ表")).c_str(), nullptr);
  CreateDirectoryW(created.c_str(), nullptr);
  check(write_file(created + recording, 188 * 100), "recording written");
  write_file(created + wide("メモ.txt"), 10);
  const std::wstring recordingFolder = program_form(created);
  DeleteFileW((folder + L"kerfcut.DAT").c_str());  // fresh settings: the output field enabled

  std::wstring exe = folder + L"kerfcut.exe";
  std::wstring cmd = L"\"" + exe + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!check(CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &pi) !=
                 FALSE,
             "kerfcut.exe starts")) {
    return;
  }
  HWND frame = wait_window(pi.dwProcessId, L"KERFCUT:MAIN", nullptr);
  HWND main = frame != nullptr ? FindWindowExW(frame, nullptr, L"#32770", nullptr) : nullptr;
  if (check(main != nullptr, "main window appears")) {
    choose_input(pi.dwProcessId, main, folder, recordingFolder, recording);
    choose_new_output(pi.dwProcessId, main, recordingFolder, recording,
                      program_form(folder) + wide("新しい出力\\切り出し.ts"));
    PostMessageW(frame, WM_COMMAND, MAKEWPARAM(res::kMenuExit, 0), 0);
  }
  check(WaitForSingleObject(pi.hProcess, 30000) == WAIT_OBJECT_0, "program ends");
  TerminateProcess(pi.hProcess, 1);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
}
