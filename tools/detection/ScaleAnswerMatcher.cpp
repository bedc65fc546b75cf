#include "ScaleAnswerMatcher.h"

#include <algorithm>

#include "platform/ControlBytes.h"
#include "scale/TrvBAL.h"
#include "scale/TrvBALDrivers.h"

namespace trv::detection {
namespace {

// When several drivers read one answer as a weight, the one whose answer has the most
// distinctive shape is named first: LucasTec's labelled lines and the 2180's accented lines
// would also pass Toledo's long answer, Urano and Magna need their own marks, Toledo recognises
// its streams exactly where Filizola would take a piece of one for a number, and Digitron's
// bare six characters are the least telling of all.
constexpr TTrvBALModelo kPreference[] = {balLucasTec, balToledo2180, balUrano,   balMagna,
                                         balToledo,   balFilizola,   balDigitron};

bool IsScaleByte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (byte >= 0x20 && byte < 0x7F) || c == ascii::kStx || c == ascii::kEtx || c == ascii::kCr ||
         c == ascii::kLf || c == '\t';
}

const ScaleDriverProtocol* ProtocolOf(TTrvBALModelo model) {
  for (const ScaleDriverProtocol& protocol : ScaleDriverProtocols()) {
    if (protocol.model == model) return &protocol;
  }
  return nullptr;
}

// What the line says unasked is heard from wherever it happened to be when listening began. A
// driver that understands a stream reads the same weight from any start (it looks for whole
// frames); one that merely finds a number at some offset of it does not.
bool ReadsAlikeFromAnyStart(const ScaleDriverProtocol& protocol, const Bytes& heard,
                            double weight) {
  constexpr size_t kShifts = 3;
  for (size_t shift = 1; shift <= kShifts && shift < heard.size(); ++shift) {
    if (protocol.parseAnswer(heard.substr(shift)) != weight) return false;
  }
  return true;
}

}  // namespace

std::vector<Bytes> ScaleAnswerMatcher::DistinctRequests() {
  std::vector<Bytes> requests;
  for (const ScaleDriverProtocol& protocol : ScaleDriverProtocols()) {
    const Bytes request = protocol.request();
    if (std::find(requests.begin(), requests.end(), request) == requests.end()) {
      requests.push_back(request);
    }
  }
  return requests;
}

std::vector<ModelReading> ScaleAnswerMatcher::Match(const Bytes& answer,
                                                    const std::optional<Bytes>& request) {
  std::vector<ModelReading> readings;
  if (answer.empty() || !LooksLikeScaleText(answer)) return readings;
  for (const TTrvBALModelo model : kPreference) {
    const ScaleDriverProtocol* protocol = ProtocolOf(model);
    if (protocol == nullptr || (request && protocol->request() != *request)) continue;
    const double weight = protocol->parseAnswer(answer);
    if (weight <= 0) continue;
    if (!request && !ReadsAlikeFromAnyStart(*protocol, answer, weight)) continue;
    readings.push_back({protocol->model, protocol->name, weight});
  }
  return readings;
}

bool ScaleAnswerMatcher::LooksLikeScaleText(const Bytes& answer) {
  return std::all_of(answer.begin(), answer.end(), IsScaleByte);
}

}  // namespace trv::detection
