#include "runtime/backends/sound.h"
#include "runtime/backends/clock.h"

#include <time.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <numbers>
#include <vector>

#ifdef KRX_HAVE_ALSA
#include <alsa/asoundlib.h>
#include <dlfcn.h>
#endif

namespace krx {

namespace {

constexpr double kMinHz = 20;
constexpr double kMaxHz = 20000;

}  // namespace

#ifdef KRX_HAVE_ALSA

namespace {

constexpr unsigned kRate = 44100;
constexpr unsigned kLatencyUs = 100000;
constexpr double kAmplitude = 0.3 * 32767;
constexpr double kFade = 0.005;  // seconds of fade at each end, against clicks
// How long past its end a tone may take before the device counts as stuck.
constexpr double kGrace = 1.0;

// The sound library reports failures on standard error by default; a
// machine without a sound card is normal here, not worth a message.
extern "C" void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

// The sound library, loaded with the first audible tone rather than at
// start: a timer that never sounds does not carry it, and a machine without
// it still starts and rings the bell instead.
struct AlsaLibrary {
  decltype(&snd_lib_error_set_handler) setErrorHandler = nullptr;
  decltype(&snd_pcm_open) open = nullptr;
  decltype(&snd_pcm_set_params) setParams = nullptr;
  decltype(&snd_pcm_close) close = nullptr;
  decltype(&snd_pcm_state) state = nullptr;
  decltype(&snd_pcm_prepare) prepare = nullptr;
  decltype(&snd_pcm_writei) writei = nullptr;
  decltype(&snd_pcm_wait) wait = nullptr;
  decltype(&snd_pcm_recover) recover = nullptr;
  decltype(&snd_pcm_start) start = nullptr;
  decltype(&snd_pcm_delay) delay = nullptr;
  decltype(&snd_pcm_drop) drop = nullptr;
};

template <class Function>
bool bind(void* handle, const char* name, Function& function) {
  function = reinterpret_cast<Function>(dlsym(handle, name));
  return function != nullptr;
}

// Null when the library or one of its routines is missing.
const AlsaLibrary* alsaLibrary() {
  static const AlsaLibrary* const library = []() -> const AlsaLibrary* {
    void* handle = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return nullptr;
    static AlsaLibrary lib;
    const bool complete =
        bind(handle, "snd_lib_error_set_handler", lib.setErrorHandler) &&
        bind(handle, "snd_pcm_open", lib.open) &&
        bind(handle, "snd_pcm_set_params", lib.setParams) &&
        bind(handle, "snd_pcm_close", lib.close) && bind(handle, "snd_pcm_state", lib.state) &&
        bind(handle, "snd_pcm_prepare", lib.prepare) &&
        bind(handle, "snd_pcm_writei", lib.writei) && bind(handle, "snd_pcm_wait", lib.wait) &&
        bind(handle, "snd_pcm_recover", lib.recover) && bind(handle, "snd_pcm_start", lib.start) &&
        bind(handle, "snd_pcm_delay", lib.delay) && bind(handle, "snd_pcm_drop", lib.drop);
    return complete ? &lib : nullptr;
  }();
  return library;
}

}  // namespace

struct TonePlayer::Device {
  const AlsaLibrary* lib = nullptr;
  snd_pcm_t* pcm = nullptr;
  ~Device() {
    if (pcm != nullptr) lib->close(pcm);
  }
};

bool TonePlayer::playOnDevice(double hz, double seconds, double end) {
  const AlsaLibrary& alsa = *device_->lib;
  snd_pcm_t* pcm = device_->pcm;
  const auto frames = static_cast<std::size_t>(seconds * kRate + 0.5);
  std::vector<std::int16_t> samples(frames);
  const auto fadeFrames = static_cast<double>(kFade * kRate);
  for (std::size_t i = 0; i < frames; ++i) {
    const double edge = std::min(static_cast<double>(i), static_cast<double>(frames - 1 - i));
    const double gain = std::min(1.0, edge / fadeFrames);
    const double phase = 2 * std::numbers::pi * hz * static_cast<double>(i) / kRate;
    samples[i] = static_cast<std::int16_t>(kAmplitude * gain * sineOf(phase));
  }

  const double limit = end + kGrace;
  const snd_pcm_state_t state = alsa.state(pcm);
  if (state != SND_PCM_STATE_PREPARED && state != SND_PCM_STATE_RUNNING) {
    if (alsa.prepare(pcm) < 0) return false;
  }
  std::size_t done = 0;
  while (done < frames) {
    const snd_pcm_sframes_t n = alsa.writei(pcm, samples.data() + done, frames - done);
    if (n == -EAGAIN) {
      if (bootClock() > limit) return false;
      alsa.wait(pcm, 50);
      continue;
    }
    if (n < 0) {
      if (alsa.recover(pcm, static_cast<int>(n), 1) < 0) return false;
      continue;
    }
    done += static_cast<std::size_t>(n);
  }
  // A tone shorter than the buffer has not started on its own.
  if (alsa.state(pcm) == SND_PCM_STATE_PREPARED && alsa.start(pcm) < 0) return false;
  // Block until the device has played it: what is still queued, slept off.
  for (;;) {
    snd_pcm_sframes_t delay = 0;
    if (alsa.delay(pcm, &delay) < 0 || delay <= 0) break;
    if (bootClock() > limit) {
      alsa.drop(pcm);
      return false;
    }
    sleepUntil(bootClock() + std::min(static_cast<double>(delay) / kRate, 0.05));
  }
  alsa.drop(pcm);
  return true;
}

bool TonePlayer::hasDevice() const {
  return device_ != nullptr;
}

void TonePlayer::play(double hz, double seconds) {
  if (!(seconds > 0)) return;  // also NaN
  const double end = bootClock() + seconds;
  if (!(hz >= kMinHz && hz <= kMaxHz)) {
    sleepUntil(end);
    return;
  }
  if (!tried_) {
    tried_ = true;
    if (const AlsaLibrary* alsa = alsaLibrary()) {
      alsa->setErrorHandler(quietAlsa);
      auto device = std::make_unique<Device>();
      device->lib = alsa;
      // Opened without blocking: a device held by another program must not
      // stall the timer.
      if (alsa->open(&device->pcm, deviceName_.c_str(), SND_PCM_STREAM_PLAYBACK,
                     SND_PCM_NONBLOCK) == 0 &&
          alsa->setParams(device->pcm, SND_PCM_FORMAT_S16, SND_PCM_ACCESS_RW_INTERLEAVED, 1, kRate,
                          1, kLatencyUs) == 0) {
        device_ = std::move(device);
      }
    }
  }
  if (device_ != nullptr) {
    if (playOnDevice(hz, seconds, end)) return;
    device_.reset();  // a device that failed once is not trusted again
  }
  if (bell_) bell_();
  sleepUntil(end);
}

TonePlayer::~TonePlayer() = default;

#else  // no sound library: the bell stands in for every tone

struct TonePlayer::Device {};

bool TonePlayer::playOnDevice(double, double, double) {
  return false;
}

bool TonePlayer::hasDevice() const {
  return false;
}

void TonePlayer::play(double hz, double seconds) {
  if (!(seconds > 0)) return;
  const double end = bootClock() + seconds;
  if (hz >= kMinHz && hz <= kMaxHz && bell_) bell_();
  sleepUntil(end);
}

TonePlayer::~TonePlayer() = default;

#endif

TonePlayer::TonePlayer(std::function<void()> bell, std::string device)
    : bell_(std::move(bell)), deviceName_(std::move(device)) {}

// A sine good to a few millionths, which is far below what a 16-bit sample
// holds: the program then needs nothing of the maths library, which would
// cost a long-running process resident memory.
double sineOf(double x) {
  constexpr double kPi = std::numbers::pi;
  x -= 2 * kPi * static_cast<double>(static_cast<long long>(x / (2 * kPi)));
  if (x > kPi) x -= 2 * kPi;
  if (x < -kPi) x += 2 * kPi;
  if (x > kPi / 2) x = kPi - x;
  if (x < -kPi / 2) x = -kPi - x;
  const double x2 = x * x;
  return x * (1 + x2 * (-1.0 / 6 + x2 * (1.0 / 120 + x2 * (-1.0 / 5040 + x2 / 362880))));
}

}  // namespace krx
