// UDP datagram endpoints. They share the stream slot table and the StreamRecord (kind 1)
// with TCP streams, but have no state machine and are never announced to the event window.
#pragma once

#include <cstdint>

#include "host/fourd_params.h"
#include "net/streams.h"

namespace nimbus {

constexpr int32_t kLargestDatagram = 2048;

// How often a receive is tried again after WSAECONNRESET. On Windows 2000 and later a UDP
// socket whose earlier send drew an ICMP port unreachable reports it as WSAECONNRESET on a
// following recvfrom, even when a datagram is waiting behind it; each failing call consumes
// one such report. Switching the reports off (WSAIoctl SIO_UDP_CONNRESET) needs WS2_32 and
// Windows 2000 SP2, while the package imports only WSOCK32, so the reports are read past.
// The bound keeps a socket that reports nothing else from holding the caller.
constexpr int32_t kConnResetRetries = 32;

// A record with a non-blocking UDP socket. With localPort 1..65535 the socket is bound to
// it and localAddress (host order, 0 = any); otherwise the system picks a port at the first
// send. Null when the record or socket cannot be had, or the bind fails.
StreamRecord* OpenDatagram(int32_t localPort, uint32_t localAddress);

// Sends the Text's bytes, unconverted, as one datagram to address:port (host order; the
// port's low 16 bits). 0 when sent; -1 otherwise (a full buffer is not waited out), and
// always for address 0.0.0.0, which Winsock refuses.
int16_t SendDatagram(Slot slot, const FourDText& text, uint32_t address, int32_t port);

// Where a received datagram came from, host order.
struct DatagramSender {
  uint32_t address;
  uint16_t port;
};

// Takes one waiting datagram into text without waiting. 0 when one was received (text
// holds exactly its bytes); -1 when none waits, it is longer than 2048 bytes, or the
// receive failed, and then text is left as it was. WSAECONNRESET on an endpoint (an earlier
// send's ICMP port unreachable, on Windows) is read past a bounded number of times, so a
// datagram waiting behind it is still taken. Given a TCP stream, it takes up to 2048
// of the stream's waiting bytes, as Winsock's recvfrom does, and reports sender 0, port 0.
int16_t ReceiveDatagram(Slot slot, FourDText& text, DatagramSender* sender);

// Closes the endpoint's socket and disposes of the record, emptying the slot. A TCP
// stream given here is released as StreamRelease would, so its listen queue stays right.
int16_t CloseDatagram(Slot slot);

}  // namespace nimbus
