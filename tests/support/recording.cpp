// Recordings on disk: unique temporary folders that clean up after themselves, whole-file I/O.
#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

#include "tests/support/stream_builder.h"

namespace tsb {

namespace fs = std::filesystem;

TempDir::TempDir() {
  // temp_directory_path() honours $TMPDIR (then /tmp) on POSIX and GetTempPath on Windows.
  static std::atomic<unsigned> serial{0};
  std::random_device rd;
  const fs::path base = fs::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = "kerf-test-" + std::to_string(rd()) + "-" + std::to_string(serial++);
    const fs::path dir = base / name;
    std::error_code ec;
    if (fs::create_directory(dir, ec)) {   // false when it already exists: try another name
      path_ = dir.string();
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder under " + base.string());
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(fs::path(path_), ec);
}

std::string TempDir::File(std::string_view name) const {
  return (fs::path(path_) / fs::path(std::string(name))).string();
}

std::string TempDir::Write(std::string_view name, const Bytes& bytes) const {
  std::string full = File(name);
  WriteFile(full, bytes);
  return full;
}

void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(fs::path(path), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path);
}

Bytes ReadFile(const std::string& path) {
  std::ifstream in(fs::path(path), std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path);
  Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw std::runtime_error("cannot read " + path);
  return bytes;
}

}  // namespace tsb
