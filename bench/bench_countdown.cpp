// What the running countdown costs, next to a familiar terminal clock.
//
// Both programs run in a pseudo-terminal of 80x25 that this program reads
// through a terminal emulator. potclock is taken through the setup dialogue as
// an organiser would (manual mode, level 1, 20 minutes a level, minutes) and
// left counting down; the peer clock runs as `tty-clock -s -c`, which redraws
// large digits once a second. For each, over a window of steady running that
// opens and closes at the end of a redraw:
//   bytes written to the terminal per second,
//   processor time per minute (the scheduler's own count, in nanoseconds),
//   peak resident memory (VmHWM just before the program is ended),
//   time from start to the first complete screen.
// A third run, with 1-minute levels, times each change of level against the
// start of the first one.
//
// Then, for each larger terminal (160x50 and 240x75 by default), potclock
// filled out to it with Alt-Enter once the timer runs, beside the
// changed-cells floor at that size, and tty-clock in a terminal of the same
// size.
//
//   bench_countdown [options] POTCLOCK
//     --seconds N   length of the measured window (default 60)
//     --settle N    countdown before the window opens, seconds (default 3)
//     --levels N    level changes to time (default 3; 0 leaves the run out)
//     --peer PATH   the peer clock (default: tty-clock from PATH, /usr/bin, /usr/games)
//     --dump DIR    writes the bytes of each window to DIR/potclock.out, DIR/peer.out
//     --starts N    starts over which the first complete screen is timed (median; default 5)
//     --frames      prints every redraw of potclock's window, escaped
//     --lateness-only  only the level-change run
//     --filled LIST  terminal sizes for the filled runs, COLSxROWS separated by
//                    commas (default 160x50,240x75; "none" leaves them out)
//
// Exit status: 0 when every target is met, 1 when one is missed, 2 when
// something could not be measured.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vterm.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/console/screen.h"

extern char** environ;

namespace {

// The terminal's size: the program's own 80x25 unless a run says otherwise.
struct TermSize {
  int rows = 25;
  int cols = 80;
};
constexpr TermSize kScreenSize{};
// Output that pauses this long has finished a redraw.
constexpr double kQuiet = 0.020;

// Targets.
constexpr double kFloorSlack = 1.15;          // bytes/s against the changed-cells floor
constexpr double kFilledFloorSlack = 1.10;    // the same, filled out to a larger terminal
constexpr double kRssLimitKiB = 3.0 * 1024;   // peak resident memory
constexpr double kFirstScreenLimitMs = 10.0;  // start to first complete screen
constexpr double kLatenessLimit = 1.1;        // seconds, each level change
constexpr double kGrowthLimit = 0.25;         // seconds, last change against the first

double now() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

std::string readFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Processor time of every thread of `pid` so far, in nanoseconds, from the
// scheduler's count (the tick-based utime/stime are too coarse for a program
// that runs a few milliseconds a minute). Negative when it cannot be read.
double cpuNs(pid_t pid) {
  const std::string dir = "/proc/" + std::to_string(pid) + "/task";
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) return -1;
  double total = 0;
  while (dirent* e = readdir(d)) {
    if (e->d_name[0] == '.') continue;
    const std::string stat = readFile(dir + "/" + e->d_name + "/schedstat");
    total += std::strtod(stat.c_str(), nullptr);
  }
  closedir(d);
  return total;
}

// Peak resident set of `pid` in KiB, or negative.
double vmHwmKiB(pid_t pid) {
  const std::string status = readFile("/proc/" + std::to_string(pid) + "/status");
  const auto at = status.find("VmHWM:");
  if (at == std::string::npos) return -1;
  return std::strtod(status.c_str() + at + 6, nullptr);
}

// Resident memory of `pid` by what is mapped (a file's name, [heap],
// [stack], or "anonymous"), largest first, in KiB.
std::vector<std::pair<std::string, long>> residentByMapping(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/smaps");
  std::vector<std::pair<std::string, long>> out;
  std::string line;
  std::string name;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    const bool header = std::isxdigit(static_cast<unsigned char>(line[0])) &&
                        line.find('-') != std::string::npos && line.find(':') > line.find(' ');
    if (header) {
      std::istringstream fields(line);
      std::string range, perms, offset, dev, inode;
      fields >> range >> perms >> offset >> dev >> inode;
      std::getline(fields >> std::ws, name);
      if (name.empty()) name = "anonymous";
      continue;
    }
    if (line.starts_with("Rss:")) {
      const long kib = std::strtol(line.c_str() + 4, nullptr, 10);
      auto it =
          std::find_if(out.begin(), out.end(), [&](const auto& e) { return e.first == name; });
      if (it == out.end()) {
        out.emplace_back(name, kib);
      } else {
        it->second += kib;
      }
    }
  }
  std::sort(out.begin(), out.end(),
            [](const auto& a, const auto& b) { return a.second > b.second; });
  return out;
}

std::string findPeer() {
  if (const char* path = std::getenv("PATH")) {
    std::string_view rest(path);
    while (!rest.empty()) {
      const auto colon = rest.find(':');
      const std::string dir(rest.substr(0, colon));
      const std::string candidate = dir + "/tty-clock";
      if (!dir.empty() && access(candidate.c_str(), X_OK) == 0) return candidate;
      if (colon == std::string_view::npos) break;
      rest.remove_prefix(colon + 1);
    }
  }
  for (const char* candidate : {"/usr/bin/tty-clock", "/usr/games/tty-clock"}) {
    if (access(candidate, X_OK) == 0) return candidate;
  }
  return {};
}

// --- A program in a pseudo-terminal ------------------------------------------

struct CellLook {
  std::string text;  // UTF-8
  std::uint32_t fg = 0, bg = 0;
  bool bold = false, reverse = false;
  bool operator==(const CellLook&) const = default;
};

using Snapshot = std::vector<CellLook>;

