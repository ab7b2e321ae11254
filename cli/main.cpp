#include "cli/Progress.h"
#include "cli/Tool.h"

// Fontconfig (cairo's fonts, for the text of PDF pages) keeps what it found in process-wide caches that
// leak checking sees as lost at exit; they are allocated once, not per drawing. Read only by the leak
// checker of sanitized builds.
extern "C" __attribute__((used, visibility("default"))) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

int main(int argc, char** argv) {
    // First of all, so that an early Ctrl-C also stops the tool cleanly.
    kvhlr::installStopHandlers();
    return kvhlr::runTool(argc, argv);
}
