#pragma once

#include <cstddef>
#include <cstdint>

namespace trv::platform {

// Waiting on several descriptors at once for input, where the platform can (POSIX: poll). A
// hang-up or an error on a descriptor counts as input: whoever reads it will learn of it.
// Answers false where the platform cannot wait so; the caller then polls as it would anyway.
bool CanWaitForInput();

struct InputWatch {
  intptr_t descriptor;  // -1 is never ready
  bool ready;           // set by the wait
};

// Waits at most timeoutMs for input on any of the watched descriptors; marks those that have
// some and returns how many.
int WaitForInput(InputWatch* watches, size_t count, uint32_t timeoutMs);

}  // namespace trv::platform
