// The history over HTTP: /history.json decimated with its peaks, bad
// requests refused with 400, and the page with its captions escaped.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <nlohmann/json.hpp>
#include <string>

#include "export/history_page.h"
#include "export/metrics_server.h"

namespace kev::metrics {
namespace {

constexpr int64_t kT0 = 989675110000;
constexpr int64_t kSecond = 1000;
constexpr int kTemp1 = 4;
const std::string kCaption = "<b onmouseover=\"x()\">CPU</b> & 'co'";

// One GET on a fresh connection: the whole answer, head and body.
std::string Get(int port, const std::string& target) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(port));
  std::string got;
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
    const std::string request =
        "GET " + target + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n";
    send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    char buf[65536];
    for (ssize_t n; (n = recv(fd, buf, sizeof buf, 0)) > 0;)
      got.append(buf, static_cast<size_t>(n));
  }
  close(fd);
  return got;
}

std::string Body(const std::string& answer) { return answer.substr(answer.find("\r\n\r\n") + 4); }

TEST(HistoryHttp, AnswersDecimatedReadingsRefusesBadRequestsAndEscapesThePage) {
  int64_t now = kT0;
  ChannelHistory history([&now] { return now; });
  // Two hours of a steady 45 C with one sample at 90 C.
  for (int s = 0; s < 7200; ++s, now += kSecond) {
    history.Record(kTemp1, now, s == 5000 ? 90.0 : 45.0, s == 5000);
  }
  now -= kSecond;
  auto view = std::make_shared<HistoryView>();
  view->history = &history;
  view->sampledMs = now;
  view->rows.push_back({kTemp1,
                        ChannelGroup::Temp,
                        "temp1",
                        kCaption,
                        "45.0C / 113.0F",
                        true,
                        true,
                        false,
                        {std::nullopt, 60.0}});
  Published texts;
  texts.history = view;
  MetricsServer server;
  std::string error;
  ASSERT_TRUE(server.Start({}, error)) << error;
  server.Publish(texts);

  const std::string answer = Get(server.port(), "/history.json?channel=4&minutes=120");
  ASSERT_NE(answer.find("200 OK"), std::string::npos) << answer;
  const nlohmann::json doc = nlohmann::json::parse(Body(answer));
  EXPECT_EQ(doc["caption"], kCaption);
  EXPECT_EQ(doc["high"], 60.0);
  ASSERT_LE(doc["points"].size(), kMaxHistoryPoints);
  EXPECT_GE(doc["points"].size(), kMaxHistoryPoints - 1);
  int peaks = 0;
  for (const auto& p : doc["points"]) peaks += p["max"] == 90.0 && p["alarm"] == true ? 1 : 0;
  EXPECT_EQ(peaks, 1);  // a single sample survives 7.2 s columns

  for (const char* bad :
       {"/history.json?channel=abc", "/history.json?channel=16", "/history.json?channel=0",
        "/history.json", "/history.json?channel=", "/history.json?channel=4&minutes=0",
        "/history.json?channel=4&minutes=1441",
        "/history.json?channel=4&minutes=9999999999999999999"}) {
    const std::string refused = Get(server.port(), bad);
    EXPECT_NE(refused.find("400 Bad Request"), std::string::npos) << bad;
    EXPECT_NE(Body(refused).find("must be"), std::string::npos) << bad;
  }

  const std::string page = Get(server.port(), "/");
  EXPECT_NE(page.find("Content-Security-Policy: default-src 'none'"), std::string::npos);
  EXPECT_EQ(page.find("<b "), std::string::npos);
  EXPECT_EQ(page.find("<script"), std::string::npos);
  EXPECT_NE(page.find("&lt;b onmouseover=&quot;x()&quot;&gt;CPU&lt;/b&gt; &amp; &#39;co&#39;"),
            std::string::npos);
  EXPECT_NE(page.find("class=\"alarm\""), std::string::npos);
  EXPECT_NE(page.find("class=\"limit\""), std::string::npos);

  // Two hours recorded: the page opens on 24 hours, with plain links to the others.
  EXPECT_NE(page.find("the graphs show the last 24 hours"), std::string::npos);
  EXPECT_NE(page.find("<a href=\"/?minutes=10\">10 minutes</a>"), std::string::npos);
  EXPECT_NE(page.find("<a href=\"/?minutes=60\">hour</a>"), std::string::npos);
  const std::string tenMinutes = Get(server.port(), "/?minutes=10");
  EXPECT_NE(tenMinutes.find("the graphs show the last 10 minutes"), std::string::npos);
  EXPECT_EQ(tenMinutes.find("class=\"alarm\""), std::string::npos);  // the peak is older
  EXPECT_NE(Get(server.port(), "/?minutes=0").find("400 Bad Request"), std::string::npos);
  server.Stop();

  // A minute recorded is no sliver at the edge of an hour: 10 minutes.
  ChannelHistory fresh([&now] { return now; });
  fresh.Record(kTemp1, now - 60 * kSecond, 45.0, false);
  EXPECT_EQ(fresh.ShortestSpanHolding(now), kHistorySpansMs[0]);
}

}  // namespace
}  // namespace kev::metrics
