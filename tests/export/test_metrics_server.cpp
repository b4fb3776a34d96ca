// The metrics server against clients that misbehave, over loopback.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "export/metrics_server.h"
#include "loopback.h"

namespace kev::metrics {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr size_t kChunk = 64 * 1024;

using kev::test::Connect;

// Sends text, then filler bytes until the server stops taking them.
void Send(int fd, const std::string& text, size_t filler = 0) {
  if (send(fd, text.data(), text.size(), MSG_NOSIGNAL) < 0) return;
  const std::string chunk(kChunk, 'a');
  for (size_t sent = 0; sent < filler; sent += chunk.size()) {
    if (send(fd, chunk.data(), chunk.size(), MSG_NOSIGNAL) < 0) return;
  }
}

// How many complete answers (head and Content-Length body) text holds.
int CompleteAnswers(const std::string& text) {
  int count = 0;
  for (size_t at = 0;; ++count) {
    const size_t head = text.find("\r\n\r\n", at);
    if (head == std::string::npos) return count;
    const size_t length = text.find("Content-Length: ", at);
    const size_t body = length < head ? std::stoul(text.substr(length + 16)) : 0;
    if (text.size() < head + 4 + body) return count;
    at = head + 4 + body;
  }
}

// What arrives within the timeout; stops early when the server closes, or
// once `answers` complete answers have come.
std::string Receive(int fd, milliseconds timeout, int answers = 1) {
  std::string got;
  const auto end = Clock::now() + timeout;
  while (CompleteAnswers(got) < answers) {
    const auto left = std::chrono::duration_cast<milliseconds>(end - Clock::now()).count();
    pollfd p{fd, POLLIN, 0};
    if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) break;
    char buf[4096];
    const ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    got.append(buf, static_cast<size_t>(n));
  }
  return got;
}

std::string StatusOf(const std::string& answer) { return answer.substr(0, answer.find("\r\n")); }

// A fresh scrape's status line, or empty when none came within the timeout.
std::string FreshScrape(int port, milliseconds timeout) {
  const int fd = Connect(port);
  Send(fd, "GET /metrics HTTP/1.1\r\nHost: t\r\nConnection: close\r\n\r\n");
  const std::string answer = Receive(fd, timeout);
  close(fd);
  return StatusOf(answer);
}

class Server : public ::testing::Test {
 protected:
  void SetUp() override {
    server.Publish({"kevatra_build_info{version=\"t\"} 1\n", "{}\n"});
    std::string error;
    ASSERT_TRUE(server.Start({"127.0.0.1", 0}, error)) << error;
    port = server.port();
  }
  MetricsServer server;
  int port = 0;
};

TEST_F(Server, RefusesOversizedAndUnwantedRequestsWithoutReadingThem) {
  const std::string manyHeaders = [] {
    std::string h;
    for (int i = 0; i < 101; ++i) h += "X-" + std::to_string(i) + ": y\r\n";
    return h;
  }();
  struct Case {
    std::string request;
    size_t filler;
    std::string status;
  };
  const std::vector<Case> cases{
      {"GET /metrics HTTP/1.1\r\nHost: t\r\nContent-Length: 104857600\r\n\r\n", 8u << 20,
       "HTTP/1.1 413 Content Too Large"},
      {"GET /", 8u << 20, "HTTP/1.1 414 URI Too Long"},
      {"GET /" + std::string(8300, 'a') + " HTTP/1.1\r\nHost: t\r\n\r\n", 0,
       "HTTP/1.1 414 URI Too Long"},
      {"GET /metrics HTTP/1.1\r\nHost: t\r\n" + manyHeaders + "\r\n", 0,
       "HTTP/1.1 431 Request Header Fields Too Large"},
      {"GET /metrics HTTP/1.1\r\nHost: t\r\nX: " + std::string(9000, 'y') + "\r\n\r\n", 0,
       "HTTP/1.1 431 Request Header Fields Too Large"},
      {"POST /metrics HTTP/1.1\r\nHost: t\r\nTransfer-Encoding: chunked\r\n\r\n100000\r\n",
       8u << 20, "HTTP/1.1 405 Method Not Allowed"},
      {"OPTIONS /metrics HTTP/1.1\r\nHost: t\r\n\r\n", 0, "HTTP/1.1 405 Method Not Allowed"},
  };
  for (const Case& c : cases) {
    const int fd = Connect(port);
    Send(fd, c.request, c.filler);
    const std::string answer = Receive(fd, seconds(5));
    close(fd);
    EXPECT_EQ(StatusOf(answer), c.status) << c.request.substr(0, 60);
    if (c.status.find("405") != std::string::npos) {
      EXPECT_NE(answer.find("Allow: GET, HEAD\r\n"), std::string::npos);
    }
  }
  EXPECT_EQ(FreshScrape(port, seconds(5)), "HTTP/1.1 200 OK");
}

