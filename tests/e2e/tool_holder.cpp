// A stand-in for the demux tool in the end-to-end test's cancel. Put into the program folder as
// KERFDMX.EXE with the real tool beside it as KERFDMX-REAL.EXE, it starts the real tool with the
// same arguments, suspended, and creates "tool.held" beside itself; once the test deletes that
// file (or after two minutes, so a failed test leaves nothing waiting) it lets the tool run and
// ends with the tool's exit status. The test thus holds the run for as long as it needs however
// fast the machine reads, with no state it must catch in passing.
#include <windows.h>

#include <string>

namespace {

constexpr DWORD kGiveUpMs = 120000;

// The command line after the program's own name, quoted or not.
std::wstring arguments() {
  const wchar_t* p = GetCommandLineW();
  if (*p == L'"') {
    for (++p; *p != L'\0' && *p != L'"'; ++p) {
    }
    if (*p == L'"') ++p;
  } else {
    while (*p != L'\0' && *p != L' ' && *p != L'\t') ++p;
  }
  return p;
}

}  // namespace

int wmain() {
  wchar_t self[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return 1;
  std::wstring folder(self, n);
  folder.resize(folder.find_last_of(L'\\') + 1);
  const std::wstring real = folder + L"KERFDMX-REAL.EXE", mark = folder + L"tool.held";
  std::wstring line = L"\"" + real + L"\"" + arguments();

  // The tool writes to this program's own standard handles, which the caller reads.
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(real.c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED | CREATE_NO_WINDOW, nullptr,
                      nullptr, &si, &pi)) {
    return 1;
  }
  const HANDLE f = CreateFileW(mark.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
  for (DWORD waited = 0; waited < kGiveUpMs && GetFileAttributesW(mark.c_str()) != INVALID_FILE_ATTRIBUTES;
       waited += 20) {
    Sleep(20);
  }
  ResumeThread(pi.hThread);
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return int(code);
}
