#include "cli/Progress.h"

#include <csignal>
#include <cstdio>
#include <string>

namespace kvhlr {
namespace {

volatile std::sig_atomic_t g_interrupted = 0;
bool g_barEnabled = false;
bool g_barDrawn = false;
long g_lastPercent = -1;

constexpr int kBarWidth = 30;

extern "C" void onInterrupt(int) {
    g_interrupted = 1;
}

void drawBar(long percent) {
    const int filled = static_cast<int>(percent * kBarWidth / 100);
    std::string line = "\rdrawing [";
    line.append(filled, '#');
    line.append(kBarWidth - filled, '.');
    char tail[32];
    std::snprintf(tail, sizeof tail, "] %3ld%%", percent);
    line += tail;
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
    g_barDrawn = true;
}

} // namespace

void installInterruptHandler() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
}

bool interruptRequested() {
    return g_interrupted != 0;
}

void enableProgressBar(bool enabled) {
    g_barEnabled = enabled;
    g_lastPercent = -1;
}

int reportProgress(long done, long total) {
    if (g_barEnabled && total > 0) {
        const long percent = done <= 0 ? 0 : done >= total ? 100 : done * 100 / total;
        if (percent > g_lastPercent) { // the stages' reports may step back a little; the bar does not
            g_lastPercent = percent;
            drawBar(percent);
        }
    }
    return interruptRequested() ? 1 : 0;
}

void finishProgressBar() {
    if (!g_barDrawn)
        return;
    std::fprintf(stderr, "\r%*s\r", kBarWidth + 16, "");
    std::fflush(stderr);
    g_barDrawn = false;
}

} // namespace kvhlr
