// The progress line of a run: stress period, time step, outer iteration and elapsed time, written
// to standard error and rewritten in place. Only when enabled (standard error is a terminal and
// --quiet was not given); never in the listing file.
#pragma once

namespace aqx::progress {

// Turns the line on or off; on also starts the elapsed-time clock.
void enable(bool on);
// True when standard error is a terminal.
bool stderrIsTerminal();
// After each outer iteration. Redraws at most ten times a second (the first call always).
void update(int kper, int nper, int kstep, int nsteps, int kouter);
// Clears the line, so that whatever follows on the terminal starts on a clean line.
void finish();

}  // namespace aqx::progress
