#pragma once

// One run of kvhlr, from the command line to the exit status.

namespace kvhlr {

// Exit statuses.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;  // the library or the system failed
constexpr int kExitBadInput = 2; // the command line, an input file or the output path is unusable
constexpr int kExitInterrupted = 130;

int runTool(int argc, const char* const* argv);

} // namespace kvhlr
