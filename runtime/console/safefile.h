// Opening a file the program writes in a directory that others may write to
// as well (the current directory): the name can be a symbolic link planted
// to make us overwrite another file, a FIFO that blocks the open for ever, or
// a device. Only a regular file that the name itself stands for is written.
#pragma once

#include <cstdio>
#include <string>

namespace krx {

// Opens `name` for writing, creating it with mode 0666 less the umask when it
// does not exist; `append` keeps what the file holds, otherwise it is
// emptied. Never follows a symbolic link, never waits on the open, and
// refuses anything but a regular file. Returns null with errno set when the
// name cannot be used (ELOOP for a link, EMLINK for a file with more than
// one name, EISDIR for a directory, ENXIO for a
// FIFO without reader, EINVAL for another kind of file).
std::FILE* openRegularForWriting(const std::string& name, bool append);

}  // namespace krx
