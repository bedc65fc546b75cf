#pragma once

namespace trv::detection {

// Whether standard output is a terminal, where a progress line may be redrawn in place.
bool StandardOutputIsTerminal();

}  // namespace trv::detection
