// The path chooser end to end: browsing to a recording and to a new output from the main window.
#pragma once
#include <string>

// Starts kerfcut.exe from the program folder (ending in '\') with fresh settings, browses with
// the real chooser, and closes the program.
// Failed checks count in the driver's total; each prints one line.
void run_path_chooser_scenario(const std::wstring& folder);
