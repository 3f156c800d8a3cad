// The library opens at most 32 connections to one host and 128 in all; further calls wait.
// Counted at peers that accept connections and never answer, with more calls than the limits.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "orvane/site/internal/CurlTransport.h"

namespace orvane::site::testing {
namespace {

using Clock = std::chrono::steady_clock;

// A listening socket on 127.0.0.1 whose connections are taken and never answered.
class SilentPeer {
 public:
  SilentPeer() {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    EXPECT_EQ(::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    EXPECT_EQ(::listen(listener_, 512), 0);
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
  }
  ~SilentPeer() {
    for (int connection : connections_) ::close(connection);
    ::close(listener_);
  }
  SilentPeer(const SilentPeer&) = delete;
  SilentPeer& operator=(const SilentPeer&) = delete;

  std::string url() const { return "https://127.0.0.1:" + std::to_string(port_) + "/"; }
  std::size_t accepted() const { return connections_.size(); }

  // Takes every connection waiting now; true when there was one.
  bool acceptWaiting() {
    bool any = false;
    pollfd ready{listener_, POLLIN, 0};
    while (::poll(&ready, 1, 0) == 1) {
      const int connection = ::accept(listener_, nullptr, nullptr);
      if (connection < 0) break;
      connections_.push_back(connection);
      any = true;
    }
    return any;
  }

 private:
  int listener_ = -1;
  int port_ = 0;
  std::vector<int> connections_;
};

// Sends `callsPerPeer` calls to each peer and returns how many connections each peer got once
// no new one has come for a while. Every call then ends (the peers close) with its failure.
std::vector<std::size_t> connectionsAtPeers(std::size_t peerCount, std::size_t callsPerPeer) {
  auto transport = std::make_shared<CurlTransport>();
  std::vector<std::unique_ptr<SilentPeer>> peers;
  for (std::size_t i = 0; i < peerCount; ++i) peers.push_back(std::make_unique<SilentPeer>());
  const std::size_t total = peerCount * callsPerPeer;
  auto ended = std::make_shared<std::atomic<std::size_t>>(0);
  auto allEnded = std::make_shared<std::promise<void>>();
  for (const auto& peer : peers) {
    for (std::size_t i = 0; i < callsPerPeer; ++i) {
      HttpRequest request;
      request.method = "GET";
      request.url = peer->url();
      request.timeoutSeconds = 30;
      transport->send(request, [ended, allEnded, total](HttpOutcome) {
        if (++*ended == total) allEnded->set_value();
      });
    }
  }
  // Connections come within milliseconds; a quiet second means no more will.
  auto lastNew = Clock::now();
  const auto giveUp = Clock::now() + std::chrono::seconds(15);
  while (Clock::now() - lastNew < std::chrono::seconds(1) && Clock::now() < giveUp) {
    bool any = false;
    for (const auto& peer : peers) any = peer->acceptWaiting() || any;
    if (any) lastNew = Clock::now();
    ::usleep(10000);
  }
  std::vector<std::size_t> counts;
  for (const auto& peer : peers) counts.push_back(peer->accepted());
  peers.clear();  // closes every connection: the waiting calls then fail fast
  EXPECT_EQ(allEnded->get_future().wait_for(std::chrono::seconds(40)), std::future_status::ready);
  return counts;
}

TEST(ConnectionLimits, AtMost32ConnectionsToOneHost) {
  const std::vector<std::size_t> counts = connectionsAtPeers(1, 40);
  EXPECT_EQ(counts, std::vector<std::size_t>{32});
}

}  // namespace
}  // namespace orvane::site::testing
