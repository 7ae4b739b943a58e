#include "engine/render_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "engine/file_store.h"

extern char** environ;

namespace {
constexpr std::size_t kReadChunkBytes = 64 * 1024;
// A request line must fit the pipe at once: the helper may be busy and not reading.
constexpr std::size_t kMaxAddressBytes = 32 * 1024;
// How long a helper whose input was closed may take to leave by itself.
constexpr std::chrono::milliseconds kLeaveWait{3000};

const char kStopped[] = "The script runner stopped while it ran the page";
const char kStalled[] = "The page did not settle in time and the script runner was restarted";
const char kCancelled[] = "Cancelled";

// Writing to a helper that just died must fail with EPIPE, not end the whole program.
// A handler the program installed itself is left alone.
void IgnoreBrokenPipes() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction current {};
        if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
            signal(SIGPIPE, SIG_IGN);
    });
}

// The program's own environment, with the offscreen platform and, for root, Chromium's
// sandbox off (it refuses to run as root otherwise).
std::vector<std::string> HelperEnvironment() {
    const bool root = geteuid() == 0;
    std::vector<std::string> entries;
    for (char** entry = environ; entry && *entry; ++entry) {
        const std::string_view text(*entry);
        if (text.starts_with("QT_QPA_PLATFORM=") ||
            (root && text.starts_with("QTWEBENGINE_DISABLE_SANDBOX=")))
            continue;
        entries.emplace_back(text);
    }
    entries.emplace_back("QT_QPA_PLATFORM=offscreen");
    if (root)
        entries.emplace_back("QTWEBENGINE_DISABLE_SANDBOX=1");
    return entries;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (auto& text : strings)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

void CloseFd(int& fd) {
    if (fd >= 0)
        close(fd);
    fd = -1;
}
} // namespace

CRenderProcess::CRenderProcess(std::string program) : CRenderProcess(std::move(program), {}) {}

