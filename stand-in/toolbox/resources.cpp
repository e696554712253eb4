// Named resources from classic Macintosh resource files.
//
// The file: a 16-byte header (data offset, map offset, data length, map length; big-endian);
// the data section, where each resource is a 4-byte length and its bytes; the map: 16
// reserved bytes, 4 handle, 2 file reference, 2 attributes, 2 type-list offset and 2 name-list
// offset (both from the map's start). The type list: count - 1, then per type its code, its
// resource count - 1 and the offset of its reference list from the type list's start. A
// reference: id, name offset from the name list's start (-1 = none), 1 attribute byte, 3
// bytes of data offset from the data section's start, 4 reserved. Names are length-prefixed.
//
// Every field is read through a bounds-checked view of its section, so a damaged file only
// loses the resources it cannot describe; it never reads outside what was read from disk.
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "block_store.h"
#include "host_services.h"

namespace {

constexpr long kLargestFile = 16L * 1024 * 1024;  // the format's 24-bit data offsets
constexpr size_t kHeaderSize = 16;
constexpr size_t kTypeListOffsetInMap = 24;
constexpr size_t kNameListOffsetInMap = 26;
constexpr size_t kTypeEntrySize = 8;
constexpr size_t kReferenceSize = 12;
constexpr uint16_t kNoName = 0xFFFF;

// A bounds-checked window on bytes; every read answers nothing when out of range.
class ByteView {
 public:
  ByteView() = default;
  ByteView(const unsigned char* data, size_t size) : data_(data), size_(size) {}

  std::optional<uint32_t> Read(size_t at, size_t width) const {
    if (at > size_ || width > size_ - at) return std::nullopt;
    uint32_t value = 0;
    for (size_t i = 0; i < width; ++i) value = (value << 8) | data_[at + i];
    return value;
  }
  // The part [at, at + length), or nothing when it does not fit.
  std::optional<ByteView> Sub(size_t at, size_t length) const {
    if (at > size_ || length > size_ - at) return std::nullopt;
    return ByteView(data_ + at, length);
  }
  std::optional<ByteView> From(size_t at) const {
    if (at > size_) return std::nullopt;
    return ByteView(data_ + at, size_ - at);
  }
  const unsigned char* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  const unsigned char* data_ = nullptr;
  size_t size_ = 0;
};

struct Resource {
  ResType type;
  std::string name;
  std::string bytes;
  Handle handle = nullptr;  // made at the first request, then kept
};

struct ResourceFile {
  int16_t refNum;
  std::vector<Resource> resources;
};

struct OpenFiles {
  std::mutex mutex;
  std::vector<ResourceFile> files;  // in opening order
  int16_t nextRefNum = 1;
};

OpenFiles& TheOpenFiles() {
  static OpenFiles* files = new OpenFiles;  // outlives callers during exit
  return *files;
}

std::optional<std::string> ReadWholeFile(const char* path) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path, "rb"), &std::fclose);
  if (!file) return std::nullopt;
  std::string contents;
  char buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
    if (contents.size() + got > size_t(kLargestFile)) return std::nullopt;
    contents.append(buffer, got);
  }
  if (std::ferror(file.get())) return std::nullopt;
  return contents;
}

// The name at `offset` in the name list, or nothing when it lies outside.
std::optional<std::string> NameAt(const ByteView& names, uint16_t offset) {
  auto length = names.Read(offset, 1);
  if (!length) return std::nullopt;
  auto text = names.Sub(size_t(offset) + 1, *length);
  if (!text) return std::nullopt;
  return std::string(reinterpret_cast<const char*>(text->data()), text->size());
}

// The bytes of the resource at `offset` in the data section, or nothing.
std::optional<std::string> DataAt(const ByteView& data, uint32_t offset) {
  auto length = data.Read(offset, 4);
  if (!length) return std::nullopt;
  auto bytes = data.Sub(size_t(offset) + 4, *length);
  if (!bytes) return std::nullopt;
  return std::string(reinterpret_cast<const char*>(bytes->data()), bytes->size());
}

