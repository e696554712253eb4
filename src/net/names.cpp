#include "net/names.h"

#include <algorithm>
#include <cstring>

#include "net/session.h"
#include "platform/sockets.h"

namespace nimbus {
namespace {

using platform::Calls;

// Buffers for this host's name: LocalAddress asks with 100 bytes, name resolution with 255.
constexpr int32_t kLocalAddressNameBuffer = 100;
constexpr int32_t kResolveNameBuffer = 255;
constexpr int32_t kDottedTextSize = 16;

// The first address the resolver gives for name, in host order; false when it gives none.
bool LookUpHost(const char* name, uint32_t* address) {
  uint32_t network = 0;
  if (Calls().gethostbyname(name, &network) != 0) return false;
  *address = platform::NetToHost32(network);
  return true;
}

void CopyToPascal(const char* text, unsigned char* out) {
  const size_t length = std::min<size_t>(std::strlen(text), 255);
  out[0] = uint8_t(length);
  std::memcpy(out + 1, text, length);
}

}  // namespace

void PascalToCString(const unsigned char* pascal, char* out) {
  const size_t length = pascal != nullptr ? pascal[0] : 0;
  if (length > 0) std::memcpy(out, pascal + 1, length);
  out[length] = 0;
}

uint32_t ResolveName(const char* name) {
  char localName[kResolveNameBuffer + 1] = {};
  if (name == nullptr || name[0] == 0) {
    if (Calls().gethostname(localName, kResolveNameBuffer) != 0) return CachedLocalAddress();
    name = localName;
  }
  const uint32_t dotted = Calls().inetAddr(name);
  if (dotted != kNoAddress) return platform::NetToHost32(dotted);
  uint32_t address = kNoAddress;
  return LookUpHost(name, &address) ? address : kNoAddress;
}

uint32_t LocalHostAddress() {
  char localName[kLocalAddressNameBuffer + 1] = {};
  if (Calls().gethostname(localName, kLocalAddressNameBuffer) != 0) return CachedLocalAddress();
  uint32_t address = 0;
  return LookUpHost(localName, &address) ? address : CachedLocalAddress();
}

void AddressToName(uint32_t address, bool dottedOnly, unsigned char* out) {
  out[0] = 0;
  const uint32_t network = platform::HostToNet32(address);
  if (!dottedOnly) {
    char name[256] = {};
    if (Calls().gethostbyaddr(network, name, sizeof name) == 0) CopyToPascal(name, out);
  }
  if (out[0] != 0) return;
  char dotted[kDottedTextSize] = {};
  Calls().inetNtoa(network, dotted);
  dotted[kDottedTextSize - 1] = 0;
  CopyToPascal(dotted, out);
}

}  // namespace nimbus
