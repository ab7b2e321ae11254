#include "kit/mesh/CadProcess.h"

#include "kit/InputError.h"
#include "kit/mesh/CadStream.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

extern char** environ;

namespace kvhlr {
namespace {

// What a drawing takes per triangle of a tessellated CAD file, from the reader to the written page: the
// most triangles are what half of the machine's memory holds. kvhlr took 0.8 GB (and 90 s) for the bracket
// tessellated into 254 000 triangles, about 3 KB each; the reader's estimate (CadFile.cpp) runs up to ten
// times high on filleted parts, so that this is on the safe side.
constexpr double kBytesPerTriangle = 2000.0;

// How often the progress hook is called while the reader says nothing.
constexpr int kHookPeriodMs = 100;

double physicalMemory() {
    return static_cast<double>(sysconf(_SC_PHYS_PAGES)) * static_cast<double>(sysconf(_SC_PAGESIZE));
}

// The reader program, beside the library that holds this code.
std::string readerProgram() {
    Dl_info self{};
    const bool found =
        dladdr(reinterpret_cast<void*>(&readerProgram), &self) != 0 && self.dli_fname != nullptr;
    return ((found ? std::filesystem::path(self.dli_fname).parent_path() : std::filesystem::path()) /
            "kvhlr-cad-reader")
        .string();
}

std::string numberArgument(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

// The running reader: killed and reaped when it goes out of scope before it ended.
class ReaderProcess {
public:
    ReaderProcess(const std::string& path, CadType type, const CadReading& cad) {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) != 0)
            throw InputError(path, std::string("cannot start the CAD reader: ") + std::strerror(errno));
        m_answer = ends[0];
        // Far above the descriptors that the reader's standard streams and its answer take.
        const int sent = fcntl(ends[1], F_DUPFD_CLOEXEC, 10);
        close(ends[1]);
        const std::string program = readerProgram();
        const std::vector<std::string> arguments{program,
                                                 path,
                                                 type == CadType::Step ? "step" : "iges",
                                                 numberArgument(cad.deflection),
                                                 cad.relativeDeflection ? "1" : "0",
                                                 numberArgument(cad.angularDeflection),
                                                 std::to_string(cad.threads),
                                                 std::to_string(memoryMb(cad)),
                                                 std::to_string(seconds(cad)),
                                                 numberArgument(mostCadTriangles()),
                                                 std::to_string(getpid())};
        std::vector<char*> argv;
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, sent, 3);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t none, all;
        sigemptyset(&none);
        sigfillset(&all);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setsigdefault(&attributes, &all);
        posix_spawnattr_setpgroup(&attributes, 0);
        posix_spawnattr_setflags(&attributes,
                                 POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
        const int failed =
            sent < 0 ? errno
                     : posix_spawn(&m_pid, program.c_str(), &actions, &attributes, argv.data(), environ);
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
        if (sent >= 0)
            close(sent);
        if (failed != 0) {
            m_pid = -1;
            throw InputError(path, "STEP and IGES files cannot be read: the kit's CAD reader " + program +
                                       " did not start (" + std::strerror(failed) + ")");
        }
    }
    ~ReaderProcess() {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            wait();
        }
        close(m_answer);
    }
    ReaderProcess(const ReaderProcess&) = delete;
    ReaderProcess& operator=(const ReaderProcess&) = delete;

    // Fills `size` bytes from the answer; false where it ends first. `waiting` is called whenever
    // nothing came for a while.
    bool read(void* to, std::size_t size, const std::function<void()>& waiting) {
        char* at = static_cast<char*>(to);
        while (size > 0) {
            pollfd answer{m_answer, POLLIN, 0};
            const int ready = poll(&answer, 1, kHookPeriodMs);
            if (ready == 0)
                waiting();
            if (ready <= 0)
                continue;
            const ssize_t got = ::read(m_answer, at, size);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return false;
            at += got;
            size -= static_cast<std::size_t>(got);
        }
        return true;
    }

    // How the reader ended (waitpid's status).
    int wait() {
        int status = 0;
        while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
        m_pid = -1;
        return status;
    }

    static std::size_t memoryMb(const CadReading& cad) {
        return cad.memoryLimitMb > 0 ? cad.memoryLimitMb : defaultCadMemoryMb();
    }
    static std::size_t seconds(const CadReading& cad) {
        return cad.timeLimitSeconds > 0 ? cad.timeLimitSeconds : kDefaultCadTimeLimit;
    }

private:
    pid_t m_pid = -1;
    int m_answer = -1;
};

// The error for a reader that reached one of its limits: `limit` is what it may take, `advice` what to do.
InputError limitError(const char* parameter, const std::string& path, const std::string& limit,
                      const char* advice) {
    return InputError::ofParameter(parameter, "reading " + path + " took more than the " + limit +
                                                  " the CAD reader may take; " + advice);
}

// The error for a reader that ended without its answer.
InputError endedError(const std::string& path, int status, const CadReading& cad) {
    if (WIFEXITED(status) && WEXITSTATUS(status) == kOutOfMemory)
        return limitError("cad_memory_limit", path, std::to_string(ReaderProcess::memoryMb(cad)) + " MB",
                          "allow it more or read the file with a coarser deflection");
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGXCPU)
        return limitError("cad_time_limit", path,
                          std::to_string(ReaderProcess::seconds(cad)) + " s of processor time",
                          "the file may be damaged (the reader loops on it), or allow it more");
    const std::string how = WIFSIGNALED(status) ? "signal " + std::to_string(WTERMSIG(status))
                                                : "status " + std::to_string(WEXITSTATUS(status));
    return InputError(path, "the CAD reader stopped with " + how + "; the file is damaged or not supported");
}

} // namespace

CadType cadTypeOfFirstLine(const std::string& line) {
    const std::size_t start = line.find_first_not_of(" \t\r\xef\xbb\xbf");
    if (start != std::string::npos && line.compare(start, 12, "ISO-10303-21") == 0)
        return CadType::Step;
    if (line.size() >= 73 && (line[72] == 'S' || line[72] == 'G'))
        return CadType::Iges;
    return CadType::None;
}

std::size_t defaultCadMemoryMb() {
    return static_cast<std::size_t>(physicalMemory() / 2 / (1 << 20));
}

double mostCadTriangles() {
    return physicalMemory() / 2 / kBytesPerTriangle;
}

std::vector<MeshPart> readCadFileApart(const std::string& path, CadType type,
                                       const std::function<void(double)>& progress, const CadReading& cad) {
    ReaderProcess reader(path, type, cad);
    double share = 0.0;
    const auto passOn = [&](double done) {
        share = done;
        progress(done);
    };
    const std::function<void()> waiting = [&] { progress(share); };
    bool ended = false;
    const CadStreamSource source = [&](void* to, std::size_t size) {
        ended = !reader.read(to, size, waiting);
        return !ended;
    };
    try {
        std::vector<MeshPart> parts = readCadStream(source, path, passOn, cad.warning);
        reader.wait();
        return parts;
    } catch (const InputError&) {
        if (!ended)
            throw;
        const int status = reader.wait();
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
            throw;
        throw endedError(path, status, cad);
    }
}

} // namespace kvhlr
