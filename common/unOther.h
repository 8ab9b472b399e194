// Starting another program and waiting for it while the caller's windows
// stay alive.
#pragma once

#include <string>

// Starts `file` through the shell (its default verb) with `parameters` and
// the show command `showMode`, then waits until the started process has
// ended, dispatching every message of the calling thread meanwhile.
// True when the program was started; false at once, with no message, when
// it could not be. A quit request taken from the queue during the wait is
// posted again once the wait is over.
bool ExecAndWait(const std::string& file, const std::string& parameters, int showMode);
