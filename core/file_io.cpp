#include "core/file_io.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <poll.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace doseplex {

namespace {

namespace fs = std::filesystem;

std::string ErrnoText(int error) {
    return std::strerror(error);
}

void CloseFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

// --- Named temporary files: signal clean-up ------------------------------------

// Paths of named temporary files that exist right now, for the signal handler
// to remove. A slot is 0 free, 1 being filled, 2 holding a path.
struct CCleanupSlot {
    std::atomic<int> state{0};
    char path[PATH_MAX];
};
std::array<CCleanupSlot, 32> g_cleanup;
constexpr std::array kCleanupSignals = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

extern "C" void RemoveTemporariesAndDie(int signal) {
    for (CCleanupSlot& slot : g_cleanup) {
        if (slot.state.load() == 2) {
            ::unlink(slot.path);
        }
    }
    // SA_RESETHAND restored the default action; it ends the process as soon
    // as the handler returns.
    std::raise(signal);
}

// Takes over the signals that would end the process while they still have
// their default action; a program that handles them itself keeps its own.
void InstallCleanupHandlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (const int signal : kCleanupSignals) {
            struct sigaction old {};
            if (::sigaction(signal, nullptr, &old) != 0 || old.sa_handler != SIG_DFL ||
                (old.sa_flags & SA_SIGINFO) != 0) {
                continue;
            }
            struct sigaction action {};
            action.sa_handler = RemoveTemporariesAndDie;
            action.sa_flags = SA_RESETHAND;
            sigemptyset(&action.sa_mask);
            ::sigaction(signal, &action, nullptr);
        }
    });
}

// The slot now holding `path`, or -1 when every slot is taken or the path is
// too long (the file is then only removed by the next write to its folder).
int RegisterTemporary(const std::string& path) {
    if (path.size() >= PATH_MAX) {
        return -1;
    }
    InstallCleanupHandlers();
    for (std::size_t i = 0; i < g_cleanup.size(); ++i) {
        int expected = 0;
        if (g_cleanup[i].state.compare_exchange_strong(expected, 1)) {
            std::memcpy(g_cleanup[i].path, path.c_str(), path.size() + 1);
            g_cleanup[i].state.store(2);
            return static_cast<int>(i);
        }
    }
    return -1;
}

void UnregisterTemporary(int& slot) {
    if (slot >= 0) {
        g_cleanup[static_cast<std::size_t>(slot)].state.store(0);
        slot = -1;
    }
}

// --- Named temporary files: names and stale ones --------------------------------

constexpr std::string_view kTempPrefix = ".doseplex-";
constexpr std::string_view kTempSuffix = ".tmp";

// ".doseplex-PID-N.tmp": short, so that it fits beside a name of any legal
// length, and it says which process made it.
std::string TemporaryName() {
    static std::atomic<unsigned> counter{0};
    return std::string(kTempPrefix) + std::to_string(::getpid()) + "-" + std::to_string(++counter) +
           std::string(kTempSuffix);
}

// The process id in a name of ours, or 0 for any other name.
pid_t TemporaryOwner(const std::string& name) {
    if (name.size() <= kTempPrefix.size() + kTempSuffix.size() || !name.starts_with(kTempPrefix) ||
        !name.ends_with(kTempSuffix)) {
        return 0;
    }
    const std::string middle =
        name.substr(kTempPrefix.size(), name.size() - kTempPrefix.size() - kTempSuffix.size());
    const std::size_t dash = middle.find('-');
    if (dash == 0 || dash == std::string::npos || dash > 9 ||
        middle.find_first_not_of("0123456789-") != std::string::npos ||
        middle.find('-', dash + 1) != std::string::npos || dash + 1 == middle.size()) {
        return 0;
    }
    return static_cast<pid_t>(std::stol(middle.substr(0, dash)));
}

// Removes the temporary files of our own in the folder whose process no
// longer runs (it was killed in the instant its file had a name).
void RemoveStaleTemporaries(int folder, const std::string& folderPath) {
    std::error_code ec;
    for (fs::directory_iterator it(folderPath, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const pid_t owner = TemporaryOwner(name);
        if (owner <= 0 || owner == ::getpid() || ::kill(owner, 0) == 0 || errno != ESRCH) {
            continue;
        }
        struct stat info {};
        if (::fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode) && (info.st_uid == ::geteuid() || ::geteuid() == 0)) {
            ::unlinkat(folder, name.c_str(), 0);
        }
    }
}

