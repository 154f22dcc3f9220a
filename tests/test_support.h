#pragma once

// Helpers the test files share: a temporary directory, reading a whole file,
// and running the doseplex-cli program as a user runs it.

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace doseplex {
class CDrugInfo;
}

namespace doseplex::testing_support {

// A single drug with these (dose, fa) points, added one by one (so the record
// sorts and fits them as it would for a user).
std::unique_ptr<CDrugInfo> MakeDrug(const std::string& name, const std::string& units,
                                    const std::vector<std::pair<double, double>>& points = {});

// A fresh directory under the system's temporary folder, removed with
// everything in it when the object goes. `prefix` starts its name.
class CTempDir {
public:
    explicit CTempDir(const std::string& prefix = "doseplex");
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    // Empty when the directory could not be made (the test has then failed).
    const std::filesystem::path& Path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

// The whole content of a file; empty when it cannot be read.
std::string ReadFile(const std::filesystem::path& path);

// The lines of a text whose lines end in CR LF.
std::vector<std::string> Lines(const std::string& text);

// Compares `actual` with the file `name` of tests/golden, naming the first
// line that differs. With DOSEPLEX_UPDATE_GOLDEN set it rewrites the file.
void ExpectGolden(const std::string& name, const std::string& actual);

// How doseplex-cli is run.
struct CCliOptions {
    explicit CCliOptions(std::filesystem::path outputDir) : dir(std::move(outputDir)) {}

    // Where stdout and stderr are kept (the files "stdout" and "stderr") and
    // where the private home lies ("home", not created).
    std::filesystem::path dir;
    // Variables as "NAME=value", set after the private home, so that they
    // win over it.
    std::vector<std::string> set;
    // Names of variables to leave out of the program's environment.
    std::vector<std::string> unset;
    // Where standard input comes from, and where standard output goes
    // instead of the file "stdout" when not empty (e.g. /dev/full).
    std::filesystem::path stdinPath = "/dev/null";
    std::filesystem::path stdoutPath;
    // When not negative, the largest file the program may write
    // (RLIMIT_FSIZE, with SIGXFSZ ignored), so that writes beyond it fail
    // with EFBIG as on a full disk.
    long long fileSizeLimit = -1;
};

struct CCliRun {
    int exitCode = -1; // 128 + the signal when the program was killed
    std::string out;
    std::string err;
};

// Runs doseplex-cli with `args`, stdin from `options.stdinPath` and stdout and
// stderr sent to files (no pipe can fill up), and waits for it. The environment is
// the caller's with HOME and XDG_CONFIG_HOME in a home of the run's own and
// DOSEPLEX_SETTINGS removed, so that no per-user settings change the option
// defaults; then `options.unset` and `options.set` apply.
CCliRun RunCli(const std::vector<std::string>& args, const CCliOptions& options);

} // namespace doseplex::testing_support
