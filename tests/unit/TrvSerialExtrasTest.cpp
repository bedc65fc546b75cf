// The serial port's extras: break, RTS toggling, integers, blocks, streams, modem commands.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "SerialFixture.h"
#include "serial/TrvSerialUtil.h"
#include "testing/MemoryByteStream.h"

namespace trv::testing {
namespace {

// A stream that records the size of every write.
class RecordingStream final : public ByteStream {
 public:
  int64_t Size() const override { return memory_.Size(); }
  int64_t Position() const override { return memory_.Position(); }
  void SetPosition(int64_t position) override { memory_.SetPosition(position); }
  int Read(char* buffer, int count) override { return memory_.Read(buffer, count); }
  void Write(const char* data, size_t count) override {
    writes_.push_back(count);
    memory_.Write(data, count);
  }
  const Bytes& Data() const { return memory_.Data(); }
  const std::vector<size_t>& Writes() const { return writes_; }

 private:
  MemoryByteStream memory_;
  std::vector<size_t> writes_;
};

// A stream that claims more bytes than a 32-bit length can tell.
class HugeStream final : public ByteStream {
 public:
  int64_t Size() const override { return int64_t{3} << 30; }
  int64_t Position() const override { return 0; }
  void SetPosition(int64_t) override {}
  int Read(char*, int) override {
    ++reads_;
    return 0;
  }
  void Write(const char*, size_t) override {}
  int reads_ = 0;
};

Bytes Pattern(size_t count) {
  Bytes bytes(count, '\0');
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>((i * 7 + 3) % 256);
  return bytes;
}

std::vector<std::string> WritesLogged(const std::vector<std::string>& calls) {
  std::vector<std::string> writes;
  for (const std::string& call : calls) {
    if (call.starts_with("Write")) writes.push_back(call);
  }
  return writes;
}

class SerialExtras : public SerialFixture {
 protected:
  void SetUp() override { ConnectFresh(); }

