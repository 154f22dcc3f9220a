#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace doseplex {

// The most any reader takes in. The largest import (20 sets of 20 drugs with
// 40 doses each, 4,096-byte names, numbers of 17 digits) is 1.6 MB and its
// experiment file 2.3 MB, so this stops an endless or huge input with a
// message long before memory runs out, and no real file comes near it.
inline constexpr std::size_t kMaxInputBytes = std::size_t{64} << 20;

// "it is larger than 64 MiB": the reason given for an input above `limit`.
std::string InputTooLargeText(std::size_t limit);

// The whole of a regular file of at most `limit` bytes. Fails with the reason
// for anything else (a missing file, a folder, a device or pipe, a file that
// is too large, a read error).
bool ReadFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error,
                   std::size_t limit = kMaxInputBytes);

// The whole of an input that may also be a pipe or a character device, or
// standard input when `path` is "-". It is opened once and read once, so
// nothing a pipe delivers is lost, and reading stops with the reason as soon
// as more than `limit` bytes arrive (an endless device such as /dev/zero).
bool ReadInputBytes(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error,
                    std::size_t limit = kMaxInputBytes);

// Where written bytes go. For a regular file (also one reached through
// symbolic links, or a name that does not exist yet) it is a new file in the
// destination's folder that takes the destination's place only when it is
// complete: until Commit the destination is untouched, and a file that is
// never committed disappears. The new file has no name until Commit where the
// file system allows it (O_TMPFILE); elsewhere it has a short hidden name that
// is removed on failure, on SIGINT, SIGTERM, SIGHUP and SIGQUIT, and, should
// the process be killed outright, by the next write to the same folder.
// Writing through a symbolic link replaces the file it points to (a dangling
// link gets its target created), and a file that existed keeps its
// permission bits.
//
// Pipes, character devices (a terminal, /dev/null), /dev/stdout, /dev/stderr
// and /dev/fd/N are written directly, as a shell redirection would; folders
// and other kinds of file are refused.
class CReplacementFile {
public:
    CReplacementFile() = default;
    ~CReplacementFile();
    CReplacementFile(const CReplacementFile&) = delete;
    CReplacementFile& operator=(const CReplacementFile&) = delete;

    // Opens the place to write, empty; false and the reason when it cannot
    // (no such folder, the destination is a folder, ...).
    bool Create(const std::string& destination, std::string& error);
    // The open file, for writers that write through a descriptor of their own
    // (a dup of it); -1 before Create.
    int Fd() const { return m_fd; }
    // True when the destination is written directly, not replaced.
    bool Direct() const { return m_direct; }
    // Writes all of `bytes` to the open file.
    bool Write(std::span<const std::uint8_t> bytes, std::string& error);
    // Flushes the file to disk, so that a crash cannot leave an empty file in
    // place of the old one, then puts it in the destination's place and
    // makes that durable too. A direct destination is only closed.
    bool Commit(std::string& error);

private:
    void Discard();

    std::string m_destination; // as given, for messages
    std::string m_name;        // the final name within the folder
    std::string m_tempName;    // the named new file, empty when there is none
    std::string m_folderPath;
    int m_folder = -1; // the destination's folder
    int m_fd = -1;
    int m_slot = -1; // the signal clean-up entry of m_tempName
    bool m_direct = false;
    bool m_anonymous = false;
};

// Makes CReplacementFile use hidden named files, as on a file system without
// unnamed ones, so that tests reach that path; false restores the default.
void UseNamedTemporaryFiles(bool named);

// An unnamed scratch file in the system's temporary folder for libraries that
// insist on writing to a file name: Path() names it (through /proc/self/fd
// where that exists), and it is gone when the object is.
class CScratchFile {
public:
    CScratchFile() = default;
    ~CScratchFile();
    CScratchFile(const CScratchFile&) = delete;
    CScratchFile& operator=(const CScratchFile&) = delete;

    bool Create(std::string& error);
    const std::string& Path() const { return m_path; }
    // Everything written to the file so far, from its start.
    bool ReadAll(std::vector<std::uint8_t>& bytes, std::string& error) const;

private:
    int m_fd = -1;
    std::string m_path;
    std::string m_named; // a real name to remove, when the file has one
    int m_slot = -1;
};

// Replaces the file at `path` by `bytes` through a CReplacementFile, so that
// `path` holds either the old or the complete new contents at every moment.
bool WriteFileSafely(const std::string& path, std::span<const std::uint8_t> bytes,
                     std::string& error);
bool WriteFileSafely(const std::string& path, const std::string& text, std::string& error);

} // namespace doseplex
