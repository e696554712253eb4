// Shared pieces of the file and picture transfer tests: a scratch directory, whole files,
// blocks and Texts made from strings, and a file seam that counts opens and closes and can
// fail the Nth read, write or close.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "host/fourd_params.h"
#include "host/toolbox.h"
#include "platform/files.h"

namespace files_test {

namespace fs = std::filesystem;

// A directory of its own under the system's temporary directory, removed with its contents.
class ScratchDir {
 public:
  ScratchDir() {
    std::random_device seed;
    do {
      path_ = fs::temp_directory_path() / ("nimbus-files-" + std::to_string(seed()));
    } while (!fs::create_directory(path_));
  }
  ~ScratchDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  std::string path() const { return path_.string(); }

 private:
  fs::path path_;
};

inline std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteWhole(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

// FNV-1a, 64 bits: compares what was sent with what arrived.
inline uint64_t Checksum(const std::string& bytes) {
  uint64_t hash = 0xCBF29CE484222325ull;
  for (unsigned char c : bytes) hash = (hash ^ c) * 0x100000001B3ull;
  return hash;
}

// Bytes in which every value occurs, CRs included; with noMarkers, no 0xFF (so no JPEG
// marker either).
inline std::string PatternBytes(size_t size, uint32_t seed = 1, bool noMarkers = false) {
  std::string bytes(size, '\0');
  std::mt19937 generator(seed);
  for (char& c : bytes) c = char(generator() % (noMarkers ? 0xFF : 0x100));
  return bytes;
}

inline Handle BlockOf(const std::string& bytes) {
  Handle h = NewHandle(Size(bytes.size()));
  if (h != nullptr && !bytes.empty()) BlockMove(bytes.data(), *h, Size(bytes.size()));
  return h;
}

// A Text record owning its block for the test's scope; the length may differ from the block.
class OwnedText {
 public:
  explicit OwnedText(const std::string& s) : text_{int16_t(s.size()), BlockOf(s)} {}
  OwnedText(const std::string& s, int16_t length) : text_{length, BlockOf(s)} {}
  ~OwnedText() { DisposeHandle(text_.handle); }
  FourDText& operator*() { return text_; }

 private:
  FourDText text_;
};

// Replaces the file calls while it lives: counts opens and closes, and fails the Nth call
// (counted from its creation, 1-based) of read, write or close with the given error.
class CountingFiles {
 public:
  CountingFiles() {
    s() = State{};
    auto& calls = nimbus::platform::Files();
    calls.open = [](const char* path, nimbus::platform::FileMode mode) {
      s().injected = false;
      const auto file = System().open(path, mode);
      s().opens += file != nimbus::platform::kInvalidFile;
      return file;
    };
    calls.read = [](nimbus::platform::File f, void* buffer, int32_t n) {
      return ++s().reads == s().failRead ? Injected() : System().read(f, buffer, n);
    };
    calls.write = [](nimbus::platform::File f, const void* data, int32_t n) {
      return ++s().writes == s().failWrite ? Injected() : System().write(f, data, n);
    };
    calls.close = [](nimbus::platform::File f) {
      const int32_t result = System().close(f);
      return ++s().closes == s().failClose ? Injected() : result;
    };
    calls.lastError = [] { return s().injected ? s().error : System().lastError(); };
  }
  ~CountingFiles() { nimbus::platform::ResetFileCalls(); }

  int32_t opens() const { return s().opens; }
  int32_t stillOpen() const { return s().opens - s().closes; }
  void FailRead(int32_t n, int32_t error) { s().failRead = s().reads + n, s().error = error; }
  void FailWrite(int32_t n, int32_t error) { s().failWrite = s().writes + n, s().error = error; }
  void FailClose(int32_t n, int32_t error) { s().failClose = s().closes + n, s().error = error; }

 private:
  struct State {
    int32_t opens = 0, closes = 0, reads = 0, writes = 0;
    int32_t failRead = 0, failWrite = 0, failClose = 0, error = 0;
    bool injected = false;
  };
  static State& s() {
    static State state;
    return state;
  }
  static nimbus::platform::FileCalls System() { return nimbus::platform::SystemFileCalls(); }
  static int32_t Injected() {
    s().injected = true;
    return -1;
  }
};

}  // namespace files_test
