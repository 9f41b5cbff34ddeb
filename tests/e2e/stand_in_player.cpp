// A stand-in for the external TS player in the end-to-end test: a console program that records
// its whole command line, the file its last (quoted) argument names and that file's size, as
// UTF-16 lines in "played.txt" beside itself, and ends. The record is written under another name
// and then moved into place, so a reader never sees half of it.
#include <windows.h>

#include <string>

int wmain() {
  const std::wstring line = GetCommandLineW();
  std::wstring clip;
  const size_t close = line.find_last_not_of(L" \t");
  if (close != std::wstring::npos && close > 0 && line[close] == L'"') {
    const size_t open = line.rfind(L'"', close - 1);
    if (open != std::wstring::npos) clip = line.substr(open + 1, close - open - 1);
  }
  long long size = -1;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!clip.empty() && GetFileAttributesExW(clip.c_str(), GetFileExInfoStandard, &data)) {
    size = (long long)data.nFileSizeHigh << 32 | data.nFileSizeLow;
  }
  wchar_t self[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return 1;
  std::wstring folder(self, n);
  folder.resize(folder.find_last_of(L'\\') + 1);
  const std::wstring record = line + L"\n" + clip + L"\n" + std::to_wstring(size) + L"\n";
  const std::wstring part = folder + L"played.part", done = folder + L"played.txt";
  HANDLE f = CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  const DWORD bytes = DWORD(record.size() * sizeof(wchar_t));
  const bool ok = WriteFile(f, record.data(), bytes, &written, nullptr) && written == bytes;
  CloseHandle(f);
  return ok && MoveFileExW(part.c_str(), done.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