// A state directory for the measured runs, removed when the bench ends.
const std::string& benchStateHome() {
  struct Scratch {
    std::string dir;
    Scratch() {
      std::string pattern = "/tmp/potclock-bench-XXXXXX";
      if (::mkdtemp(pattern.data()) != nullptr) dir = pattern;
    }
    ~Scratch() {
      std::error_code ignored;
      if (!dir.empty()) std::filesystem::remove_all(dir, ignored);
    }
  };
  static const Scratch scratch;
  return scratch.dir;
}

class PtyProgram {
 public:
  explicit PtyProgram(const std::vector<std::string>& argv, TermSize size = kScreenSize)
      : size_(size) {
    vt_ = vterm_new(size.rows, size.cols);
    vterm_set_utf8(vt_, 1);
    screen_ = vterm_obtain_screen(vt_);
    vterm_screen_enable_altscreen(screen_, 1);
    vterm_output_set_callback(vt_, &PtyProgram::answer, this);
    vterm_screen_reset(screen_, 1);

    // Same surroundings for every program: a UTF-8 locale and an xterm.
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
      const std::string_view entry(*e);
      if (!entry.starts_with("LANG=") && !entry.starts_with("LC_") &&
          !entry.starts_with("LANGUAGE=") && !entry.starts_with("TERM=") &&
          !entry.starts_with("COLUMNS=") && !entry.starts_with("LINES=")) {
        env.emplace_back(entry);
      }
    }
    env.emplace_back("TERM=xterm-256color");
    env.emplace_back("LANG=C.UTF-8");
    // A measured run keeps its game like a real one, but never over the
    // game kept for --resume.
    env.emplace_back("XDG_STATE_HOME=" + benchStateHome());
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = argv;
    std::vector<char*> argp;
    for (std::string& a : args) argp.push_back(a.data());
    argp.push_back(nullptr);

