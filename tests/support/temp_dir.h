// Directories and files on disk for tests (and the benchmarks): a fresh
// directory that goes with everything in it on every path out, and a whole
// file read back.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

// A fresh directory under the system's temporary one; `prefix` names it for
// whoever finds one left behind by a crash.
class TempDir {
 public:
  explicit TempDir(std::string_view prefix = "potclock-test") {
    std::string pattern =
        (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
    if (!::mkdtemp(pattern.data())) std::abort();
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string file(std::string_view name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// A fresh directory made current for one test; the previous current
// directory comes back before the temporary one goes.
class TempCwd {
 public:
  TempCwd() : previous_(std::filesystem::current_path()), dir_("krxerr") {
    std::filesystem::current_path(dir_.path());
  }
  ~TempCwd() {
    std::error_code ec;
    std::filesystem::current_path(previous_, ec);
  }
  TempCwd(const TempCwd&) = delete;
  TempCwd& operator=(const TempCwd&) = delete;

  const std::filesystem::path& path() const { return dir_.path(); }

 private:
  std::filesystem::path previous_;
  TempDir dir_;
};

// The whole file as bytes; "" when it cannot be read.
inline std::string readFile(const std::filesystem::path& name) {
  std::ifstream in(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
