#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace doseplex {

// The whole of a regular file. Fails with the reason for anything else (a
// missing file, a folder, a device or pipe, a read error).
bool ReadFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error);

// A new file beside a destination, under a name nothing else uses, that takes
// the destination's place only when it is complete: until Commit the
// destination is untouched, and a file that is never committed is removed.
// Saving through a symbolic link replaces the file it points to, and a file
// that existed keeps its permission bits.
class CReplacementFile {
public:
    CReplacementFile() = default;
    ~CReplacementFile();
    CReplacementFile(const CReplacementFile&) = delete;
    CReplacementFile& operator=(const CReplacementFile&) = delete;

    // Creates the empty file, open for writing; false and the reason when it
    // cannot (no such folder, the destination is a folder, ...).
    bool Create(const std::string& destination, std::string& error);
    // The file's own name, for writers that open it themselves.
    const std::string& TempPath() const { return m_tempPath; }
    // Closes the file, so that another writer can write it by name.
    void Close();
    // Writes all of `bytes` to the open file.
    bool Write(std::span<const std::uint8_t> bytes, std::string& error);
    // Flushes the file to disk, so that a crash cannot leave an empty file in
    // place of the old one, then renames it over the destination.
    bool Commit(std::string& error);

private:
    std::string m_destination;
    std::string m_tempPath; // empty when there is no file to remove
    int m_fd = -1;
};

// Replaces the file at `path` by `bytes` through a CReplacementFile, so that
// `path` holds either the old or the complete new contents at every moment.
bool WriteFileSafely(const std::string& path, std::span<const std::uint8_t> bytes,
                     std::string& error);
bool WriteFileSafely(const std::string& path, const std::string& text, std::string& error);

} // namespace doseplex
