#include "app/disk/statewriter.h"

#include <pthread.h>
#include <signal.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "runtime/console/console.h"

namespace potclock {

namespace {
// The wall clock can be stepped while the game runs: a fresh write each
// minute keeps the level's end in the file in step with it.
constexpr double kRewriteEvery = 60.0;
// A level end that moves by more than this is a restarted level, not the
// jitter between a pass's clock readings.
constexpr double kEndTolerance = 1.0;
// How long the end of the program waits for a write under way: well within
// the second in which SIGTERM must end it.
constexpr auto kLastWriteWait = std::chrono::milliseconds(300);

// Blocks the asynchronous signals on the calling thread while it lives: a
// thread started meanwhile inherits the mask. The faults (a bad address, an
// illegal instruction, an abort) stay open, so that a fault in that thread
// still reaches the handler that restores the terminal.
class AsyncSignalsBlocked {
 public:
  AsyncSignalsBlocked() {
    sigset_t block;
    sigfillset(&block);
    for (int fault : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS, SIGABRT})
      sigdelset(&block, fault);
    pthread_sigmask(SIG_BLOCK, &block, &old_);
  }
  ~AsyncSignalsBlocked() { pthread_sigmask(SIG_SETMASK, &old_, nullptr); }
  AsyncSignalsBlocked(const AsyncSignalsBlocked&) = delete;
  AsyncSignalsBlocked& operator=(const AsyncSignalsBlocked&) = delete;

 private:
  sigset_t old_;
};

// The bottom row's notice, within its 80 columns: paths shortened to their
// last part, and what is still too long cut; the whole reason is said on
// standard error at the end.
std::string fitted(const std::string& why) {
  constexpr std::size_t kRow = 80;
  std::string notice = "Not kept: " + why;
  if (notice.size() <= kRow) return notice;
  notice = "Not kept: ";
  for (std::size_t at = 0; at < why.size();) {
    std::size_t end = why.find(' ', at);
    if (end == std::string::npos) end = why.size();
    const std::string word = why.substr(at, end - at);
    const std::size_t slash = word.rfind('/');
    notice += word.starts_with('/') && slash > 0 ? ".../" + word.substr(slash + 1) : word;
    if (end < why.size()) notice += ' ';
    at = end + 1;
  }
  if (notice.size() > kRow) notice = notice.substr(0, kRow - 3) + "...";
  return notice;
}

}  // namespace

struct StateWriter::Writer {
  Writer(StateDir opened, std::string game) : dir(std::move(opened)), name(std::move(game)) {}

  StateDir dir;
  const std::string name;
  CommitGate gate;
  std::mutex mutex;
  std::condition_variable wake;
  std::condition_variable idle;
  std::optional<std::string> pending;  // the newest state not yet begun
  // A structure game's copy, not yet written: it goes with the game's first
  // state, so that a start that never gets that far leaves nothing.
  std::optional<std::string> structure;
  bool busy = false;
  bool stop = false;
  bool ended = false;    // the game is over: nothing is put back
  Result<void> failure;  // the first write that failed, until collected
  std::thread thread;

  // The copy before the state that names it, so that a game taken up never
  // finds its state without its structure: a copy that fails keeps the state
  // back, and is tried again with the next state.
  Result<void> put(std::optional<std::string>& copy, const std::string& state) {
    if (copy) {
      if (auto written = dir.write(structureCopyName(name), *copy, &gate); !written.ok())
        return written;
      copy.reset();
    }
    return dir.write(name, state, &gate);
  }

  void run() {
    std::unique_lock lock(mutex);
    for (;;) {
      wake.wait(lock, [&] { return pending || stop; });
      if (!pending) break;
      const std::string text = std::move(*pending);
      pending.reset();
      std::optional<std::string> copy = std::exchange(structure, std::nullopt);
      busy = true;
      lock.unlock();
      Result<void> written = put(copy, text);
      lock.lock();
      busy = false;
      if (copy && !ended && !structure) structure = std::move(copy);
      if (!written.ok() && failure.ok()) failure = std::move(written);
      idle.notify_all();
    }
    idle.notify_all();
  }
};

StateWriter::StateWriter(std::optional<StateLocation> where, Writing writing, std::string name,
                         Clocks clocks)
    : active_(true), name_(std::move(name)), clocks_(std::move(clocks)) {
  if (!where) {
    report("neither XDG_STATE_HOME nor HOME names a directory");
    return;
  }
  file_ = where->directory() / name_;
  auto opened = StateDir::open(*where, true);
  if (!opened.ok()) {
    report(opened.failure().reason);
    return;
  }
  StateDir& dir = opened.value();
  dir.removeStaleTemporaries();
  if (const auto probed = probeGameState(dir, name_); !probed.ok()) {
    report(probed.failure().reason);
    return;
  }
  writer_ = std::make_shared<Writer>(std::move(dir), name_);
  if (writing == Writing::inBackground) {
    // Signals are the clock's to take: the writer must not be the thread
    // that a SIGTERM or a SIGWINCH interrupts.
    const AsyncSignalsBlocked blocked;
    writer_->thread = std::thread([writer = writer_] { writer->run(); });
  }
}