    winsize ws{};
    ws.ws_row = static_cast<unsigned short>(size.rows);
    ws.ws_col = static_cast<unsigned short>(size.cols);
    started_ = now();
    pid_ = forkpty(&master_, nullptr, nullptr, &ws);
    if (pid_ < 0) throw std::runtime_error(std::string("forkpty: ") + std::strerror(errno));
    if (pid_ == 0) {
      execve(argp[0], argp.data(), envp.data());
      _exit(127);
    }
    fcntl(master_, F_SETFD, FD_CLOEXEC);
  }

  ~PtyProgram() {
    if (!reaped_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (master_ >= 0) close(master_);
    vterm_free(vt_);
  }
  PtyProgram(const PtyProgram&) = delete;
  PtyProgram& operator=(const PtyProgram&) = delete;

  pid_t pid() const { return pid_; }
  TermSize size() const { return size_; }
  double started() const { return started_; }
  std::uint64_t bytes() const { return bytes_; }
  // When the last byte arrived; when the first did.
  double lastOutput() const { return lastByte_; }
  double firstOutput() const { return firstByte_; }
  bool closed() const { return closed_; }

  // Called with the time of its last byte whenever a redraw has finished.
  std::function<void(double)> onFrame;
  // While set, every byte read is appended here.
  std::string* recorder = nullptr;

  // Reads and emulates output until `until` (steady seconds), until `done()`
  // holds after a read, or until the terminal closes. True when `done` held.
  bool pumpUntil(double until, const std::function<bool()>& done = {}) {
    if (done && done()) return true;
    while (!closed_) {
      const double t = now();
      double wake = until;
      if (frameOpen_) wake = std::min(wake, lastByte_ + kQuiet);
      if (t >= until && !frameOpen_) return false;
      const double left = std::max(0.0, wake - t);
      timespec ts{};
      ts.tv_sec = static_cast<time_t>(left);
      ts.tv_nsec = static_cast<long>((left - static_cast<double>(ts.tv_sec)) * 1e9);
      pollfd fd{master_, POLLIN, 0};
      const int ready = ppoll(&fd, 1, &ts, nullptr);
      if (ready < 0 && errno != EINTR) throw std::runtime_error("poll failed");
      if (ready > 0) {
        readSome();
        if (done && done()) return true;
        continue;
      }
      if (frameOpen_ && now() - lastByte_ >= kQuiet) {
        frameOpen_ = false;
        if (onFrame) onFrame(lastByte_);
        if (done && done()) return true;
      }
      if (now() >= until && !frameOpen_) return false;
    }
    return done && done();
  }

  bool waitFor(const std::function<bool()>& done, double timeout) {
    return pumpUntil(now() + timeout, done);
  }
  bool waitForText(std::string_view text, double timeout) {
    return waitFor([&] { return screenText().find(text) != std::string::npos; }, timeout);
  }
  void pumpFor(double seconds) { pumpUntil(now() + seconds); }

  std::string rowText(int row) const {
    std::string out;
    for (int c = 0; c < size_.cols; ++c) out += look(row, c).text;
    return out;
  }
  std::string screenText() const {
    std::string out;
    for (int r = 0; r < size_.rows; ++r) out += rowText(r) + "\n";
    return out;
  }
  CellLook look(int row, int col) const {
    VTermScreenCell cell{};
    vterm_screen_get_cell(screen_, VTermPos{row, col}, &cell);
    CellLook l;
    if (cell.chars[0] == 0) {
      l.text = " ";
    } else {
      for (int i = 0; i < VTERM_MAX_CHARS_PER_CELL && cell.chars[i] != 0; ++i) {
        krx::appendUtf8(l.text, cell.chars[i]);
      }
    }
    l.fg = colourKey(cell.fg);
    l.bg = colourKey(cell.bg);
    l.bold = cell.attrs.bold != 0;
    l.reverse = cell.attrs.reverse != 0;
    return l;
  }
  Snapshot snapshot() const {
    Snapshot s;
    s.reserve(static_cast<std::size_t>(size_.rows * size_.cols));
    for (int r = 0; r < size_.rows; ++r) {
      for (int c = 0; c < size_.cols; ++c) s.push_back(look(r, c));
    }
    return s;
  }

  void send(std::string_view keys) {
    while (!keys.empty()) {
      const ssize_t n = write(master_, keys.data(), keys.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return;
      keys.remove_prefix(static_cast<std::size_t>(n));
    }
  }

  // Ends the program (SIGTERM, then SIGKILL after a while), reading what it
  // still writes; returns its resource usage over its whole life.
  rusage end() {
    rusage usage{};
    if (reaped_) return usage;
    kill(pid_, SIGTERM);
    const double deadline = now() + 3;
    bool killed = false;
    for (;;) {
      int status = 0;
      if (wait4(pid_, &status, WNOHANG, &usage) == pid_) break;
      if (!killed && now() > deadline) {
        kill(pid_, SIGKILL);
        killed = true;
      }
      if (closed_) {
        usleep(1000);
      } else {
        pumpFor(0.01);
      }
    }
    reaped_ = true;
    return usage;
  }

 private:
  static std::uint32_t colourKey(const VTermColor& c) {
    if (VTERM_COLOR_IS_DEFAULT_FG(&c)) return 0x1000000;
    if (VTERM_COLOR_IS_DEFAULT_BG(&c)) return 0x2000000;
    if (VTERM_COLOR_IS_INDEXED(&c)) return 0x3000000u | c.indexed.idx;
    return (static_cast<std::uint32_t>(c.rgb.red) << 16) |
           (static_cast<std::uint32_t>(c.rgb.green) << 8) | c.rgb.blue;
  }

  // The emulator's answers to the program's queries go back to it.
  static void answer(const char* bytes, std::size_t length, void* user) {
    auto* self = static_cast<PtyProgram*>(user);
    self->send(std::string_view(bytes, length));
  }

  void readSome() {
    char buffer[65536];
    const ssize_t n = read(master_, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) return;
    if (n <= 0) {
      closed_ = true;  // EIO: nobody holds the terminal any more
      return;
    }
    const double t = now();
    if (bytes_ == 0) firstByte_ = t;
    bytes_ += static_cast<std::uint64_t>(n);
    lastByte_ = t;
    frameOpen_ = true;
    if (recorder != nullptr) recorder->append(buffer, static_cast<std::size_t>(n));
    vterm_input_write(vt_, buffer, static_cast<std::size_t>(n));
  }

  TermSize size_;
  VTerm* vt_ = nullptr;
  VTermScreen* screen_ = nullptr;
  int master_ = -1;
  pid_t pid_ = -1;
  bool reaped_ = false;
  bool closed_ = false;
  double started_ = 0;
  double firstByte_ = 0;
  double lastByte_ = 0;
  bool frameOpen_ = false;
  std::uint64_t bytes_ = 0;
};

// --- The cheapest bytes for a change of screen --------------------------------

int digits(int n) {
  return n >= 100 ? 3 : n >= 10 ? 2 : 1;
}

// Bytes of the shortest cursor motion from (r0, c0) to (r1, c1), 0-based,
// on a terminal whose output is not post-processed (a line feed moves down
// and keeps the column, as in raw mode): absolute CSI r;c H; or a vertical
// part (line feeds, CSI n A/B, CSI r d) and a horizontal one (backspaces,
// carriage return, CSI n C/D, CSI c G). `known` false: the cursor is anywhere.
int moveCost(bool known, int r0, int c0, int r1, int c1) {
  int best = 4 + digits(r1 + 1) + digits(c1 + 1);  // ESC [ r ; c H
  if (r1 == 0 && c1 == 0) best = 3;                // ESC [ H
  if (!known) return best;
  auto rel = [](int n) { return n == 1 ? 3 : 3 + digits(n); };  // ESC [ n A/B/C/D
  int vertical = 0;
  if (r1 > r0) vertical = std::min(r1 - r0, rel(r1 - r0));
  if (r1 < r0) vertical = rel(r0 - r1);
  if (r1 != r0) vertical = std::min(vertical, 3 + digits(r1 + 1));
  int horizontal = 0;
  if (c1 > c0) horizontal = rel(c1 - c0);
  if (c1 < c0) horizontal = std::min(c0 - c1, rel(c0 - c1));
  if (c1 != c0) {
    horizontal = std::min(horizontal, 3 + digits(c1 + 1));           // ESC [ c G
    horizontal = std::min(horizontal, 1 + (c1 == 0 ? 0 : rel(c1)));  // CR, then right
  }
  return std::min(best, vertical + horizontal);
}

// SGR bytes that take the pen to a cell's look, colours as xterm's 16 (a
// two-digit code each) or the palette (ESC [ 38;5;n m).
int penCost(const CellLook& from, const CellLook& to) {
  if (from.fg == to.fg && from.bg == to.bg && from.bold == to.bold && from.reverse == to.reverse) {
    return 0;
  }
  auto colour = [](std::uint32_t key) {
    if (key >= 0x1000000 && key < 0x3000000) return 2;  // 39 / 49
    if (key >= 0x3000000) return (key & 0xFF) < 16 ? 2 : 5 + digits(static_cast<int>(key & 0xFF));
    return 16;  // 38;2;r;g;b
  };
  int parts = 0;
  int bytes = 3;  // ESC [ ... m
  if (from.fg != to.fg) bytes += colour(to.fg), ++parts;
  if (from.bg != to.bg) bytes += colour(to.bg), ++parts;
  if (from.bold != to.bold) bytes += 2, ++parts;
  if (from.reverse != to.reverse) bytes += 2, ++parts;
  return bytes + std::max(0, parts - 1);  // semicolons
}

// The fewest bytes a renderer that knows the terminal's contents needs to
// take it from `before` to `after`: each changed cell written once (its UTF-8
// bytes), the cursor moved by the cheapest ANSI motion or by rewriting the
// unchanged cells between, the pen changed only where the look changes.
// Keeps the cursor and pen across calls, as a renderer would.
struct FloorModel {
  TermSize size;
  bool cursorKnown = false;
  int row = 0, col = 0;
  bool penKnown = false;
  CellLook pen;

  std::size_t cost(const Snapshot& before, const Snapshot& after) {
    std::size_t total = 0;
    const int cols = size.cols;
    for (int r = 0; r < size.rows; ++r) {
      for (int c = 0; c < cols; ++c) {
        const CellLook& want = after[static_cast<std::size_t>(r * cols + c)];
        if (before[static_cast<std::size_t>(r * cols + c)] == want) continue;
        // Reach (r, c): a move, or on the same row the unchanged cells
        // between written again (their bytes and any colour change).
        const bool there = cursorKnown && row == r && col == c;
        int best = (there ? 0 : moveCost(cursorKnown, row, col, r, c)) +
                   (penKnown ? penCost(pen, want) : penCost(CellLook{" ", ~0u, ~0u}, want));
        if (!there && cursorKnown && penKnown && row == r && col < c) {
          int rewrite = 0;
          CellLook p = pen;
          for (int k = col; k < c; ++k) {
            const CellLook& cell = after[static_cast<std::size_t>(r * cols + k)];
            rewrite += penCost(p, cell) + static_cast<int>(cell.text.size());
            p = cell;
          }
          best = std::min(best, rewrite + penCost(p, want));
        }
        total += static_cast<std::size_t>(best);
        pen = want;
        penKnown = true;
        total += want.text.size();
        cursorKnown = c + 1 < cols;
        row = r;
        col = c + 1;
      }
    }
    return total;
  }
};

// --- What the bytes were spent on ----------------------------------------------

struct Breakdown {
  std::uint64_t text = 0;   // characters for cells (ASCII and UTF-8)
  std::uint64_t cells = 0;  // cells those characters fill
  std::uint64_t moves = 0;  // cursor motion: CSI H f A B C D E F G d, CR, LF, BS
  std::uint64_t moveCount = 0;
  std::uint64_t colour = 0;  // CSI ... m
  std::uint64_t colourCount = 0;
  std::uint64_t erase = 0;  // CSI K J X, and the like
  std::uint64_t modes = 0;  // CSI ? ... h/l (cursor shown or hidden, and others)
  std::uint64_t modeCount = 0;
  std::uint64_t other = 0;  // other escapes and control bytes

  void add(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
      const auto b = static_cast<unsigned char>(s[i]);
      if (b == 0x1b && i + 1 < s.size() && s[i + 1] == '[') {
        std::size_t j = i + 2;
        bool privateMode = j < s.size() && (s[j] == '?' || s[j] == '>' || s[j] == '=');
        while (j < s.size() && (static_cast<unsigned char>(s[j]) < 0x40 ||
                                static_cast<unsigned char>(s[j]) > 0x7e)) {
          ++j;
        }
        const char final = j < s.size() ? s[j] : '\0';
        const std::uint64_t n = std::min(j + 1, s.size()) - i;
        if (privateMode && (final == 'h' || final == 'l')) {
          modes += n, ++modeCount;
        } else if (std::string_view("HfABCDEFGd").find(final) != std::string_view::npos) {
          moves += n, ++moveCount;
        } else if (final == 'm') {
          colour += n, ++colourCount;
        } else if (std::string_view("KJX").find(final) != std::string_view::npos) {
          erase += n;
        } else {
          other += n;
        }
        i += n;
      } else if (b == 0x1b) {
        other += std::min<std::size_t>(2, s.size() - i);
        i += 2;
      } else if (b == '\r' || b == '\n' || b == '\b') {
        ++moves, ++moveCount, ++i;
      } else if (b < 0x20 || b == 0x7f) {
        ++other, ++i;
      } else {
        std::size_t n = 1;
        if (b >= 0xf0) {
          n = 4;
        } else if (b >= 0xe0) {
          n = 3;
        } else if (b >= 0xc0) {
          n = 2;
        }
        n = std::min(n, s.size() - i);
        text += n, ++cells, i += n;
      }
    }
  }
};

