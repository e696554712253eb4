// The far ends of the package's connections, all in this process on 127.0.0.1: a listening
// socket that the package's connects reach, the connections it accepted, client connections
// to the package's listening streams, and a datagram socket. Pump() takes in new connections
// and reads whatever waits, so that a package send always makes progress at its next yield.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace nimbus::fuzz {

class Peers {
 public:
  // Opens the listener and the datagram socket (once per process) and tells the loopback
  // world their ports.
  Peers();

  void Pump();

  // Actions of the fuzz input on the connections, picked by index (modulo their number;
  // nothing happens when there is none).
  void ConnectToPackage(uint32_t pick);
  void Send(uint32_t pick, std::string_view bytes);
  void SendUrgent(uint32_t pick);
  void ShutDownSending(uint32_t pick);
  void Close(uint32_t pick);
  void Reset(uint32_t pick);  // closes with an RST
  void SendDatagram(uint32_t pick, std::string_view bytes);

  // Closes every connection (the listener and datagram socket stay).
  void CloseAll();

 private:
  int Pick(uint32_t pick) const;
  void Drop(int fd);

  int listener_ = -1;
  int datagram_ = -1;
  std::vector<int> connections_;
};

}  // namespace nimbus::fuzz
