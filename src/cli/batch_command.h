#pragma once
// vistrel-batch as a function: the whole program between reading the arguments and the exit
// status, so tests can run it in-process as well as the built program.

#include <cstdio>
#include <string>
#include <vector>

#include "run/create_run.h"

namespace vistrel::cli {

// Exit statuses.
const int kAllWritten = 0;
const int kSomeNotWritten = 1;  // a picture skipped, a page not written, or the run failed
const int kBadInput = 2;        // nothing was written
// A run stopped by a signal: plus the signal's number (130 Ctrl-C, SIGINT; 143 SIGTERM).
const int kStoppedBySignal = 128;

// Runs vistrel-batch with `args` (after the program name). --help and --version print on `out`;
// everything else on `err`: the progress line when `errIsTerminal`, then each problem on its
// own line and the summary line. `shell` opens the first page for --open. While the run goes,
// SIGINT and SIGTERM stop it (common::StopOnSignals).
int runBatchCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err,
                    bool errIsTerminal, run::Shell& shell);

}  // namespace vistrel::cli
