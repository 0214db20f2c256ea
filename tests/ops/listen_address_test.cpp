// Where the endpoint listens, as an operator writes it.

#include "ops/listen_address.h"

#include <gtest/gtest.h>

namespace varn {
namespace {

TEST(ListenAddressTest, APortAloneIsLoopbackAndAddressesAreKeptNumeric) {
  struct Case {
    const char* text;
    const char* host;
    uint16_t port;
    bool ipv6;
    const char* shown;
  };
  for (const Case& c :
       {Case{"9464", "127.0.0.1", 9464, false, "127.0.0.1:9464"},
        Case{"0.0.0.0:1", "0.0.0.0", 1, false, "0.0.0.0:1"},
        Case{"192.168.1.20:65535", "192.168.1.20", 65535, false, "192.168.1.20:65535"},
        Case{"localhost:9464", "127.0.0.1", 9464, false, "127.0.0.1:9464"},
        Case{"[::1]:9464", "::1", 9464, true, "[::1]:9464"},
        Case{"[::]:80", "::", 80, true, "[::]:80"}, Case{"[fe80::1%lo]:80", "", 0, false, ""}}) {
    const ListenParse p = ParseListenAddress(c.text);
    if (!*c.host) {
      EXPECT_FALSE(p.address) << c.text;  // scoped addresses are not taken
      continue;
    }
    ASSERT_TRUE(p.address) << c.text << ": " << p.error;
    EXPECT_EQ(p.address->host, c.host);
    EXPECT_EQ(p.address->port, c.port);
    EXPECT_EQ(p.address->ipv6, c.ipv6);
    EXPECT_EQ(p.address->Text(), c.shown);
  }
}

TEST(ListenAddressTest, BadValuesAreRefusedSayingWhatIsWrong) {
  struct Case {
    const char* text;
    const char* says;
  };
  for (const Case& c :
       {Case{"", "expected PORT"}, Case{"0", "1 to 65535"}, Case{"65536", "1 to 65535"},
        Case{"94x", "1 to 65535"}, Case{"-1", "1 to 65535"}, Case{"127.0.0.1:", "1 to 65535"},
        Case{":9464", "not a numeric IPv4"}, Case{"example.org:9464", "not a numeric IPv4"},
        Case{"300.1.1.1:9464", "not a numeric IPv4"}, Case{"::1:9464", "in brackets"},
        Case{"[::1]9464", "expected PORT"}, Case{"[::1]", "expected PORT"},
        Case{"[::g]:9464", "not a numeric IPv6"}, Case{"[127.0.0.1]:9464", "not a numeric IPv6"}}) {
    const ListenParse p = ParseListenAddress(c.text);
    EXPECT_FALSE(p.address) << c.text;
    EXPECT_NE(p.error.find(c.says), std::string::npos) << c.text << ": " << p.error;
    EXPECT_NE(p.error.find("\"" + std::string(c.text) + "\""), std::string::npos) << p.error;
  }
}

}  // namespace
}  // namespace varn
