// TCP streams: record creation, active and passive opens, polling of the state machine,
// close, release, and the state and address queries. The only place where a stream's state
// advances by itself is PollStream (and the accept pass of the session).
#pragma once

#include <cstdint>

#include "net/stream_record.h"

namespace nimbus {

// A slot is the address of a variable holding a StreamRecord pointer or null: normally an
// entry of the stream slot table, for internal calls a local variable. Operations that
// yield re-read the slot afterwards: another process may have released the stream.
using Slot = StreamRecord**;

// Socket buffer sizes are clamped to this range.
constexpr int32_t kSmallestSocketBuffer = 8192;
constexpr int32_t kLargestSocketBuffer = 32767;

// A zero-filled record with a non-blocking TCP socket and both buffers set to the clamped
// size; null when the record or the socket cannot be had. Address reuse is left to the
// open: an active open asks for it, a passive open must not (opens.cpp).
StreamRecord* NewStreamRecord(int32_t bufferSize);

// Raises the state to `requested` when it is lower, then advances it as the socket allows:
// a waiting stream takes a connection that is there, a connect under way completes or
// fails, an established stream breaks on an exception condition. Requesting 8 zeroes the
// counts. Answers the state.
int32_t PollStream(StreamRecord* record, int16_t requested);

// Starts a connect to remoteHost (dotted text, a name, or empty for this host). With a
// nonzero local port the socket is first bound to it and localAddress (host order). Null
// when the record, the bind or the connect fails at once; a refusal found later shows as
// state 20.
StreamRecord* OpenActive(const char* remoteHost, uint16_t remotePort, int32_t bufferSize,
                         uint16_t localPort, uint32_t localAddress);

// Queues a new stream on the listening socket for localPort and localAddress (host order,
// 0 = any), creating it when no passive open shares it yet (port 0: the system chooses).
// Null when the record cannot be had or bind or listen fails.
StreamRecord* OpenPassive(uint16_t localPort, int32_t bufferSize, uint32_t localAddress);

// Flushes pending output, then ends the connection gracefully (or leaves the listen queue)
// and sets state 14. The record stays in its slot without a socket. 0, or -1 when the slot
// is empty, the socket was already closed, or closing failed.
int16_t CloseStream(Slot slot);

// Closes the record's socket unless it is already closed, unlinks it from a listen queue,
// disposes of its pending output and the record, and empties the slot. 0, or -1 when the
// close failed; an empty slot answers 0. A release of a stream not in state 14 is counted.
int16_t ReleaseStream(Slot slot);

// ReleaseStream without the count: for DatagramClose, which counts nothing even when it is
// handed a TCP stream.
int16_t DiscardStream(Slot slot);

// Query types of QueryStream.
constexpr int32_t kQueryState = 0;
constexpr int32_t kQueryLastReceiveSize = 14;
constexpr int32_t kQueryBytesSent = 17;

// The state (after a poll), the last receive size or the bytes sent, as a 16-bit value
// (larger counts wrap). -1 for an empty slot, a datagram endpoint or another type.
int16_t QueryStream(Slot slot, int32_t type);

// Both ends of a stream, host byte order. The remote end is 0 until connected.
struct StreamEndpoints {
  uint32_t remoteAddress;
  uint16_t remotePort;
  uint16_t localPort;
  uint32_t localAddress;
};

// Polls the stream and reads its ends. False for an empty slot.
bool GetStreamAddresses(Slot slot, StreamEndpoints* endpoints);

}  // namespace nimbus
