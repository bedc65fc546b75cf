#include <io.h>

#include <cstdio>

#include "StandardOutput.h"

namespace trv::detection {

bool StandardOutputIsTerminal() {
  return _isatty(_fileno(stdout)) != 0;
}

}  // namespace trv::detection
