// The browser display's page in a real browser (headless Chromium, driven
// through its debugging pipe) beside a real clock: what the room reads on a
// phone or a television as the organiser steers the clock.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>

#include "harness/potclock_screen.h"
#include "harness/vterm_pty.h"
#include "serve_client.h"
#include "support/temp_dir.h"

namespace {

using e2e::kWait;
using e2e::shows;
using e2e::StateHome;
using e2e::VtermPty;

double steadyNow() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The string after `"key":"` in `json`, up to its closing quote (the page's
// texts hold no quote).
std::optional<std::string> field(const std::string& json, const std::string& key) {
  const std::string start = "\"" + key + "\":\"";
  const auto at = json.find(start);
  if (at == std::string::npos) return std::nullopt;
  const auto from = at + start.size();
  return json.substr(from, json.find('"', from) - from);
}

// Headless Chromium with one page, asked over its debugging pipe (file
// descriptors 3 and 4, messages ended by a NUL): no port, no socket.
class Browser {
 public:
  Browser() {
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(in[0], 3);
      ::dup2(out[1], 4);
      const int null = ::open("/dev/null", O_WRONLY);
      ::dup2(null, 1);
      ::dup2(null, 2);
      const std::string profile = "--user-data-dir=" + profile_.path().string();
      // As root the browser's sandbox cannot start.
      const char* sandbox = ::geteuid() == 0 ? "--no-sandbox" : "--headless";
      ::execlp("chromium", "chromium", "--headless", sandbox, "--disable-gpu",
               "--remote-debugging-pipe", "--no-first-run", profile.c_str(), "about:blank",
               static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    to_ = in[1];
    from_ = out[0];
  }
  ~Browser() {
    ::close(to_);
    ::close(from_);
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  Browser(const Browser&) = delete;
  Browser& operator=(const Browser&) = delete;

  // Opens `url` in a new page; false when the browser does not answer.
  bool open(const std::string& url) {
    const auto target = call("Target.createTarget", "{\"url\":\"" + url + "\"}");
    const auto id = target ? field(*target, "targetId") : std::nullopt;
    if (!id) return false;
    const auto attached =
        call("Target.attachToTarget", "{\"targetId\":\"" + *id + "\",\"flatten\":true}");
    session_ = attached ? field(*attached, "sessionId").value_or("") : "";
    return !session_.empty();
  }
  // What a script's `expression` gives, a string.
  std::optional<std::string> text(const std::string& expression) {
    const auto answer = call("Runtime.evaluate", "{\"expression\":\"" + expression + "\"}");
    return answer ? field(*answer, "value") : std::nullopt;
  }

 private:
  std::optional<std::string> call(const std::string& method, const std::string& params) {
    const int id = ++sent_;
    std::string message =
        "{\"id\":" + std::to_string(id) + ",\"method\":\"" + method + "\",\"params\":" + params;
    if (!session_.empty()) message += ",\"sessionId\":\"" + session_ + "\"";
    message += "}";
    message.push_back('\0');
    if (::write(to_, message.data(), message.size()) != static_cast<ssize_t>(message.size()))
      return std::nullopt;
    const std::string answer = "{\"id\":" + std::to_string(id) + ",";
    const double until = steadyNow() + 20;
    for (;;) {
      for (std::size_t end; (end = buffer_.find('\0')) != std::string::npos;) {
        std::string one = buffer_.substr(0, end);
        buffer_.erase(0, end + 1);
        if (one.starts_with(answer)) return one;
      }
      pollfd p{from_, POLLIN, 0};
      if (steadyNow() > until || ::poll(&p, 1, 1000) < 0) return std::nullopt;
      char chunk[65536];
      if ((p.revents & (POLLIN | POLLHUP)) == 0) continue;
      const ssize_t n = ::read(from_, chunk, sizeof chunk);
      if (n <= 0) return std::nullopt;
      buffer_.append(chunk, static_cast<std::size_t>(n));
    }
  }

  TempDir profile_{"potclock-browser"};
  pid_t pid_ = -1;
  int to_ = -1;
  int from_ = -1;
  int sent_ = 0;
  std::string session_;
  std::string buffer_;
};

// What the page shows: the blinds, the time, the page's state.
constexpr const char* kShown =
    "['blinds', 'time'].map(i => document.getElementById(i).textContent)"
    ".concat(document.getElementById('clock').className).join('|')";

// "1:59" as seconds.
std::optional<int> secondsOf(const std::string& shown) {
  const auto bar = shown.find('|');
  const auto colon = shown.find(':', bar);
  if (bar == std::string::npos || colon == std::string::npos) return std::nullopt;
  return std::atoi(shown.c_str() + bar + 1) * 60 + std::atoi(shown.c_str() + colon + 1);
}

TEST(ServeBrowserE2E, ThePageFollowsTheClockWithinHalfASecond) {
  if (std::system("command -v chromium >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "chromium is not installed: the page is not tried in a browser";
  StateHome home;
  VtermPty clock(e2e::potclockIn(home, {"--quiet"}));
  e2e::answerManual(clock, "42", "2", 'M');
  ASSERT_TRUE(shows(clock, "Press any key to start timer "));
  clock.sendKeys("s");
  ASSERT_TRUE(e2e::waitBig(clock, 6, "  10 / 20"));
  serve::ServedDisplay served(home);
  ASSERT_NE(served.port(), 0);

  Browser browser;
  if (!browser.open(served.url()))
    GTEST_SKIP() << "chromium does not start here: the page is not tried in a browser";
  const auto showing = [&](const std::string& blinds) {
    const auto shown = browser.text(kShown);
    return shown && shown->starts_with(blinds + "|") && shown->find("lost") == std::string::npos;
  };
  double until = steadyNow() + kWait;
  while (!showing("10 / 20") && steadyNow() < until) ::usleep(20000);
  ASSERT_TRUE(showing("10 / 20")) << browser.text(kShown).value_or("no answer");

  const double pressed = steadyNow();
  clock.sendKeys("+");
  until = pressed + kWait;
  while (!showing("25 / 50") && steadyNow() < until) ::usleep(10000);
  const double took = steadyNow() - pressed;
  EXPECT_TRUE(showing("25 / 50")) << browser.text(kShown).value_or("no answer");
  EXPECT_LT(took, 0.5) << "the page shows the next blinds " << took << " s after the key";

  // The page's countdown and the clock's show the same figure, give or
  // take the moment between the two looks.
  const e2e::CountdownReader countdown(0, 120);
  ASSERT_TRUE(e2e::waitBig(clock, 6, "  25 / 50"));
  const auto onClock = countdown.read(clock);
  const auto onPage = secondsOf(browser.text(kShown).value_or(""));
  ASSERT_TRUE(onClock && onPage) << clock.screenText();
  EXPECT_LE(std::abs(*onClock - *onPage), 1) << *onClock << " on the clock, " << *onPage;
  // The server gone, the page says so rather than count on unseen.
  EXPECT_TRUE(served.endsWith(SIGTERM));
  const auto lost = [&] {
    const auto shown = browser.text(kShown);
    return shown && shown->find("|--:--|") != std::string::npos &&
           shown->find("lost") != std::string::npos;
  };
  until = steadyNow() + kWait;
  while (!lost() && steadyNow() < until) ::usleep(20000);
  EXPECT_TRUE(lost()) << browser.text(kShown).value_or("no answer");
}

}  // namespace
