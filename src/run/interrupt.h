// Stopping a run cleanly on SIGINT, SIGTERM and SIGHUP (Ctrl-C, a batch
// system's time limit, a closed terminal). The handler only records the
// signal; the walk looks at the record at every scenario it reaches, writes
// what it holds and returns, and the run then ends with 128 plus the signal's
// number, as shells expect.
#pragma once

#include <atomic>
#include <string>

namespace dorvu {

// The signal that asked the run to stop, or 0.
std::atomic<int>& StopSignal();

// Installs the handlers. Each catches one signal only: a second one ends the
// process at once, for a run that does not stop soon enough.
void CatchStopSignals();

// "SIGINT", "SIGTERM", "SIGHUP", or "signal N".
std::string SignalName(int signal);

// Thrown by the run when the search stopped on a signal; the log holds every
// line up to that point.
struct RunInterrupted {
  int signal = 0;
};

}  // namespace dorvu
