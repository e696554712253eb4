// Moving bytes over an established stream: sending a Text or a range of memory in sends of
// at most 1024 bytes, buffering outgoing text in the stream's pending output, receiving
// into a Text, counting what waits to be read, and waiting for a state.
//
// Sends loop until every byte is taken, yielding to other 4D processes after each attempt;
// receives never wait. Every operation that yields works on a HeldStream: after each yield
// it checks that its slot still holds the stream it started with and, when another process
// released it meanwhile (a new stream may have taken the slot), stops with -1 and touches
// nothing more. The Slot forms hold the stream in the slot for the call.
#pragma once

#include <cstdint>

#include "host/fourd_params.h"
#include "net/stream_identity.h"
#include "net/streams.h"

namespace nimbus {

constexpr int32_t kLargestSend = 1024;               // bytes handed to one send call
constexpr int32_t kPendingFlushLimit = 32000;        // pending output never grows past this
constexpr int32_t kPendingSendAbove = 4096;          // more pending than this leaves at once
constexpr int32_t kLargestBufferingThreshold = 255;  // flags above it are byte thresholds
constexpr int32_t kLargestReceive = 32000;

// Sends the Text's bytes (its block locked meanwhile, its state restored after), adding
// them to the stream's bytes sent and to BytesSent. 0 when all were sent, when the slot is
// empty or the Text is empty; -1 on a send failure or when the stream went away.
int16_t SendTextRecord(const HeldStream& stream, const FourDText& text);
int16_t SendTextRecord(Slot slot, const FourDText& text);

// Sends length bytes at data after flushing any pending output; counts nothing. The caller
// keeps data from moving. 0 when all were sent; -1 on a failure, an empty slot, or when the
// stream went away.
int32_t SendBytes(const HeldStream& stream, const void* data, int32_t length);
int32_t SendBytes(Slot slot, const void* data, int32_t length);

// Sends the pending output and empties it; the pending bytes are dropped even when the send
// fails. The answer of SendTextRecord; 0 for an empty slot or nothing pending. When the
// stream goes away during the send, whatever now holds the slot is left alone.
int16_t FlushOutput(const HeldStream& stream);

// The core of StreamSendText. flag 0 sends at once (after anything pending); 1..255 buffer
// until more than 4096 bytes are pending; above 255, until at least that many are. A null
// or empty text with a record flushes. Answers 0 when everything asked for was sent, -1 when
// a send failed or the stream went away, or the pending length when the text was only
// buffered. The pending output never passes 32767 bytes: a text that cannot join it leaves
// at once, after what is pending.
int16_t BufferedSend(const HeldStream& stream, const FourDText* text, int16_t flag);
int16_t BufferedSend(Slot slot, const FourDText* text, int16_t flag);

// Receives what waits (at most 32000 bytes, or largest when above 0) into text, creating
// its block when it has none. Answers the count; 0 once the peer has closed (state 14);
// -1 when nothing has arrived or the receive failed (state 14 after a reset, 20 after an
// abort). When the block cannot be had, -1 with the stream unchanged. When the stream goes
// away during the flush of its pending output, -1 with text untouched.
int32_t ReceiveIntoText(const HeldStream& stream, FourDText& text, int16_t largest);
int32_t ReceiveIntoText(Slot slot, FourDText& text, int16_t largest);

// The bytes waiting to be read (FIONREAD); 0 for an empty slot or when the query fails.
int32_t BytesAvailable(Slot slot);

// Polls the stream and yields until its state reaches target (0 means 8; a negative target
// waits for the stream to go away) or timeoutSeconds pass (0 or less: no time-out). The
// last state seen; -1 once the slot is empty, holds a datagram endpoint, or holds another
// stream than the one the wait began with.
int32_t WaitState(Slot slot, int16_t target, int32_t timeoutSeconds);

// Bytes of a Text that can be read: its length, cut to its block's size; 0 for a null
// handle or a negative length.
int32_t UsableLength(const FourDText& text);

}  // namespace nimbus
