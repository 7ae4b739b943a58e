// CRenderProcess against stand-in helpers written as shell scripts: answers are read
// whole, a helper that stops, stalls or floods is killed and reaped and the next page gets a
// fresh one, and Cancel ends a waiting Render.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "engine/render_process.h"
#include "support/file_text.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {
// Writes an executable /bin/sh script; `body` may name the folder as $DIR.
std::string WriteHelper(const TempDir& dir, const std::string& body) {
    const fs::path path = dir.path() / "helper.sh";
    std::ofstream(path) << "#!/bin/sh\nDIR='" << dir.path().string() << "'\n" << body;
    fs::permissions(path, fs::perms::owner_all);
    return path.string();
}

// Answers every page: the page's own address and one repeat (both left out), two files,
// the document in $DIR/doc when asked, and the helper's process id as a third address.
constexpr const char* kAnswering = R"sh(echo READY
while read -r verb limit want address; do
  echo "REQUEST $address"
  echo "REQUEST ${address}app.js"
  echo "REQUEST ${address}data/list.json"
  echo "REQUEST ${address}app.js"
  echo "REQUEST http://pid/$$"
  if [ "$want" = 1 ]; then
    printf 'DOCUMENT %d\n' "$(wc -c < "$DIR/doc")"
    cat "$DIR/doc"
    printf '\n'
  fi
  echo "END OK"
done
)sh";

// Never answers a page; notes its process id and each request it reads.
constexpr const char* kSilent = R"sh(echo $$ > "$DIR/pid"
sleep 300 &
echo $! > "$DIR/child"
echo READY
while read -r line; do : > "$DIR/got"; done
)sh";

int ReadPid(const fs::path& file) {
    return std::stoi(ReadFileText(file));
}

// Gone, or a zombie that only its new parent can reap: not running either way.
bool Running(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(stat, text))
        return false;
    const auto close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() && text[close + 2] != 'Z';
}

// Our own child must be reaped, not left a zombie: then even signal 0 cannot find it.
bool Reaped(int pid) {
    return kill(pid, 0) != 0 && errno == ESRCH;
}