StateWriter::StateWriter(const NotKept& why) : active_(true), failed_(true) {
  notice_ = fitted(why.brief);
  krx::OUTERR(why.whole + "\n");
}

StateWriter::StateWriter(const std::filesystem::path& file, Clocks clocks)
    : StateWriter(file.empty() ? std::nullopt : std::optional(stateLocationOf(file)),
                  Writing::inForeground, file.filename().string(), std::move(clocks)) {}

StateWriter::~StateWriter() {
  if (!writer_ || !writer_->thread.joinable()) return;
  Writer& w = *writer_;
  std::unique_lock lock(w.mutex);
  w.stop = true;
  w.wake.notify_all();
  const bool done = w.idle.wait_for(lock, kLastWriteWait, [&] { return !w.pending && !w.busy; });
  lock.unlock();
  // A write held by the disk goes on without us; it holds its own share of
  // what it needs, and the end of the process ends it, its file unrenamed.
  if (done)
    w.thread.join();
  else
    w.thread.detach();
}

void StateWriter::keepStructure(std::string text) {
  if (!active_ || !writer_) return;
  // The trial covers the copy, which may be far larger than the state: a
  // game whose copy cannot be written is not kept at all, rather than kept
  // as one that a resume would find damaged.
  if (const auto probed = writer_->dir.probe(structureCopyName(name_), text.size()); !probed.ok()) {
    report(probed.failure().reason);
    active_ = false;
    return;
  }
  std::lock_guard lock(writer_->mutex);
  writer_->structure = std::move(text);
}

GameState StateWriter::at(const Game& game, int index) {
  collectFailure();
  GameState s;
  s.nLevel = index + 1;
  s.nPerLevel = game.length(index);
  s.mode = game.mode(index);
  s.structure = game.fromFile();
  if (s.mode == Mode::minutes) s.corrected = corrected_;
  s.startsAt = startsAt_;
  s.count = count_;
  return s;
}

void StateWriter::count(const Count& now) {
  if (count_ == now) return;
  count_ = now;
  // The entry and its time stand as last written: only the count is new.
  if (!written_) return;
  collectFailure();
  GameState s = *written_;
  s.count = now;
  keep(s);
}

void StateWriter::running(const Game& game, int index, double secondsLeft) {
  if (!active_ || !writer_) return;
  GameState s = at(game, index);
  s.endsAt = clocks_.wall() + secondsLeft;
  const bool same = written_ && written_->nLevel == s.nLevel && !written_->paused &&
                    !written_->asking && written_->corrected == s.corrected &&
                    written_->startsAt == s.startsAt &&
                    std::fabs(written_->endsAt - s.endsAt) <= kEndTolerance;
  if (same && clocks_.monotonic() - writtenAt_ < kRewriteEvery) return;
  keep(s);
}

void StateWriter::asking(const Game& game, int index, double secondsLeft, long shown) {
  if (!active_ || !writer_) return;
  GameState s = at(game, index);
  s.endsAt = clocks_.wall() + secondsLeft;
  s.asking = true;
  s.secondsLeft = shown;
  keep(s);
}

void StateWriter::paused(const Game& game, int index, long secondsLeft) {
  GameState s = at(game, index);
  s.paused = true;
  s.secondsLeft = secondsLeft;
  keep(s);
}

void StateWriter::hand(const Game& game, int index, int handsCounted) {
  GameState s = at(game, index);
  s.handsCounted = handsCounted;
  if (written_ != s) keep(s);
}

void StateWriter::finished() {
  if (!active_) return;
  active_ = false;
  if (!writer_) return;
  {
    // A write still under way must not put the game back after it is gone.
    std::lock_guard gate(writer_->gate.mutex);
    writer_->gate.open = false;
  }
  {
    // Nor a structure copy still waiting leave one behind it.
    std::lock_guard lock(writer_->mutex);
    writer_->pending.reset();
    writer_->structure.reset();
    writer_->ended = true;
  }
  removeGameState(writer_->dir, name_);
}

void StateWriter::keep(const GameState& state) {
  if (!active_ || !writer_) return;
  written_ = state;
  writtenAt_ = clocks_.monotonic();
  write(formatGameState(state));
}

void StateWriter::write(std::string text) {
  if (writer_->thread.joinable()) {
    std::lock_guard lock(writer_->mutex);
    writer_->pending = std::move(text);
    writer_->wake.notify_one();
    return;
  }
  if (const auto written = writer_->put(writer_->structure, text); !written.ok())
    report(written.failure().reason);
}

void StateWriter::collectFailure() {
  if (!writer_ || failed_) return;
  Result<void> written;
  {
    std::lock_guard lock(writer_->mutex);
    std::swap(written, writer_->failure);
  }
  if (!written.ok()) report(written.failure().reason);
}

void StateWriter::report(const std::string& why) {
  if (failed_) return;
  failed_ = true;
  notice_ = fitted(why);
  // Standard error is held back until the terminal is restored: said again
  // there, when the program ends.
  const std::string where = file_.empty() ? "" : " in " + file_.string();
  krx::OUTERR("potclock: cannot keep the game" + where + ": " + why + "\n");
}

}  // namespace potclock
