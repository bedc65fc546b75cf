#include "ServiceFolders.h"

namespace trv::service {

std::filesystem::path ServiceFolders::Configuration() {
  return "/etc/travinel";
}

std::filesystem::path ServiceFolders::Logs() {
  return "/var/log/travinel";
}

}  // namespace trv::service