std::string escaped(std::string_view s) {
  std::string out;
  for (char ch : s) {
    const auto b = static_cast<unsigned char>(ch);
    if (b == 0x1b) {
      out += "\\e";
    } else if (b == '\r') {
      out += "\\r";
    } else if (b == '\n') {
      out += "\\n";
    } else if (b < 0x20 || b == 0x7f) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", b);
      out += hex;
    } else {
      out += ch;
    }
  }
  return out;
}

// --- One program's steady running --------------------------------------------

struct Figures {
  bool ok = false;
  std::string failure;
  double firstScreenMs = 0;
  double window = 0;  // seconds
  std::uint64_t windowBytes = 0;
  double cpuMs = 0;  // in the window
  double hwmKiB = 0;
  double lifeCpuMs = 0;
  long maxRssKiB = 0;
  std::size_t floorBytes = 0;
  std::vector<std::size_t> frameBytes;
  std::vector<std::string> frames;                     // the window's redraws
  std::vector<std::pair<std::string, long>> resident;  // at the window's end
  std::vector<double> firstScreens;                    // ms, every start
  Breakdown kinds;
  std::string capture;

  double bytesPerSecond() const { return static_cast<double>(windowBytes) / window; }
  double cpuMsPerMinute() const { return cpuMs * 60.0 / window; }
  double floorPerSecond() const { return static_cast<double>(floorBytes) / window; }
};

double msOf(const timeval& tv) {
  return static_cast<double>(tv.tv_sec) * 1e3 + static_cast<double>(tv.tv_usec) / 1e3;
}

// Lets `p` run `settle` seconds, then measures `seconds` of it, from the end
// of one redraw to the end of the redraw that closes the window.
void measureWindow(PtyProgram& p, double settle, double seconds, Figures& f) {
  p.pumpFor(settle);
  std::optional<double> opened;
  double closedAt = 0;
  double cpu0 = 0;
  std::uint64_t bytes0 = 0;
  std::size_t frameStart = 0;
  Snapshot shown;
  FloorModel floor;
  floor.size = p.size();
  p.onFrame = [&](double end) {
    if (!opened) {
      opened = end;
      cpu0 = cpuNs(p.pid());
      bytes0 = p.bytes();
      shown = p.snapshot();
      p.recorder = &f.capture;
      return;
    }
    f.frames.push_back(f.capture.substr(frameStart));
    f.frameBytes.push_back(f.capture.size() - frameStart);
    frameStart = f.capture.size();
    Snapshot next = p.snapshot();
    f.floorBytes += floor.cost(shown, next);
    shown = std::move(next);
    if (end >= *opened + seconds - 0.5) closedAt = end;
  };
  const double giveUp = now() + settle + seconds + 10;
  p.pumpUntil(giveUp, [&] { return closedAt > 0; });
  // The frame callback ran inside the last read's quiet check; measure now.
  const double cpu1 = cpuNs(p.pid());
  p.onFrame = nullptr;
  p.recorder = nullptr;
  if (!opened || closedAt == 0) {
    f.failure = "no steady redraws seen";
    return;
  }
  f.window = closedAt - *opened;
  f.windowBytes = p.bytes() - bytes0;
  f.cpuMs = (cpu1 - cpu0) / 1e6;
  f.hwmKiB = vmHwmKiB(p.pid());
  f.resident = residentByMapping(p.pid());
  f.kinds.add(f.capture);
  f.ok = true;
}

