#pragma once

// Progress and stopping. The library reports progress through a plain function pointer, and a signal
// handler can reach only static storage, so both keep process-wide state.

#include <string>
#include <vector>

namespace kvhlr {

// Ctrl-C (SIGINT), SIGTERM and SIGHUP end the process at once, whatever the library is doing: the
// handler removes the files registered by RemovedOnStop and the folders of FoldersRemovedOnStop, clears
// the progress line, says so on stderr and exits with 128 + the signal number (130 for Ctrl-C). The
// output is put in place only by the final rename, so an existing output is left as it was.
void installStopHandlers();

// The files to remove if the process is stopped: the output's temporary file, and standard input's
// copy. A RemovedOnStop registers its path in its role for as long as it lives (an empty path
// registers none); one at a time in each role, made and ended by one thread.
enum class StopFile { Output, Input };
class RemovedOnStop {
public:
    explicit RemovedOnStop(const std::string& path, StopFile role = StopFile::Output);
    ~RemovedOnStop();
    RemovedOnStop(const RemovedOnStop&) = delete;
    RemovedOnStop& operator=(const RemovedOnStop&) = delete;

private:
    StopFile m_role;
};

// The folders made for the output (outermost first, each the parent of the next), to remove, as far as
// they are empty, if the process is stopped; registered for as long as it lives, one at a time.
class FoldersRemovedOnStop {
public:
    explicit FoldersRemovedOnStop(const std::vector<std::string>& folders);
    ~FoldersRemovedOnStop();
    FoldersRemovedOnStop(const FoldersRemovedOnStop&) = delete;
    FoldersRemovedOnStop& operator=(const FoldersRemovedOnStop&) = delete;
};

// The progress display on stderr: the stage worked on, the share of it done where known, the time since
// the run began and, where the stage can tell, an estimate of the time left. A thread of its own redraws
// it four times a second, so it never stands still while work goes on. Off until started.
void startProgressDisplay();

// What a stage shows besides its name and the time: nothing more, the share done (showFraction), or
// that share and the time left it suggests (for a stage that advances evenly).
enum class StageMeasure { TimeOnly, Share, ShareAndEstimate };

// The display's line: the stage's label, its share (at most 99 %: the stage is not over), the seconds
// since the run began and, for a stage that advances evenly, the time left after a second in it.
std::string progressLine(const std::string& label, StageMeasure measure, double fraction, double seconds,
                         double stageSeconds);

// The stage shown from now on, drawn at once.
void showStage(const std::string& label, StageMeasure measure);

// The share of the current stage done, 0 to 1; it never steps back.
void showFraction(double fraction);

// Stops the display and clears its line, if it was started.
void stopProgressDisplay();

} // namespace kvhlr
