// MyDialog: the commands that edit the cut range. Packet numbers and times are tied by proportion
// through the input size and the total time; every command re-reads the fields it works from,
// writes the normalised values back, and ends with the preview of the edited position.
#include <cstdio>

#include "common/timefmt.h"
#include "core/positions.h"
#include "cutter/main_dialog.h"

namespace {

constexpr int kBarPage = 10;           // thumb positions moved by a page click
constexpr size_t kFieldText = 260;     // what is read of a field: more than any value needs

// The step buttons and how far each moves the edited time.
struct Step {
  int id;
  int32_t deltaMs;
};
constexpr Step kSteps[] = {
    {res::kStepAhead100ms, 100},    {res::kStepBack100ms, -100},    {res::kStepAhead500ms, 500},
    {res::kStepBack500ms, -500},    {res::kStepAhead1s, 1000},      {res::kStepBack1s, -1000},
    {res::kStepAhead5s, 5000},      {res::kStepBack5s, -5000},      {res::kStepAhead20s, 20000},
    {res::kStepBack20s, -20000},    {res::kStepAhead1min, 60000},   {res::kStepBack1min, -60000},
    {res::kStepAhead5min, 300000},  {res::kStepBack5min, -300000},  {res::kStepAhead10min, 600000},
    {res::kStepBack10min, -600000}, {res::kStepAhead30min, 1800000}, {res::kStepBack30min, -1800000},
};

}  // namespace

struct MyDialog::Row {
  ui::Edit& packetField;
  ui::Edit& timeField;
  int32_t& packet;
  int32_t& ms;
};

MyDialog::Row MyDialog::RowOf(Point p) {
  Settings& s = state_.settings;
  if (p == kEnd) return Row{endPacket_, endTime_, s.endPacket, s.endMs};
  return Row{startPacket_, startTime_, s.startPacket, s.startMs};
}

int32_t MyDialog::ReadTime(const ui::Edit& field) {
  char buf[kFieldText];
  field.GetText(buf, sizeof buf);
  return text_to_ms(buf);
}

void MyDialog::ShowTime(ui::Edit& field, int32_t ms) {
  char buf[16];
  field.SetText(ms_to_text(ms, buf));
}

void MyDialog::ShowPacket(ui::Edit& field, int32_t packet) {
  char buf[16];
  field.SetText(packet_to_text(packet, buf));
}

void MyDialog::ShowBitrate() {
  char buf[32];
  bitrate_.SetText(bitrate_to_text(state_.settings.bitrate, buf));
}

int32_t MyDialog::ReadTotal() { return state_.settings.totalMs = ReadTime(totalTime_); }

void MyDialog::TimesToPackets() {
  if (Busy()) return;
  Settings& s = state_.settings;
  const int32_t total = ReadTotal();
  for (Point p : {kStart, kEnd}) {
    Row r = RowOf(p);
    int32_t t = ReadTime(r.timeField);
    if (t > total) t = total;
    r.ms = t;
    ShowTime(r.timeField, t);
    r.packet = ms_to_packet(t, s.inputSize, total, s.packetSize);
    ShowPacket(r.packetField, r.packet);
  }
  SyncScroll();
  RefreshPreview();
}

void MyDialog::PacketsToTimes() {
  if (Busy()) return;
  Settings& s = state_.settings;
  const int32_t total = ReadTotal();
  const int32_t count = packet_count(s.inputSize, s.packetSize);
  for (Point p : {kStart, kEnd}) {
    Row r = RowOf(p);
    char buf[kFieldText];
    r.packetField.GetText(buf, sizeof buf);
    text_to_packet(buf, r.packet);  // a text without hexadecimal digits keeps the value
    r.packet = limit_packet(r.packet, count);
    ShowPacket(r.packetField, r.packet);
    r.ms = packet_to_ms(r.packet, s.inputSize, total, s.packetSize);
    ShowTime(r.timeField, r.ms);
  }
  SyncScroll();
  RefreshPreview();
}

void MyDialog::CopyPosition(Point from, Point to) {
  if (Busy()) return;
  Settings& s = state_.settings;
  const int32_t total = ReadTotal();
  Row src = RowOf(from), dst = RowOf(to);
  int32_t t = ReadTime(src.timeField);
  if (t > total) t = total;
  src.ms = dst.ms = t;
  ShowTime(src.timeField, t);
  ShowTime(dst.timeField, t);
  src.packet = dst.packet = ms_to_packet(t, s.inputSize, total, s.packetSize);
  ShowPacket(src.packetField, src.packet);
  ShowPacket(dst.packetField, dst.packet);
  SyncScroll();
  RefreshPreview();
}

