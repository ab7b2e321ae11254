#include "cli/Progress.h"
#include "cli/Tool.h"

int main(int argc, char** argv) {
    // First of all, so that an early Ctrl-C is also an orderly interruption.
    kvhlr::installInterruptHandler();
    return kvhlr::runTool(argc, argv);
}
