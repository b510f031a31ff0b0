#include "runtime/console/fdio.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <string>

using namespace krx;

namespace {

struct Pipe {
  UniqueFd read, write;
  Pipe() {
    int fds[2];
    EXPECT_EQ(::pipe2(fds, O_NONBLOCK | O_CLOEXEC), 0);
    read.reset(fds[0]);
    write.reset(fds[1]);
  }
};

}  // namespace

TEST(FdIo, ReadsToTheEndOrToTheMostAsked) {
  const struct {
    std::size_t size, most, read;
  } cases[] = {{0, 10, 0}, {10, 10, 10}, {10, 11, 10}, {11, 10, 10}, {9000, 8193, 8193}};
  for (const auto& c : cases) {
    Pipe p;
    const std::string sent(c.size, 'x');
    ASSERT_EQ(writeAll(p.write.get(), sent.data(), sent.size()), c.size);
    p.write.reset();  // the end of the file
    std::string text = "kept:";
    EXPECT_TRUE(readUpTo(p.read.get(), text, c.most + 5)) << c.size;
    EXPECT_EQ(text.size(), c.read + 5) << c.size << " of at most " << c.most;
  }
}

TEST(FdIo, AFullPipeTakesWhatItCanAndSaysWhy) {
  Pipe p;
  const int room = ::fcntl(p.write.get(), F_GETPIPE_SZ);
  ASSERT_GT(room, 0);
  const std::string sent(static_cast<std::size_t>(room) + 100, 'x');
  EXPECT_EQ(writeAll(p.write.get(), sent.data(), sent.size()), static_cast<std::size_t>(room));
  EXPECT_EQ(errno, EAGAIN);
}

TEST(FdIo, AnOwnerClosesOnceAndHandsOver) {
  Pipe p;
  const int fd = p.read.get();
  UniqueFd moved = std::move(p.read);
  EXPECT_FALSE(p.read.valid());
  EXPECT_EQ(moved.get(), fd);
  EXPECT_TRUE(moved.close());
  EXPECT_FALSE(moved.valid());
  EXPECT_EQ(::fcntl(fd, F_GETFD), -1);  // closed, and by nobody else since
}
