// Operating-system services the windowed program needs beyond platform/: its own file's path,
// the system folder and deleting files. Texts are CP932.
#pragma once

namespace ui {

// Full path of the running program (GetModuleFileNameW converted; POSIX: /proc/self/exe).
const char* program_path();
// The system folder ending without a separator (GetSystemDirectoryW; POSIX: "/").
const char* system_folder();
// Deletes a file; a missing file is no error. true when the file is gone.
bool delete_file(const char* path);

}  // namespace ui
