// Shared fixture of the cutter's flow tests: kerfcut started on the headless window system in a
// program folder holding a copy of the built kerfdmx, a recording of three programmes in a data
// folder, and the state a load of that recording leaves behind.
#pragma once
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "cutter/main_frame.h"
#include "tests/support/stream_builder.h"
#include "ui/headless/headless.h"

namespace flow {

constexpr size_t kPacket = 188;
constexpr size_t kRecordingPackets = 20000;

// PAT, PMTs and the video and audio of services 0x0400, 0x0401 and 0x0402 (video PIDs 0111,
// 0121 and 0131), made once.
const tsb::Bytes& recording();
tsb::Bytes packets(const tsb::Bytes& b, int32_t first, int32_t last);  // first to last inclusive
std::string text_of(const tsb::Bytes& b);
// Copies the built kerfdmx to path (the program folder's kerfdmx), so that the programme analysis
// of every load runs the real tool; nothing when KERF_BUILD_DIR is not set.
void install_kerfdmx(const std::string& path);

class CutterFlow : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // What a load of path leaves: 102 and loadedInputPath, the size, a total time of one
  // millisecond per packet (so times and packet numbers convert exactly), and the range.
  void Loaded(const std::string& path, int32_t start, int32_t end);
  void Type(int id, const std::string& text) { ui::headless::type_text(dialog_, id, text.c_str()); }
  void Click(int id) { ui::headless::click(dialog_, id); }
  void Choose(int id, int index) { ui::headless::choose(dialog_, id, index); }
  // Texts of the message boxes shown since the last call.
  std::vector<std::string> NewBoxes();
  const ui::headless::MessageBoxRecord& LastBox() const { return ui::headless::message_boxes().back(); }
  // Pumps the frame until the tool's completion arrived (a tool left running by a cancel).
  bool AwaitCompletion();
  // Runs the installed kerfdmx directly as a caller would, with the lock file present.
  int RunToolDirectly(const std::string& options);

  Settings& settings() { return app_->state().settings; }
  JobState& job() { return app_->state().job; }
  MyDialog& dialog() { return app_->dialog(); }
  std::string Prog(const std::string& name) const { return prog_.File(name); }
  std::string Data(const std::string& name) const { return data_.File(name); }
  std::vector<std::string> Items(int id) const { return ui::headless::control(dialog_, id)->control.items; }

  tsb::TempDir prog_, data_;
  std::string input_;
  std::unique_ptr<TMyApp> app_;
  ui::Handle dialog_ = 0;
  size_t boxesSeen_ = 0;
};

// A FIFO standing in for a recording or an output, so that a run can be caught in the middle:
// the tool blocks on it until the run's lock file is gone, after which it is fed the rest or
// drained to the end. Every wait gives up after 60 s, so a failing test cannot hang.
class GatedFifo {
 public:
  // The tool reads path: head at once, tail once lockPath is gone.
  static std::unique_ptr<GatedFifo> Feeding(const std::string& path, const std::string& lockPath,
                                            tsb::Bytes head, tsb::Bytes tail);
  // The tool writes path: nothing is taken from it until lockPath is gone, then all of it.
  static std::unique_ptr<GatedFifo> Draining(const std::string& path, const std::string& lockPath);
  ~GatedFifo();
  // What was drained; call it once the tool has closed its output (after its completion).
  tsb::Bytes Received();

 private:
  GatedFifo() = default;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  tsb::Bytes received_;
};

}  // namespace flow
