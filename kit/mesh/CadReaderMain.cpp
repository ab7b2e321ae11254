// The CAD reader program, kvhlr-cad-reader: reads one STEP or IGES file with Open CASCADE
// (kit/mesh/CadFile.h) in a process of its own, so that whatever the third-party reader does with a
// damaged file (a crash, an abort, a memory runaway) ends this process, never its caller, and an endless
// loop ends when the caller cancels. The kit starts it (kit/mesh/CadProcess.h) and reads its answer from
// file descriptor 3.
//
// In:  kvhlr-cad-reader FILE step|iges DEFLECTION RELATIVE(0|1) ANGLE THREADS MEMORY_MB MOST_TRIANGLES
//      PARENT_PID
// Out: the answer on descriptor 3 (kit/mesh/CadStream.h); exit status 0 after it, kOutOfMemory
//      (CadProcess.h) where the memory limit was reached. KVHLR_CAD_READER_FAULT makes it fail on
//      purpose, for the tests of the kit's side: "crash", "hang", "garbage" or "memory".

#include "kit/InputError.h"
#include "kit/mesh/CadFile.h"
#include "kit/mesh/CadProcess.h"
#include "kit/mesh/CadStream.h"

#include <Standard_Failure.hxx>
#include <Standard_OutOfMemory.hxx>

#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace kvhlr;

constexpr int kAnswer = 3;

// Dies with the process that started it; takes no more memory than it is given.
void bindToParent(pid_t parent, std::size_t memoryMb) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) // it was gone before the line above
        _exit(1);
    const rlim_t bytes = static_cast<rlim_t>(memoryMb) << 20;
    const rlimit limit{bytes, bytes};
    if (kCadMemoryLimited)
        setrlimit(RLIMIT_AS, &limit);
}

void fail(const std::string& fault, CadStreamWriter& answer) {
    if (fault == "crash")
        std::abort(); // a signal under the sanitizers too, which catch SIGSEGV themselves
    if (fault == "hang")
        for (;;)
            std::this_thread::sleep_for(std::chrono::seconds(1));
    if (fault == "garbage") {
        answer.progress(0.5);
        answer.warning("then a part of too many points");
        const unsigned char cut[] = {'M', 0, 0, 0, 0, 0, 0, 0, 0, 255, 255, 255, 255, 255, 255, 255, 255};
        if (write(kAnswer, cut, sizeof cut) < 0)
            _exit(1);
        _exit(0);
    }
    if (fault == "memory") {
        std::vector<std::vector<char>> taken;
        for (;;)
            taken.emplace_back(std::size_t(64) << 20, 'x');
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 10)
        return 1;
    bindToParent(static_cast<pid_t>(std::atoll(argv[9])), std::strtoull(argv[7], nullptr, 10));
    CadStreamWriter answer(kAnswer);
    CadReading cad;
    cad.deflection = std::strtod(argv[3], nullptr);
    cad.relativeDeflection = std::strcmp(argv[4], "1") == 0;
    cad.angularDeflection = std::strtod(argv[5], nullptr);
    cad.threads = std::atoi(argv[6]);
    cad.warning = [&](const std::string& text) { answer.warning(text); };
    const std::string path = argv[1];
    double shown = -1.0;
    const auto progress = [&](double share) {
        if (share - shown >= 0.001 || share == 1.0) {
            answer.progress(share);
            shown = share;
        }
    };
    try {
        if (const char* fault = std::getenv("KVHLR_CAD_READER_FAULT"))
            fail(fault, answer);
        const std::vector<MeshPart> parts = readCadFile(path, std::strcmp(argv[2], "step") == 0, progress,
                                                        cad, std::strtod(argv[8], nullptr));
        for (const MeshPart& part : parts)
            answer.part(part);
        answer.done();
    } catch (const InputError& error) {
        answer.error(error);
    } catch (const std::bad_alloc&) {
        _exit(kOutOfMemory);
    } catch (const Standard_OutOfMemory&) {
        _exit(kOutOfMemory);
    } catch (const Standard_Failure& failure) {
        answer.error(InputError(path, std::string("a broken CAD file: ") + failure.GetMessageString()));
    }
    // Open CASCADE's threads and caches need no tidying: the process ends here.
    _exit(0);
}
