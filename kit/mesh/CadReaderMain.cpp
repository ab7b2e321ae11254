// The CAD reader program, kvhlr-cad-reader: reads one STEP or IGES file with Open CASCADE
// (kit/mesh/CadFile.h) in a process of its own, so that whatever the third-party reader does with a
// damaged file (a crash, an abort, a memory runaway, an endless loop, which runs out of processor time)
// ends this process, never its caller. The kit starts it (kit/mesh/CadProcess.h) and reads its answer from
// file descriptor 3.
//
// In:  kvhlr-cad-reader FILE step|iges DEFLECTION RELATIVE(0|1) ANGLE THREADS MEMORY_MB SECONDS
//      MOST_TRIANGLES PARENT_PID
// Out: the answer on descriptor 3 (kit/mesh/CadStream.h); exit status 0 after it, kOutOfMemory
//      (CadProcess.h) where the memory limit was reached, SIGXCPU where its processor time ran out.
//      KVHLR_CAD_READER_FAULT makes it fail on purpose, for the tests of the kit's side: "crash",
//      "loop", "garbage" or "memory".

#include "kit/InputError.h"
#include "kit/mesh/CadFile.h"
#include "kit/mesh/CadProcess.h"
#include "kit/mesh/CadStream.h"

#include <Standard_Failure.hxx>
#include <Standard_OutOfMemory.hxx>

#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

using namespace kvhlr;

constexpr int kAnswer = 3;

// Dies with the process that started it; takes no more memory and processor time than it is given,
// and leaves no core file behind when it crashes.
void bindToParent(pid_t parent, std::size_t memoryMb, std::size_t seconds) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) // it was gone before the line above
        _exit(1);
    const rlim_t bytes = static_cast<rlim_t>(memoryMb) << 20;
    const rlimit memory{bytes, bytes};
    if (kCadMemoryLimited)
        setrlimit(RLIMIT_AS, &memory);
    // SIGXCPU at the limit ends the process; the hard limit a little later, should it be caught.
    const rlimit time{static_cast<rlim_t>(seconds), static_cast<rlim_t>(seconds) + 5};
    setrlimit(RLIMIT_CPU, &time);
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
}

void fail(const std::string& fault, CadStreamWriter& answer) {
    if (fault == "crash")
        std::abort(); // a signal under the sanitizers too, which catch SIGSEGV themselves
    if (fault == "loop")
        for (volatile unsigned long turns = 0;; turns = turns + 1) {
        }
    if (fault == "garbage") {
        answer.progress(0.5);
        answer.warning("then a part of too many points");
        // A part without names, in millimetres, of 2^64 - 1 points.
        unsigned char cut[33] = {'M'};
        const double unitMm = 1.0;
        std::memcpy(cut + 9, &unitMm, sizeof unitMm);
        std::memcpy(cut + 17, &unitMm, sizeof unitMm);
        std::memset(cut + 25, 255, 8);
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
    if (argc != 11)
        return 1;
    bindToParent(static_cast<pid_t>(std::atoll(argv[10])), std::strtoull(argv[7], nullptr, 10),
                 std::strtoull(argv[8], nullptr, 10));
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
                                                        cad, std::strtod(argv[9], nullptr));
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
