#pragma once
// Runs the built quarn-cli as a child process, its output going to files, so that tests
// see exactly what a user would: exit codes, the two streams, the effect of Ctrl+C.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <future>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/file_text.h"
#include "support/temp_dir.h"

extern char** environ;

class CliProcess {
public:
    // Starts quarn-cli with args, in workDir when one is given.
    explicit CliProcess(const std::vector<std::string>& args,
                        const std::filesystem::path& workDir = {}) {
        std::vector<std::string> argv{QUARN_CLI_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> pointers;
        for (auto& arg : argv)
            pointers.push_back(arg.data());
        pointers.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, OutPath().c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, ErrPath().c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (!workDir.empty())
            posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());

        // The test runner may have been started with SIGINT ignored or blocked (a
        // background job); the child gets the usual disposition.
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGINT);
        sigset_t noneBlocked;
        sigemptyset(&noneBlocked);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        posix_spawnattr_setsigmask(&attributes, &noneBlocked);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

        const int failure =
            posix_spawn(&m_pid, QUARN_CLI_PATH, &actions, &attributes, pointers.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
        if (failure != 0)
            throw std::runtime_error("cannot start " QUARN_CLI_PATH);
        m_exit = std::async(std::launch::async, [pid = m_pid] {
            int status = 0;
            while (waitpid(pid, &status, 0) < 0) {
                if (errno != EINTR)
                    return -1;
            }
            if (WIFEXITED(status))
                return WEXITSTATUS(status);
            return 128 + WTERMSIG(status);
        });
    }

    ~CliProcess() {
        if (m_exit.valid() &&
            m_exit.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
            kill(m_pid, SIGKILL);
            m_exit.wait();
        }
    }

    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    void Signal(int signal) { kill(m_pid, signal); }

    // The exit code (128 + signal when killed); -1, after killing the child, when it has
    // not ended within the limit.
    int Wait(std::chrono::seconds limit = std::chrono::seconds(60)) {
        if (m_code)
            return *m_code;
        if (m_exit.wait_for(limit) != std::future_status::ready) {
            kill(m_pid, SIGKILL);
            m_exit.wait();
            return -1;
        }
        m_code = m_exit.get();
        return *m_code;
    }

    std::string Out() const { return ReadFileText(OutPath()); }
    std::string Err() const { return ReadFileText(ErrPath()); }

private:
    std::filesystem::path OutPath() const { return m_streams.path() / "stdout"; }
    std::filesystem::path ErrPath() const { return m_streams.path() / "stderr"; }

    TempDir m_streams;
    pid_t m_pid = 0;
    std::future<int> m_exit;
    std::optional<int> m_code;
};
