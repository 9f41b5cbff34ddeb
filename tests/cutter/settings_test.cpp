// Settings: the file name beside the program, the defaults, and the settings file's reading rules.
#include "cutter/settings.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <string>

#include "tests/support/stream_builder.h"

namespace {

std::string file_name(const char* program) {
  char out[kPathBuffer];
  EXPECT_TRUE(settings_file_path(program, out));
  return out;
}

class SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_defaults(defaults_, "/prog/", "/");
    path_ = dir_.File("kerfcut.DAT");
  }
  bool exists() const { return access(path_.c_str(), F_OK) == 0; }
  // A whole file holding `s` with the given header.
  tsb::Bytes image(const Settings& s, const char* header = "KERFCUT0120HST") const {
    tsb::Bytes b(header, header + 14);
    b.insert(b.end(), {0, 0, 0, 0});
    const auto* p = reinterpret_cast<const uint8_t*>(&s);
    b.insert(b.end(), p, p + sizeof s);
    return b;
  }

  tsb::TempDir dir_;
  std::string path_;
  Settings defaults_;
};

}  // namespace

TEST(SettingsFileName, ExtensionExeInAnyCaseBecomesDat) {
  EXPECT_EQ(file_name("C:\\KERF\\KERFCUT.EXE"), "C:\\KERF\\KERFCUT.DAT");
  EXPECT_EQ(file_name("C:\\KERF\\kerfcut.exe"), "C:\\KERF\\kerfcut.DAT");
  EXPECT_EQ(file_name("C:\\KERF\\KerfCut.Exe"), "C:\\KERF\\KerfCut.DAT");
  EXPECT_EQ(file_name("/opt/kerf/a.exe"), "/opt/kerf/a.DAT");
}

TEST(SettingsFileName, OtherNamesGetDatAppendedAndNeverNameTheProgram) {
  EXPECT_EQ(file_name("/opt/kerf/kerfcut"), "/opt/kerf/kerfcut.DAT");
  EXPECT_EQ(file_name("C:\\KERF\\KERFCUT.COM"), "C:\\KERF\\KERFCUT.COM.DAT");
  EXPECT_EQ(file_name(".EXE"), ".EXE.DAT");  // four characters only: not "longer than 4"
  EXPECT_EQ(file_name("C:\\KERF\\KERFCUT.EXE.BAK"), "C:\\KERF\\KERFCUT.EXE.BAK.DAT");
}

TEST(SettingsFileName, NameThatWouldNotFitIsRefused) {
  std::string longName = "/" + std::string(kPathMax - 3, 'a');
  char out[kPathBuffer];
  EXPECT_FALSE(settings_file_path(longName.c_str(), out));
  EXPECT_STREQ(out, "");
  std::string longExe = "/" + std::string(kPathMax - 5, 'a') + ".exe";  // replacing keeps the length
  EXPECT_TRUE(settings_file_path(longExe.c_str(), out));
  EXPECT_EQ(strlen(out), kPathMax);
}

TEST(ProgramPaths, FolderToolAndSettingsFileComeFromTheProgramPath) {
  ProgramPaths p;
  ASSERT_TRUE(program_paths_from("/work/kerf/kerfcut.exe", p));
  EXPECT_STREQ(p.programFolder, "/work/kerf/");
  EXPECT_STREQ(p.settingsPath, "/work/kerf/kerfcut.DAT");
  EXPECT_STREQ(p.toolPath, "/work/kerf/kerfdmx");
}

TEST_F(SettingsFile, WrittenFileIsHeaderReservedWordAndRecord) {
  Settings s = defaults_;
  s.totalMs = 123456;
  strcpy(s.inputPathText, "/録画/番組.ts");
  ASSERT_EQ(settings_write(s, path_.c_str()), 0);
  tsb::Bytes b = tsb::ReadFile(path_);
  ASSERT_EQ(b.size(), 3462u);
  EXPECT_EQ(b, image(s));

  Settings back = defaults_;
  EXPECT_EQ(settings_read(back, path_.c_str()), 0);
  EXPECT_EQ(memcmp(&back, &s, sizeof s), 0);
  EXPECT_TRUE(exists());
}