// --- Destinations ----------------------------------------------------------------

// The descriptor that /dev/stdout, /dev/stderr, /dev/fd/N and /proc/self/fd/N
// stand for, or -1.
int DescriptorName(const std::string& path) {
    if (path == "/dev/stdout") {
        return 1;
    }
    if (path == "/dev/stderr") {
        return 2;
    }
    for (const std::string_view prefix : {"/dev/fd/", "/proc/self/fd/"}) {
        if (path.starts_with(prefix)) {
            const std::string number = path.substr(prefix.size());
            if (!number.empty() && number.size() <= 9 &&
                number.find_first_not_of("0123456789") == std::string::npos) {
                return std::stoi(number);
            }
        }
    }
    return -1;
}

// Follows symbolic links from `path` to the name that finally holds (or will
// hold) the file; a dangling link leads to the missing name it points at.
bool FollowLinks(std::string& path, std::string& error) {
    for (int hop = 0; hop < 40; ++hop) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            return true;
        }
        std::string target(PATH_MAX, '\0');
        const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
        if (length <= 0 || static_cast<std::size_t>(length) >= target.size()) {
            return true; // unreadable: the rename then replaces the link itself
        }
        target.resize(static_cast<std::size_t>(length));
        const fs::path next(target);
        path = next.is_absolute() ? target : (fs::path(path).parent_path() / next).string();
    }
    error = ErrnoText(ELOOP);
    return false;
}

// Links the unnamed file `fd` into `folder` as `name`.
bool LinkAnonymous(int fd, int folder, const std::string& name) {
    if (::linkat(fd, "", folder, name.c_str(), AT_EMPTY_PATH) == 0) {
        return true;
    }
    if (errno != EPERM && errno != ENOENT && errno != EINVAL) {
        return false;
    }
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    return ::linkat(AT_FDCWD, self.c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

std::atomic<bool> g_namedOnly{false};

bool ProcAvailable() {
    return ::access("/proc/self/fd", X_OK) == 0;
}

// An unnamed file in `folder`, or -1 (errno says why) when the file system
// offers none or it could not be linked later.
int OpenAnonymous(int folder) {
    if (g_namedOnly.load() || (!ProcAvailable() && ::geteuid() != 0)) {
        errno = EOPNOTSUPP;
        return -1;
    }
    return ::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
}

bool NoAnonymousFiles(int error) {
    return error == EOPNOTSUPP || error == EISDIR || error == EINVAL || error == ENOENT;
}

bool ReadLimited(int fd, std::size_t limit, std::vector<std::uint8_t>& bytes, std::string& error) {
    std::vector<std::uint8_t> data;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        if (static_cast<std::uintmax_t>(info.st_size) > limit) {
            error = InputTooLargeText(limit);
            return false;
        }
        data.reserve(static_cast<std::size_t>(info.st_size));
    }
    std::vector<std::uint8_t> buffer(65536);
    for (;;) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd wait{fd, POLLIN, 0};
            ::poll(&wait, 1, -1);
            continue;
        }
        if (got < 0) {
            error = ErrnoText(errno);
            return false;
        }
        if (got == 0) {
            break;
        }
        if (data.size() + static_cast<std::size_t>(got) > limit) {
            error = InputTooLargeText(limit);
            return false;
        }
        data.insert(data.end(), buffer.begin(), buffer.begin() + got);
    }
    bytes = std::move(data);
    return true;
}

} // namespace

void UseNamedTemporaryFiles(bool named) {
    g_namedOnly.store(named);
}

std::string InputTooLargeText(std::size_t limit) {
    if (limit % (std::size_t{1} << 20) == 0) {
        return "it is larger than " + std::to_string(limit >> 20) + " MiB";
    }
    return "it is larger than " + std::to_string(limit) + " bytes";
}

bool ReadFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error,
                   std::size_t limit) {
    // Non-blocking, so that a named pipe cannot stall the open; regular files
    // ignore the flag.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = ErrnoText(errno);
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) == 0 && !S_ISREG(info.st_mode)) {
        error = S_ISDIR(info.st_mode) ? "it is a folder" : "it is not a regular file";
        CloseFd(fd);
        return false;
    }
    const bool ok = ReadLimited(fd, limit, bytes, error);
    CloseFd(fd);
    return ok;
}

