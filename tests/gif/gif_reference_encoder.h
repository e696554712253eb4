// A plain, step-by-step GIF encoder written for the tests and the fuzzer: one function per
// step, no shortcuts, nothing shared with the package. The package's encoder must give
// exactly its bytes (table probe, code widths, clear codes, sub-blocks and all).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace giftest {

class ReferenceEncoder {
 public:
  std::string Encode(const uint8_t* pixels, int32_t stride, int32_t width, int32_t height,
                     const uint8_t* palette, bool interlaced, int transparent) {
    file_.clear();
    file_ += transparent >= 0 ? "GIF89a" : "GIF87a";
    Word(width), Word(height), Byte(0xF7), Byte(0), Byte(0);
    file_.append(reinterpret_cast<const char*>(palette), 768);
    if (transparent >= 0) {
      for (int b : {0x21, 0xF9, 4, 1, 0, 0}) Byte(b);
      Byte(transparent), Byte(0);
    }
    Byte(0x2C), Word(0), Word(0), Word(width), Word(height), Byte(interlaced ? 0x40 : 0);
    Byte(8);
    std::vector<int32_t> rows;
    if (interlaced) {
      const int32_t start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
      for (int pass = 0; pass < 4; ++pass)
        for (int32_t row = start[pass]; row < height; row += step[pass]) rows.push_back(row);
    } else {
      for (int32_t row = 0; row < height; ++row) rows.push_back(row);
    }
    std::vector<int> order;
    for (int32_t row : rows)
      for (int32_t x = 0; x < width; ++x) order.push_back(pixels[size_t(row) * stride + x]);
    Compress(order);
    Byte(0), Byte(0x3B);
    return file_;
  }

 private:
  void Byte(int b) { file_.push_back(char(b)); }
  void Word(int w) { Byte(w & 0xFF), Byte((w >> 8) & 0xFF); }

  void PacketByte(int b) {
    packet_.push_back(char(b));
    if (packet_.size() == 254) Flush();
  }
  void Flush() {
    if (packet_.empty()) return;
    Byte(int(packet_.size()));
    file_ += packet_;
    packet_.clear();
  }

  void Code(int code) {
    accumulator_ &= (1u << pending_) - 1;
    accumulator_ |= uint32_t(code) << pending_;
    for (pending_ += width_; pending_ >= 8; pending_ -= 8) {
      PacketByte(int(accumulator_ & 0xFF));
      accumulator_ >>= 8;
    }
    if (nextFree_ > maxCode_ || clearFlag_) {
      if (clearFlag_) {
        width_ = 9, maxCode_ = 511, clearFlag_ = false;
      } else {
        ++width_;
        maxCode_ = width_ == 12 ? 4096 : (1 << width_) - 1;
      }
    }
    if (code == 257) {
      for (; pending_ > 0; pending_ -= 8) {
        PacketByte(int(accumulator_ & 0xFF));
        accumulator_ >>= 8;
      }
      pending_ = 0;
      Flush();
    }
  }

  void Compress(const std::vector<int>& pixels) {
    std::vector<int32_t> keys(5003, -1);
    std::vector<int> codes(5003, 0);
    width_ = 9, maxCode_ = 511, nextFree_ = 258, clearFlag_ = false;
    accumulator_ = 0, pending_ = 0;
    packet_.clear();
    int prefix = pixels[0];
    Code(256);
    for (size_t n = 1; n < pixels.size(); ++n) {
      const int c = pixels[n];
      const int32_t key = (c << 12) + prefix;
      int i = (c << 4) ^ prefix;
      bool found = keys[size_t(i)] == key;
      if (!found && keys[size_t(i)] >= 0) {
        const int d = i == 0 ? 1 : 5003 - i;
        do {
          i -= d;
          if (i < 0) i += 5003;
          found = keys[size_t(i)] == key;
        } while (!found && keys[size_t(i)] > 0);
      }
      if (found) {
        prefix = codes[size_t(i)];
        continue;
      }
      Code(prefix);
      prefix = c;
      if (nextFree_ < 4096) {
        codes[size_t(i)] = nextFree_++;
        keys[size_t(i)] = key;
      } else {
        keys.assign(5003, -1);
        nextFree_ = 258;
        clearFlag_ = true;
        Code(256);
      }
    }
    Code(prefix);
    Code(257);
  }

  std::string file_, packet_;
  uint32_t accumulator_ = 0;
  int pending_ = 0, width_ = 9, maxCode_ = 511, nextFree_ = 258;
  bool clearFlag_ = false;
};

}  // namespace giftest
