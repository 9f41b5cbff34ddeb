// The cutter's one state record, Settings, saved whole in the settings file beside the program
// at exit and read back at start, and the program-wide values formed at start-up.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/path.h"

constexpr size_t kSettingsText = 260;      // fixed text fields: 259 characters + terminator
constexpr int kProgrammeListMax = 256;     // entries of the programme list box
constexpr uint32_t kSettingsVersion = 0x120;
constexpr size_t kSettingsHeaderSize = 14;  // "KERFCUT%04XHST" without terminator
constexpr size_t kSettingsReservedSize = 4;
constexpr int32_t kCutterPacketSize = 188;  // packetSize: the TS packet, the only size there is

struct ProgrammeList {
  int32_t videoPid[kProgrammeListMax];
  int32_t ordinal[kProgrammeListMax];  // 1-based NAME= block of DEMUX.txt, the n of PRGn.TS
  int32_t count;                       // valid entries, 0 to 256
};

// Saved byte for byte (little-endian, 4-byte packing), so the layout is fixed.
#pragma pack(push, 4)
struct Settings {
  int32_t reserved0;
  int32_t reserved1;
  char inputPathText[kSettingsText];
  char loadedInputPath[kSettingsText];
  char outputPath[kSettingsText];
  char playerPath[kSettingsText];
  char playerOptions[kSettingsText];
  int32_t playerOptionsEnabled;
  int32_t playSeconds;
  int32_t previewEnabled;
  int32_t stopDecodeOnError;
  int32_t totalTimeMethod;
  int32_t totalMs;
  int32_t bitrate;
  double inputSize;
  int32_t startPacket;
  int32_t startMs;
  int32_t endPacket;
  int32_t endMs;
  int32_t startPcrMs;
  int32_t endPcrMs;
  int32_t activePoint;
  int32_t programmeIndex;
  int32_t DemuxMode;
  int32_t pcrPid;
  ProgrammeList programmeList;
  int32_t packetSize;
  int32_t reserved2;
};
#pragma pack(pop)

static_assert(sizeof(Settings) == 3444);
static_assert(offsetof(Settings, inputPathText) == 8);
static_assert(offsetof(Settings, loadedInputPath) == 268);
static_assert(offsetof(Settings, outputPath) == 528);
static_assert(offsetof(Settings, playerPath) == 788);
static_assert(offsetof(Settings, playerOptions) == 1048);
static_assert(offsetof(Settings, playerOptionsEnabled) == 1308);
static_assert(offsetof(Settings, playSeconds) == 1312);
static_assert(offsetof(Settings, totalTimeMethod) == 1324);
static_assert(offsetof(Settings, bitrate) == 1332);
static_assert(offsetof(Settings, inputSize) == 1336);
static_assert(offsetof(Settings, startPacket) == 1344);
static_assert(offsetof(Settings, activePoint) == 1368);
static_assert(offsetof(Settings, DemuxMode) == 1376);
static_assert(offsetof(Settings, pcrPid) == 1380);
static_assert(offsetof(Settings, programmeList) == 1384);
static_assert(offsetof(Settings, programmeList) + offsetof(ProgrammeList, ordinal) == 2408);
static_assert(offsetof(Settings, programmeList) + offsetof(ProgrammeList, count) == 3432);
static_assert(offsetof(Settings, packetSize) == 3436);
static_assert(offsetof(Settings, reserved2) == 3440);

constexpr size_t kSettingsFileSize = kSettingsHeaderSize + kSettingsReservedSize + sizeof(Settings);
static_assert(kSettingsFileSize == 3462);

// The programme ordinal of the selected entry of the programme list (programmeIndex); 0, which no
// NAME= block has, when the list has no such entry.
int32_t selected_ordinal(const Settings& s);

// Every field at its default. programFolder and systemFolder are full paths; their roots (such as
// C:\) are the drives the default paths are formed on.
void settings_defaults(Settings& s, const char* programFolder, const char* systemFolder);

// The settings file of a program file: its ".EXE" (any case) replaced by ".DAT", otherwise
// ".DAT" appended, so it is never the program itself. false (out empty) when the result would not
// fit a path buffer; the program then neither reads nor writes settings.
bool settings_file_path(const char* programPath, char* out);

// Reads the file over s. A missing file changes nothing; a file with a wrong header, or one that
// ends before the record does, is deleted (bytes read into s before the end stay). Every text
// field ends in a terminator afterwards, whatever the file held. Returns 0 when the whole record
// was read, 1 when the file was missing, 2 when it was deleted.
int settings_read(Settings& s, const char* path);
// Writes header, four zero bytes and the record; a short write deletes the file. 0 on success.
int settings_write(const Settings& s, const char* path);

// The program-wide values of kerfcut (not saved).
struct ProgramPaths {
  char programFolder[kPathBuffer];  // ends in the separator
  char settingsPath[kPathBuffer];
  char toolPath[kPathBuffer];       // "%sKERFDMX.EXE" with programFolder
};

// Forms the three paths from the program's own path; false when one of them would not fit.
bool program_paths_from(const char* programPath, ProgramPaths& out);