// Collects every named resource the map describes soundly; skips what it cannot read.
std::vector<Resource> ParseResources(const std::string& file) {
  std::vector<Resource> found;
  ByteView whole(reinterpret_cast<const unsigned char*>(file.data()), file.size());
  auto dataOffset = whole.Read(0, 4), mapOffset = whole.Read(4, 4);
  auto dataLength = whole.Read(8, 4), mapLength = whole.Read(12, 4);
  if (!dataOffset || !mapOffset || !dataLength || !mapLength) return found;
  auto data = whole.Sub(*dataOffset, *dataLength);
  auto map = whole.Sub(*mapOffset, *mapLength);
  if (!data || !map || *mapOffset < kHeaderSize) return found;

  auto typeListOffset = map->Read(kTypeListOffsetInMap, 2);
  auto nameListOffset = map->Read(kNameListOffsetInMap, 2);
  if (!typeListOffset || !nameListOffset) return found;
  auto typeList = map->From(*typeListOffset);
  auto names = map->From(*nameListOffset);
  auto typeCountLess1 = typeList ? typeList->Read(0, 2) : std::nullopt;
  if (!typeList || !names || !typeCountLess1) return found;
  // A count of -1 + 1 (0xFFFF) is an empty list.
  size_t typeCount = (*typeCountLess1 + 1) & 0xFFFF;

  for (size_t t = 0; t < typeCount; ++t) {
    size_t entry = 2 + t * kTypeEntrySize;
    auto type = typeList->Read(entry, 4);
    auto countLess1 = typeList->Read(entry + 4, 2);
    auto refListOffset = typeList->Read(entry + 6, 2);
    if (!type || !countLess1 || !refListOffset) break;
    size_t count = (*countLess1 + 1) & 0xFFFF;
    auto refs = typeList->Sub(*refListOffset, count * kReferenceSize);
    if (!refs) continue;
    for (size_t r = 0; r < count; ++r) {
      size_t at = r * kReferenceSize;
      auto nameOffset = refs->Read(at + 2, 2);
      auto dataAt = refs->Read(at + 5, 3);
      if (!nameOffset || !dataAt || *nameOffset == kNoName) continue;
      auto name = NameAt(*names, uint16_t(*nameOffset));
      auto bytes = DataAt(*data, *dataAt);
      if (!name || !bytes) continue;
      found.push_back(Resource{*type, std::move(*name), std::move(*bytes)});
    }
  }
  return found;
}

}  // namespace

extern "C" {

TOOLBOX_API int16_t OpenResFile(const char* path) {
  if (path == nullptr || *path == '\0') return -1;
  try {
    std::optional<std::string> contents = ReadWholeFile(path);
    if (!contents) return -1;
    ResourceFile file{0, ParseResources(*contents)};
    OpenFiles& open = TheOpenFiles();
    std::lock_guard<std::mutex> guard(open.mutex);
    if (open.nextRefNum <= 0) return -1;  // every number used up
    file.refNum = open.nextRefNum++;
    open.files.push_back(std::move(file));
    return open.files.back().refNum;
  } catch (const std::bad_alloc&) {
    return -1;
  }
}

TOOLBOX_API Handle GetNamedResource(ResType type, ConstStr255Param name) {
  if (name == nullptr) return nullptr;
  std::string wanted(reinterpret_cast<const char*>(name + 1), name[0]);
  OpenFiles& open = TheOpenFiles();
  std::lock_guard<std::mutex> guard(open.mutex);
  for (auto file = open.files.rbegin(); file != open.files.rend(); ++file) {
    for (Resource& resource : file->resources) {
      if (resource.type != type || resource.name != wanted) continue;
      // The same block every time, unless someone disposed of it: then a fresh one.
      if (resource.handle == nullptr || !toolbox::IsLiveHandle(resource.handle)) {
        resource.handle = nullptr;
        Handle h = NewHandle(Size(resource.bytes.size()));
        if (h == nullptr) return nullptr;
        std::memcpy(*h, resource.bytes.data(), resource.bytes.size());
        resource.handle = h;
      }
      return resource.handle;
    }
  }
  return nullptr;
}

TOOLBOX_API void TBHost_CloseResFiles(void) {
  OpenFiles& open = TheOpenFiles();
  std::lock_guard<std::mutex> guard(open.mutex);
  for (ResourceFile& file : open.files) {
    for (Resource& resource : file.resources) {
      if (resource.handle != nullptr && toolbox::IsLiveHandle(resource.handle)) {
        DisposeHandle(resource.handle);
      }
    }
  }
  open.files.clear();
}

}  // extern "C"