// SIGKILL is delivered after kill() returns; the leader is reaped, its children die soon.
bool WaitUntilStopped(int pid) {
    const auto until = std::chrono::steady_clock::now() + 10s;
    while (Running(pid)) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

bool WaitForFile(const fs::path& path) {
    const auto until = std::chrono::steady_clock::now() + 20s;
    while (!fs::exists(path)) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

std::string PidAddress(const CRenderedPage& page) {
    return page.requests.empty() ? std::string() : page.requests.back();
}
} // namespace

TEST(RenderProcess, ReadsRequestsAndDocumentOfEachPage) {
    TempDir dir;
    const std::string document =
        "<!DOCTYPE html>\n<html><body>\nEND OK\n<li>a</li>\n</body></html>";
    std::ofstream(dir.path() / "doc", std::ios::binary) << document;
    CRenderProcess renderer(WriteHelper(dir, kAnswering));

    const std::string page = "http://127.0.0.1:1/dir/";
    const CRenderedPage first = renderer.Render(page, 5s, true);
    ASSERT_TRUE(first.failure.empty()) << first.failure;
    ASSERT_EQ(first.requests.size(), 3u);
    EXPECT_EQ(first.requests[0], page + "app.js");
    EXPECT_EQ(first.requests[1], page + "data/list.json");
    EXPECT_EQ(first.document, document);
    EXPECT_FALSE(first.cutAtLimit);

    // The same helper serves the next page, and nothing of the first page is carried over.
    const CRenderedPage second = renderer.Render("http://127.0.0.1:1/other.html", 5s, false);
    ASSERT_TRUE(second.failure.empty()) << second.failure;
    EXPECT_TRUE(second.document.empty());
    ASSERT_EQ(second.requests.size(), 3u);
    EXPECT_EQ(second.requests[0], "http://127.0.0.1:1/other.htmlapp.js");
    EXPECT_EQ(PidAddress(second), PidAddress(first));
}

TEST(RenderProcess, HelperIsReplacedAfterItsShareOfPages) {
    TempDir dir;
    std::ofstream(dir.path() / "doc") << "";
    CRenderProcess::CTimes times;
    times.pagesPerHelper = 2;
    CRenderProcess renderer(WriteHelper(dir, kAnswering), times);
    std::vector<std::string> helpers;
    for (int page = 0; page < 3; ++page) {
        const CRenderedPage rendered = renderer.Render("http://h/", 5s, false);
        ASSERT_TRUE(rendered.failure.empty()) << rendered.failure;
        helpers.push_back(PidAddress(rendered));
    }
    EXPECT_EQ(helpers[0], helpers[1]);
    EXPECT_NE(helpers[1], helpers[2]);
    const int oldPid = std::stoi(helpers[0].substr(std::string("http://pid/").size()));
    EXPECT_TRUE(Reaped(oldPid));
}

TEST(RenderProcess, HelperStoppingMidAnswerFailsThePageAndTheNextGetsAFreshOne) {
    TempDir dir;
    // The first run dies halfway through its answer; later runs answer.
    const std::string helper = WriteHelper(dir, R"sh(echo READY
read -r line
if [ ! -e "$DIR/crashed" ]; then
  : > "$DIR/crashed"
  printf 'REQUEST http://h/half\nDOCUMENT 100\nonly part'
  exit 3
fi
echo "REQUEST http://h/whole"
echo "END OK"
)sh");
    CRenderProcess renderer(helper);
    const CRenderedPage failed = renderer.Render("http://h/", 5s, true);
    EXPECT_FALSE(failed.failure.empty());
    EXPECT_TRUE(failed.requests.empty());

    const CRenderedPage next = renderer.Render("http://h/", 5s, false);
    ASSERT_TRUE(next.failure.empty()) << next.failure;
    EXPECT_EQ(next.requests, std::vector<std::string>{"http://h/whole"});
}

TEST(RenderProcess, StalledHelperIsKilledWithItsChildrenAtTheDeadline) {
    TempDir dir;
    CRenderProcess::CTimes times;
    times.margin = 200ms;
    CRenderProcess renderer(WriteHelper(dir, kSilent), times);
    const CRenderedPage page = renderer.Render("http://h/", 50ms, true);
    EXPECT_FALSE(page.failure.empty());
    EXPECT_FALSE(page.cutAtLimit);
    EXPECT_TRUE(Reaped(ReadPid(dir.path() / "pid")));
    EXPECT_TRUE(WaitUntilStopped(ReadPid(dir.path() / "child")));
}

TEST(RenderProcess, FloodingHelperIsCutOffBeforeTheDeadline) {
    TempDir dir;
    CRenderProcess::CTimes times;
    times.margin = 60s;
    // An endless line, and then it would wait for ever.
    CRenderProcess renderer(WriteHelper(dir, R"sh(echo $$ > "$DIR/pid"
echo READY
read -r line
printf 'REQUEST http://h/'
head -c 200000 /dev/zero | tr '\000' a
exec sleep 300
)sh"),
                            times);
    const auto started = std::chrono::steady_clock::now();
    const CRenderedPage page = renderer.Render("http://h/", 60s, false);
    // Its deadline is two minutes away.
    EXPECT_LT(std::chrono::steady_clock::now() - started, 30s);
    EXPECT_FALSE(page.failure.empty());
    EXPECT_TRUE(page.requests.empty());
    EXPECT_TRUE(Reaped(ReadPid(dir.path() / "pid")));
}

TEST(RenderProcess, CancelEndsAWaitingRender) {
    TempDir dir;
    CRenderProcess::CTimes times;
    times.margin = 60s;
    CRenderProcess renderer(WriteHelper(dir, kSilent), times);
    std::thread canceller([&] {
        if (WaitForFile(dir.path() / "got"))
            renderer.Cancel();
    });
    const auto started = std::chrono::steady_clock::now();
    const CRenderedPage page = renderer.Render("http://h/", 60s, false);
    canceller.join();
    // Its deadline is two minutes away.
    EXPECT_LT(std::chrono::steady_clock::now() - started, 30s);
    EXPECT_FALSE(page.failure.empty());
    EXPECT_TRUE(fs::exists(dir.path() / "got"));
    EXPECT_TRUE(Reaped(ReadPid(dir.path() / "pid")));
}

TEST(RenderProcess, MissingProgramFailsEveryPageWithItsName) {
    TempDir dir;
    const std::string missing = (dir.path() / "no-such-render").string();
    CRenderProcess renderer(missing);
    for (int page = 0; page < 2; ++page) {
        const CRenderedPage rendered = renderer.Render("http://h/", 1s, false);
        EXPECT_NE(rendered.failure.find(missing), std::string::npos) << rendered.failure;
    }
}
