// Whole files over a stream: StreamSendFile sends a file chunk by chunk, StreamReceiveFile
// writes what a stream delivers into a file until the connection ends. Both convert each
// chunk with a conversion mode and yield to other 4D processes on every pass; memory use
// stays one chunk whatever the file's size. A chunk's unfinished tail (a CR an LF may follow,
// an ampersand an entity may follow) is held back and converted with the next chunk, so the
// result is that of converting the whole file at once, wherever the chunks end.
#pragma once

#include <cstdint>

#include "host/fourd_params.h"
#include "net/streams.h"
#include "package/globals.h"

namespace nimbus {

constexpr int32_t kDefaultFileChunk = 16384;  // StreamSendFile's chunk size for 0 or less
constexpr int32_t kLargestFilePiece = 16384;  // the most StreamReceiveFile takes at once

// The chunk size StreamSendFile uses: 16384 for 0 or less, and never more than the mode can
// convert within a Text's 32767 bytes.
int32_t FileChunkSize(int32_t requested, int32_t mode);

// Flushes the stream's pending output, then sends the named file in chunks, each converted
// with the mode. 0 when the whole file was sent; the last block error (memFullErr) when the
// working block cannot be had or grown or a chunk cannot be converted; -1 when the file does
// not open, a read fails, a send fails or the stream went away; or the stream's state when
// it left states 8 to 13. The file is closed and the working block disposed of on every path;
// the stream stays in its slot.
int32_t StreamSendFile(Slot slot, const FourDText& name, int32_t mode, int32_t chunkSize);

// Receives into the named file (emptied first, or appended to) while the stream stays
// established, converting each piece with the mode. With a time-out above 0, a silence of
// more than that many seconds releases the stream. At the end the stream is released and its
// slot emptied, the open-stream count going down with it.
// Answers the status of the release (0 after a clean close); the last block error when the
// working block cannot be had (the stream is then kept), or a piece cannot be received into
// or converted; -1 when the file does not open (the stream is then kept), a write or the
// file's close fails (the rest is not taken), or another process released the stream.
int32_t StreamReceiveFile(PackageGlobals* globals, Slot slot, const FourDText& name, int32_t mode,
                          bool append, int32_t timeoutSeconds);

}  // namespace nimbus