TEST_F(SettingsFile, MissingFileKeepsDefaults) {
  Settings s = defaults_;
  EXPECT_EQ(settings_read(s, path_.c_str()), 1);
  EXPECT_EQ(memcmp(&s, &defaults_, sizeof s), 0);
  EXPECT_FALSE(exists());
}

TEST_F(SettingsFile, HeaderOfAnotherVersionIsDeletedAndChangesNothing) {
  Settings other = defaults_;
  other.bitrate = 1;
  tsb::WriteFile(path_, image(other, "KERFCUT0110HST"));
  Settings s = defaults_;
  EXPECT_EQ(settings_read(s, path_.c_str()), 2);
  EXPECT_FALSE(exists());
  EXPECT_EQ(s.bitrate, 16500000);
}

TEST_F(SettingsFile, FileShorterThanTheHeaderIsDeleted) {
  tsb::WriteFile(path_, tsb::Bytes{'K', 'E', 'R', 'F'});
  Settings s = defaults_;
  EXPECT_EQ(settings_read(s, path_.c_str()), 2);
  EXPECT_FALSE(exists());
}

TEST_F(SettingsFile, FileOneByteShortIsDeletedButTheBytesReadStay) {
  Settings saved = defaults_;
  strcpy(saved.outputPath, "/out/cut.ts");
  saved.packetSize = 0x11223344;
  tsb::Bytes b = image(saved);
  b.pop_back();  // 3461 bytes
  tsb::WriteFile(path_, b);
  Settings s = defaults_;
  EXPECT_EQ(settings_read(s, path_.c_str()), 2);
  EXPECT_FALSE(exists());
  EXPECT_STREQ(s.outputPath, "/out/cut.ts");
  EXPECT_EQ(s.packetSize, 0x11223344);
}

TEST_F(SettingsFile, FileEndingInTheReservedWordIsDeleted) {
  tsb::Bytes b = image(defaults_);
  b.resize(16);
  tsb::WriteFile(path_, b);
  Settings s = defaults_;
  EXPECT_EQ(settings_read(s, path_.c_str()), 2);
  EXPECT_FALSE(exists());
}

TEST_F(SettingsFile, UnwritableFileIsReportedAndLeavesNothing) {
  std::string nowhere = dir_.File("no-such-folder/kerfcut.DAT");
  EXPECT_EQ(settings_write(defaults_, nowhere.c_str()), 1);
  EXPECT_NE(access(nowhere.c_str(), F_OK), 0);
}

TEST_F(SettingsFile, TextsWithoutTerminatorAreEndedInTheirField) {
  Settings s = defaults_;
  for (char* text : {s.inputPathText, s.loadedInputPath, s.outputPath, s.playerPath, s.playerOptions})
    std::memset(text, 'A', kSettingsText);
  tsb::WriteFile(path_, image(s));
  Settings back = defaults_;
  EXPECT_EQ(settings_read(back, path_.c_str()), 0);
  for (const char* text : {back.inputPathText, back.loadedInputPath, back.outputPath, back.playerPath,
                           back.playerOptions})
    EXPECT_EQ(strnlen(text, kSettingsText), kSettingsText - 1);

  // A file that ends inside a text leaves that text ended too.
  tsb::Bytes cut = image(s);
  cut.resize(18 + 8 + 100);
  tsb::WriteFile(path_, cut);
  back = defaults_;
  std::memset(back.inputPathText, 'B', kSettingsText);
  EXPECT_EQ(settings_read(back, path_.c_str()), 2);
  EXPECT_EQ(strnlen(back.inputPathText, kSettingsText), kSettingsText - 1);
}
