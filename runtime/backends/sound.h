// Tones: a sine tone of a given pitch and length through the sound card
// when one opens, otherwise the terminal bell once per tone. Either way the
// call lasts as long as the tone, so successive tones follow one another,
// and neither a missing nor a stuck device makes it fail or hang.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace krx {

class TonePlayer {
 public:
  // `bell` sounds the fallback bell. `device` names the sound device; it is
  // opened on the first audible tone, once.
  explicit TonePlayer(std::function<void()> bell, std::string device = "default");
  ~TonePlayer();
  TonePlayer(const TonePlayer&) = delete;
  TonePlayer& operator=(const TonePlayer&) = delete;

  // Plays `hz` for `seconds` and returns when it has been heard. Pitches
  // outside 20 Hz to 20 kHz are silence of that length; so is a tone while
  // there is no device, apart from the bell.
  void play(double hz, double seconds);
  // True once a device has opened.
  bool hasDevice() const;

 private:
  struct Device;
  bool playOnDevice(double hz, double seconds, double end);
  std::function<void()> bell_;
  std::string deviceName_;
  std::unique_ptr<Device> device_;
  bool tried_ = false;
};

// sin(x), to a few millionths: the samples of a tone.
double sineOf(double x);

}  // namespace krx
