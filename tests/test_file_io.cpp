// Tests of the safe file writer and the input readers against unusual
// places: pipes, devices, links, long names, kills and endless inputs.
#include "core/file_io.h"
#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace doseplex {
namespace {

namespace fs = std::filesystem;
using testing_support::CTempDir;
using testing_support::ReadFile;

std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::span<const std::uint8_t> Bytes(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// Makes a device node inside the test's own folder; false when the kernel
// refuses (no privilege), and the case is then skipped.
bool MakeNode(const fs::path& path, mode_t kind, unsigned major, unsigned minor) {
    return ::mknod(path.c_str(), kind | 0666, makedev(major, minor)) == 0;
}

// Where a write goes, by the kind of file at the destination.
TEST(SafeWriter, EachKindOfDestination) {
    CTempDir dir("doseplex-io");
    const fs::path file = dir / "report.txt";
    std::ofstream(file) << "old";
    fs::permissions(file, fs::perms(0640));
    std::error_code ec;
    fs::create_symlink("report.txt", dir / "link.txt", ec);
    fs::create_symlink("sub/made.txt", dir / "dangling.txt", ec);
    fs::create_directory(dir / "sub");
    fs::create_directory(dir / "folder");
    const std::string longName(250, 'n');

    const struct {
        const char* name;
        std::string destination;
        bool ok;
        fs::path holds; // the file that must then hold the text
        std::string reason;
    } cases[] = {
        // A regular file is replaced and keeps its permission bits.
        {"file", file.string(), true, file, ""},
        // Through a link the target is replaced and the link stays a link.
        {"link", (dir / "link.txt").string(), true, file, ""},
        // A dangling link gets its target made.
        {"dangling link", (dir / "dangling.txt").string(), true, dir / "sub" / "made.txt", ""},
        // A name of 250 bytes leaves room for nothing longer beside it.
        {"long name", (dir / longName).string(), true, dir / longName, ""},
        {"folder", (dir / "folder").string(), false, {}, "cannot replace"},
        {"missing folder", (dir / "none" / "x.txt").string(), false, {}, "No such file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        EXPECT_EQ(WriteFileSafely(c.destination, std::string("new ") + c.name, error), c.ok)
            << error;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        if (c.ok) {
            EXPECT_EQ(ReadFile(c.holds), std::string("new ") + c.name);
        }
    }
    EXPECT_EQ(fs::status(file).permissions(), fs::perms(0640));
    EXPECT_TRUE(fs::is_symlink(dir / "link.txt"));
    EXPECT_TRUE(fs::is_symlink(dir / "dangling.txt"));
    // Nothing beside the destinations: no temporary file is ever visible.
    EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"dangling.txt", "folder", "link.txt",
                                                           longName, "report.txt", "sub"}));
}

// Pipes and character devices are written in place, never replaced by a
// regular file; other kinds of node are refused.
TEST(SafeWriter, PipesAndDevicesAreWrittenInPlace) {
    CTempDir dir("doseplex-io");
    const fs::path fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = ReadFile(fifo); });
    std::string error;
    EXPECT_TRUE(WriteFileSafely(fifo.string(), std::string("through the pipe"), error)) << error;
    reader.join();
    EXPECT_EQ(received, "through the pipe");
    EXPECT_TRUE(fs::is_fifo(fifo));

    const struct {
        const char* name;
        mode_t kind;
        unsigned major;
        unsigned minor;
        bool ok;
        std::string reason;
    } nodes[] = {
        {"null device", S_IFCHR, 1, 3, true, ""},
        {"full device", S_IFCHR, 1, 7, false, "No space left on device"},
        {"block device", S_IFBLK, 7, 250, false, "not a regular file, a pipe or a character"},
    };
    for (const auto& c : nodes) {
        SCOPED_TRACE(c.name);
        const fs::path node = dir / c.name;
        if (!MakeNode(node, c.kind, c.major, c.minor)) {
            GTEST_SKIP() << "the kernel refuses device nodes here";
        }
        error.clear();
        EXPECT_EQ(WriteFileSafely(node.string(), std::string("text"), error), c.ok) << error;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        struct stat info {};
        ASSERT_EQ(::stat(node.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & S_IFMT, c.kind);
    }
}

