// Output files and the two writing modes (see output_writers.h).
#include "demux/output_writers.h"

int OutputFiles::Open(const DemuxControl& control, bool append) {
  Close();
  for (int i = 0; i < control.outputCount; ++i) {
    files_[i] = RawFile(control.outputs[i].path, append ? "ab" : "wb");
    if (!files_[i].ok()) {
      Close();
      return i;
    }
    count_ = i + 1;
  }
  return -1;
}

bool OutputFiles::Close() {
  bool ok = true;
  for (RawFile& f : files_)
    if (f.Close() == 0) ok = false;
  count_ = 0;
  return ok;
}

void AllModeWriter::Start(RawHandle first) {
  first_ = first;
  runStart_ = runEnd_ = nullptr;
}

bool AllModeWriter::Flush() {
  const uint8_t* const start = runStart_;
  const size_t n = size_t(runEnd_ - runStart_);
  runStart_ = runEnd_ = nullptr;
  if (n == 0 || first_ == kInvalidRawHandle || raw_write(start, 1, n, first_) == n) return true;
  keep_whole_packets(first_);
  return false;
}

void keep_whole_packets(RawHandle output) {
  // A device (/dev/full) cannot be cut; it holds nothing to keep either.
  raw_cut_to_whole(output, kPacketSize);
}

void build_service_pat(const uint8_t* packet, uint16_t transportStreamId, uint8_t version,
                       const Service& service, bool networkEntry, uint8_t* out) {
  std::memset(out, 0xFF, kPacketSize);
  out[0] = packet[0];
  out[1] = packet[1];
  out[2] = packet[2];
  out[3] = uint8_t(0x10 | (packet[3] & 0x0F));   // payload only, not scrambled, same counter
  out[4] = 0;                                    // pointer_field
  uint8_t* sec = out + 5;
  const int entries = networkEntry ? 2 : 1;
  const uint32_t sectionLength = 4 * entries + 9;
  sec[0] = 0x00;                                 // table_id: program_association_section
  sec[1] = uint8_t(0xB0 | (sectionLength >> 8));
  sec[2] = uint8_t(sectionLength);
  sec[3] = uint8_t(transportStreamId >> 8);
  sec[4] = uint8_t(transportStreamId);
  sec[5] = uint8_t(0xC1 | ((version & 0x1F) << 1));
  sec[6] = 0;                                    // section_number
  sec[7] = 0;                                    // last_section_number
  uint8_t* entry = sec + 8;
  auto put = [&entry](uint32_t number, uint32_t pid) {
    entry[0] = uint8_t(number >> 8);
    entry[1] = uint8_t(number);
    entry[2] = uint8_t(0xE0 | ((pid >> 8) & 0x1F));
    entry[3] = uint8_t(pid);
    entry += 4;
  };
  if (networkEntry) put(0x0000, kNitPid);        // network_PID entry
  put(service.serviceId, service.pmtPid);
  const uint32_t crc = crc32_mpeg2(sec, uint32_t(entry - sec));
  entry[0] = uint8_t(crc >> 24);
  entry[1] = uint8_t(crc >> 16);
  entry[2] = uint8_t(crc >> 8);
  entry[3] = uint8_t(crc);
}

DemuxModeWriter::DemuxModeWriter()
    : buffers_(new uint8_t[kMaxOutputs * kDemuxGatherSize]),
      pidSets_(new uint8_t[kMaxOutputs * kPidSetBytes]) {
  for (int& m : matched_) m = -1;
}

void DemuxModeWriter::Start(const DemuxControl& control, const OutputFiles& files,
                            const TableLayer& tables, bool keepNetworkEntry) {
  control_ = &control;
  files_ = &files;
  tables_ = &tables;
  keepNetworkEntry_ = keepNetworkEntry;
  outputCount_ = files.count();
  matchTable_ = -2;
  matchServiceCount_ = -1;
  for (int& m : matched_) m = -1;
  for (size_t& n : used_) n = 0;
  std::memset(pidSets_.get(), 0, kMaxOutputs * kPidSetBytes);
  for (int i = 0; i < outputCount_; ++i) {
    const DemuxOutputDesc& desc = control.outputs[i];
    uint8_t* set = pidSets_.get() + size_t(i) * kPidSetBytes;
    for (int k = 0; k < desc.pidCount; ++k)
      if (desc.pids[k] <= kTsNullPid) set[desc.pids[k] >> 3] |= uint8_t(1u << (desc.pids[k] & 7));
  }
}

void DemuxModeWriter::MatchServices(int current, int serviceCount) {
  matchTable_ = current;
  matchServiceCount_ = serviceCount;
  for (int i = 0; i < outputCount_; ++i) {
    matched_[i] = -1;
    if (current < 0) continue;
    const DemuxOutputDesc& desc = control_->outputs[i];
    const ProgrammeTable& table = tables_->table(current);
    const int services = table.serviceCount < kMaxServices ? table.serviceCount : kMaxServices;
    for (int k = 0; k < desc.pidCount && matched_[i] < 0; ++k) {
      for (int s = 0; s < services; ++s) {
        const Service& svc = table.services[s];
        if (desc.serviceId != 0 ? desc.serviceId == svc.serviceId : desc.pids[k] == svc.pmtPid) {
          matched_[i] = s;
          break;
        }
      }
    }
  }
}

bool DemuxModeWriter::Flush() {
  bool ok = true;
  for (int i = 0; i < kMaxOutputs; ++i) {
    const size_t n = used_[i];
    if (n == 0) continue;
    used_[i] = 0;
    if (raw_write(buffers_.get() + size_t(i) * kDemuxGatherSize, 1, n, files_->handle(i)) != n) {
      keep_whole_packets(files_->handle(i));
      ok = false;
    }
  }
  return ok;
}
