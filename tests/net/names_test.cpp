// Names and addresses through the entry point; only local names that resolve without a
// network query are used.
#include "net/net_support.h"

namespace nettest {
namespace {

using NamesTest = NetTest;

TEST_F(NamesTest, DottedTextAndAddressesConvertBothWays) {
  auto name = [&](const std::string& n) {
    return Longint("NameToAddress", {Value::String(n), Value::Longint(0), Value::Longint(0)});
  };
  auto dotted = [&](int32_t address) {
    return host
        .Call("AddressToName", {Value::Longint(address), Value::Longint(2), Value::Longint(0)})
        .result.bytes;
  };
  EXPECT_EQ(name("127.0.0.1"), int32_t(kLoopback));
  EXPECT_EQ(name("localhost"), int32_t(kLoopback));
  EXPECT_EQ(name("255.255.255.255"), -1);
  EXPECT_EQ(dotted(int32_t(kLoopback)), "127.0.0.1");
  EXPECT_EQ(dotted(0), "0.0.0.0");
  EXPECT_EQ(dotted(int32_t(0xC0A80A01)), "192.168.10.1");

  const standin::CallResult local =
      host.Call("LocalAddress", {Value::Longint(0), Value::Longint(0), Value::Longint(0)});
  EXPECT_EQ(local.result.longint, 0);
  EXPECT_EQ(local.params[0].longint, name(""));
  EXPECT_EQ(local.params[1].longint, 5);
  EXPECT_EQ(local.params[2].longint, -1);
}

}  // namespace
}  // namespace nettest