// Without unnamed files the new file has a short hidden name while it is
// written; it goes on commit, on failure, on SIGTERM, and (after a kill) with
// the next write to the folder.
TEST(SafeWriter, NamedTemporariesNeverOutliveTheWrite) {
    CTempDir dir("doseplex-io");
    const fs::path target = dir / "out.txt";
    UseNamedTemporaryFiles(true);
    {
        CReplacementFile file;
        std::string error;
        ASSERT_TRUE(file.Create(target.string(), error)) << error;
        ASSERT_TRUE(file.Write(Bytes("complete"), error)) << error;
        EXPECT_EQ(Names(dir.Path()).size(), 1u); // the hidden name only
        ASSERT_TRUE(file.Commit(error)) << error;
        EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"out.txt"});
    }
    {
        CReplacementFile file;
        std::string error;
        ASSERT_TRUE(file.Create(target.string(), error)) << error;
        ASSERT_TRUE(file.Write(Bytes("abandoned"), error)) << error;
    }
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"out.txt"});
    EXPECT_EQ(ReadFile(target), "complete");

    // A writer ended by SIGTERM half-way removes its file on the way out.
    const pid_t child = fork();
    if (child == 0) {
        CReplacementFile file;
        std::string error;
        if (file.Create(target.string(), error) && file.Write(Bytes("half"), error)) {
            std::raise(SIGTERM);
        }
        _exit(3);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"out.txt"});
    UseNamedTemporaryFiles(false);

    // What a killed writer left is removed by the next write to its folder;
    // files of running processes and files that only look similar stay.
    const pid_t gone = fork();
    if (gone == 0) {
        _exit(0);
    }
    waitpid(gone, &status, 0);
    const std::string stale = ".doseplex-" + std::to_string(gone) + "-1.tmp";
    const std::string running = ".doseplex-" + std::to_string(getppid()) + "-1.tmp";
    for (const std::string& name : {stale, running, std::string(".doseplex-notes.tmp")}) {
        std::ofstream(dir / name) << "x";
    }
    std::string error;
    ASSERT_TRUE(WriteFileSafely(target.string(), std::string("again"), error)) << error;
    const auto names = Names(dir.Path());
    EXPECT_EQ(std::count(names.begin(), names.end(), stale), 0);
    EXPECT_EQ(std::count(names.begin(), names.end(), running), 1);
    EXPECT_EQ(std::count(names.begin(), names.end(), ".doseplex-notes.tmp"), 1);
}

// Inputs are read once, up to a limit: an endless device and a huge (sparse)
// file stop with the reason, and a pipe gives all it holds.
TEST(InputReader, StopsAtTheLimitAndReadsPipesOnce) {
    CTempDir dir("doseplex-io");
    std::vector<std::uint8_t> bytes;
    std::string error;
    EXPECT_FALSE(ReadInputBytes("/dev/zero", bytes, error, 1 << 20));
    EXPECT_EQ(error, "it is larger than 1 MiB");

    const fs::path sparse = dir / "sparse.txt";
    std::ofstream(sparse).close();
    fs::resize_file(sparse, std::uintmax_t{1200} << 20);
    for (const auto read : {ReadInputBytes, ReadFileBytes}) {
        error.clear();
        EXPECT_FALSE(read(sparse.string(), bytes, error, kMaxInputBytes));
        EXPECT_EQ(error, "it is larger than 64 MiB");
    }

    const fs::path fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string text(200000, 'x'); // more than a pipe buffers at once
    std::thread writer([&] { std::ofstream(fifo, std::ios::binary) << text; });
    EXPECT_TRUE(ReadInputBytes(fifo.string(), bytes, error)) << error;
    writer.join();
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), text);

    EXPECT_FALSE(ReadInputBytes(dir.Path().string(), bytes, error));
    EXPECT_EQ(error, "it is a folder");
}

} // namespace
} // namespace doseplex
