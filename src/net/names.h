// Host names and IPv4 addresses through the Winsock resolver. An address is a longint in
// host byte order: the first number of the dotted text is the most significant byte. Every
// look-up blocks until the resolver answers.
#pragma once

#include <cstdint>

namespace nimbus {

constexpr uint32_t kNoAddress = 0xFFFFFFFF;  // also 255.255.255.255, which never resolves

// 0.0.0.0 names no peer. Winsock refuses it as the address of a connect or a send with
// WSAEADDRNOTAVAIL; Linux, and Wine on it, would reach this host instead. The opens and sends
// check it themselves, so every build fails it as Windows does.
constexpr bool IsUnspecifiedAddress(uint32_t address) {
  return address == 0;
}

// The address of a name: dotted text, a host name, or this host when the name is empty.
// kNoAddress when the name is unknown; the cached local address when this host's own name
// cannot be had.
uint32_t ResolveName(const char* name);

// This host's address, for LocalAddress: its name resolved, or the cached local address
// when the name or its look-up fails.
uint32_t LocalHostAddress();

// The host name of an address, or its dotted text when dottedOnly is set, when no name is
// known, or when the name is empty. Writes a length-prefixed string of at most 255
// characters into out (256 bytes).
void AddressToName(uint32_t address, bool dottedOnly, unsigned char* out);

// A length-prefixed string as a zero-terminated one, for the resolver. out has 256 bytes.
void PascalToCString(const unsigned char* pascal, char* out);

}  // namespace nimbus
