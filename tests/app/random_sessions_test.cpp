// Random sessions: seeded key sequences shaped like an organiser's use (a
// mode, numbers typed into the fields, editing keys, Escape once or twice,
// the start key, then timer keys while the clock moves on) run through MAIN
// on the headless runtime. Every session must end as a real one may: MAIN
// returning, a quit, a break, or the program waiting for a key the session
// no longer has; never an exception of the program's own or a runtime error.
//
// POTCLOCK_SOAK=n runs n sessions from a random first seed (printed);
// POTCLOCK_SEED=s starts at seed s, so that POTCLOCK_SEED=s POTCLOCK_SOAK=1
// replays one failure.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <random>
#include <string>
#include <vector>

#include "app/main.h"
#include "app/screens/clock.h"
#include "forms/readstatus.h"
#include "runtime/backends/headless.h"
#include "runtime/console/console.h"
#include "runtime/lang/error.h"
#include "support/error_recorder.h"
#include "support/test_runtime.h"

namespace potclock {
namespace {

using namespace krx;

struct Key {
  double at;  // seconds on the virtual clock
  int code;
};

std::string keyName(int code) {
  switch (code) {
    case K_ENTER:
      return "Enter";
    case K_ESC:
      return "Esc";
    case K_TAB:
      return "Tab";
    case K_SH_TAB:
      return "ShTab";
    case K_UP:
      return "Up";
    case K_DOWN:
      return "Down";
    case K_LEFT:
      return "Left";
    case K_RIGHT:
      return "Right";
    case K_HOME:
      return "Home|^A";
    case K_END:
      return "End";
    case K_BS:
      return "BS";
    case K_DEL:
      return "Del";
    case K_INS:
      return "Ins";
    case K_PGUP:
      return "PgUp";
    case K_PGDN:
      return "PgDn";
    case K_CTRL_Y:
      return "^Y";
    case K_CTRL_T:
      return "^T";
    case K_CTRL_U:
      return "^U";
    case K_CTRL_W:
      return "^W";
    case K_CTRL_LEFT:
      return "^Left";
    case K_CTRL_RIGHT:
      return "^Right";
    case K_CTRL_BS:
      return "^BS";
    default:
      break;
  }
  if (code > 32 && code < 127) return std::string(1, static_cast<char>(code));
  if (code == K_SPACE) return "Space";
  return "#" + std::to_string(code);
}

std::string describe(std::uint64_t seed, const std::vector<Key>& keys) {
  std::string out = "seed " + std::to_string(seed) + ", keys:";
  for (const Key& k : keys) {
    char at[32];
    std::snprintf(at, sizeof at, " @%.1f ", k.at);
    out += at + keyName(k.code);
  }
  return out;
}

// A session as an organiser might type it, from one seed.
class SessionMaker {
 public:
  explicit SessionMaker(std::uint64_t seed) : rng_(seed) {}

  std::vector<Key> make() {
    mode();
    const int fieldActions = pick(0, 12);
    for (int i = 0; i < fieldActions; ++i) fieldAction();
    if (chance(0.8)) add(pick({' ', 'x', '+', '-', K_ENTER, K_ESC, 'k'}));  // the start key
    const int timerActions = pick(0, 14);
    for (int i = 0; i < timerActions; ++i) timerAction();
    return std::move(keys_);
  }

 private:
  int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
  int pick(std::initializer_list<int> codes) {
    return *(codes.begin() + pick(0, static_cast<int>(codes.size()) - 1));
  }
  bool chance(double p) { return std::bernoulli_distribution(p)(rng_); }
  void add(int code, double gap = 0.1) { keys_.push_back({when_ += gap, code}); }
  void digits(int count) {
    for (int i = 0; i < count; ++i) add('0' + pick(0, 9));
  }

  void mode() {
    if (chance(0.03)) return add(K_ESC);
    add(pick({'m', 'M', 'c', 'C', K_ENTER, 'x', 'h'}));
  }

  void fieldAction() {
    switch (pick(0, 9)) {
      case 0:
      case 1:
      case 2:
        digits(pick(1, 3));
        break;
      case 3:
        digits(pick(4, 8));
        break;  // longer than any field
      case 4:
        add('-');
        digits(pick(0, 2));
        break;
      case 5:
        add(pick({K_ENTER, K_TAB, K_SH_TAB, K_UP, K_DOWN}));
        break;
      case 6:
        add(K_ESC);
        if (chance(0.5)) add(K_ESC);
        break;
      case 7:
        add(pick({K_LEFT, K_RIGHT, K_HOME, K_END, K_BS, K_DEL, K_INS, K_CTRL_Y, K_CTRL_T, K_CTRL_U,
                  K_CTRL_W, K_CTRL_LEFT, K_CTRL_RIGHT, K_CTRL_BS, K_PGUP, K_PGDN}));
        break;
      case 8:
        add(pick({'a', 'b', 'c', 'd', 'h', 'm', 'H', 'M', 'z', ':', ' ', '.'}));
        break;
      default:
        add(pick({'0', '1', '9', '2', '4'}));
        break;
    }
  }

