// The browser display (potclock --serve) as browsers and worse reach it: the
// real program serving on a free port of the loopback address, asked with
// curl and with raw sockets where a client has to misbehave.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/disk/statefile.h"
#include "harness/plain_run.h"
#include "harness/potclock_screen.h"
#include "harness/vterm_pty.h"
#include "serve_client.h"

namespace {

using e2e::kWait;
using e2e::StateHome;
using e2e::VtermPty;
using serve::Client;
using serve::ServedDisplay;

std::string curl(const std::string& arguments) {
  std::string out;
  const std::string command = "curl -sS -i --max-time 5 " + arguments + " 2>&1";
  const std::unique_ptr<FILE, decltype(&::pclose)> pipe(::popen(command.c_str(), "r"), ::pclose);
  char buffer[4096];
  for (std::size_t n; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0;)
    out.append(buffer, n);
  return out;
}

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(ServeE2E, OnlyItsFewPathsAndOnlyToRead) {
  StateHome home;
  ServedDisplay served(home);
  ASSERT_NE(served.port(), 0) << served.term().screenText();
  const std::string url = served.url();
  const std::string page = curl(url);
  for (const char* part : {"HTTP/1.1 200", "Content-Type: text/html; charset=utf-8",
                           "Content-Security-Policy: default-src 'none'; script-src 'self'",
                           "X-Content-Type-Options: nosniff", "Referrer-Policy: no-referrer",
                           "<script src=\"/app.js\""})
    EXPECT_TRUE(has(page, part)) << part << " in\n" << page;
  const struct {
    std::string arguments;
    std::vector<std::string> parts;
  } cases[] = {
      {url + "app.js", {"HTTP/1.1 200", "text/javascript", "new EventSource(\"/events\")"}},
      {url + "app.css", {"HTTP/1.1 200", "text/css"}},
      {url + "state.json", {"HTTP/1.1 200", "no-store", "{\"game\":false"}},
      {"-I " + url + "events", {"HTTP/1.1 200", "text/event-stream", "Cache-Control: no-store"}},
      {"-X POST -d x=1 " + url, {"HTTP/1.1 405", "Allow: GET, HEAD"}},
      {"-X DELETE " + url + "events", {"HTTP/1.1 405", "Allow: GET, HEAD"}},
      {url + "index.html", {"HTTP/1.1 404"}},
      {"--path-as-is " + url + "../../etc/passwd", {"HTTP/1.1 404"}},
      {url + "app.js/", {"HTTP/1.1 404"}},
  };
  for (const auto& c : cases) {
    const std::string answer = curl(c.arguments);
    for (const std::string& part : c.parts)
      EXPECT_TRUE(has(answer, part)) << c.arguments << ": " << part << " in\n" << answer;
    EXPECT_FALSE(has(answer, "root:")) << answer;
  }
  // Requests no browser sends: answered with an error, and nothing else
  // changes.
  const struct {
    std::string request;
    std::string status;
  } raw[] = {
      // No path at all: the connection is closed without a word.
      {"GARBAGE\r\n\r\n", ""},
      {"GET / FOO/1.1\r\nHost: x\r\n\r\n", "HTTP/1.1 400"},
      {std::string("\0\1 / HTTP/1.1\r\nHost: x\r\n\r\n", 26), "HTTP/1.1 400"},
      {"GET / HTTP/1.1\r\nHost: x\r\nX-Big: " + std::string(20 * 1024, 'a') + "\r\n\r\n",
       "HTTP/1.1 431"},
  };
  for (const auto& r : raw) {
    Client client(served.port());
    client.send(r.request);
    if (r.status.empty())
      EXPECT_TRUE(client.waitClosed(kWait) && client.got().empty()) << client.got();
    else
      EXPECT_TRUE(client.waitFor(r.status)) << client.got().substr(0, 200);
  }
  EXPECT_TRUE(has(curl(url), "HTTP/1.1 200"));
  EXPECT_TRUE(served.endsWith(SIGTERM));
}

TEST(ServeE2E, TheStreamFollowsTheGameFromItsStartToItsEnd) {
  StateHome home;
  ServedDisplay served(home, {"--quiet"});
  Client stream(served.port());
  stream.send("GET /events HTTP/1.1\r\nHost: x\r\n\r\n");
  // No game yet, nor its directory: the stream waits for it.
  ASSERT_TRUE(stream.waitFor("\"game\":false")) << stream.got();
  EXPECT_TRUE(has(stream.got(), "Content-Type: text/event-stream")) << stream.got();
  EXPECT_TRUE(has(stream.got(), "\"chime\":false")) << stream.got();

  potclock::GameState state;
  state.nLevel = 1;
  state.nPerLevel = 20;
  state.endsAt = e2e::wallNow() + 600;
  ASSERT_TRUE(potclock::saveGameState(home.file(), state).ok());
  EXPECT_TRUE(stream.waitFor("\"blinds\":\"1 / 2\"")) << stream.got();
  EXPECT_TRUE(has(stream.got(), "\"counting\":true")) << stream.got();
  state.nLevel = 2;
  ASSERT_TRUE(potclock::saveGameState(home.file(), state).ok());
  EXPECT_TRUE(stream.waitFor("\"blinds\":\"2 / 4\"")) << stream.got();
  EXPECT_TRUE(has(stream.got(), "id: 3\n")) << stream.got();
  EXPECT_TRUE(has(curl(served.url() + "state.json"), "\"blinds\":\"2 / 4\""));
  state.paused = true;
  state.secondsLeft = 75;
  ASSERT_TRUE(potclock::saveGameState(home.file(), state).ok());
  EXPECT_TRUE(stream.waitFor("\"paused\":true")) << stream.got();
  // A browser that comes later is told the server's time as it comes, not
  // the time of the last change, or its countdown and time of day would lag.
  const double changed = e2e::wallNow();
  while (e2e::wallNow() < changed + 1.5) ::poll(nullptr, 0, 50);
  Client late(served.port());
  late.send("GET /events HTTP/1.1\r\nHost: x\r\n\r\n");
  ASSERT_TRUE(late.waitFor("\"paused\":true")) << late.got();
  const std::size_t now = late.got().find("\"now\":");
  ASSERT_NE(now, std::string::npos) << late.got();
  EXPECT_GT(std::stod(late.got().substr(now + 6)), changed + 1.4) << late.got();

  const std::size_t before = stream.got().size();
  potclock::removeGameState(home.file());
  EXPECT_TRUE(stream.waitFor("\"game\":false", kWait, before)) << stream.got();
  EXPECT_TRUE(served.endsWith(SIGINT));
  EXPECT_TRUE(stream.waitClosed(kWait));
}

TEST(ServeE2E, ThreeHundredBrowsersAndOneThatTricklesAreServedSideBySide) {
  StateHome home;
  ServedDisplay served(home);
  std::vector<std::unique_ptr<Client>> browsers;
  for (int i = 0; i < 300; ++i) {
    browsers.push_back(std::make_unique<Client>(served.port()));
    browsers.back()->send("GET /events HTTP/1.1\r\nHost: x\r\n\r\n");
  }
  for (auto& b : browsers) ASSERT_TRUE(b->waitFor("event: state")) << b->got();

  // A byte a second: never idle, but never a whole request either.
  Client trickle(served.port());
  const auto started = std::chrono::steady_clock::now();
  const std::string request = "GET / HTTP/1.1\r\nHost: x\r\nX-Slow: ";
  bool cut = false;
  for (std::size_t i = 0; !cut && i < 40; ++i) {
    trickle.send(std::string(1, i < request.size() ? request[i] : 'a'));
    // Meanwhile everyone else is answered.
    if (i % 5 == 0) {
      EXPECT_TRUE(has(curl(served.url() + "state.json"), "HTTP/1.1 200"));
    }
    cut = trickle.waitClosed(1.0);
  }
  const double took =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  EXPECT_TRUE(cut) << "a trickling request is cut off";
  EXPECT_LT(took, 20) << "cut off after " << took << " s";

  // The three hundred still follow the game.
  potclock::GameState state;
  state.endsAt = e2e::wallNow() + 600;
  ASSERT_TRUE(potclock::saveGameState(home.file(), state).ok());
  for (auto& b : browsers) EXPECT_TRUE(b->waitFor("\"game\":true")) << b->got();
  browsers.clear();
  EXPECT_TRUE(has(curl(served.url()), "HTTP/1.1 200"));
  EXPECT_TRUE(served.endsWith(SIGTERM));
}

}  // namespace
