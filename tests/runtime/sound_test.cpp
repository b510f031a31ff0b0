// Tones without a sound device: the bell once per audible tone, and each
// tone still lasts its length, so that a sequence keeps its rhythm.
#include <gtest/gtest.h>

#include <cmath>

#include "runtime/backends/clock.h"
#include "runtime/backends/sound.h"

namespace {

TEST(TonePlayer, WithoutADeviceRingsOnceAndTakesTheToneLength) {
  int bells = 0;
  krx::TonePlayer player([&bells] { ++bells; }, "no-such-sound-device");

  double start = krx::bootClock();
  player.play(1000, 0.11);
  player.play(2000, 0.16);
  double took = krx::bootClock() - start;
  EXPECT_FALSE(player.hasDevice());
  EXPECT_EQ(bells, 2);
  EXPECT_GE(took, 0.27);
  EXPECT_LT(took, 0.6);

  // Pitches nobody hears are a pause of the same length, without a bell.
  start = krx::bootClock();
  player.play(0, 0.05);
  player.play(50000, 0.05);
  took = krx::bootClock() - start;
  EXPECT_EQ(bells, 2);
  EXPECT_GE(took, 0.1);

  // Lengths that are no length at all return at once.
  start = krx::bootClock();
  player.play(440, 0);
  player.play(440, -3);
  player.play(440, std::nan(""));
  EXPECT_LT(krx::bootClock() - start, 0.05);
  EXPECT_EQ(bells, 2);
}

TEST(TonePlayer, SineOfTheSamples) {
  for (double x = -50; x <= 50; x += 0.0137) EXPECT_NEAR(krx::sineOf(x), std::sin(x), 5e-6) << x;
  EXPECT_NEAR(krx::sineOf(2 * 3.141592653589793 * 1000 * 44099 / 44100.0),
              std::sin(2 * 3.141592653589793 * 1000 * 44099 / 44100.0), 5e-6);
}

}  // namespace
