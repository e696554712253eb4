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
  const uint32_t remoteAddress = ResolveName(remoteHost);
  AddToCounter(OpensStarted, 1);
  int32_t code = 0;
  if (remoteAddress == kNoAddress) {
    // An unknown name: nothing to connect to (the broadcast address it reads as is no peer).
    code = platform::kWsaHostNotFound;
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
