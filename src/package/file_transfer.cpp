#include "package/file_transfer.h"

#include <algorithm>

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

// Reads the next chunk of up to `chunk` bytes into the piece's block. The count read (0 at
// the end of the file); -1 when the read fails; kBlockFailed when the block cannot grow.
int32_t ReadChunk(File file, FourDText& piece, int32_t chunk) {
  SetHandleSize(piece.handle, chunk);
  if (MemError() != noErr) return kBlockFailed;
  HLock(piece.handle);
  const int32_t n = Files().read(file, *piece.handle, chunk);
  HUnlock(piece.handle);
  if (n <= 0) return n < 0 ? -1 : 0;
  piece.length = int16_t(std::min(n, chunk));
  if (piece.length < chunk) SetHandleSize(piece.handle, piece.length);
  return piece.length;
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

  int32_t status = 0;
  for (;;) {
    const int32_t n = ReadChunk(file, piece, chunk);
    if (n == 0) break;  // the whole file is sent
    if (n == kBlockFailed) {
      status = BlockErrorStatus();
      break;
    }
    if (n < 0) {
      status = -1;  // the rest of the file cannot be read, so it cannot be sent whole
      break;
    }
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
    if (!stream.YieldAndCheck()) status = -1;
    if (status != 0) break;
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

  const int16_t largest = int16_t(std::min(kLargestFilePiece, ConvertibleLength(mode)));
  uint32_t lastData = TickCount();
  int32_t failure = 0;    // why the transfer stopped short, when it did
  bool released = false;  // the time-out released the stream
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
    ReceiveIntoText(stream, piece, largest);  // flushes pending output first, which yields
    if (!stream.Present()) {
      failure = -1;
      break;
    }
    if (piece.length > 0) {
      lastData = TickCount();
      if (!ApplyConversionMode(piece, mode)) {
        failure = memFullErr;  // pieces are capped: only a block that cannot be had stops it
        break;
      }
      if (!WritePiece(file, piece)) {
        failure = -1;
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
  // A close that fails may have lost written bytes.
  if (Files().close(file) != 0 && failure == 0) failure = -1;
  if (!released && stream.Present()) releaseStatus = ReleaseSlot(globals, slot);
  DisposeHandle(piece.handle);
  return failure != 0 ? failure : releaseStatus;
}

}  // namespace nimbus