bool ReadInputBytes(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error,
                    std::size_t limit) {
    if (path == "-") {
        return ReadLimited(STDIN_FILENO, limit, bytes, error);
    }
    // A blocking open: a named pipe is read once its writer has opened it,
    // as any program reading a file name would.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = ErrnoText(errno);
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        error = "it is a folder";
        CloseFd(fd);
        return false;
    }
    const bool ok = ReadLimited(fd, limit, bytes, error);
    CloseFd(fd);
    return ok;
}

// --- CReplacementFile --------------------------------------------------------------

CReplacementFile::~CReplacementFile() {
    Discard();
}

void CReplacementFile::Discard() {
    CloseFd(m_fd);
    if (!m_tempName.empty() && m_folder >= 0) {
        ::unlinkat(m_folder, m_tempName.c_str(), 0);
    }
    m_tempName.clear();
    UnregisterTemporary(m_slot);
    CloseFd(m_folder);
}

bool CReplacementFile::Create(const std::string& destination, std::string& error) {
    Discard();
    m_destination = destination;
    m_direct = false;
    m_anonymous = false;

    if (const int named = DescriptorName(destination); named >= 0) {
        m_fd = ::fcntl(named, F_DUPFD_CLOEXEC, 0);
        if (m_fd < 0) {
            error = "cannot write '" + destination + "': " + ErrnoText(errno);
            return false;
        }
        m_direct = true;
        return true;
    }

    struct stat existing {};
    if (!destination.empty() && ::stat(destination.c_str(), &existing) == 0 &&
        !S_ISREG(existing.st_mode)) {
        if (S_ISDIR(existing.st_mode)) {
            error = "cannot replace '" + destination + "': " + ErrnoText(EISDIR);
            return false;
        }
        if (!S_ISFIFO(existing.st_mode) && !S_ISCHR(existing.st_mode)) {
            error = "cannot write '" + destination +
                    "': it is not a regular file, a pipe or a character device";
            return false;
        }
        // A pipe, a terminal or a device such as /dev/null: written in place,
        // never replaced by a file.
        m_fd = ::open(destination.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (m_fd < 0) {
            error = "cannot write '" + destination + "': " + ErrnoText(errno);
            return false;
        }
        m_direct = true;
        return true;
    }

    std::string target = destination;
    if (!FollowLinks(target, error)) {
        error = "cannot write '" + destination + "': " + error;
        return false;
    }
    const fs::path targetPath(target);
    m_name = targetPath.filename().string();
    const std::string folder =
        targetPath.parent_path().empty() ? std::string(".") : targetPath.parent_path().string();
    if (m_name.empty() || m_name == "." || m_name == "..") {
        error = "cannot replace '" + destination + "': " + ErrnoText(EISDIR);
        return false;
    }
    m_folderPath = folder;
    m_folder = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_folder < 0) {
        error = "cannot create a file beside '" + destination + "': " + ErrnoText(errno);
        return false;
    }
    struct stat old {};
    const bool exists = ::fstatat(m_folder, m_name.c_str(), &old, 0) == 0;
    if (exists && S_ISDIR(old.st_mode)) {
        error = "cannot replace '" + destination + "': " + ErrnoText(EISDIR);
        CloseFd(m_folder);
        return false;
    }
    RemoveStaleTemporaries(m_folder, folder);

    m_fd = OpenAnonymous(m_folder);
    m_anonymous = m_fd >= 0;
    if (!m_anonymous && !NoAnonymousFiles(errno)) {
        error = "cannot create a file beside '" + destination + "': " + ErrnoText(errno);
        CloseFd(m_folder);
        return false;
    }
    // Without unnamed files: a short hidden name that nothing else uses, so
    // that the rename stays within one file system and is atomic.
    for (int attempt = 0; !m_anonymous && attempt < 100 && m_fd < 0; ++attempt) {
        const std::string name = TemporaryName();
        m_fd = ::openat(m_folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd >= 0) {
            m_tempName = name;
            m_slot = RegisterTemporary((fs::path(folder) / name).string());
        } else if (errno != EEXIST) {
            break;
        }
    }
    if (m_fd < 0) {
        error = "cannot create a file beside '" + destination + "': " + ErrnoText(errno);
        CloseFd(m_folder);
        return false;
    }
    if (exists && S_ISREG(old.st_mode) && ::fchmod(m_fd, old.st_mode & 07777) != 0) {
        error = "cannot write '" + destination + "': " + ErrnoText(errno);
        Discard();
        return false;
    }
    return true;
}

