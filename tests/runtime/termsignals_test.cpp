#include "runtime/backends/termsignals.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <iterator>

namespace {

void someoneElses(int) {}

struct Case {
  int sig;
  void (*before)(int);  // the disposition found at start
};

// Only some signals keep the disposition they were taken from; the others
// are taken only from the default and must go back to it, not to whatever a
// neighbouring slot holds.
TEST(TermSignals, DisarmPutsBackWhatEachSignalHad) {
  const Case cases[] = {
      {SIGSEGV, someoneElses}, {SIGABRT, SIG_DFL},      {SIGWINCH, someoneElses},
      {SIGCONT, SIG_DFL},      {SIGTSTP, someoneElses}, {SIGTERM, SIG_DFL},
      {SIGUSR1, SIG_DFL},      {SIGRTMIN + 1, SIG_DFL},
  };
  struct sigaction saved[std::size(cases)];
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    struct sigaction set {};
    set.sa_handler = cases[i].before;
    ASSERT_EQ(::sigaction(cases[i].sig, &set, &saved[i]), 0);
  }
  krx::termsignals::arm();
  for (const Case& c : cases) {
    struct sigaction now {};
    ::sigaction(c.sig, nullptr, &now);
    EXPECT_NE(now.sa_handler, c.before) << "signal " << c.sig << " was not taken";
  }
  krx::termsignals::disarm();
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    struct sigaction now {};
    ::sigaction(cases[i].sig, nullptr, &now);
    EXPECT_EQ(now.sa_handler, cases[i].before) << "signal " << cases[i].sig;
    ::sigaction(cases[i].sig, &saved[i], nullptr);
  }
}

}  // namespace
