// The cut end to end under Wine: a recording loaded by typing its path and pressing 149, its
// programmes in 145, cuts in modes 0 and 1 compared with kerfdmx run directly, a cancel through
// the progress window, and the input refused as output under another spelling.
#pragma once
#include <string>

// Runs the scenario against kerfcut.exe in folder (ending in a backslash) and returns the number
// of its failed checks (already counted in failures, tests/e2e/driver_util.h). When typing a path and pressing 149 loads nothing (a build whose update button
// does not load yet), it says so on one line and returns 0.
int run_cut_scenario(const std::wstring& folder);