void finish(PtyProgram& p, Figures& f) {
  const rusage usage = p.end();
  f.lifeCpuMs = msOf(usage.ru_utime) + msOf(usage.ru_stime);
  f.maxRssKiB = usage.ru_maxrss;
}

bool levelListAndQuestion(const PtyProgram& p) {
  bool list = false;
  for (int r = 0; r < p.size().rows && !list; ++r) {
    const std::string row = p.rowText(r);
    list = row.find("50 = ") != std::string::npos && row.find("800/1600") != std::string::npos;
  }
  return list && p.screenText().find("Select: C(omputed or m(anual (c/m):") != std::string::npos;
}

bool captionShows(const PtyProgram& p, int level) {
  char want[32];
  std::snprintf(want, sizeof want, "(Level: %2d)", level);
  return p.screenText().find(want) != std::string::npos;
}

// Takes potclock from its first question to a running minutes-mode level.
bool startManual(PtyProgram& p, int minutes, std::string& failure) {
  if (!p.waitFor([&] { return levelListAndQuestion(p); }, 5)) {
    failure = "the first screen never showed";
    return false;
  }
  p.send("m");
  if (!p.waitForText("Enter starting level:", 5)) {
    failure = "manual mode did not ask for the starting level";
    return false;
  }
  p.pumpFor(0.1);
  p.send("1\r");
  p.pumpFor(0.2);
  p.send(std::to_string(minutes) + "\r");
  p.pumpFor(0.2);
  p.send("m");
  if (!p.waitForText("Press any key to start timer", 5)) {
    failure = "the start prompt never showed";
    return false;
  }
  p.pumpFor(0.1);
  p.send("g");
  if (!p.waitFor([&] { return captionShows(p, 1); }, 5)) {
    failure = "level 1 never started";
    return false;
  }
  return true;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// Milliseconds from the start of `p` to its first complete screen, or
// negative on a time-out: for potclock, the level list and the first question
// on the emulated screen; for the peer, its output up to the first pause.
double potclockFirstScreen(PtyProgram& p) {
  if (!p.waitFor([&] { return levelListAndQuestion(p); }, 5)) return -1;
  return (p.lastOutput() - p.started()) * 1e3;
}

double peerFirstScreen(PtyProgram& p) {
  double ms = -1;
  p.onFrame = [&](double end) {
    if (ms < 0) ms = (end - p.started()) * 1e3;
  };
  p.waitFor([&] { return ms >= 0; }, 5);
  p.onFrame = nullptr;
  return ms;
}

// The median over `starts` starts, the first being `first` (already taken),
// so that one start delayed by the rest of the machine does not decide it.
double medianFirstScreen(double first, int starts, const std::vector<std::string>& argv,
                         double (*measure)(PtyProgram&), std::vector<double>& samples) {
  samples.push_back(first);
  for (int i = 1; i < starts; ++i) {
    PtyProgram p(argv);
    const double ms = measure(p);
    p.end();
    if (ms >= 0) samples.push_back(ms);
  }
  return median(samples);
}

Figures measurePotclock(const std::string& binary, double settle, double seconds) {
  Figures f;
  PtyProgram p({binary});
  f.firstScreenMs = potclockFirstScreen(p);
  if (f.firstScreenMs < 0) {
    f.failure = "the first screen never showed";
    return f;
  }
  if (!startManual(p, 20, f.failure)) return f;
  measureWindow(p, settle, seconds, f);
  finish(p, f);
  return f;
}

// potclock counting down a break of an organiser's own structure: the large
// BREAK and its note stand still, the countdown and the time of day move.
Figures measurePotclockBreak(const std::string& binary, double settle, double seconds) {
  Figures f;
  const std::string file = benchStateHome() + "/break.toml";
  std::ofstream(file) << "name = \"Bench\"\nminutes = 20\n[[level]]\nbreak = 30\n"
                         "note = \"Colour up the 25s\"\n[[level]]\nblinds = [100, 200]\n";
  PtyProgram p({binary, "--structure", file});
  if (!p.waitForText("Press any key to start timer", 5)) {
    f.failure = "the start prompt never showed";
    return f;
  }
  p.pumpFor(0.1);
  p.send("g");
  if (!p.waitForText("B R E A K", 5)) {
    f.failure = "the break never started";
    return f;
  }
  measureWindow(p, settle, seconds, f);
  finish(p, f);
  return f;
}

// potclock in a terminal of `size`, filled out to it with Alt-Enter once its
// timer runs.
Figures measurePotclockFilled(const std::string& binary, TermSize size, double settle,
                              double seconds) {
  Figures f;
  PtyProgram p({binary}, size);
  if (!startManual(p, 20, f.failure)) return f;
  p.send("\x1b\r");
  // Filled, the caption's letters stand apart.
  if (!p.waitFor([&] { return !captionShows(p, 1); }, 5)) {
    f.failure = "Alt-Enter did not fill the terminal";
    return f;
  }
  measureWindow(p, settle, seconds, f);
  finish(p, f);
  return f;
}

Figures measurePeer(const std::string& binary, double settle, double seconds,
                    TermSize size = kScreenSize) {
  Figures f;
  PtyProgram p({binary, "-s", "-c"}, size);
  f.firstScreenMs = peerFirstScreen(p);
  if (f.firstScreenMs < 0) {
    f.failure = "no first screen";
    return f;
  }
  measureWindow(p, settle, seconds, f);
  finish(p, f);
  return f;
}

// Runs the emulator once over a screenful of text and colour, so that the
// first program timed does not pay for this program's own first use of it.
void warmUp() {
  const int rows = kScreenSize.rows, cols = kScreenSize.cols;
  VTerm* vt = vterm_new(rows, cols);
  vterm_set_utf8(vt, 1);
  VTermScreen* screen = vterm_obtain_screen(vt);
  vterm_screen_enable_altscreen(screen, 1);
  vterm_screen_reset(screen, 1);
  std::string text = "\x1b[?1049h\x1b[H\x1b[2J\x1b[97;44m";
  for (int r = 0; r < rows; ++r) {
    text += "\x1b[" + std::to_string(r + 1) + ";1H";
    for (int c = 0; c < cols; ++c) text += (c % 3 == 0) ? "\xe2\x96\x88" : "x";
  }
  vterm_input_write(vt, text.data(), text.size());
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) {
      VTermScreenCell cell{};
      vterm_screen_get_cell(screen, VTermPos{r, c}, &cell);
    }
  }
  vterm_free(vt);
}

