// A disk that fills up, for one scope: files of this process cannot grow past
// `bytes`, and a write beyond that fails with EFBIG instead of ending the
// process (SIGXFSZ is ignored meanwhile). Works for any user, root included.
#pragma once

#include <signal.h>
#include <sys/resource.h>

#include <cstdlib>

class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    previousSignal_ = ::signal(SIGXFSZ, SIG_IGN);
    if (::getrlimit(RLIMIT_FSIZE, &previous_) != 0) std::abort();
    rlimit limited = previous_;
    limited.rlim_cur = bytes;
    if (::setrlimit(RLIMIT_FSIZE, &limited) != 0) std::abort();
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &previous_);
    ::signal(SIGXFSZ, previousSignal_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit previous_{};
  sighandler_t previousSignal_;
};
