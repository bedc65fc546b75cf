#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "ScaleSimulator.h"
#include "testing/Pseudoterminal.h"

namespace trv::bench {

// The scale simulator of this process: a Filizola scale on a pseudo-terminal, served by a
// thread until the object goes.
class LocalSimulator {
 public:
  explicit LocalSimulator(int64_t grams) : grams_(grams) {}
  ~LocalSimulator();
  LocalSimulator(const LocalSimulator&) = delete;
  LocalSimulator& operator=(const LocalSimulator&) = delete;

  bool Start(std::string& error);
  const std::string& Port() const { return line_.SlavePath(); }

 private:
  int64_t grams_;
  tools::Pseudoterminal line_;
  int stop_[2] = {-1, -1};
  std::unique_ptr<tools::ScaleSimulator> simulator_;
  std::thread thread_;
};

}  // namespace trv::bench