// --- Level changes against the clock ----------------------------------------

struct Lateness {
  bool ok = false;
  std::string failure;
  std::vector<double> late;  // seconds, for levels 2, 3, ...
  double hwmKiB = 0;         // peak resident memory, chimes included
};

Lateness measureLateness(const std::string& binary, int changes) {
  Lateness out;
  PtyProgram p({binary});
  if (!startManual(p, 1, out.failure)) return out;
  const double start = p.lastOutput();
  for (int k = 1; k <= changes; ++k) {
    if (!p.waitFor([&] { return captionShows(p, k + 1); }, 75)) {
      out.failure = "level " + std::to_string(k + 1) + " never started";
      return out;
    }
    out.late.push_back(p.lastOutput() - start - 60.0 * k);
    std::printf("  level %d caption after %.3f s: %+.3f s against %d s\n", k + 1,
                p.lastOutput() - start, out.late.back(), 60 * k);
    std::fflush(stdout);
  }
  out.hwmKiB = vmHwmKiB(p.pid());
  p.end();
  out.ok = true;
  return out;
}

// --- Report -------------------------------------------------------------------

struct Row {
  std::string figure, ours, peer, ratio, target;
  bool met;
};

std::string fmt(const char* format, double v) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, v);
  return buffer;
}

void printTable(const std::vector<Row>& rows) {
  std::printf("\n%-34s %12s %12s %8s  %-34s %s\n", "figure", "potclock", "tty-clock", "ratio",
              "target", "");
  for (const Row& r : rows) {
    std::printf("%-34s %12s %12s %8s  %-34s %s\n", r.figure.c_str(), r.ours.c_str(), r.peer.c_str(),
                r.ratio.c_str(), r.target.c_str(), r.met ? "met" : "MISSED");
  }
}

void printKinds(const Figures& ours, const Figures& peer) {
  auto per = [](const Figures& f, std::uint64_t n) { return static_cast<double>(n) / f.window; };
  std::printf("\nbytes per second by kind        potclock  tty-clock\n");
  auto line = [&](const char* what, std::uint64_t a, std::uint64_t b) {
    std::printf("  %-28s %8.1f  %9.1f\n", what, per(ours, a), per(peer, b));
  };
  line("cell characters", ours.kinds.text, peer.kinds.text);
  line("  (cells written)", ours.kinds.cells, peer.kinds.cells);
  line("cursor motion", ours.kinds.moves, peer.kinds.moves);
  line("  (motions)", ours.kinds.moveCount, peer.kinds.moveCount);
  line("colour and attributes", ours.kinds.colour, peer.kinds.colour);
  line("  (changes)", ours.kinds.colourCount, peer.kinds.colourCount);
  line("erasing", ours.kinds.erase, peer.kinds.erase);
  line("modes (cursor on/off...)", ours.kinds.modes, peer.kinds.modes);
  line("other", ours.kinds.other, peer.kinds.other);
}

void printFrames(const char* name, const Figures& f) {
  if (f.frameBytes.empty()) return;
  std::vector<std::size_t> sorted = f.frameBytes;
  std::sort(sorted.begin(), sorted.end());
  std::printf("%s: %zu redraws in %.3f s, bytes per redraw min %zu, median %zu, max %zu\n", name,
              sorted.size(), f.window, sorted.front(), sorted[sorted.size() / 2], sorted.back());
}

std::string ratio(double a, double b) {
  return b > 0 ? fmt("%.2f", a / b) : std::string("-");
}

void countdownRows(const Figures& ours, const Figures& theirs, std::vector<Row>& rows) {
  const double bps = ours.bytesPerSecond();
  const double peerBps = theirs.bytesPerSecond();
  const double floor = ours.floorPerSecond();
  rows.push_back({"terminal bytes/s", fmt("%.1f", bps), fmt("%.1f", peerBps), ratio(bps, peerBps),
                  "<= tty-clock", bps <= peerBps});
  rows.push_back({"  against the changed-cells floor", fmt("%.1f", bps), fmt("%.1f", floor),
                  ratio(bps, floor),
                  fmt("<= floor x %.2f", kFloorSlack) + fmt(" = %.1f", floor * kFloorSlack),
                  bps <= floor * kFloorSlack});
  const double cpu = ours.cpuMsPerMinute();
  const double peerCpu = theirs.cpuMsPerMinute();
  rows.push_back({"CPU ms per minute", fmt("%.2f", cpu), fmt("%.2f", peerCpu), ratio(cpu, peerCpu),
                  "<= tty-clock", cpu <= peerCpu});
  rows.push_back({"  as % of a core", fmt("%.4f", cpu / 600.0), fmt("%.4f", peerCpu / 600.0),
                  ratio(cpu, peerCpu), "", cpu <= peerCpu});
  rows.push_back({"peak resident memory, KiB", fmt("%.0f", ours.hwmKiB), fmt("%.0f", theirs.hwmKiB),
                  ratio(ours.hwmKiB, theirs.hwmKiB), fmt("< %.0f KiB", kRssLimitKiB),
                  ours.hwmKiB < kRssLimitKiB});
  rows.push_back(
      {"first complete screen, ms", fmt("%.2f", ours.firstScreenMs),
       fmt("%.2f", theirs.firstScreenMs), ratio(ours.firstScreenMs, theirs.firstScreenMs),
       fmt("<= %.0f ms", kFirstScreenLimitMs), ours.firstScreenMs <= kFirstScreenLimitMs});
}

