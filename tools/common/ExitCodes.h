#pragma once

namespace trv::cli {

// The exit status of the travinel command, the same on Linux and Windows.
enum ExitCode : int {
  kExitOk = 0,
  // Anything else: a reading that raised, or a scale the polling had to disable.
  kExitFailure = 1,
  // Bad subcommand, option or value; a subcommand this system does not have; no scale model.
  kExitUsage = 2,
  // The scale could not be enabled: the port did not open or refused the line settings.
  kExitPortFailure = 3,
  // The scale sent no weight within the time-out (the weight code -9).
  kExitNoAnswer = 4,
  // The scale answered with a code rather than a weight: no weight on it, unstable, negative,
  // overload.
  kExitNotAWeight = 5,
};

}  // namespace trv::cli
