#include "cli/Progress.h"
#include "cli/Tool.h"

int main(int argc, char** argv) {
    // First of all, so that an early Ctrl-C also stops the tool cleanly.
    kvhlr::installStopHandlers();
    return kvhlr::runTool(argc, argv);
}
