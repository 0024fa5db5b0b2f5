// Where the service looks for the sound server's socket, for each way the
// environment can name it (or not).

#include "platform/pulse/server_sockets.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tq {
namespace {

TEST(ServerSocketsTest, FollowsTheClientLibrarysLookup) {
  struct Case {
    const char* what;
    ServerEnvironment environment;
    bool named;
    std::string own;
    std::vector<std::string> all;
  };
  const std::vector<Case> cases = {
      {"named socket",
       {"unix:/run/s/native", "/rt", "/x"},
       true,
       "/run/s/native",
       {"/run/s/native"}},
      {"named path without unix:",
       {"/run/s/native", "", ""},
       true,
       "/run/s/native",
       {"/run/s/native"}},
      {"TCP address", {"tcp:host:4713", "", "/x"}, true, "", {}},
      {"relative path", {"unix:native", "", "/x"}, true, "", {}},
      {"list of servers", {"{id}unix:/a /b", "", "/x"}, true, "", {}},
      {"runtime path before XDG",
       {"", "/rt", "/x"},
       false,
       "/rt/native",
       {"/rt/native", "/var/run/pulse/native"}},
      {"XDG runtime folder",
       {"", "", "/x"},
       false,
       "/x/pulse/native",
       {"/x/pulse/native", "/var/run/pulse/native"}},
      {"nothing set", {"", "", ""}, false, "", {"/var/run/pulse/native"}},
  };
  for (const Case& c : cases) {
    const ServerSockets sockets = server_sockets(c.environment);
    EXPECT_EQ(sockets.named, c.named) << c.what;
    EXPECT_EQ(sockets.own, c.own) << c.what;
    EXPECT_EQ(sockets.all(), c.all) << c.what;
  }
}

}  // namespace
}  // namespace tq