void MyDialog::CopyStartToEnd() { CopyPosition(kStart, kEnd); }
void MyDialog::CopyEndToStart() { CopyPosition(kEnd, kStart); }

void MyDialog::SelectPoint(Point p) {
  if (Busy()) return;
  state_.settings.activePoint = p;
  ShowMarkers();
  SyncScroll();
  RefreshPreview();
}

void MyDialog::SelectStart() { SelectPoint(kStart); }
void MyDialog::SelectEnd() { SelectPoint(kEnd); }

void MyDialog::StepPosition(int id) {
  if (Busy()) return;
  const Step* step = nullptr;
  for (const Step& s : kSteps) {
    if (s.id == id) step = &s;
  }
  if (step == nullptr) return;
  const int32_t total = ReadTotal();
  Row r = RowOf(state_.settings.activePoint == kEnd ? kEnd : kStart);
  ShowTime(r.timeField, step_time(ReadTime(r.timeField), step->deltaMs, total));
  TimesToPackets();
}

void MyDialog::TotalFromBitrate() {
  if (Busy()) return;
  Settings& s = state_.settings;
  char buf[kFieldText];
  bitrate_.GetText(buf, sizeof buf);
  s.bitrate = text_to_bitrate(buf);
  ShowBitrate();
  s.totalMs = bitrate_to_total(s.bitrate, s.inputSize);
  ShowTime(totalTime_, s.totalMs);
  PacketsToTimes();
}

void MyDialog::BitrateFromTotal() {
  if (Busy()) return;
  Settings& s = state_.settings;
  ShowTime(totalTime_, ReadTotal());
  s.bitrate = total_to_bitrate(s.totalMs, s.inputSize);
  ShowBitrate();
  PacketsToTimes();
}

void MyDialog::ScrollPosition(int code, int thumb) {
  if (Busy()) return;
  Settings& s = state_.settings;
  int min = 0, max = 0;
  positionBar_.GetRange(min, max);
  int pos = positionBar_.GetPosition();
  bool set = true;
  switch (code) {
    case ui::kSbLineLeft:
    case ui::kSbLeft:
      if (pos > min) --pos;
      break;
    case ui::kSbLineRight:
    case ui::kSbRight:
      if (pos < max) ++pos;
      break;
    case ui::kSbPageLeft:
      if (pos - kBarPage > min) pos -= kBarPage;
      break;
    case ui::kSbPageRight:
      if (pos + kBarPage < max) pos += kBarPage;
      break;
    case ui::kSbThumbPosition:
    case ui::kSbThumbTrack:
      // The bar reports a place on itself; kept within its range all the same.
      pos = thumb < min ? min : thumb > max ? max : thumb;
      break;
    default:  // the end of a scroll action: the position stands
      set = false;
      break;
  }
  if (set) positionBar_.SetPosition(pos);
  if (max - min <= 0) return;
  const int32_t total = ReadTotal();
  Row r = RowOf(s.activePoint == kEnd ? kEnd : kStart);
  r.packet = scroll_packet_at(pos, s.inputSize, min, max, s.packetSize);
  ShowPacket(r.packetField, r.packet);
  r.ms = packet_to_ms(r.packet, s.inputSize, total, s.packetSize);
  ShowTime(r.timeField, r.ms);
  RefreshPreview();
}

int32_t MyDialog::ReadPlaySeconds() {
  Settings& s = state_.settings;
  char buf[32];
  playSeconds_.GetText(buf, sizeof buf);
  s.playSeconds = normalise_play_seconds(buf);
  std::snprintf(buf, sizeof buf, "%d", s.playSeconds);
  playSeconds_.SetText(buf);
  return s.playSeconds;
}

void MyDialog::PlayBefore(Point p) {
  if (Busy()) return;
  TimesToPackets();
  const Settings& s = state_.settings;
  const int32_t seconds = ReadPlaySeconds();
  const PacketRange range = play_range_before(RowOf(p).ms, seconds, s.inputSize, s.totalMs, s.packetSize);
  PlayClip(range.from, range.to);
}

void MyDialog::PlayAfter(Point p) {
  if (Busy()) return;
  TimesToPackets();
  const Settings& s = state_.settings;
  const int32_t seconds = ReadPlaySeconds();
  const PacketRange range = play_range_after(RowOf(p).ms, seconds, s.inputSize, s.totalMs, s.packetSize);
  PlayClip(range.from, range.to);
}
