// MyDialog: loading and measuring the input, from the update button, a file dropped onto the
// window or the command line.
#include <cstdio>
#include <cstring>

#include "common/path.h"
#include "common/timefmt.h"
#include "core/input_measure.h"
#include "core/positions.h"
#include "cutter/main_dialog.h"
#include "ui/window_sink.h"

void MyDialog::LoadInput() {
  Settings& s = state_.settings;
  char buf[64];
  std::snprintf(s.loadedInputPath, kSettingsText, "%s", s.inputPathText);
  s.inputSize = path_file_size(s.loadedInputPath);
  fileSize_.SetText(size_to_text(s.inputSize, buf));
  pcrRange_.SetText("");

  s.activePoint = kStart;
  ShowMarkers();
  s.startPacket = 0;
  s.endPacket = packet_count(s.inputSize, s.packetSize);
  ShowPacket(startPacket_, s.startPacket);
  ShowPacket(endPacket_, s.endPacket);
  s.programmeIndex = 0;
  programmes_.SetSelIndex(0);

  AnalyseProgrammes();
  // On failure the reason has been shown and the total is 0: the fields then show 00:00:00.000
  // and a bitrate of 0, and every packet number converts to the time 0.
  MeasureInput(s.loadedInputPath, s.inputSize);
  ShowTime(totalTime_, s.totalMs);
  BitrateFromTotal();
}

int MyDialog::MeasureInput(const char* path, double size) {
  Settings& s = state_.settings;
  PcrScanner scanner(state_.readBuffer.get(), s.packetSize);
  ui::WindowSink sink(*this);
  const int result = scanner.MeasureInput(path, size, s.totalTimeMethod, sink);
  const InputMeasurement& m = scanner.result();
  s.totalMs = m.totalMs;
  s.startPcrMs = m.startPcrMs;
  s.endPcrMs = m.endPcrMs;
  s.pcrPid = m.pcrPid;
  return result;
}

void MyDialog::DropFiles(ui::DroppedFiles& files) {
  // Only the first of several files is taken, as one input is loaded at a time.
  char path[kPathBuffer];
  if (Busy() || files.Path(0, path, sizeof path) == 0) return;
  // As if chosen with the browse button: shown in the input field and loaded from there.
  inputPath_.SetText(path);
  UpdateInput();
}

void MyDialog::SetStartInput(const char* path) { std::snprintf(startInput_, sizeof startInput_, "%s", path); }

intptr_t MyDialog::OnOpenStartInput(ui::Message&) {
  inputPath_.SetText(startInput_);
  startInput_[0] = '\0';
  UpdateInput();
  return 0;
}

void command_line_input(const char* commandLine, char* out) {
  out[0] = '\0';
  const char* p = commandLine;
  auto skip_blanks = [&p] {
    while (*p == ' ' || *p == '\t') ++p;
  };
  // The program's own name, quoted or not.
  skip_blanks();
  if (*p == '"') {
    for (++p; *p != '\0' && *p != '"'; ++p) {
    }
    if (*p == '"') ++p;
  } else {
    while (*p != '\0' && *p != ' ' && *p != '\t') ++p;
  }
  skip_blanks();
  const char* begin = p;
  const char* end;
  if (*p == '"') {
    begin = ++p;
    while (*p != '\0' && *p != '"') ++p;
    end = p;
  } else {
    // A shortcut may carry a path with blanks and no quotes: take the rest of the line.
    end = p + std::strlen(p);
    while (end > begin && (end[-1] == ' ' || end[-1] == '\t')) --end;
  }
  const size_t n = size_t(end - begin);
  if (n == 0 || n > kPathMax) return;
  std::memcpy(out, begin, n);
  out[n] = '\0';
}
