#include "tests/test_support.h"

#include "core/drug_info.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace doseplex::testing_support {

namespace fs = std::filesystem;

std::unique_ptr<CDrugInfo> MakeDrug(const std::string& name, const std::string& units,
                                    const std::vector<std::pair<double, double>>& points) {
    auto drug = std::make_unique<CDrugInfo>();
    drug->m_strName = name;
    drug->m_strUnits = units;
    for (const auto& [dose, fa] : points) {
        EXPECT_TRUE(drug->AddPoint(drug->CreatePoint(dose, fa, 1, nullptr)));
    }
    return drug;
}

CTempDir::CTempDir(const std::string& prefix) {
    std::string pattern = (fs::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) != nullptr) {
        m_path = pattern;
    } else {
        ADD_FAILURE() << "cannot create a temporary directory";
    }
}

CTempDir::~CTempDir() {
    if (!m_path.empty()) {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t from = 0;
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", from)) {
        lines.push_back(text.substr(from, at - from));
        from = at + 2;
    }
    if (from < text.size()) {
        lines.push_back(text.substr(from));
    }
    return lines;
}

void ExpectGolden(const std::string& name, const std::string& actual) {
    const fs::path path = fs::path(DOSEPLEX_SOURCE_DIR) / "tests" / "golden" / name;
    if (std::getenv("DOSEPLEX_UPDATE_GOLDEN")) {
        // Writing a golden file proves nothing about the code: the run fails,
        // so that a stray variable can never turn the golden tests green.
        std::ofstream(path, std::ios::binary | std::ios::trunc) << actual;
        FAIL() << "wrote " << path << "; unset DOSEPLEX_UPDATE_GOLDEN and run the tests again";
    }
    ASSERT_TRUE(fs::exists(path)) << path;
    const std::string expected = ReadFile(path);
    if (expected == actual) {
        return;
    }
    const auto want = Lines(expected);
    const auto got = Lines(actual);
    size_t i = 0;
    while (i < want.size() && i < got.size() && want[i] == got[i]) {
        ++i;
    }
    ADD_FAILURE() << name << " differs from line " << i + 1
                  << ":\n  expected: " << (i < want.size() ? want[i] : "<end>")
                  << "\n  actual:   " << (i < got.size() ? got[i] : "<end>");
}

namespace {

// The name part of "NAME=value".
std::string VariableName(const std::string& variable) {
    return variable.substr(0, variable.find('='));
}

// The caller's environment with the changes RunCli describes.
std::vector<std::string> ChildEnvironment(const CCliOptions& options) {
    std::vector<std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        variables.emplace_back(*entry);
    }
    const auto remove = [&variables](const std::string& name) {
        std::erase_if(variables, [&name](const std::string& variable) {
            return VariableName(variable) == name;
        });
    };
    const auto put = [&variables, &remove](const std::string& variable) {
        remove(VariableName(variable));
        variables.push_back(variable);
    };
    const std::string home = (options.dir / "home").string();
    remove("DOSEPLEX_SETTINGS");
    put("HOME=" + home);
    put("XDG_CONFIG_HOME=" + home + "/.config");
    for (const std::string& name : options.unset) {
        remove(name);
    }
    for (const std::string& variable : options.set) {
        put(variable);
    }
    return variables;
}

// Pointers to the strings, ending with a null pointer, as exec wants them.
std::vector<char*> Pointers(std::vector<std::string>& storage) {
    std::vector<char*> list;
    for (std::string& item : storage) {
        list.push_back(item.data());
    }
    list.push_back(nullptr);
    return list;
}

} // namespace

CCliRun RunCli(const std::vector<std::string>& args, const CCliOptions& options) {
    const std::string outPath = options.stdoutPath.empty() ? (options.dir / "stdout").string()
                                                           : options.stdoutPath.string();
    const std::string errPath = (options.dir / "stderr").string();
    const std::string inPath = options.stdinPath.string();
    std::vector<std::string> argStorage{DOSEPLEX_CLI};
    argStorage.insert(argStorage.end(), args.begin(), args.end());
    std::vector<std::string> envStorage = ChildEnvironment(options);
    const std::vector<char*> argv = Pointers(argStorage);
    const std::vector<char*> envp = Pointers(envStorage);

    CCliRun result;
    pid_t pid = 0;
    if (options.fileSizeLimit < 0) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, inPath.c_str(), O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        const int spawned =
            posix_spawn(&pid, DOSEPLEX_CLI, &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) {
            ADD_FAILURE() << "cannot start " << DOSEPLEX_CLI << ": error " << spawned;
            return result;
        }
    } else {
        // posix_spawn cannot set a resource limit of the child alone.
        pid = fork();
        if (pid == 0) {
            const int in = open(inPath.c_str(), O_RDONLY);
            const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const auto limit = static_cast<rlim_t>(options.fileSizeLimit);
            const rlimit size{limit, limit};
            if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 ||
                dup2(err, 2) < 0 || setrlimit(RLIMIT_FSIZE, &size) != 0 ||
                signal(SIGXFSZ, SIG_IGN) == SIG_ERR) {
                _exit(127);
            }
            execve(DOSEPLEX_CLI, argv.data(), envp.data());
            _exit(127);
        }
        if (pid < 0) {
            ADD_FAILURE() << "cannot fork";
            return result;
        }
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (options.stdoutPath.empty()) {
        result.out = ReadFile(outPath);
    }
    result.err = ReadFile(errPath);
    return result;
}

} // namespace doseplex::testing_support