CRenderProcess::CRenderProcess(std::string program, CTimes times)
    : m_program(std::move(program)), m_times(times) {
    if (pipe2(m_cancelPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        m_cancelPipe[0] = m_cancelPipe[1] = -1;
}

CRenderProcess::~CRenderProcess() {
    Stop();
    CloseFd(m_cancelPipe[0]);
    CloseFd(m_cancelPipe[1]);
}

void CRenderProcess::Cancel() {
    std::lock_guard lock(m_cancelMutex);
    if (m_rendering && m_cancelPipe[1] >= 0) {
        const char byte = 'x';
        [[maybe_unused]] const auto written = write(m_cancelPipe[1], &byte, 1);
    }
}

CRenderedPage CRenderProcess::Failed(std::string reason) {
    CRenderedPage page;
    page.failure = std::move(reason);
    return page;
}

CRenderedPage CRenderProcess::Render(const std::string& address,
                                     std::chrono::milliseconds timeLimit, bool wantDocument) {
    {
        // A Cancel from before this call was meant for an earlier page.
        std::lock_guard lock(m_cancelMutex);
        m_rendering = true;
        char drain[64];
        while (m_cancelPipe[0] >= 0 && read(m_cancelPipe[0], drain, sizeof drain) > 0) {
        }
    }
    struct CDone {
        CRenderProcess& self;
        ~CDone() {
            std::lock_guard lock(self.m_cancelMutex);
            self.m_rendering = false;
        }
    } done{*this};

    if (address.size() > kMaxAddressBytes)
        return Failed("The address is too long for the script runner");
    if (m_pid > 0 && m_pages >= m_times.pagesPerHelper)
        Stop();
    if (m_pid <= 0) {
        std::string failure;
        if (!Start(failure))
            return Failed(failure);
    }

    m_reader.BeginPage(address);
    if (WriteAllTo(m_toHelper, FormatRenderRequest({address, timeLimit, wantDocument}))) {
        Kill();
        return Failed(kStopped);
    }
    const auto deadline = Clock::now() + timeLimit + m_times.margin;
    const CWait wait = ReadUntil(deadline, [this] { return m_reader.PageEnded(); });
    switch (wait) {
    case CWait::Answered:
        ++m_pages;
        return m_reader.TakePage();
    case CWait::Stopped:
        Kill();
        return Failed(kStopped);
    case CWait::Stalled:
        Kill();
        return Failed(kStalled);
    case CWait::Cancelled:
        Kill();
        return Failed(kCancelled);
    case CWait::Broken:
        break;
    }
    const std::string error = m_reader.Error();
    Kill();
    return Failed("The script runner's answer was unreadable (" + error + ") and it was restarted");
}

bool CRenderProcess::Start(std::string& failure) {
    IgnoreBrokenPipes();
    if (m_program.empty() || access(m_program.c_str(), X_OK) != 0) {
        failure = "The script runner could not be started: " +
                  (m_program.empty() ? std::string("quarn-render was not found")
                                     : m_program + ": " + std::strerror(errno));
        return false;
    }
    int toHelper[2];
    int fromHelper[2];
    if (pipe2(toHelper, O_CLOEXEC) != 0) {
        failure = std::string("The script runner could not be started: ") + std::strerror(errno);
        return false;
    }
    if (pipe2(fromHelper, O_CLOEXEC) != 0) {
        failure = std::string("The script runner could not be started: ") + std::strerror(errno);
        close(toHelper[0]);
        close(toHelper[1]);
        return false;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toHelper[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromHelper[1], STDOUT_FILENO);
    // Chromium talks a lot on stderr; a crawl's output stays readable unless asked.
    if (!std::getenv("QUARN_RENDER_LOG"))
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);

    // Its own process group, so that killing it takes the browser's own children too.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    sigset_t noneBlocked;
    sigemptyset(&noneBlocked);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &noneBlocked);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK |
                                              POSIX_SPAWN_SETPGROUP);

    std::vector<std::string> argv{m_program};
    std::vector<std::string> environment = HelperEnvironment();
    pid_t pid = -1;
    const int error = posix_spawn(&pid, m_program.c_str(), &actions, &attributes,
                                  Pointers(argv).data(), Pointers(environment).data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(toHelper[0]);
    close(fromHelper[1]);
    if (error != 0) {
        close(toHelper[1]);
        close(fromHelper[0]);
        failure =
            "The script runner could not be started: " + m_program + ": " + std::strerror(error);
        return false;
    }
    m_pid = pid;
    m_toHelper = toHelper[1];
    m_fromHelper = fromHelper[0];
    m_pages = 0;
    m_reader = {};

    switch (ReadUntil(Clock::now() + m_times.startup, [this] { return m_reader.SawReady(); })) {
    case CWait::Answered:
        return true;
    case CWait::Cancelled:
        failure = kCancelled;
        break;
    case CWait::Stalled:
        failure = "The script runner did not start in time";
        break;
    case CWait::Stopped:
    case CWait::Broken:
        failure = "The script runner stopped while it started";
        break;
    }
    Kill();
    return false;
}

template <typename Done>
CRenderProcess::CWait CRenderProcess::ReadUntil(Clock::time_point deadline, Done done) {
    char buffer[kReadChunkBytes];
    while (!done()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return CWait::Stalled;
        pollfd fds[2] = {{m_fromHelper, POLLIN, 0}, {m_cancelPipe[0], POLLIN, 0}};
        const int ready =
            poll(fds, 2, static_cast<int>(std::min<long long>(left.count() + 1, INT_MAX)));
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return CWait::Stopped;
        }
        if (fds[1].revents & POLLIN)
            return CWait::Cancelled;
        if (fds[0].revents == 0)
            continue;
        const ssize_t got = read(m_fromHelper, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return CWait::Stopped;
        if (!m_reader.Feed(std::string_view(buffer, static_cast<std::size_t>(got))))
            return CWait::Broken;
    }
    return CWait::Answered;
}

void CRenderProcess::Kill() {
    if (m_pid > 1) {
        // The group first, while its leader is unreaped and its id cannot be reused.
        kill(-m_pid, SIGKILL);
        kill(m_pid, SIGKILL);
        while (waitpid(m_pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    m_pid = -1;
    m_pages = 0;
    CloseFd(m_toHelper);
    CloseFd(m_fromHelper);
}

void CRenderProcess::Stop() {
    if (m_pid <= 1)
        return;
    CloseFd(m_toHelper);
    const auto until = Clock::now() + kLeaveWait;
    siginfo_t info{};
    while (Clock::now() < until) {
        info.si_pid = 0;
        // WNOWAIT: the leader stays unreaped, so Kill can still reach its group safely.
        if (waitid(P_PID, static_cast<id_t>(m_pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0 ||
            info.si_pid != 0)
            break;
        usleep(10 * 1000);
    }
    Kill();
}

std::string FindRenderProgram() {
    if (const char* set = std::getenv("QUARN_RENDER"); set && *set)
        return set;
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return {};
    const auto beside = self.parent_path() / "quarn-render";
    if (access(beside.c_str(), X_OK) != 0)
        return {};
    return beside.string();
}

PageRendererFactory RenderProcessFactory() {
    return []() -> std::unique_ptr<IPageRenderer> {
        std::string program = FindRenderProgram();
        if (program.empty())
            return nullptr;
        return std::make_unique<CRenderProcess>(std::move(program));
    };
}
