#include "runtime/console/safefile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "runtime/console/fdio.h"

namespace krx {

std::FILE* openRegularForWriting(const std::string& name, bool append) {
  // O_NONBLOCK: a FIFO must not hold the open until a reader comes. No
  // O_TRUNC yet: the file is emptied only once it is known to be a regular
  // one.
  const int flags =
      O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (append ? O_APPEND : 0);
  UniqueFd fd(::open(name.c_str(), flags, 0666));
  if (!fd.valid()) return nullptr;
  auto fail = [&fd](int code) -> std::FILE* {
    fd.reset();
    errno = code;
    return nullptr;
  };
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return fail(errno);
  if (!S_ISREG(st.st_mode)) return fail(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
  // A second name of another file, planted like a link to have it
  // overwritten: the name is not the file's own.
  if (st.st_nlink > 1) return fail(EMLINK);
  // Writes to a regular file never wait anyway; cleared so that nothing
  // downstream sees a short write it does not expect.
  const int status = ::fcntl(fd.get(), F_GETFL);
  if (status < 0 || ::fcntl(fd.get(), F_SETFL, status & ~O_NONBLOCK) != 0) return fail(errno);
  if (!append && ::ftruncate(fd.get(), 0) != 0) return fail(errno);
  std::FILE* file = ::fdopen(fd.get(), append ? "ab" : "wb");
  if (!file) return fail(errno);
  fd.release();  // the stream's now
  return file;
}

}  // namespace krx