  // The far end answers each write with `answer`, at once.
  void AnswerEveryWriteWith(const Bytes& answer) {
    port_->SetResponder([this, answer](const Bytes&) { port_->ArriveAfter(0, answer); });
  }
};

// ---- Break and RTS toggling ----------------------------------------------------------------

TEST_F(SerialExtras, BreakHoldsTheLineForTheDuration) {
  const uint64_t start = Now();
  serial_.SetBreak(250);
  EXPECT_EQ(Now() - start, 250u);
  EXPECT_EQ(port_->Calls(), (std::vector<std::string>{"Break on", "Break off"}));
  EXPECT_EQ(serial_.LastError(), 0);
  serial_.SetBreak(-5);  // no negative sleep
  EXPECT_EQ(Now() - start, 250u);
}

TEST_F(SerialExtras, AFailedBreakIsOnlyRecorded) {
  serial_.SetRaiseExcept(true);
  port_->Fail(CommPortFake::Call::Break, 31);
  EXPECT_NO_THROW(serial_.SetBreak(10));
  EXPECT_EQ(serial_.LastError(), 31);
}

TEST_F(SerialExtras, RtsToggleGoesThroughTheControlBlock) {
  serial_.Config(9600, 8, 'N', 0, false, false);
  serial_.EnableRTSToggle(true);
  EXPECT_EQ(serial_.LastError(), 0);
  EXPECT_EQ(port_->State().Flags, 0x3011u);
  port_->ClearCalls();
  serial_.SendString("x");  // the driver toggles: this class drives no RTS around writes
  EXPECT_EQ(port_->Calls(), (std::vector<std::string>{"Write 1", "ClearError"}));
  serial_.EnableRTSToggle(false);
  EXPECT_EQ(port_->State().Flags, 0x0011u);
}

TEST_F(SerialExtras, RtsToggleRefusedLeavesTheBits) {
  serial_.Config(9600, 8, 'N', 0, false, false);
  port_->Fail(CommPortFake::Call::SetState, 95);
  serial_.EnableRTSToggle(true);
  EXPECT_EQ(serial_.LastError(), 95);
  EXPECT_EQ(port_->State().Flags, 0x1011u);
  serial_.SetRaiseExcept(true);
  EXPECT_THROW(serial_.EnableRTSToggle(true), ETrvSerialError);
}

// ---- Integers and blocks -------------------------------------------------------------------

TEST_F(SerialExtras, IntegersGoLeastSignificantByteFirst) {
  const std::pair<int32_t, Bytes> cases[] = {
      {1, Bytes("\x01\0\0\0", 4)},
      {0x11223344, Bytes("\x44\x33\x22\x11", 4)},
      {-2, Bytes("\xFE\xFF\xFF\xFF", 4)},
      {INT32_MIN, Bytes("\0\0\0\x80", 4)},
  };
  for (const auto& [value, bytes] : cases) {
    const size_t before = port_->Written().size();
    serial_.SendInteger(value);
    EXPECT_EQ(port_->Written().substr(before), bytes) << value;
    port_->ArriveAfter(0, bytes);
    EXPECT_EQ(serial_.RecvInteger(100), value);
    EXPECT_EQ(serial_.LastError(), 0);
  }
}

TEST_F(SerialExtras, AnIncompleteIntegerIsZeroAndKeepsItsBytes) {
  port_->ArriveAfter(0, "ab");
  EXPECT_EQ(serial_.RecvInteger(100), 0);
  EXPECT_EQ(serial_.LastError(), 9997);
  EXPECT_EQ(serial_.LineBuffer(), "ab");
}

TEST_F(SerialExtras, BlocksCarryTheirLength) {
  serial_.SendBlock("abc");
  serial_.SendBlock("");
  EXPECT_EQ(port_->Written(), Bytes("\x03\0\0\0abc\0\0\0\0", 11));
  port_->ArriveAfter(0, Bytes("\x05\0\0\0hello\0\0\0\0\xFF\xFF\xFF\xFF", 17));
  EXPECT_EQ(serial_.RecvBlock(100), "hello");
  EXPECT_EQ(serial_.LastError(), 0);
  EXPECT_EQ(serial_.RecvBlock(100), "");  // a length of 0: an empty block, code 0
  EXPECT_EQ(serial_.LastError(), 0);
  EXPECT_EQ(serial_.RecvBlock(100), "");  // a negative length likewise
  EXPECT_EQ(serial_.LastError(), 0);
}

TEST_F(SerialExtras, AnAbsurdBlockLengthIsRefusedWithoutWaiting) {
  // "ABCD" read as a length asks for over a gigabyte.
  port_->ArriveAfter(0, "ABCDrest");
  const uint64_t start = Now();
  EXPECT_EQ(serial_.RecvBlock(1000), "");
  EXPECT_EQ(serial_.LastError(), 9996);
  EXPECT_EQ(Now(), start);
  EXPECT_EQ(serial_.LineBuffer(), "rest");  // nothing of the "block" was taken

  serial_.SetRaiseExcept(true);
  port_->ArriveAfter(0, Bytes("\xFF\xFF\xFF\x7F", 4));
  EXPECT_THROW(serial_.RecvBlock(1000), ETrvSerialError);

  serial_.SetRaiseExcept(false);
  serial_.SetMaxBlockLength(3);
  port_->ArriveAfter(0, Bytes("\x04\0\0\0abcd", 8));
  EXPECT_EQ(serial_.RecvBlock(100), "");
  EXPECT_EQ(serial_.LastError(), 9996);
  serial_.SetLineBuffer("");
  serial_.SetMaxBlockLength(0);  // no limit
  port_->ArriveAfter(0, Bytes("\x04\0\0\0abcd", 8));
  EXPECT_EQ(serial_.RecvBlock(100), "abcd");
}

// ---- Streams -------------------------------------------------------------------------------

TEST_F(SerialExtras, StreamsSendWhatIsLeftAfterThePosition) {
  struct Case {
    void (TTrvSerial::*send)(ByteStream&);
    Bytes prefix;
  };
  const Case cases[] = {
      {&TTrvSerial::SendStream, Bytes("\x05\0\0\0", 4)},
      {&TTrvSerial::SendStreamBigEndian, Bytes("\0\0\0\x05", 4)},
      {&TTrvSerial::SendStreamRaw, Bytes()},
  };
  for (const Case& c : cases) {
    MemoryByteStream stream("abcdefgh");
    stream.SetPosition(3);
    const size_t before = port_->Written().size();
    (serial_.*c.send)(stream);
    EXPECT_EQ(port_->Written().substr(before), c.prefix + "defgh");
    EXPECT_EQ(stream.Position(), 8);
  }
}

TEST_F(SerialExtras, RawStreamGoesOutInChunksOf8192) {
  MemoryByteStream stream(Pattern(20000));
  serial_.SendStreamRaw(stream);
  EXPECT_EQ(port_->Written(), Pattern(20000));
  EXPECT_EQ(WritesLogged(port_->Calls()),
            (std::vector<std::string>{"Write 8192", "Write 8192", "Write 3616"}));
}

TEST_F(SerialExtras, AStreamTooLongForItsLengthIsNotSent) {
  HugeStream stream;
  serial_.SendStream(stream);
  EXPECT_EQ(serial_.LastError(), 9993);
  EXPECT_TRUE(port_->Written().empty());
  EXPECT_EQ(stream.reads_, 0);
  serial_.SetRaiseExcept(true);
  EXPECT_THROW(serial_.SendStreamBigEndian(stream), ETrvSerialError);
}

TEST_F(SerialExtras, StreamOfAGivenSizeIsReadInChunks) {
  port_->ArriveAfter(0, Pattern(20000));
  RecordingStream stream;
  serial_.RecvStreamSize(stream, 100, 20000);
  EXPECT_EQ(serial_.LastError(), 0);
  EXPECT_EQ(stream.Writes(), (std::vector<size_t>{8192, 8192, 3616}));
  EXPECT_EQ(stream.Data(), Pattern(20000));

  port_->ClearCalls();
  serial_.RecvStreamSize(stream, 100, 0);
  serial_.RecvStreamSize(stream, 100, -9000);
  EXPECT_TRUE(port_->Calls().empty());
  EXPECT_EQ(stream.Writes().size(), 3u);
}

TEST_F(SerialExtras, StreamReceptionStopsAtTheFirstFailure) {
  port_->ArriveAfter(0, Pattern(9000));
  RecordingStream stream;
  serial_.RecvStreamSize(stream, 100, 20000);
  EXPECT_EQ(serial_.LastError(), 9997);
  EXPECT_EQ(stream.Data(), Pattern(8192));  // what was written stays written
}

TEST_F(SerialExtras, StreamsWithTheirLength) {
  port_->ArriveAfter(0, Bytes("\x03\0\0\0xyz\0\0\0\x02uv", 13));
  MemoryByteStream little;
  serial_.RecvStream(little, 100);
  EXPECT_EQ(little.Data(), "xyz");
  MemoryByteStream big;
  serial_.RecvStreamBigEndian(big, 100);
  EXPECT_EQ(big.Data(), "uv");
  EXPECT_EQ(serial_.LastError(), 0);
}

TEST_F(SerialExtras, RawStreamReceptionEndsWhenTheLineFallsSilent) {
  port_->ArriveAfter(0, "abc");
  port_->ArriveAfter(300, "def");
  MemoryByteStream stream;
  const uint64_t start = Now();
  serial_.RecvStreamRaw(stream, 500);
  EXPECT_EQ(stream.Data(), "abcdef");
  EXPECT_EQ(serial_.LastError(), 9997);
  EXPECT_EQ(Now() - start, 800u);
}

// ---- Modem commands ------------------------------------------------------------------------

TEST_F(SerialExtras, ATCommandLeavesOutTheEcho) {
  AnswerEveryWriteWith("AT\r\r\nOK\r\n");
  EXPECT_EQ(serial_.ATCommand("AT"), "\r\nOK\r\n");
  EXPECT_TRUE(serial_.ATResult());
  EXPECT_EQ(port_->Written(), "AT\r");
  EXPECT_FALSE(serial_.ConvertLineEnd());  // restored
}

TEST_F(SerialExtras, ATCommandAnswers) {
  struct Case {
    Bytes answer;
    Bytes result;
    bool ok;
    int code;
  };
  const Case cases[] = {
      {"ATI\rTravinel modem\r\nOK\r\n", "Travinel modem\r\nOK\r\n", true, 0},
      {"\r\nERROR\r\n", "\r\nERROR\r\n", false, 0},
      // Silence: the empty line of the failed reception is appended before the loop ends.
      {"", "\r\n", false, 9997},
      {"\r\n+CSQ: 20\r\n", "\r\n+CSQ: 20\r\n\r\n", false, 9997},
  };
  for (const Case& c : cases) {
    serial_.SetLineBuffer("");
    AnswerEveryWriteWith(c.answer);
    EXPECT_EQ(serial_.ATCommand("ATI"), c.result) << c.answer;
    EXPECT_EQ(serial_.ATResult(), c.ok) << c.answer;
    EXPECT_EQ(serial_.LastError(), c.code) << c.answer;
  }
}

TEST_F(SerialExtras, ATCommandTimeOutRaisesAndRestoresTheLineEnds) {
  serial_.SetRaiseExcept(true);
  serial_.SetConvertLineEnd(false);
  EXPECT_THROW(serial_.ATCommand("AT"), ETrvSerialError);
  EXPECT_FALSE(serial_.ConvertLineEnd());
  serial_.SetConvertLineEnd(true);
  EXPECT_THROW(serial_.ATCommand("AT"), ETrvSerialError);
  EXPECT_TRUE(serial_.ConvertLineEnd());
}

TEST_F(SerialExtras, ATConnectWaitsLongForTheVerdict) {
  struct Case {
    Bytes answer;
    Bytes result;
    bool ok;
  };
  const Case cases[] = {
      {"\r\nCONNECT 9600\r\n", "\r\nCONNECT 9600\r\n", true},
      {"\r\nBUSY\r\n", "\r\nBUSY\r\n", false},
      {"\r\nRINGING\r\nNO CARRIER\r\n", "\r\nRINGING\r\nNO CARRIER\r\n", false},
      {"NO DIALTONE\r", "NO DIALTONE\r\n", false},
      {"OK\rCONNECT\r", "OK\r\nCONNECT\r\n", true},  // OK does not end a dial
  };
  for (const Case& c : cases) {
    serial_.SetLineBuffer("");
    // The answer comes after 60 s: within the dial's 90 times the AT time-out.
    port_->SetResponder([this, c](const Bytes&) { port_->ArriveAfter(60000, c.answer); });
    EXPECT_EQ(serial_.ATConnect("ATD5551234"), c.result) << c.answer;
    EXPECT_EQ(serial_.ATResult(), c.ok) << c.answer;
    EXPECT_EQ(serial_.LastError(), 0) << c.answer;
  }
}

TEST_F(SerialExtras, ATConnectTimeOutHasNoOverflow) {
  serial_.SetAtTimeout(INT32_MAX);
  const uint64_t start = Now();
  EXPECT_EQ(serial_.ATConnect("ATD1"), "\r\n");
  EXPECT_EQ(serial_.LastError(), 9997);
  EXPECT_EQ(Now() - start, uint64_t{INT32_MAX});
}

TEST_F(SerialExtras, Version) {
  EXPECT_EQ(serial_.GetVersion(), "TrvSerial 7.5.0");
}

// ---- Byte order and the memory stream ------------------------------------------------------

TEST(SerialByteOrder, EncodingsAndReversal) {
  EXPECT_EQ(EncodeInt32BigEndian(0x11223344), "\x11\x22\x33\x44");
  EXPECT_EQ(EncodeInt32BigEndian(-1), "\xFF\xFF\xFF\xFF");
  EXPECT_EQ(ReverseByteOrder32(0x11223344), 0x44332211);
  EXPECT_EQ(ReverseByteOrder32(0x05000000), 5);
  EXPECT_EQ(ReverseByteOrder32(0x000000FF), static_cast<int32_t>(0xFF000000u));
  EXPECT_EQ(ReverseByteOrder32(INT32_MIN), 0x80);
  EXPECT_EQ(DecodeInt32LittleEndian(EncodeInt32LittleEndian(-123456789)), -123456789);
}

TEST(SerialByteOrder, MemoryStream) {
  MemoryByteStream stream;
  WriteBytesToStream(stream, "hello");
  EXPECT_EQ(stream.Size(), 5);
  EXPECT_EQ(stream.Position(), 5);
  stream.SetPosition(1);
  char buffer[8] = {};
  EXPECT_EQ(stream.Read(buffer, 3), 3);
  EXPECT_EQ(Bytes(buffer, 3), "ell");
  EXPECT_EQ(stream.Read(buffer, 8), 1);
  EXPECT_EQ(stream.Read(buffer, 8), 0);
  EXPECT_EQ(stream.Read(buffer, -1), 0);
  stream.SetPosition(7);  // past the end: a write fills the gap
  WriteBytesToStream(stream, "!");
  EXPECT_EQ(stream.Data(), Bytes("hello\0\0!", 8));
  stream.SetPosition(9);
  EXPECT_EQ(stream.Read(buffer, 8), 0);
  stream.SetPosition(-3);
  EXPECT_EQ(stream.Position(), 0);
}

}  // namespace
}  // namespace trv::testing
