#pragma once

// The two command-line entries of the diagnostics, with plain signatures so
// that the command line needs nothing else of them:
//
//   "--render DIR":  exit status = runRender(DIR, trackpads, std::cerr)
//   "--self-test X": runSelfTest(desktop, workflows, std::cout, std::cerr,
//                                [](int status) { end the loop with status; })
//                    (the value X is not used)

#include "app/services/desktop.h"

#include <functional>
#include <ostream>
#include <string>

namespace kavelo {

class Workflows;

// Writes the fifteen screenshots into `directory`, with the settings of
// the user's defaults file and the trackpads of the desktop the program
// runs on. Names every picture it could not write on `err`, one line each;
// 0 when all were written, else 1. Needs a QApplication.
int runRender(const std::string& directory, const Multitouch& trackpads, std::ostream& err);

// Starts the self-test on the desktop's windows and returns; `done` hears
// the status (0 when every check passed, else 1) after the last line. The
// test lives until then; `out`, `err` and `workflows` must outlive it.
void runSelfTest(const Desktop& desktop, Workflows& workflows, std::ostream& out, std::ostream& err,
                 std::function<void(int status)> done);

} // namespace kavelo
