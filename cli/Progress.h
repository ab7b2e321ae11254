#pragma once

// Progress and interruption. The library reports progress through a plain function pointer, so the
// bar's state is process-wide, as is the Ctrl-C flag.

namespace kvhlr {

// Ctrl-C (SIGINT) sets a flag that the run polls: it stops at the next check and writes nothing. The
// handler then steps aside, so a second Ctrl-C ends the process at once.
void installInterruptHandler();
bool interruptRequested();

// Turns the progress bar on stderr on or off (off until called).
void enableProgressBar(bool enabled);

// The library's progress callback, called as (done, total): redraws the bar when the percentage grows,
// and returns non-zero, which cancels the run, once Ctrl-C was pressed.
int reportProgress(long done, long total);

// Clears the bar's line, if one was drawn.
void finishProgressBar();

} // namespace kvhlr