struct FilledRun {
  TermSize size;
  Figures ours, peer;
};

void filledRows(const FilledRun& run, std::vector<Row>& rows) {
  const std::string at = std::to_string(run.size.cols) + "x" + std::to_string(run.size.rows);
  const double bps = run.ours.bytesPerSecond();
  const double floor = run.ours.floorPerSecond();
  rows.push_back(
      {"filled " + at + ": bytes/s vs floor", fmt("%.1f", bps), fmt("%.1f", floor),
       ratio(bps, floor),
       fmt("<= floor x %.2f", kFilledFloorSlack) + fmt(" = %.1f", floor * kFilledFloorSlack),
       bps <= floor * kFilledFloorSlack});
  const double peerBps = run.peer.bytesPerSecond();
  rows.push_back({"  bytes/s vs tty-clock", fmt("%.1f", bps), fmt("%.1f", peerBps),
                  ratio(bps, peerBps), "(not a target)", true});
  const double cpu = run.ours.cpuMsPerMinute();
  const double peerCpu = run.peer.cpuMsPerMinute();
  rows.push_back({"  CPU ms per minute", fmt("%.2f", cpu), fmt("%.2f", peerCpu),
                  ratio(cpu, peerCpu), "<= tty-clock", cpu <= peerCpu});
}

// COLSxROWS,COLSxROWS...; nullopt when malformed or smaller than 80x25.
std::optional<std::vector<TermSize>> parseSizes(std::string_view list) {
  std::vector<TermSize> out;
  if (list == "none") return out;
  while (!list.empty()) {
    const auto comma = list.find(',');
    const std::string item(list.substr(0, comma));
    int cols = 0, rows = 0;
    char x = 0;
    std::istringstream in(item);
    if (!(in >> cols >> x >> rows) || x != 'x' || !in.eof() || cols < 80 || rows < 25 ||
        cols > 1000 || rows > 500)
      return std::nullopt;
    out.push_back({rows, cols});
    if (comma == std::string_view::npos) break;
    list.remove_prefix(comma + 1);
  }
  return out;
}

void printDetails(const Figures& ours, const Figures& theirs, bool showFrames) {
  std::printf(
      "\nfloor: the fewest bytes that write each changed cell once, with the cheapest cursor\n"
      "motion (ANSI moves, line feed, backspace, carriage return, or rewriting the cells\n"
      "between) and colour change, cell by cell along the rows, over the same window.\n"
      "first complete screen: median of %zu starts (potclock: the level list and the mode\n"
      "question complete on the emulated screen; tty-clock: its output up to the first\n"
      "pause of %.0f ms).\n",
      ours.firstScreens.size(), kQuiet * 1e3);
  auto starts = [](const char* name, const Figures& f) {
    std::printf("  %s starts, ms:", name);
    for (double ms : f.firstScreens) std::printf(" %.2f", ms);
    std::printf("\n");
  };
  starts("potclock", ours);
  starts("tty-clock", theirs);

  printKinds(ours, theirs);
  std::printf("\n");
  printFrames("potclock", ours);
  printFrames("tty-clock", theirs);
  std::printf("whole life: potclock %.1f ms CPU, max RSS %ld KiB; tty-clock %.1f ms CPU, %ld KiB\n",
              ours.lifeCpuMs, ours.maxRssKiB, theirs.lifeCpuMs, theirs.maxRssKiB);
  auto resident = [](const char* name, const Figures& f) {
    long total = 0;
    for (const auto& [what, kib] : f.resident) total += kib;
    std::printf("\n%s resident at the window's end: %ld KiB\n", name, total);
    for (std::size_t i = 0; i < f.resident.size() && i < 10; ++i) {
      std::printf("  %6ld KiB  %s\n", f.resident[i].second, f.resident[i].first.c_str());
    }
  };
  resident("potclock", ours);
  resident("tty-clock", theirs);
  if (showFrames) {
    for (std::size_t i = 0; i < ours.frames.size(); ++i) {
      std::printf("potclock redraw %zu (%zu bytes): %s\n", i + 1, ours.frames[i].size(),
                  escaped(ours.frames[i]).c_str());
    }
    for (std::size_t i = 0; i < theirs.frames.size() && i < 3; ++i) {
      std::printf("tty-clock redraw %zu (%zu bytes): %s\n", i + 1, theirs.frames[i].size(),
                  escaped(theirs.frames[i]).c_str());
    }
  }
}

void dump(const std::string& dir, const std::string& name, const std::string& bytes) {
  mkdir(dir.c_str(), 0755);
  std::ofstream(dir + "/" + name, std::ios::binary) << bytes;
}

