// Feeds arbitrary bytes to the recognisers of the frames scales send by themselves (Toledo's
// standard continuous output, Prt2 stream and product-code answer, the Digitron stream) and to
// the answer parsing of the drivers that use them. The bytes go in as they are and once more with
// a valid checksum after every CR, so that the fuzzer reaches frames that pass the checksum.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Bytes.h"
#include "platform/Locale.h"
#include "scale/DigitronStreamFrame.h"
#include "scale/ToledoPrt2Frame.h"
#include "scale/ToledoPrt4Frame.h"
#include "scale/ToledoStandardFrame.h"
#include "scale/TrvBALDigitron.h"
#include "scale/TrvBALFilizola.h"
#include "scale/TrvBALToledo.h"
#include "scale/TrvBALToledo2180.h"

namespace {

// After each CR, the checksum of the bytes from the STX before it (or from the start).
trv::Bytes WithChecksums(const trv::Bytes& input) {
  trv::Bytes output;
  unsigned sum = 0;
  for (char c : input) {
    if (c == 0x02) sum = 0;
    sum += static_cast<unsigned char>(c) & 0x7Fu;
    output += c;
    if (c == 0x0D) output += static_cast<char>((0x80u - (sum & 0x7Fu)) & 0x7Fu);
  }
  return output;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const trv::Bytes input(reinterpret_cast<const char*>(data), size);
  trv::platform::ScopedDecimalSeparator separator(size % 2 == 0 ? '.' : ',');
  for (const trv::Bytes& bytes : {input, WithChecksums(input)}) {
    double weight = 0;
    std::string field;
    size_t start = 0;
    trv::ToledoStandardFrame::ReadLast(bytes, weight);
    trv::ToledoPrt2Frame::FindLast(bytes, field);
    trv::ToledoPrt4Frame::FindWeight(bytes, field);
    if (trv::DigitronStreamFrame::FindLast(bytes, start) &&
        start + trv::DigitronStreamFrame::kLength > bytes.size()) {
      __builtin_trap();  // a frame found must lie within the bytes
    }
    trv::TTrvBALToledo::ParseAnswer(bytes);
    trv::TTrvBALToledo2180::ParseAnswer(bytes);
    trv::TTrvBALDigitron::ParseAnswer(bytes);
    trv::TTrvBALFilizola::ParseAnswer(bytes);
  }
  return 0;
}
