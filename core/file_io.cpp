#include "core/file_io.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace doseplex {

namespace {

std::string ErrnoText(int error) {
    return std::strerror(error);
}

std::string FolderOf(const std::string& path) {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

} // namespace

bool ReadFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error) {
    // Non-blocking, so that a named pipe cannot stall the open; regular files
    // ignore the flag.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = ErrnoText(errno);
        return false;
    }
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0;
    if (ok && !S_ISREG(info.st_mode)) {
        error = S_ISDIR(info.st_mode) ? "it is a folder" : "it is not a regular file";
        ::close(fd);
        return false;
    }
    std::vector<std::uint8_t> data;
    std::uint8_t buffer[65536];
    while (ok) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        data.insert(data.end(), buffer, buffer + got);
    }
    if (!ok) {
        error = ErrnoText(errno);
    }
    ::close(fd);
    if (ok) {
        bytes = std::move(data);
    }
    return ok;
}

CReplacementFile::~CReplacementFile() {
    Close();
    if (!m_tempPath.empty()) {
        ::unlink(m_tempPath.c_str());
    }
}

bool CReplacementFile::Create(const std::string& destination, std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    std::string target = destination;
    if (fs::is_symlink(target, ec)) {
        const fs::path resolved = fs::weakly_canonical(target, ec);
        if (!ec) {
            target = resolved.string();
        }
    }
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode)) {
        error = "cannot replace '" + destination + "': " + ErrnoText(EISDIR);
        return false;
    }
    // A new, unique name in the same folder, so that the rename stays within
    // one file system and is atomic.
    static std::atomic<unsigned> counter{0};
    const std::string folder = FolderOf(target);
    const std::string name = fs::path(target).filename().string();
    std::string temporary;
    for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
        temporary = (fs::path(folder) / ("." + name + ".tmp" + std::to_string(::getpid()) + "-" +
                                         std::to_string(++counter)))
                        .string();
        m_fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd < 0 && errno != EEXIST) {
            break;
        }
    }
    if (m_fd < 0) {
        error = "cannot create a file beside '" + destination + "': " + ErrnoText(errno);
        return false;
    }
    m_destination = target;
    m_tempPath = temporary;
    if (exists && S_ISREG(old.st_mode) && ::fchmod(m_fd, old.st_mode & 07777) != 0) {
        error = "cannot write '" + m_tempPath + "': " + ErrnoText(errno);
        return false;
    }
    return true;
}

void CReplacementFile::Close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

bool CReplacementFile::Write(std::span<const std::uint8_t> bytes, std::string& error) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.data() + written, bytes.size() - written);
        if (n > 0) {
            written += static_cast<std::size_t>(n);
        } else if (n == 0 || errno != EINTR) {
            error = "cannot write '" + m_tempPath + "': " + ErrnoText(n == 0 ? EIO : errno);
            return false;
        }
    }
    return true;
}

bool CReplacementFile::Commit(std::string& error) {
    // 0 while everything succeeds, else the errno of the first failure.
    int failure = 0;
    if (m_fd < 0) {
        m_fd = ::open(m_tempPath.c_str(), O_RDONLY | O_CLOEXEC);
        if (m_fd < 0) {
            failure = errno;
        }
    }
    if (failure == 0 && ::fsync(m_fd) != 0) {
        failure = errno;
    }
    if (m_fd >= 0 && ::close(m_fd) != 0 && failure == 0) {
        failure = errno;
    }
    m_fd = -1;
    if (failure != 0) {
        error = "cannot write '" + m_tempPath + "': " + ErrnoText(failure);
        return false;
    }
    if (std::rename(m_tempPath.c_str(), m_destination.c_str()) != 0) {
        error = "cannot replace '" + m_destination + "': " + ErrnoText(errno);
        return false;
    }
    m_tempPath.clear();
    // Make the rename itself durable; a failure here no longer endangers
    // either version of the file.
    const std::string folder = FolderOf(m_destination);
    if (const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool WriteFileSafely(const std::string& path, std::span<const std::uint8_t> bytes,
                     std::string& error) {
    CReplacementFile file;
    return file.Create(path, error) && file.Write(bytes, error) && file.Commit(error);
}

bool WriteFileSafely(const std::string& path, const std::string& text, std::string& error) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(text.data());
    return WriteFileSafely(path, std::span<const std::uint8_t>(data, text.size()), error);
}

} // namespace doseplex
