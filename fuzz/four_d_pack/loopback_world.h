// The network the fuzzed package sees: the socket seam wrapped so that nothing leaves this
// machine's loopback, whatever the fuzz input asks for.
//
//   Binds      every local address becomes 127.0.0.1 and every port 0 (the system chooses),
//              so a fuzzed port never takes one that another program on this machine uses.
//              The ports the system gave are remembered: they are the connect targets.
//   Connects   go to 127.0.0.1 only, to one of the ports this process owns (the fuzzer's own
//              peer listener, a listening stream of the package, or a port where nothing
//              listens), picked by the requested port. Other addresses are sent to the
//              port where nothing listens: the connection is refused.
//   Datagrams  likewise go to the fuzzer's datagram peer or an endpoint of the package.
//   Names      never reach a resolver: every name is this host, 127.x.y.z, or unknown.
#pragma once

#include <cstdint>
#include <vector>

namespace nimbus::fuzz {

// Installs the wrapped calls (once) and the sockets behind them.
void InstallLoopbackWorld();

// Tells the remapping where the fuzzer's own peers are.
void SetPeerPorts(uint16_t listener, uint16_t datagram);

// The ports this process owns, as the remapping sees them.
uint16_t PeerListenerPort();
uint16_t PeerDatagramPort();
const std::vector<uint16_t>& PackageListeningPorts();
const std::vector<uint16_t>& PackageDatagramPorts();

// Forgets the package's ports (after an unload, or at the end of an input).
void ForgetPackagePorts();

}  // namespace nimbus::fuzz
