// The external player end to end under Wine: a stand-in player program set through the player
// settings dialog, a clip played from the start row, and the options dialog.
#pragma once
#include <string>

// Runs the scenario against kerfcut.exe in folder (ending in a backslash) with the stand-in player
// program standIn (tests/e2e/stand_in_player.cpp) and returns the number of its failed checks
// (already counted in failures, tests/e2e/driver_util.h).
int run_player_scenario(const std::wstring& folder, const std::wstring& standIn);