bool CReplacementFile::Write(std::span<const std::uint8_t> bytes, std::string& error) {
    if (m_fd < 0) {
        error = "cannot write '" + m_destination + "': " + ErrnoText(EBADF);
        return false;
    }
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.data() + written, bytes.size() - written);
        if (n > 0) {
            written += static_cast<std::size_t>(n);
        } else if (n == 0 || errno != EINTR) {
            error = "cannot write '" + m_destination + "': " + ErrnoText(n == 0 ? EIO : errno);
            return false;
        }
    }
    return true;
}

bool CReplacementFile::Commit(std::string& error) {
    if (m_fd < 0) {
        error = "cannot write '" + m_destination + "': " + ErrnoText(EBADF);
        return false;
    }
    if (m_direct) {
        const int failure = ::close(m_fd) == 0 || errno == EINTR ? 0 : errno;
        m_fd = -1;
        if (failure != 0) {
            error = "cannot write '" + m_destination + "': " + ErrnoText(failure);
            return false;
        }
        return true;
    }
    // 0 while everything succeeds, else the errno of the first failure.
    int failure = ::fsync(m_fd) == 0 ? 0 : errno;
    if (failure == 0 && m_anonymous) {
        // The name itself when nothing is there; otherwise a short hidden name
        // first, renamed over the old file below.
        if (!LinkAnonymous(m_fd, m_folder, m_name)) {
            failure = errno;
            for (int attempt = 0; failure == EEXIST && attempt < 100; ++attempt) {
                const std::string name = TemporaryName();
                m_slot = RegisterTemporary((fs::path(m_folderPath) / name).string());
                if (LinkAnonymous(m_fd, m_folder, name)) {
                    m_tempName = name;
                    failure = 0;
                } else {
                    failure = errno;
                    UnregisterTemporary(m_slot);
                }
            }
        }
    }
    if (::close(m_fd) != 0 && failure == 0 && errno != EINTR) {
        failure = errno;
    }
    m_fd = -1;
    if (failure != 0) {
        error = "cannot write '" + m_destination + "': " + ErrnoText(failure);
        Discard();
        return false;
    }
    if (!m_tempName.empty()) {
        if (::renameat(m_folder, m_tempName.c_str(), m_folder, m_name.c_str()) != 0) {
            error = "cannot replace '" + m_destination + "': " + ErrnoText(errno);
            Discard();
            return false;
        }
        m_tempName.clear();
        UnregisterTemporary(m_slot);
    }
    // Make the new name durable; a failure here no longer endangers either
    // version of the file.
    ::fsync(m_folder);
    CloseFd(m_folder);
    return true;
}

// --- CScratchFile -------------------------------------------------------------------

CScratchFile::~CScratchFile() {
    CloseFd(m_fd);
    if (!m_named.empty()) {
        ::unlink(m_named.c_str());
    }
    UnregisterTemporary(m_slot);
}

bool CScratchFile::Create(std::string& error) {
    std::error_code ec;
    fs::path folder = fs::temp_directory_path(ec);
    if (ec) {
        folder = "/tmp";
    }
    if (ProcAvailable()) {
        m_fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (m_fd >= 0) {
            m_path = "/proc/self/fd/" + std::to_string(m_fd);
            return true;
        }
    }
    std::string pattern = (folder / (std::string(kTempPrefix) + "XXXXXX")).string();
    m_fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (m_fd < 0) {
        error = "cannot create a scratch file in '" + folder.string() + "': " + ErrnoText(errno);
        return false;
    }
    m_path = pattern;
    m_named = pattern;
    m_slot = RegisterTemporary(pattern);
    return true;
}

bool CScratchFile::ReadAll(std::vector<std::uint8_t>& bytes, std::string& error) const {
    std::vector<std::uint8_t> data;
    std::vector<std::uint8_t> buffer(65536);
    for (off_t offset = 0;;) {
        const ssize_t got = ::pread(m_fd, buffer.data(), buffer.size(), offset);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            error = "cannot read the scratch file: " + ErrnoText(errno);
            return false;
        }
        if (got == 0) {
            break;
        }
        data.insert(data.end(), buffer.begin(), buffer.begin() + got);
        offset += got;
    }
    bytes = std::move(data);
    return true;
}

// --- Whole files ----------------------------------------------------------------------

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