int usage(const char* self) {
  std::fprintf(stderr,
               "usage: %s [--seconds N] [--settle N] [--levels N] [--peer PATH] [--dump DIR] "
               "[--starts N] [--frames] [--lateness-only] [--filled LIST] POTCLOCK\n",
               self);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = 60;
  double settle = 3;
  int levels = 3;
  std::string peer;
  std::string dumpDir;
  bool showFrames = false;
  bool latenessOnly = false;
  int starts = 5;
  std::string binary;
  std::vector<TermSize> filledSizes{{50, 160}, {75, 240}};
  for (int i = 1; i < argc; ++i) {
    const std::string_view a(argv[i]);
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    const char* v = nullptr;
    if (a == "--seconds" && (v = value())) {
      seconds = std::atof(v);
    } else if (a == "--settle" && (v = value())) {
      settle = std::atof(v);
    } else if (a == "--levels" && (v = value())) {
      levels = std::atoi(v);
    } else if (a == "--peer" && (v = value())) {
      peer = v;
    } else if (a == "--dump" && (v = value())) {
      dumpDir = v;
    } else if (a == "--starts" && (v = value())) {
      starts = std::atoi(v);
    } else if (a == "--filled" && (v = value())) {
      const auto sizes = parseSizes(v);
      if (!sizes) return usage(argv[0]);
      filledSizes = *sizes;
    } else if (a == "--lateness-only") {
      latenessOnly = true;
    } else if (a == "--frames") {
      showFrames = true;
    } else if (!a.starts_with("--") && binary.empty()) {
      binary = argv[i];
    } else {
      return usage(argv[0]);
    }
  }
  if (binary.empty() || !(seconds >= 2) || settle < 0 || levels < 0 || starts < 1 ||
      (latenessOnly && levels == 0))
    return usage(argv[0]);
  if (peer.empty()) peer = findPeer();
  if (peer.empty() || access(peer.c_str(), X_OK) != 0) {
    std::fprintf(stderr, "tty-clock not found (Debian package tty-clock; `make bench-deps`)\n");
    return 2;
  }
  if (access(binary.c_str(), X_OK) != 0) {
    std::fprintf(stderr, "%s: not an executable\n", binary.c_str());
    return 2;
  }
  signal(SIGPIPE, SIG_IGN);

  warmUp();
  if (!latenessOnly) {
    std::printf("countdown, 80x25, TERM=xterm-256color: window of %.0f s after %.0f s of running\n",
                seconds, settle);
    std::fflush(stdout);
  }
  Figures ours;
  Figures theirs;
  if (!latenessOnly) {
    ours = measurePotclock(binary, settle, seconds);
    if (!ours.ok) {
      std::fprintf(stderr, "potclock: %s\n", ours.failure.c_str());
      return 2;
    }
    theirs = measurePeer(peer, settle, seconds);
    if (!theirs.ok) {
      std::fprintf(stderr, "%s: %s\n", peer.c_str(), theirs.failure.c_str());
      return 2;
    }
    ours.firstScreenMs = medianFirstScreen(ours.firstScreenMs, starts, {binary},
                                           potclockFirstScreen, ours.firstScreens);
    theirs.firstScreenMs = medianFirstScreen(theirs.firstScreenMs, starts, {peer, "-s", "-c"},
                                             peerFirstScreen, theirs.firstScreens);
  }
  Figures onBreak;
  if (!latenessOnly) {
    std::printf("countdown of a break (--structure), 80x25\n");
    std::fflush(stdout);
    onBreak = measurePotclockBreak(binary, settle, seconds);
    if (!onBreak.ok) {
      std::fprintf(stderr, "potclock on a break: %s\n", onBreak.failure.c_str());
      return 2;
    }
  }
  std::vector<FilledRun> filled;
  for (const TermSize size : latenessOnly ? std::vector<TermSize>{} : filledSizes) {
    std::printf("countdown filled out to %dx%d (Alt-Enter), beside tty-clock at that size\n",
                size.cols, size.rows);
    std::fflush(stdout);
    FilledRun run{size, measurePotclockFilled(binary, size, settle, seconds), {}};
    if (!run.ours.ok) {
      std::fprintf(stderr, "potclock filled: %s\n", run.ours.failure.c_str());
      return 2;
    }
    run.peer = measurePeer(peer, settle, seconds, size);
    if (!run.peer.ok) {
      std::fprintf(stderr, "%s: %s\n", peer.c_str(), run.peer.failure.c_str());
      return 2;
    }
    filled.push_back(std::move(run));
  }
  if (!dumpDir.empty()) {
    dump(dumpDir, "potclock.out", ours.capture);
    dump(dumpDir, "peer.out", theirs.capture);
  }

  Lateness late;
  if (levels > 0) {
    std::printf("level changes, 1-minute levels, %d changes:\n", levels);
    std::fflush(stdout);
    late = measureLateness(binary, levels);
    if (!late.ok) {
      std::fprintf(stderr, "lateness run: %s\n", late.failure.c_str());
      return 2;
    }
  }

  std::vector<Row> rows;
  if (!latenessOnly) {
    countdownRows(ours, theirs, rows);
    const double bps = onBreak.bytesPerSecond();
    const double floor = onBreak.floorPerSecond();
    rows.push_back({"break screen: bytes/s vs floor", fmt("%.1f", bps), fmt("%.1f", floor),
                    ratio(bps, floor),
                    fmt("<= floor x %.2f", kFloorSlack) + fmt(" = %.1f", floor * kFloorSlack),
                    bps <= floor * kFloorSlack});
  }
  for (const FilledRun& run : filled) filledRows(run, rows);
  if (!late.late.empty()) {
    const double worst = *std::max_element(late.late.begin(), late.late.end());
    const double growth = late.late.back() - late.late.front();
    rows.push_back({"largest level-change lateness, s", fmt("%.3f", worst), "-", "-",
                    fmt("<= %.1f s", kLatenessLimit), worst <= kLatenessLimit});
    rows.push_back({"  growth, last change - first, s", fmt("%+.3f", growth), "-", "-",
                    fmt("<= %.2f s", kGrowthLimit), growth <= kGrowthLimit});
    rows.push_back({"peak resident after the chimes, KiB", fmt("%.0f", late.hwmKiB), "-", "-",
                    "(not a target)", true});
  }
  printTable(rows);
  if (!latenessOnly) printDetails(ours, theirs, showFrames);
  for (const FilledRun& run : filled) {
    std::printf("\nfilled %dx%d:\n", run.size.cols, run.size.rows);
    printFrames("potclock", run.ours);
    printFrames("tty-clock", run.peer);
    printKinds(run.ours, run.peer);
  }

  const bool all = std::all_of(rows.begin(), rows.end(), [](const Row& r) { return r.met; });
  std::printf("\n%s\n", all ? "all targets met" : "some targets MISSED");
  return all ? 0 : 1;
}
