// Scratch files and child processes for the show tests: spawn, wait with a bound, stop by pid.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace showtest {

inline std::string readFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

// Writes through a new file renamed over the old one, as editors do, so a reader never sees
// half of it.
inline void writeFile(const std::string& path, const std::string& content)
{
    const std::string temporary = path + ".new";
    std::ofstream(temporary, std::ios::binary) << content;
    std::filesystem::rename(temporary, path);
}

// This process's directory under the system's temporary one, removed with all it holds when
// the process ends, so that runs leave nothing behind. The process id keeps apart runs from
// other build trees.
inline const std::filesystem::path& processScratchRoot()
{
    struct Root {
        std::filesystem::path path =
            std::filesystem::path(testing::TempDir()) / ("zrtest_" + std::to_string(getpid()));
        Root() { std::filesystem::create_directories(path); }
        ~Root()
        {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    };
    static const Root root;
    return root.path;
}

// A directory of its own for the current test, empty when first asked for in the test, so
// tests can run in parallel.
// Why a test that sends packets may not run here: empty inside the network namespace of its own
// that `script` (in tests/show) sets up for it.
inline std::string outsideTestNetwork(const char* script)
{
    const char* network = std::getenv("ZR_TEST_NETWORK");
    if (network != nullptr && std::string(network) == "namespace")
        return {};
    return std::string("runs only inside its own network namespace: tests/show/") + script + " PROGRAM";
}

inline std::string scratchDirectory()
{
    const auto* test = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(test->test_suite_name()) + "_" + test->name();
    std::replace(name.begin(), name.end(), '/', '_');
    const std::filesystem::path path = processScratchRoot() / name;
    static std::string lastTest;
    if (lastTest != name) {
        lastTest = name;
        std::filesystem::remove_all(path);
    }
    std::filesystem::create_directories(path);
    return path.string();
}

// Polls `condition` every `interval` for at most `limit`; true once it holds.
template <class Condition>
bool waitFor(Condition condition, std::chrono::milliseconds limit,
             std::chrono::microseconds interval = std::chrono::milliseconds(20))
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(interval);
    }
    return true;
}

// A child process with stdout and stderr in files; stopped by its own pid when still running
// at destruction.
class Child {
public:
    // `environment` adds NAME=VALUE settings to this process's environment.
    Child(const std::vector<std::string>& command, const std::string& outPath, const std::string& errPath,
          const std::vector<std::string>& environment = {})
        : outPath_(outPath), errPath_(errPath)
    {
        std::vector<char*> argv, envp;
        for (const std::string& arg : command)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        for (char** setting = environ; *setting; ++setting)
            envp.push_back(*setting);
        for (const std::string& setting : environment)
            envp.push_back(const_cast<char*>(setting.c_str()));
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Child()
    {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }
    std::string out() const { return readFile(outPath_); }
    std::string err() const { return readFile(errPath_); }

    // The exit status, or -1 when it did not exit by itself within `limit` (it is then killed).
    int wait(std::chrono::milliseconds limit = std::chrono::seconds(60))
    {
        if (pid_ <= 0)
            return -1;
        int status = 0;
        const bool ended = waitFor([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, limit);
        if (!ended) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
            exited_ = true;
            return -1;
        }
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // Sends `signal` to this process only, then waits for it.
    int stop(int signal = SIGTERM)
    {
        if (pid_ > 0 && !exited_)
            kill(pid_, signal);
        return wait(std::chrono::seconds(10));
    }

private:
    pid_t pid_ = -1;
    bool exited_ = false;
    std::string outPath_;
    std::string errPath_;
};

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs `command` to its end in `directory`'s files.
inline RunResult run(const std::vector<std::string>& command, const std::string& directory)
{
    Child child(command, directory + "/stdout", directory + "/stderr");
    RunResult result;
    result.status = child.wait();
    result.out = child.out();
    result.err = child.err();
    return result;
}

// The 8-bit slot value of a percent value, computed here the plain way.
inline int level8(double percent)
{
    return static_cast<int>(std::floor(percent * 255 / 100 + 0.5));
}

// The slot rows of `zrsignal run --print csv`: rows[i] = {frame, universe, slot1..slot512}.
inline std::vector<std::vector<int>> csvRows(const std::string& text)
{
    std::vector<std::vector<int>> rows;
    std::istringstream lines(text);
    std::string line;
    std::getline(lines, line); // header
    while (std::getline(lines, line)) {
        std::vector<int> row;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, ',');)
            row.push_back(std::stoi(cell));
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace showtest
