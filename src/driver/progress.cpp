#include "driver/progress.hpp"

#include <unistd.h>

#include <chrono>
#include <cstdio>

namespace aqx::progress {
namespace {

using Clock = std::chrono::steady_clock;
bool enabled = false;
bool shown = false;
Clock::time_point started, lastDrawn;

}  // namespace

void enable(bool on) {
  enabled = on;
  shown = false;
  started = Clock::now();
}

bool stderrIsTerminal() {
  return isatty(STDERR_FILENO) == 1;
}

void update(int kper, int nper, int kstep, int nsteps, int kouter) {
  if (!enabled) return;
  const Clock::time_point now = Clock::now();
  if (shown && now - lastDrawn < std::chrono::milliseconds(100)) return;
  lastDrawn = now;
  shown = true;
  const double elapsed = std::chrono::duration<double>(now - started).count();
  // Carriage return, the line, then erase to the end of the line what a longer one left.
  std::fprintf(stderr, "\r stress period %d/%d, time step %d/%d, outer iteration %d, elapsed %.1f s\033[K",
               kper, nper, kstep, nsteps, kouter, elapsed);
  std::fflush(stderr);
}

void finish() {
  if (!enabled || !shown) return;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  shown = false;
}

}  // namespace aqx::progress