TEST_F(Server, SlowAndSilentClientsNeitherDelayAFreshScrapeNorOutliveTheirDeadline) {
  std::vector<int> silent;
  for (int i = 0; i < 200; ++i) silent.push_back(Connect(port));
  std::vector<int> dripping;
  for (int i = 0; i < 8; ++i) {
    dripping.push_back(Connect(port));
    Send(dripping.back(), "GET /metrics HTTP/1.1\r\n");
  }
  const auto start = Clock::now();
  EXPECT_EQ(FreshScrape(port, seconds(1)), "HTTP/1.1 200 OK");
  // A byte a second keeps a client from idling out, but not past the
  // request's deadline of 10 s.
  size_t cut = 0;
  while (cut < dripping.size() && Clock::now() - start < seconds(14)) {
    cut = 0;
    for (int fd : dripping) {
      if (send(fd, "X", 1, MSG_NOSIGNAL) < 0) ++cut;
    }
    std::this_thread::sleep_for(milliseconds(500));
  }
  EXPECT_EQ(cut, dripping.size());
  EXPECT_GT(Clock::now() - start, seconds(9));
  EXPECT_EQ(FreshScrape(port, seconds(1)), "HTTP/1.1 200 OK");
  for (int fd : silent) close(fd);
  for (int fd : dripping) close(fd);
}

TEST_F(Server, KeepAliveScrapesAnswerAtOnceAndPipelinedOnesEachGetAnAnswer) {
  const int fd = Connect(port);
  // Headers and body in one segment, no wait for a delayed ACK: 100 scrapes
  // take a few milliseconds, not 100 times 40.
  const auto start = Clock::now();
  for (int i = 0; i < 100; ++i) {
    Send(fd, "GET /metrics HTTP/1.1\r\nHost: t\r\n\r\n");
    ASSERT_EQ(StatusOf(Receive(fd, seconds(2))), "HTTP/1.1 200 OK");
  }
  EXPECT_LT(Clock::now() - start, seconds(2));
  Send(fd,
       "GET /metrics HTTP/1.1\r\nHost: t\r\n\r\nHEAD /readings.json HTTP/1.1\r\nHost: t\r\n\r\n"
       "GET /metrics HTTP/1.1\r\nHost: t\r\nConnection: close\r\n\r\n");
  const std::string answers = Receive(fd, seconds(2), 3);
  close(fd);
  size_t count = 0;
  for (size_t at = answers.find("HTTP/1.1 200 OK"); at != std::string::npos;
       at = answers.find("HTTP/1.1 200 OK", at + 1))
    ++count;
  EXPECT_EQ(count, 3u) << answers;
}

TEST_F(Server, ASecondServerOnThePortFailsAndADeadListenerIsReported) {
  MetricsServer second;
  std::string error;
  EXPECT_FALSE(second.Start({"127.0.0.1", port}, error));
  EXPECT_NE(error.find("is in use"), std::string::npos) << error;
  EXPECT_FALSE(second.Start({"192.0.2.1", 0}, error));
  EXPECT_NE(error.find("not on this machine"), std::string::npos) << error;

  EXPECT_EQ(server.Failure(), "");
  shutdown(server.listenSocket(), SHUT_RDWR);
  const auto start = Clock::now();
  while (server.Failure().empty() && Clock::now() - start < seconds(5))
    std::this_thread::sleep_for(milliseconds(10));
  EXPECT_EQ(server.Failure(), "the listening socket was closed");
}

TEST(ListenAddress, TakesHostAndPortOrAPortAloneForEveryInterface) {
  ListenAddress a;
  std::string error;
  ASSERT_TRUE(ParseListenAddress(":9715", a, error));
  EXPECT_EQ(a.host, "");
  EXPECT_EQ(HostPort(a, a.port), "[::]:9715");
  ASSERT_TRUE(ParseListenAddress("[::1]:0", a, error));
  EXPECT_EQ(HostPort(a, 8080), "[::1]:8080");
  for (const char* bad : {"9715", "host:", "host:65536", "[::1:80", "a:b"})
    EXPECT_FALSE(ParseListenAddress(bad, a, error)) << bad;
}

}  // namespace
}  // namespace kev::metrics
