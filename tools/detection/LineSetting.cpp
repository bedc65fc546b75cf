#include "LineSetting.h"

namespace trv::detection {
namespace {

constexpr int kNoParity = 0;
constexpr int kEvenParity = 2;
constexpr int kOneStop = 0;
constexpr int kTwoStops = 2;

}  // namespace

std::string LineSetting::Text() const {
  return std::to_string(baud) + " " + std::to_string(bits) + ParityLetter() +
         (stop == kTwoStops ? "2" : "1");
}

char LineSetting::ParityLetter() const {
  static constexpr char kLetters[] = {'N', 'O', 'E', 'M', 'S'};
  return parity >= 0 && parity < 5 ? kLetters[parity] : 'N';
}

void LineSetting::ApplyTo(FormSettings& settings) const {
  settings.vel = baud;
  settings.bits = bits;
  settings.paridade = parity;
  settings.parada = stop;
}

const std::vector<LineSetting>& LineSetting::Candidates() {
  static const std::vector<LineSetting> candidates = [] {
    std::vector<LineSetting> all;
    for (const int baud : {9600, 4800, 2400, 19200}) {
      all.push_back({baud, 8, kNoParity, kOneStop});
      all.push_back({baud, 7, kEvenParity, kOneStop});
      all.push_back({baud, 8, kNoParity, kTwoStops});
    }
    return all;
  }();
  return candidates;
}

}  // namespace trv::detection
