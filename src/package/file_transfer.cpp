#include "package/file_transfer.h"

#include <algorithm>
#include <cstring>

#include "net/stream_identity.h"
#include "net/transfer.h"
#include "package/file_name.h"
#include "package/slots.h"
#include "platform/files.h"
#include "text/text.h"

namespace nimbus {
namespace {

using platform::File;
using platform::FileMode;
using platform::Files;
using platform::kInvalidFile;

constexpr int32_t kTicksPerSecond = 60;
constexpr int32_t kBlockFailed = -2;  // ReadChunk: the working block could not grow

// The last block error as a status; -1 should the toolbox report none.
int32_t BlockErrorStatus() {
  const OSErr error = MemError();
  return error != noErr ? int32_t(error) : -1;
}

// The longest piece a mode converts without passing a Text's 32767 bytes.
int32_t ConvertibleLength(int32_t mode) {
  return std::clamp(ConversionModeInputCap(mode), int32_t(1), kMaxTextLength);
}

bool IsEstablished(int16_t state) {
  return state >= StateEstablished && state < StateClosed;
}

// The unfinished tail of a piece that a conversion cannot settle before it sees the bytes
// after it (ConversionModeSettledLength): held back, it goes in front of the next piece, so
// that what the conversion makes of the pieces does not depend on where they end.
struct HeldTail {
  uint8_t bytes[kLongestUnfinishedTail];
  int32_t length = 0;
};

// Moves the piece's unfinished tail into `tail` and shortens the piece to what is settled.
void HoldBackTail(FourDText& piece, HeldTail& tail, int32_t mode) {
  const int8_t state = HGetState(piece.handle);
  HLock(piece.handle);
  const auto* bytes = reinterpret_cast<const uint8_t*>(*piece.handle);
  const int32_t settled = ConversionModeSettledLength(bytes, piece.length, mode);
  tail.length = std::min(piece.length - settled, kLongestUnfinishedTail);
  std::memcpy(tail.bytes, bytes + piece.length - tail.length, size_t(tail.length));
  HSetState(piece.handle, state);
  piece.length = int16_t(piece.length - tail.length);
  SetHandleSize(piece.handle, piece.length);  // shrinking a block cannot fail
}

// Puts the held tail in front of the piece's bytes; false when the block cannot grow.
bool PutTailInFront(FourDText& piece, HeldTail& tail) {
  if (tail.length == 0) return true;
  SetHandleSize(piece.handle, piece.length + tail.length);
  if (MemError() != noErr) return false;
  std::memmove(*piece.handle + tail.length, *piece.handle, size_t(piece.length));
  std::memcpy(*piece.handle, tail.bytes, size_t(tail.length));
  piece.length = int16_t(piece.length + tail.length);
  tail.length = 0;
  return true;
}

// Reads up to `chunk` bytes of the file into the piece's block, behind the held tail, which
// the piece then begins with. The count read (0 at the end of the file); -1 when the read
// fails; kBlockFailed when the block cannot grow.
int32_t ReadChunk(File file, FourDText& piece, HeldTail& tail, int32_t chunk) {
  SetHandleSize(piece.handle, tail.length + chunk);
  if (MemError() != noErr) return kBlockFailed;
  std::memcpy(*piece.handle, tail.bytes, size_t(tail.length));
  HLock(piece.handle);
  const int32_t n = Files().read(file, *piece.handle + tail.length, chunk);
  HUnlock(piece.handle);
  piece.length = int16_t(tail.length);
  tail.length = 0;
  if (n < 0) return -1;
  piece.length = int16_t(piece.length + std::min(n, chunk));
  SetHandleSize(piece.handle, piece.length);
  return std::min(n, chunk);
}

// Writes the piece's characters; true when all were written.
bool WritePiece(File file, const FourDText& piece) {
  const int32_t length = UsableLength(piece);
  if (length == 0) return true;
  const int8_t state = HGetState(piece.handle);
  HLock(piece.handle);
  const bool written = Files().write(file, *piece.handle, length) == length;
  HSetState(piece.handle, state);
  return written;
}

// Converts the piece and writes it; false, with *failure set, when either fails.
bool ConvertAndWrite(File file, FourDText& piece, int32_t mode, int32_t* failure) {
  if (piece.length == 0) return true;
  if (!ApplyConversionMode(piece, mode)) {
    *failure = memFullErr;  // pieces are capped: only a block that cannot be had stops it
    return false;
  }
  if (!WritePiece(file, piece)) {
    *failure = -1;
    return false;
  }
  return true;
}

bool SilentTooLong(uint32_t lastData, int32_t timeoutSeconds) {
  if (timeoutSeconds <= 0) return false;
  const uint32_t silence = TickCount() - lastData;  // unsigned: survives the tick wrap
  return uint64_t(silence) > uint64_t(timeoutSeconds) * kTicksPerSecond;
}

}  // namespace

int32_t FileChunkSize(int32_t requested, int32_t mode) {
  const int32_t chunk = requested <= 0 ? kDefaultFileChunk : requested;
  return std::min(chunk, ConvertibleLength(mode));
}

int32_t StreamSendFile(Slot slot, const FourDText& name, int32_t mode, int32_t chunkSize) {
  const HeldStream stream(slot);
  if (!stream.Present()) return -1;
  const FileName path = FileNameOf(name);
  const int32_t chunk = FileChunkSize(chunkSize, mode);
  FourDText piece{0, NewHandle(0)};
  if (piece.handle == nullptr) return BlockErrorStatus();
  BufferedSend(stream, nullptr, 0);  // what was buffered before goes ahead of the file
  const File file =
      stream.Present() ? Files().open(path.path, FileMode::kReadShared) : kInvalidFile;
  if (file == kInvalidFile) {
    DisposeHandle(piece.handle);
    return -1;
  }

  // The held tail and the next chunk together stay within what the mode converts.
  const int32_t convertible = ConvertibleLength(mode);
  HeldTail tail;
  int32_t status = 0;
  for (;;) {
    const int32_t n = ReadChunk(file, piece, tail, std::min(chunk, convertible - tail.length));
    if (n == kBlockFailed) {
      status = BlockErrorStatus();
      break;
    }
    if (n < 0) {
      status = -1;  // the rest of the file cannot be read, so it cannot be sent whole
      break;
    }
    const bool atEnd = n == 0;              // what is held back then goes out as it is
    if (atEnd && piece.length == 0) break;  // the whole file is sent
    if (!atEnd) HoldBackTail(piece, tail, mode);
    if (piece.length > 0) {
      if (!ApplyConversionMode(piece, mode)) {
        status = memFullErr;  // chunks are capped: only a block that cannot be had stops it
        break;
      }
      status = SendTextRecord(stream, piece);
      if (!stream.Present()) {
        status = -1;  // released by another process: its slot is no longer ours to query
        break;
      }
      if (status == 0) {
        const int16_t state = QueryStream(slot, kQueryState);
        if (!IsEstablished(state)) status = state;
      }
    }
    if (!stream.YieldAndCheck()) status = -1;
    if (status != 0 || atEnd) break;
  }
  Files().close(file);
  DisposeHandle(piece.handle);
  return status;
}

int32_t StreamReceiveFile(PackageGlobals* globals, Slot slot, const FourDText& name, int32_t mode,
                          bool append, int32_t timeoutSeconds) {
  const HeldStream stream(slot);
  if (!stream.Present()) return -1;
  const FileName path = FileNameOf(name);
  FourDText piece{0, NewHandle(0)};
  if (piece.handle == nullptr) return BlockErrorStatus();
  const File file =
      Files().open(path.path, append ? FileMode::kAppend : FileMode::kCreateReadWrite);
  if (file == kInvalidFile) {
    DisposeHandle(piece.handle);
    return -1;
  }

  // A held tail and the next receive together stay within what the mode converts.
  const int16_t largest = int16_t(std::min(kLargestFilePiece, ConvertibleLength(mode)));
  HeldTail tail;
  uint32_t lastData = TickCount();
  int32_t failure = 0;    // why the transfer stopped short, when it did
  bool released = false;  // the time-out released the stream
  bool intact = true;     // every piece so far was converted and written
  int16_t releaseStatus = 0;
  for (;;) {
    if (!stream.YieldAndCheck()) {
      failure = -1;  // released elsewhere: the transfer did not end by a close
      break;
    }
    // Room for the largest piece first: a receive that cannot grow its block reports
    // nothing more than "no data", and waiting would not help.
    SetHandleSize(piece.handle, largest);
    if (MemError() != noErr) {
      failure = BlockErrorStatus();
      break;
    }
    // The receive flushes pending output first, which yields.
    ReceiveIntoText(stream, piece, int16_t(largest - tail.length));
    if (!stream.Present()) {
      failure = -1;
      break;
    }
    if (piece.length > 0) {
      lastData = TickCount();
      if (!PutTailInFront(piece, tail)) {
        failure = BlockErrorStatus();
        intact = false;
        break;
      }
      HoldBackTail(piece, tail, mode);
      if (!ConvertAndWrite(file, piece, mode, &failure)) {
        intact = false;
        break;
      }
      SetHandleSize(piece.handle, 0);
      piece.length = 0;
    } else if (SilentTooLong(lastData, timeoutSeconds)) {
      releaseStatus = ReleaseSlot(globals, slot);
      released = true;
      break;
    }
    if (QueryStream(slot, kQueryState) != StateEstablished) break;
  }
  // The connection has ended (or gone): what was held back is the end of the data.
  if (intact && tail.length > 0) {
    piece.length = 0;
    if (PutTailInFront(piece, tail)) {
      ConvertAndWrite(file, piece, mode, &failure);
    } else if (failure == 0) {
      failure = BlockErrorStatus();
    }
  }
  // A close that fails may have lost written bytes.
  if (Files().close(file) != 0 && failure == 0) failure = -1;
  if (!released && stream.Present()) releaseStatus = ReleaseSlot(globals, slot);
  DisposeHandle(piece.handle);
  return failure != 0 ? failure : releaseStatus;
}

}  // namespace nimbus
