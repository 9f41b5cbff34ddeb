// The preview end to end under Wine: a recording of the sample clip loaded by typing its path and
// pressing 149, the preview window's picture at two positions compared with ffmpeg's decode of
// the same pictures, the status line, and the video information box.
#pragma once
#include <string>

// Runs the scenario against kerfcut.exe in folder (ending in a backslash), saving a screenshot of
// the main window beside its preview in shots. The clip and ffmpeg's decode of it (planar 4:2:0)
// are named by the environment variables KERF_SAMPLE_CLIP and KERF_CLIP_YUV (Windows paths).
// Returns the number of its failed checks (already counted in failures).
int run_preview_scenario(const std::wstring& folder, const std::wstring& shots);
