#pragma once

#include <filesystem>

namespace trv::service {

// Where the installed service keeps its files: its configuration (Linux /etc/travinel, Windows
// %ProgramData%\Travinel) and, on Windows, its logs (%ProgramData%\Travinel\logs; under systemd
// the journal keeps them).
class ServiceFolders {
 public:
  static std::filesystem::path Configuration();
  static std::filesystem::path Logs();
};

}  // namespace trv::service
