// `epsimport -j N FILE...`: places a batch with N worker processes fed from one queue.
//
// The workers are forked from this process right after the command line was read, before anything of the
// plug-in or the host exists here: each starts from a clean, single-threaded copy that already holds the
// options, makes its own host, loads its own plug-in and keeps its own interpreter warm. (A re-executed
// program would have to be handed the options again and pay for loading itself; forking from a process that
// loaded nothing gives the same clean start for less.) Each worker gets one picture at a time by its index
// and sends back the picture's JSON line; the lines are printed in input order. A worker that ends while
// placing a picture fails only that picture, and a new worker takes the rest of the queue.
#pragma once

#include "CommandLine.h"

#include <ostream>

namespace BRASK::EPSIMPORT {

// Returns the exit status as the in-process mode does: 0 when every picture was placed with status 0 and a
// PDF, else 1 (also when a worker cannot load the plug-in: the reason goes to `err`).
int RunParallelPlace(const CommandLine& line, int workers, std::ostream& out, std::ostream& err);

// The number of processors this process may run on (at least 1).
int ProcessorCount();

} // namespace BRASK::EPSIMPORT
