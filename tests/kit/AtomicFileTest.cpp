// The output file appears whole on commit and never otherwise (kvhlr runs that are stopped midway are
// tested end to end).

#include "TempDir.h"
#include "kit/InputError.h"
#include "kit/output/AtomicFile.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

TEST(AtomicFile, UnwritablePlacesAreReportedWithTheTargetName) {
    TempDir dir;
    const std::string inMissingDir = dir.path("no/such/dir/out.svg");
    try {
        AtomicFile file(inMissingDir);
        FAIL() << "created a file in a missing directory";
    } catch (const kvhlr::InputError& error) {
        EXPECT_EQ(error.subject(), inMissingDir);
    }
    // Found out before any work: a directory in the way, a name too long for the file system, a
    // place where nothing can be created.
    std::filesystem::create_directory(dir.path("taken.svg"));
    for (const std::string& path : {dir.path("taken.svg"), dir.path(std::string(300, 'n') + ".svg"),
                                    std::string("/proc/x.svg")})
        EXPECT_THROW(AtomicFile{path}, kvhlr::InputError) << path;
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"taken.svg"});
    // A name that is allowed, but leaves no room to be repeated in the temporary file's name.
    const std::string longest = dir.path(std::string(250, 'n') + ".svg");
    {
        AtomicFile file(longest);
        file.stream() << "drawing";
        file.commit();
    }
    EXPECT_EQ(kvhlrtest::readFile(longest), "drawing");
}

// Folders made for the file stay with a committed file and go with one that is not, or that cannot be
// created in them; a folder that was there stays.
TEST(AtomicFile, MadeFoldersGoWithTheFileUnlessCommitted) {
    TempDir dir;
    std::filesystem::create_directory(dir.path("there"));
    { AtomicFile dropped(dir.path("there/new/deeper/x.svg"), kvhlr::MissingFolders::Make); }
    EXPECT_THROW(AtomicFile(dir.path("new/" + std::string(300, 'n') + ".svg"), kvhlr::MissingFolders::Make),
                 kvhlr::InputError);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"there"});
    EXPECT_TRUE(std::filesystem::is_empty(dir.path("there")));
    {
        AtomicFile kept(dir.path("there/new/deeper/x.svg"), kvhlr::MissingFolders::Make);
        EXPECT_EQ(kept.madeFolders(),
                  (std::vector<std::string>{dir.path("there/new"), dir.path("there/new/deeper")}));
        kept.commit();
    }
    EXPECT_TRUE(std::filesystem::is_regular_file(dir.path("there/new/deeper/x.svg")));
}

// A link is written through, also to a file not there yet: the link stays, the file it names is
// replaced. A pipe (like /dev/null) cannot be replaced and is written as it is.
TEST(AtomicFile, WritesThroughSymbolicLinksAndIntoPipes) {
    TempDir dir;
    std::filesystem::create_directory(dir.path("real"));
    dir.write("real/drawing.svg", "old");
    std::filesystem::create_symlink("real/drawing.svg", dir.path("link.svg"));
    std::filesystem::create_symlink(dir.path("real/new.svg"), dir.path("dangling.svg"));
    ASSERT_EQ(mkfifo(dir.path("pipe").c_str(), 0600), 0);
    const int reader = open(dir.path("pipe").c_str(), O_RDONLY | O_NONBLOCK);
    for (const char* name : {"link.svg", "dangling.svg", "pipe"}) {
        AtomicFile file(dir.path(name));
        file.stream() << "new";
        file.commit();
    }
    char buffer[8];
    EXPECT_EQ(read(reader, buffer, sizeof buffer), 3);
    close(reader);
    EXPECT_EQ(kvhlrtest::readFile(dir.path("real/drawing.svg")) + kvhlrtest::readFile(dir.path("real/new.svg")),
              "newnew");
    EXPECT_EQ(dir.entries().size(), 4u) << "no temporary file left";
    EXPECT_TRUE(std::filesystem::is_symlink(dir.path("link.svg")));
}

} // namespace
