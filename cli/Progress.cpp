#include "cli/Progress.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

namespace kvhlr {
namespace {

using Clock = std::chrono::steady_clock;

// What the stop handler reads: paths in static storage, each published by its flag.
constexpr int kStopFiles = 2;
char g_stopPaths[kStopFiles][4096];
std::atomic<bool> g_stopPathSet[kStopFiles];
// The innermost folder made for the output, and the length of the outermost one's name, which leads it.
char g_stopFolder[4096];
std::size_t g_stopFolderOuterLength = 0;
std::atomic<bool> g_stopFolderSet{false};
// Whether a progress line stands on the terminal, for the handler to clear.
std::atomic<bool> g_lineShown{false};

constexpr int kLineWidth = 79;
constexpr auto kRedrawPeriod = std::chrono::milliseconds(250);

// Removes g_stopFolder and its parents up to the outermost made folder, as far as they are empty.
void removeStopFolders() {
    std::size_t length = std::strlen(g_stopFolder);
    while (length >= g_stopFolderOuterLength && rmdir(g_stopFolder) == 0) {
        while (length > 0 && g_stopFolder[length - 1] != '/')
            --length;
        while (length > 0 && g_stopFolder[length - 1] == '/')
            --length;
        g_stopFolder[length] = '\0';
    }
}

// Only async-signal-safe calls: unlink, rmdir, write, _exit.
extern "C" void onStop(int signal) {
    for (int i = 0; i < kStopFiles; ++i)
        if (g_stopPathSet[i].load())
            unlink(g_stopPaths[i]);
    if (g_stopFolderSet.load())
        removeStopFolders();
    char blank[kLineWidth + 2];
    blank[0] = '\r';
    std::memset(blank + 1, ' ', kLineWidth);
    blank[kLineWidth + 1] = '\r';
    if (g_lineShown.load())
        (void)!write(STDERR_FILENO, blank, sizeof blank);
    static const char message[] = "kvhlr: interrupted; the drawing under way is not written\n";
    (void)!write(STDERR_FILENO, message, sizeof message - 1);
    _exit(128 + signal);
}

std::string formatSeconds(double seconds) {
    char text[32];
    if (seconds < 60)
        std::snprintf(text, sizeof text, "%.1f s", seconds);
    else
        std::snprintf(text, sizeof text, "%d:%02d", static_cast<int>(seconds) / 60, static_cast<int>(seconds) % 60);
    return text;
}

// The display's state: written by the run's thread, read by the redrawing thread.
class Display {
public:
    void start() {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (m_thread.joinable())
            return;
        m_runStart = m_stageStart = Clock::now();
        m_stop = false;
        m_thread = std::thread([this] { redrawUntilStopped(); });
    }

    void stop() {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            if (!m_thread.joinable())
                return;
            m_stop = true;
        }
        m_wake.notify_one();
        m_thread.join();
        if (g_lineShown.exchange(false))
            std::fprintf(stderr, "\r%*s\r", kLineWidth, "");
        std::fflush(stderr);
    }

    // A new stage is shown at once, not at the next redraw: a short one would otherwise never show.
    void stage(const std::string& label, StageMeasure measure) {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_label = label;
        m_measure = measure;
        m_fraction = 0.0;
        m_stageStart = Clock::now();
        if (m_thread.joinable())
            draw();
    }

    void fraction(double share) {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_fraction = std::clamp(std::max(share, m_fraction), 0.0, 1.0);
    }

private:
    void redrawUntilStopped() {
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_stop) {
            draw();
            m_wake.wait_for(lock, kRedrawPeriod, [this] { return m_stop; });
        }
    }

    // Called with the mutex held.
    void draw() {
        const std::string line = lineNow();
        std::fprintf(stderr, "\r%-*.*s", kLineWidth, kLineWidth, line.c_str());
        std::fflush(stderr);
        g_lineShown.store(true);
    }

    // Called with the mutex held.
    std::string lineNow() const {
        const auto now = Clock::now();
        return progressLine(m_label, m_measure, m_fraction, std::chrono::duration<double>(now - m_runStart).count(),
                            std::chrono::duration<double>(now - m_stageStart).count());
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::thread m_thread;
    bool m_stop = false;
    Clock::time_point m_runStart;
    Clock::time_point m_stageStart;
    std::string m_label;
    StageMeasure m_measure = StageMeasure::TimeOnly;
    double m_fraction = 0.0;
};

Display g_display;

} // namespace

std::string progressLine(const std::string& label, StageMeasure measure, double fraction, double seconds,
                         double stageSeconds) {
    std::string line = label;
    if (measure != StageMeasure::TimeOnly) {
        // 100 % only once the stage is over, which the next stage's line shows: work often goes on after
        // the last share is told.
        char share[16];
        std::snprintf(share, sizeof share, " %3d%%", std::min(99, static_cast<int>(fraction * 100)));
        line += share;
    }
    line += "  " + formatSeconds(seconds);
    if (measure == StageMeasure::ShareAndEstimate && fraction >= 0.02 && stageSeconds >= 1.0)
        line += ", about " + formatSeconds(stageSeconds * (1.0 - fraction) / fraction) + " left";
    return line;
}

void installStopHandlers() {
    struct sigaction action {};
    action.sa_handler = onStop;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&action.sa_mask, signal); // one handler at a time
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}

RemovedOnStop::RemovedOnStop(const std::string& path, StopFile role) : m_role(role) {
    const auto i = static_cast<std::size_t>(role);
    g_stopPathSet[i].store(false);
    if (path.empty() || path.size() >= sizeof g_stopPaths[i])
        return;
    std::memcpy(g_stopPaths[i], path.c_str(), path.size() + 1);
    g_stopPathSet[i].store(true);
}

RemovedOnStop::~RemovedOnStop() {
    g_stopPathSet[static_cast<std::size_t>(m_role)].store(false);
}

FoldersRemovedOnStop::FoldersRemovedOnStop(const std::vector<std::string>& folders) {
    g_stopFolderSet.store(false);
    if (folders.empty() || folders.back().size() >= sizeof g_stopFolder)
        return;
    std::memcpy(g_stopFolder, folders.back().c_str(), folders.back().size() + 1);
    g_stopFolderOuterLength = folders.front().size();
    g_stopFolderSet.store(true);
}

FoldersRemovedOnStop::~FoldersRemovedOnStop() {
    g_stopFolderSet.store(false);
}

void startProgressDisplay() {
    g_display.start();
}

void showStage(const std::string& label, StageMeasure measure) {
    g_display.stage(label, measure);
}

void showFraction(double fraction) {
    g_display.fraction(fraction);
}

void stopProgressDisplay() {
    g_display.stop();
}

} // namespace kvhlr
