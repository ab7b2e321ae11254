// The output file appears whole on commit and never otherwise.

#include "cli/AtomicFile.h"
#include "TempDir.h"
#include "cli/InputError.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

using kvhlr::AtomicFile;
using kvhlrtest::TempDir;

TEST(AtomicFile, CommitReplacesTheTargetAndLeavesNothingElse) {
    TempDir dir;
    const std::string target = dir.write("drawing.svg", "old");
    {
        AtomicFile file(target);
        file.stream() << "new drawing";
        EXPECT_EQ(kvhlrtest::readFile(target), "old") << "nothing shows before the commit";
        file.commit();
    }
    EXPECT_EQ(kvhlrtest::readFile(target), "new drawing");
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"drawing.svg"});
    struct stat info {};
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask) << "permissions of a normally created file";
}

TEST(AtomicFile, AbandonedFileLeavesTheTargetAsItWas) {
    TempDir dir;
    const std::string target = dir.write("drawing.svg", "old");
    {
        AtomicFile file(target);
        file.stream() << "half a drawing";
    }
    EXPECT_EQ(kvhlrtest::readFile(target), "old");
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"drawing.svg"});
    {
        AtomicFile file(dir.path("fresh.json"));
        file.stream() << "{";
    }
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"drawing.svg"});
}

TEST(AtomicFile, UnwritablePlacesAreReportedWithTheTargetName) {
    TempDir dir;
    const std::string inMissingDir = dir.path("no/such/dir/out.svg");
    EXPECT_THROW(AtomicFile::checkTarget(inMissingDir), kvhlr::InputError);
    EXPECT_NO_THROW(AtomicFile::checkTarget(dir.path("out.svg")));
    EXPECT_NO_THROW(AtomicFile::checkTarget("relative.svg")) << "the current directory";
    try {
        AtomicFile file(inMissingDir);
        FAIL() << "created a file in a missing directory";
    } catch (const kvhlr::InputError& error) {
        EXPECT_EQ(error.subject(), inMissingDir);
    }
    // A directory in the way of the target: the rename fails and the temporary file goes.
    std::filesystem::create_directory(dir.path("taken.svg"));
    EXPECT_THROW(AtomicFile::checkTarget(dir.path("taken.svg")), kvhlr::InputError);
    {
        AtomicFile file(dir.path("taken.svg"));
        file.stream() << "drawing";
        EXPECT_THROW(file.commit(), kvhlr::InputError);
    }
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"taken.svg"});
}

} // namespace
