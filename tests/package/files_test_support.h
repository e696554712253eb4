// Shared pieces of the file and picture transfer tests: a scratch directory, whole-file
// reads and writes, Text records made from strings, and a file seam that counts opens and
// closes and can fail the Nth read, write or close.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "host/toolbox.h"
#include "package/fourd_abi.h"
#include "platform/files.h"

namespace files_test {

// A directory of its own under the system's temporary directory, removed with its contents.
class ScratchDir {
 public:
  ScratchDir() {
    std::random_device seed;
    const auto base = std::filesystem::temp_directory_path();
    for (;;) {
      path_ = base / ("nimbus-files-" + std::to_string(seed()));
      if (std::filesystem::create_directory(path_)) break;
    }
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteWhole(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
}

inline bool Exists(const std::string& path) {
  return std::filesystem::exists(path);
}

// FNV-1a, 64 bits: a checksum to compare what was sent with what arrived.
inline uint64_t Checksum(const std::string& bytes) {
  uint64_t hash = 0xCBF29CE484222325ull;
  for (unsigned char c : bytes) hash = (hash ^ c) * 0x100000001B3ull;
  return hash;
}

// Bytes that look like nothing in particular: every value occurs, CRs included.
inline std::string PatternBytes(size_t size, uint32_t seed = 1) {
  std::string bytes(size, '\0');
  std::mt19937 generator(seed);
  for (char& c : bytes) c = char(generator() & 0xFF);
  return bytes;
}

// The bytes with every 0xFF made 0xFE, so that they hold no JPEG marker.
inline std::string WithoutMarkers(std::string bytes) {
  for (char& c : bytes) {
    if (c == '\xFF') c = '\xFE';
  }
  return bytes;
}

// A relocatable block holding the bytes; the caller disposes of it.
inline Handle BlockOf(const std::string& bytes) {
  Handle h = NewHandle(Size(bytes.size()));
  if (h != nullptr && !bytes.empty()) BlockMove(bytes.data(), *h, Size(bytes.size()));
  return h;
}

inline std::string BytesOf(Handle h) {
  if (h == nullptr) return {};
  return std::string(*h, size_t(GetHandleSize(h)));
}

// A Text record that owns its block for the test's scope.
class OwnedText {
 public:
  explicit OwnedText(const std::string& characters)
      : text_{int16_t(characters.size()), BlockOf(characters)} {}
  OwnedText(const std::string& characters, int16_t length) : text_{length, BlockOf(characters)} {}
  ~OwnedText() {
    if (text_.handle != nullptr) DisposeHandle(text_.handle);
  }
  OwnedText(const OwnedText&) = delete;
  OwnedText& operator=(const OwnedText&) = delete;
  FourDText& operator*() { return text_; }

 private:
  FourDText text_;
};

// Replaces the file calls while it lives: counts opens and closes, and fails the Nth call
// (1-based) of read, write or close with the given error. Restores the system's calls.
class CountingFiles {
 public:
  CountingFiles() {
    state() = State{};
    state().system = nimbus::platform::SystemFileCalls();
    auto& calls = nimbus::platform::Files();
    calls.open = Open;
    calls.read = Read;
    calls.write = Write;
    calls.close = Close;
    calls.lastError = LastError;
  }
  ~CountingFiles() { nimbus::platform::ResetFileCalls(); }
  CountingFiles(const CountingFiles&) = delete;
  CountingFiles& operator=(const CountingFiles&) = delete;

  int32_t opens() const { return state().opens; }
  int32_t closes() const { return state().closes; }
  int32_t stillOpen() const { return state().opens - state().closes; }
  int32_t reads() const { return state().reads; }
  int32_t writes() const { return state().writes; }

  void FailRead(int32_t n, int32_t error) { state().failRead = n, state().error = error; }
  void FailWrite(int32_t n, int32_t error) { state().failWrite = n, state().error = error; }
  void FailClose(int32_t n, int32_t error) { state().failClose = n, state().error = error; }
  // Reads answer at most this many bytes (a file that ends early); -1 lifts it.
  void ShortReads(int32_t most) { state().shortRead = most; }

 private:
  struct State {
    nimbus::platform::FileCalls system{};
    int32_t opens = 0, closes = 0, reads = 0, writes = 0, closeCalls = 0;
    int32_t failRead = 0, failWrite = 0, failClose = 0, shortRead = -1;
    int32_t error = 0;
    bool injected = false;  // the last failure was ours: lastError answers ours
  };
  static State& state() {
    static State s;
    return s;
  }
  static nimbus::platform::File Open(const char* path, nimbus::platform::FileMode mode) {
    state().injected = false;
    const auto file = state().system.open(path, mode);
    if (file != nimbus::platform::kInvalidFile) ++state().opens;
    return file;
  }
  static int32_t Read(nimbus::platform::File file, void* buffer, int32_t count) {
    if (++state().reads == state().failRead) return Injected();
    if (state().shortRead >= 0 && count > state().shortRead) count = state().shortRead;
    return count == 0 ? 0 : state().system.read(file, buffer, count);
  }
  static int32_t Write(nimbus::platform::File file, const void* data, int32_t count) {
    if (++state().writes == state().failWrite) return Injected();
    return state().system.write(file, data, count);
  }
  static int32_t Close(nimbus::platform::File file) {
    ++state().closes;
    const int32_t result = state().system.close(file);
    if (++state().closeCalls == state().failClose) return Injected();
    return result;
  }
  static int32_t LastError() {
    return state().injected ? state().error : state().system.lastError();
  }
  static int32_t Injected() {
    state().injected = true;
    return -1;
  }
};

}  // namespace files_test
