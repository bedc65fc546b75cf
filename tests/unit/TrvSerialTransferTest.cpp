// Transmission, queue counts, waits and the bandwidth limiter of the serial port.
#include <gtest/gtest.h>

#include "SerialFixture.h"

namespace trv::testing {
namespace {

class SerialSend : public SerialFixture {};

TEST_F(SerialSend, NothingIsWrittenBeforeConnecting) {
  serial_.SendString("hello");
  EXPECT_EQ(serial_.LastError(), 9994);
  EXPECT_EQ(serial_.LastErrorDesc(), "Instance not yet connected");
  EXPECT_TRUE(port_->Calls().empty());

  serial_.SetRaiseExcept(true);
  try {
    serial_.SendString("hello");
    FAIL() << "no exception";
  } catch (const ETrvSerialError& e) {
    EXPECT_EQ(std::string(e.what()), "Communication error 9994: Instance not yet connected");
  }
}

TEST_F(SerialSend, WritesEveryByteAndReportsTheCount) {
  ConnectFresh();
  const Bytes request("\x05\0P\r\xFF", 5);
  serial_.SendString(request);
  EXPECT_EQ(serial_.LastError(), 0);
  EXPECT_EQ(port_->Written(), request);
  serial_.SendByte('\x06');
  serial_.SendString("");  // an empty write still runs and reports
  EXPECT_EQ(port_->Written(), request + "\x06");
  ASSERT_EQ(reports_.size(), 3u);
  EXPECT_EQ(reports_[0], std::make_pair(HR_WriteCount, std::string("5")));
  EXPECT_EQ(reports_[1], std::make_pair(HR_WriteCount, std::string("1")));
  EXPECT_EQ(reports_[2], std::make_pair(HR_WriteCount, std::string("0")));
}

TEST_F(SerialSend, AStalledBlockIsCutOffAtTheDeadlockTimeout) {
  serial_.SetDeadlockTimeout(1000);
  ConnectFresh();
  port_->SetWriteCapacity(10);
  const uint64_t start = Now();
  EXPECT_EQ(serial_.SendBuffer(Bytes(100, 'x').data(), 100), 10);
  EXPECT_EQ(serial_.LastError(), 9997);
  EXPECT_EQ(Now() - start, 1000u);
  EXPECT_EQ(port_->Written().size(), 10u);
  EXPECT_EQ(reports_.back(), std::make_pair(HR_WriteCount, std::string("10")));
}

TEST_F(SerialSend, ARefusedWriteLeavesThePlatformCode) {
  ConnectFresh();
  port_->Fail(CommPortFake::Call::Write, 1117);
  EXPECT_EQ(serial_.SendBuffer("ab", 2), 0);
  EXPECT_EQ(serial_.LastError(), 1117);
  serial_.SetRaiseExcept(true);
  EXPECT_THROW(serial_.SendString("ab"), ETrvSerialError);
}

TEST_F(SerialSend, BandwidthLimitSpacesTheWrites) {
  ConnectFresh();
  serial_.SetMaxSendBandwidth(1000);  // bytes per second
  const uint64_t start = Now();
  serial_.SendString(Bytes(500, 'a'));
  EXPECT_EQ(Now(), start);  // the first write goes at once
  serial_.SendString(Bytes(250, 'b'));
  EXPECT_EQ(Now() - start, 500u);  // the second waits for the first's share
  EXPECT_EQ(reports_[1], std::make_pair(HR_Wait, std::string("500")));
  clock_.Advance(1000);
  serial_.SendString("c");
  EXPECT_EQ(Now() - start, 1500u);  // nothing owed any more

  serial_.SetMaxBandwidth(0);
  EXPECT_EQ(serial_.MaxRecvBandwidth(), 0);
  EXPECT_EQ(serial_.MaxSendBandwidth(), 0);
}

TEST_F(SerialSend, BandwidthLimitSurvivesATickWrap) {
  clock_.Set(0xFFFFFF00ull);
  ConnectFresh();
  serial_.SetMaxSendBandwidth(1000);
  serial_.SendString(Bytes(500, 'a'));  // next write allowed 500 ms later, past the wrap
  serial_.SendString("b");
  EXPECT_EQ(Now(), 0xFFFFFF00ull + 500);
}

class SerialQueues : public SerialFixture {};

TEST_F(SerialQueues, CountsComeFromTheDriverAndTheLineBuffer) {
  ConnectFresh();
  port_->ArriveAt(Now(), "abc");
  port_->SetOutputQueue(7, Now() + 100);
  EXPECT_EQ(serial_.WaitingData(), 3);
  EXPECT_EQ(serial_.SendingData(), 7);
  EXPECT_EQ(serial_.WaitingDataEx(), 3);

  serial_.SetLineBuffer("xy");
  port_->ClearCalls();
  serial_.SetSerialError(9997);
  EXPECT_EQ(serial_.WaitingDataEx(), 2);
  EXPECT_TRUE(port_->Calls().empty());   // the driver is not asked
  EXPECT_EQ(serial_.LastError(), 9997);  // nor the code touched
}

TEST_F(SerialQueues, RefusedQueriesAnswerZeroWithTheCode) {
  ConnectFresh();
  port_->ArriveAt(Now(), "abc");
  port_->Fail(CommPortFake::Call::ClearError, 5);
  EXPECT_EQ(serial_.WaitingData(), 0);
  EXPECT_EQ(serial_.LastError(), 5);
  EXPECT_EQ(serial_.SendingData(), 0);
  EXPECT_EQ(serial_.LastError(), 5);
  serial_.SetRaiseExcept(true);
  EXPECT_THROW(serial_.WaitingData(), ETrvSerialError);
}

TEST_F(SerialQueues, CanWriteWaitsForTheOutputQueueToDrain) {
  ConnectFresh();
  port_->SetOutputQueue(100, Now() + 40);
  EXPECT_TRUE(serial_.CanWrite(1000));
  EXPECT_EQ(Now(), 1040u);
  EXPECT_EQ(reports_.back(), std::make_pair(HR_CanWrite, std::string()));

  port_->SetOutputQueue(100, Now() + 400);
  reports_.clear();
  EXPECT_FALSE(serial_.CanWrite(100));
  EXPECT_EQ(Now(), 1140u);
  EXPECT_TRUE(reports_.empty());
}

TEST_F(SerialQueues, CanReadWaitsForTheFirstByteOnly) {
  ConnectFresh();
  port_->ArriveAt(Now() + 30, "z");
  EXPECT_TRUE(serial_.CanRead(500));
  EXPECT_EQ(Now(), 1030u);
  EXPECT_EQ(reports_.back(), std::make_pair(HR_CanRead, std::string()));
  EXPECT_TRUE(serial_.CanRead(500));  // data waiting: no wait at all
  EXPECT_EQ(Now(), 1030u);

  serial_.Purge();
  reports_.clear();
  EXPECT_FALSE(serial_.CanRead(200));
  EXPECT_EQ(Now(), 1230u);
  EXPECT_TRUE(reports_.empty());

  serial_.SetLineBuffer("held");
  EXPECT_TRUE(serial_.CanReadEx(200));
  EXPECT_EQ(Now(), 1230u);
  EXPECT_TRUE(reports_.empty());  // answered from the line buffer: no report
}

TEST_F(SerialQueues, ANegativeTimeoutWaitsWithoutLimit) {
  ConnectFresh();
  port_->ArriveAfter(400000, "late");
  EXPECT_EQ(serial_.RecvPacket(-5), "late");
  EXPECT_EQ(serial_.LastError(), 0);
  EXPECT_EQ(Now(), 401000u);
  port_->ArriveAfter(90000, "later");
  EXPECT_TRUE(serial_.WaitForLineEvent(comm::kEvRxChar, -1));
  EXPECT_EQ(Now(), 491000u);
}

}  // namespace
}  // namespace trv::testing
