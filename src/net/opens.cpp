// Active and passive opens of TCP streams.
#include "net/listen_queue.h"
#include "net/names.h"
#include "net/statistics.h"
#include "net/streams.h"

namespace nimbus {
using platform::Calls;
using platform::InternetAddress;

StreamRecord* OpenActive(const char* remoteHost, uint16_t remotePort, int32_t bufferSize,
                         uint16_t localPort, uint32_t localAddress) {
  StreamRecord* record = NewStreamRecord(bufferSize);
  if (record == nullptr) return nullptr;
  // An active open may bind a local port whose earlier connections linger; its result is
  // ignored like the other options'.
  const int32_t on = 1;
  Calls().setsockopt(record->socket, platform::kSolSocket, platform::kSoReuseAddr, &on, sizeof on);
  const uint32_t remoteAddress = ResolveName(remoteHost);
  AddToCounter(OpensStarted, 1);
  int32_t code = 0;
  if (remoteAddress == kNoAddress) {
    // An unknown name: nothing to connect to (the broadcast address it reads as is no peer).
    code = platform::kWsaHostNotFound;
  } else if (IsUnspecifiedAddress(remoteAddress)) {
    code = platform::kWsaEAddrNotAvail;
  }
  if (code == 0 && localPort != 0) {
    const platform::SockAddrIn local = InternetAddress(localAddress, localPort);
    if (Calls().bind(record->socket, &local) != 0) code = Calls().lastError();
  }
  if (code == 0) {
    const platform::SockAddrIn remote = InternetAddress(remoteAddress, remotePort);
    if (Calls().connect(record->socket, &remote) != 0) code = Calls().lastError();
  }
  if (code == 0) {
    PollStream(record, StateEstablished);
  } else if (code == platform::kWsaEWouldBlock || code == platform::kWsaEIsConn) {
    PollStream(record, StateConnecting);
  } else {
    ReleaseStream(&record);  // state 0: counted in ReleasesClosing, socket closed
    return nullptr;
  }
  return record;
}

// A passive open sets no address-reuse option, on any system. On Windows, SO_REUSEADDR lets
// a bind take a port that another socket listens on (both then share it, and which one gets
// a connection is undefined), so a second server on a used port would seem to start. Without
// it the bind fails with WSAEADDRINUSE when a socket listens on that address and port. Windows
// 2000 and later still let a default socket bind the port of a closed listener whose accepted
// connections are open or in TIME_WAIT (NT 4 did not), which is what a server listening again
// after each connection needs. SO_EXCLUSIVEADDRUSE (NT 4 SP4 and later) is not set either: it
// refuses the bind while any connection accepted on the port is still open, so such a server
// could not listen again until its last client left. The POSIX layer gives a default socket
// the same rules (platform/posix). One case stays apart: Windows lets a listen on any address
// bind where another socket listens on one specific address of the port (that address's
// connections keep going to the other socket); Linux refuses it.
StreamRecord* OpenPassive(uint16_t localPort, int32_t bufferSize, uint32_t localAddress) {
  StreamRecord* record = NewStreamRecord(bufferSize);
  if (record == nullptr) return nullptr;
  if (!QueueOnListener(record, localPort, localAddress)) {
    ReleaseStream(&record);
    return nullptr;
  }
  PollStream(record, StateListening);  // takes a connection that is already waiting
  return record;
}

}  // namespace nimbus
