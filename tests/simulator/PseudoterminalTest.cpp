#include "testing/Pseudoterminal.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>

namespace trv::tools {
namespace {

std::string LinkTarget(const std::string& link) {
  char target[PATH_MAX] = {};
  const ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
  return length > 0 ? std::string(target, static_cast<size_t>(length)) : "";
}

class PseudoterminalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/trv-pty-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    link_ = folder_ + "/ttyScale";
  }
  void TearDown() override {
    unlink(link_.c_str());
    rmdir(folder_.c_str());
  }

  std::string folder_;
  std::string link_;
};

TEST_F(PseudoterminalTest, PublishesARawSlaveUnderTheLink) {
  Pseudoterminal pty(link_);
  ASSERT_TRUE(pty.Open()) << pty.Error();
  EXPECT_EQ(LinkTarget(link_), pty.SlavePath());

  const int client = open(link_.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(client, 0);
  termios tio{};
  ASSERT_EQ(tcgetattr(client, &tio), 0);
  EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u);
  EXPECT_EQ(tio.c_oflag & OPOST, 0u);
  EXPECT_NE(tio.c_cflag & CLOCAL, 0u);

  ASSERT_EQ(write(pty.MasterFd(), "\r\n\x05", 3), 3);
  char buffer[8] = {};
  ASSERT_EQ(read(client, buffer, sizeof buffer), 3);
  EXPECT_EQ(std::string(buffer, 3), "\r\n\x05");
  close(client);
}

TEST_F(PseudoterminalTest, RenewHangsUpTheOldLineAndRepointsTheLink) {
  Pseudoterminal pty(link_);
  ASSERT_TRUE(pty.Open()) << pty.Error();
  const std::string oldSlave = pty.SlavePath();
  const int client = open(link_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(client, 0);

  ASSERT_TRUE(pty.Renew()) << pty.Error();
  EXPECT_NE(pty.SlavePath(), oldSlave);
  EXPECT_EQ(LinkTarget(link_), pty.SlavePath());
  pollfd entry{client, POLLIN, 0};
  ASSERT_EQ(poll(&entry, 1, 1000), 1);
  EXPECT_NE(entry.revents & POLLHUP, 0);
  close(client);
}

TEST_F(PseudoterminalTest, CloseRemovesOnlyItsOwnLink) {
  {
    Pseudoterminal pty(link_);
    ASSERT_TRUE(pty.Open()) << pty.Error();
    pty.Close();
    EXPECT_FALSE(pty.IsOpen());
    EXPECT_EQ(access(link_.c_str(), F_OK), -1);
  }
  Pseudoterminal pty(link_);
  ASSERT_TRUE(pty.Open()) << pty.Error();
  // Someone else takes the path over: our close leaves their link alone.
  ASSERT_EQ(unlink(link_.c_str()), 0);
  ASSERT_EQ(symlink("/dev/null", link_.c_str()), 0);
  pty.Close();
  EXPECT_EQ(LinkTarget(link_), "/dev/null");
}

TEST_F(PseudoterminalTest, WithoutALinkPublishesNothing) {
  Pseudoterminal pty;
  ASSERT_TRUE(pty.Open()) << pty.Error();
  EXPECT_EQ(pty.SlavePath().rfind("/dev/pts/", 0), 0u);
  EXPECT_EQ(access(link_.c_str(), F_OK), -1);
}

}  // namespace
}  // namespace trv::tools
