#pragma once

#include <cstddef>
#include <cstdint>

namespace trv {

// A sequence of bytes with a current position, as the stream operations of the serial port
// read it and write it: reading and writing start at the position and move it on.
class ByteStream {
 public:
  virtual ~ByteStream() = default;

  // Number of bytes the stream holds.
  virtual int64_t Size() const = 0;
  // Where the next read or write starts, from 0.
  virtual int64_t Position() const = 0;
  virtual void SetPosition(int64_t position) = 0;
  // Copies at most count bytes into buffer; answers how many it copied (0 at the end).
  virtual int Read(char* buffer, int count) = 0;
  // Writes all count bytes, growing the stream as needed.
  virtual void Write(const char* data, size_t count) = 0;
};

}  // namespace trv
