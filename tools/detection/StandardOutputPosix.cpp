#include <unistd.h>

#include "StandardOutput.h"

namespace trv::detection {

bool StandardOutputIsTerminal() {
  return isatty(STDOUT_FILENO) != 0;
}

}  // namespace trv::detection