  // Timer keys come after waits of up to a few seconds, now and then a
  // level's length or more.
  void timerAction() {
    const double gap = chance(0.1) ? pick(30, 150) : pick(0, 40) / 10.0;
    add(pick({'+', '-', '+', '-', ' ', ' ', K_ESC, K_ESC, 'y', 'n', 'Y', 'N', K_ENTER, K_RIGHT,
              K_LEFT, 'a', '5', 1, K_TAB}),
        gap);
  }

  std::mt19937_64 rng_;
  std::vector<Key> keys_;
  double when_ = 0;
};

// Thrown from the backend's wait once the session has run its course.
struct SessionOver {};

enum Ending { kReturned, kQuit, kBreak, kWaitingForKey, kStillRunning, kEndingCount };
const char* const kEndingNames[] = {"MAIN returned", "quit", "break", "waiting for a key",
                                    "still running"};

// Runs one session; returns what went wrong, or nothing.
std::string runSession(const std::vector<Key>& keys, Ending* ending = nullptr) {
  TestRuntime t;
  ErrorRecorder recorder;
  recorder.answer = [](const ErrorRef& e) -> Item { BREAK(Item(e)); };
  for (const Key& k : keys) t.hl.keyAt(k.at, k.code);
  // A minute and a half after the last key, enough for a short level to end.
  const double until = (keys.empty() ? 0 : keys.back().at) + 90;
  long waits = 0;
  t.hl.onWait = [&](HeadlessBackend& hl, const Screen&) {
    if (hl.now() > until) throw SessionOver{};
    // Every wait moves the clock or takes a key; this many means one does not.
    if (++waits > 200000) throw std::runtime_error("waits without end, the clock standing still");
  };
  std::string failure;
  Ending how = kReturned;
  try {
    MAIN();
  } catch (const ScriptExhausted&) {
    how = kWaitingForKey;
  } catch (const QuitSignal&) {
    how = kQuit;
  } catch (const BreakSignal&) {
    how = kBreak;
  } catch (const SessionOver&) {
    how = kStillRunning;
  } catch (const std::exception& e) {
    failure = std::string("exception: ") + e.what();
  } catch (...) {
    failure = "an unknown exception";
  }
  if (!recorder.errors.empty()) failure += " runtime error: " + recorder.lastText();
  if (ending) *ending = how;
  return failure;
}

std::uint64_t envNumber(const char* name, std::uint64_t otherwise) {
  const char* text = std::getenv(name);
  return text && *text ? std::strtoull(text, nullptr, 10) : otherwise;
}

// Under the sanitizers a session costs ten times as much; fewer sessions
// still reach every screen, and the memory checks are what that run is for.
#ifdef POTCLOCK_SANITIZED
constexpr std::uint64_t kSessions = 300;
#else
constexpr std::uint64_t kSessions = 2000;
#endif

TEST(RandomSessions, EveryOneEndsAsARealSessionMay) {
  const bool soak = std::getenv("POTCLOCK_SOAK") != nullptr;
  const std::uint64_t sessions = envNumber("POTCLOCK_SOAK", kSessions);
  const std::uint64_t first = envNumber(
      "POTCLOCK_SEED",
      soak ? static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count())
           : 1);
  if (soak)
    std::printf("random sessions: %llu from seed %llu\n", static_cast<unsigned long long>(sessions),
                static_cast<unsigned long long>(first));
  int failures = 0;
  long endings[kEndingCount] = {};
  for (std::uint64_t seed = first; seed < first + sessions && failures < 5; ++seed) {
    const std::vector<Key> keys = SessionMaker(seed).make();
    Ending how{};
    const std::string failure = runSession(keys, &how);
    ++endings[how];
    if (!failure.empty()) {
      ++failures;
      ADD_FAILURE() << failure << "\n  " << describe(seed, keys);
    }
  }
  if (soak)
    for (int e = 0; e < kEndingCount; ++e) std::printf("  %s: %ld\n", kEndingNames[e], endings[e]);
}

// The session that first found the abort: a refused starting level of 0
// left with Escape, and the timer started on it.
TEST(RandomSessions, ARefusedLevelLeftWithEscape) {
  const std::vector<Key> keys{{0.1, 'm'},   {0.2, '0'},   {0.3, K_ENTER},
                              {0.4, K_ESC}, {0.5, K_ESC}, {0.6, 'k'}};
  EXPECT_EQ(runSession(keys), "") << describe(0, keys);
}

}  // namespace
}  // namespace potclock
