// The control files a cut hands to the demux tool: "MODE=ALL" with the output name, or the block
// of one programme cut out of the programme-structure file with the output name in place of the
// programme's own file. Both programs' texts are Shift-JIS with CR LF line ends on disk.
#pragma once
#include <cstdint>

enum class ControlWrite { Ok, NoStructure, CannotCreate };

// Writes "MODE=ALL" and "NAME=outputPath" to controlPath.
ControlWrite write_all_control(const char* controlPath, const char* outputPath);

// Copies block number ordinal (1-based NAME= block) of the structure file to controlPath, the
// mode line becoming "MODE=DEMUX" and an empty line, the block's NAME= line naming outputPath,
// comment and empty lines left out. Lines are taken in pieces of at most 254 characters.
ControlWrite write_programme_control(const char* structurePath, int32_t ordinal,
                                     const char* outputPath, const char* controlPath);
