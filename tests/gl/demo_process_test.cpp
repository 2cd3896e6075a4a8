// The demo program itself, run as a child process on an X server of the test's own: the stop
// signals end it as Escape does, losing the display ends it with a message, with no display at
// all it refuses to start, and a display that cannot be reached is named once. These wait on real
// processes, so they poll the clock (briefly).
#include "../unit/temp_dir.h"
#include "x_window_probe.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#ifndef LAPIZ_DEMO
#error "the build passes the demo program's path as LAPIZ_DEMO"
#endif

extern char** environ;

namespace {

using SteadyClock = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;

// How long a step may take on a loaded machine before the test gives up on it.
constexpr Seconds kStartLimit{30.0};
constexpr Seconds kEndLimit{10.0};

// A process started by the test, killed (if it still runs) when the object goes.
class Child {
  public:
    struct Options {
        std::vector<std::string> argv;
        // Changes to the test's own environment: a value sets the variable, none removes it.
        std::vector<std::pair<std::string, std::optional<std::string>>> env;
        std::string stderrPath;        // standard error goes here; /dev/null when empty
        bool ignoreInterrupts = false; // SIGINT ignored, as a shell starts a background job
        int inheritFd = -1;            // a descriptor the child keeps open
        int stderrFd = -1;             // standard error goes here instead of to stderrPath
    };

    explicit Child(const Options& o) {
        // Everything the child needs is made before the fork: after it, only calls that are
        // safe there.
        std::vector<std::string> envStrings;
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            const std::string name = entry.substr(0, entry.find('='));
            bool changed = false;
            for (const auto& [n, v] : o.env) changed = changed || n == name;
            if (!changed) envStrings.push_back(entry);
        }
        for (const auto& [n, v] : o.env)
            if (v) envStrings.push_back(n + "=" + *v);
        std::vector<char*> argv, envp;
        for (const std::string& a : o.argv) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        for (const std::string& e : envStrings) envp.push_back(const_cast<char*>(e.c_str()));
        envp.push_back(nullptr);
        const std::string errPath = o.stderrPath.empty() ? "/dev/null" : o.stderrPath;

        pid_ = fork();
        if (pid_ != 0) return;
        const int err = o.stderrFd >= 0 ? o.stderrFd
                                        : open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (err >= 0) dup2(err, STDERR_FILENO);
        const int null = open("/dev/null", O_RDWR);
        if (null >= 0) {
            dup2(null, STDIN_FILENO);
            dup2(null, STDOUT_FILENO);
        }
        if (o.inheritFd >= 0) fcntl(o.inheritFd, F_SETFD, 0);
        struct sigaction action {};
        action.sa_handler = o.ignoreInterrupts ? SIG_IGN : SIG_DFL;
        sigaction(SIGINT, &action, nullptr);
        action.sa_handler = SIG_DFL;
        for (const int sig : {SIGTERM, SIGHUP, SIGPIPE}) sigaction(sig, &action, nullptr);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    // Asked to end first, so that an X server removes its lock file; killed if it does not.
    ~Child() {
        signal(SIGTERM);
        if (running() && !waitEnd(Seconds(2))) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool started() const { return pid_ > 0; }
    bool running() const { return pid_ > 0 && !status_; }
    void signal(int sig) const {
        if (running()) kill(pid_, sig);
    }

    // The wait status once the process has ended within the limit; nothing while it runs on.
    std::optional<int> waitEnd(Seconds limit) {
        const auto until = SteadyClock::now() + limit;
        while (running()) {
            int status = 0;
            const pid_t r = waitpid(pid_, &status, WNOHANG);
            if (r == pid_ || (r < 0 && errno != EINTR)) {
                status_ = r == pid_ ? status : -1;
                break;
            }
            if (SteadyClock::now() > until) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return status_;
    }

  private:
    pid_t pid_ = -1;
    std::optional<int> status_;
};

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The program's path found on PATH; "" when it is not there.
std::string FindOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        const std::string candidate = (dir.empty() ? "." : dir) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return "";
}

std::string Describe(int status) {
    if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return std::string("killed by ") + strsignal(WTERMSIG(status));
    return "wait status " + std::to_string(status);
}

// Stands in for an X server that is resetting: it listens on the local socket of an X display
// (Linux's abstract one) and closes every connection at once, unanswered.
class RefusingListener {
  public:
    RefusingListener() {
        for (int number = 60999; number > 60000 && fd_ < 0; --number) {
            const std::string path = "/tmp/.X11-unix/X" + std::to_string(number);
            if (access(path.c_str(), F_OK) == 0) continue;
            const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::memcpy(address.sun_path + 1, path.data(), path.size());
            const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + path.size());
            if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
                listen(fd, 16) == 0) {
                fd_ = fd;
                display_ = ":" + std::to_string(number);
            } else if (fd >= 0) {
                close(fd);
            }
        }
        if (fd_ >= 0) thread_ = std::thread([this] { serve(); });
    }
    ~RefusingListener() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (fd_ >= 0) close(fd_);
    }
    RefusingListener(const RefusingListener&) = delete;
    RefusingListener& operator=(const RefusingListener&) = delete;

    const std::string& display() const { return display_; } // "" when no socket was had
    int refused() const { return refused_; }

  private:
    void serve() {
        pollfd p{fd_, POLLIN, 0};
        while (!stop_) {
            if (poll(&p, 1, 20) <= 0) continue;
            const int c = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (c < 0) continue;
            close(c);
            ++refused_;
        }
    }

    int fd_ = -1;
    std::string display_;
    std::atomic<bool> stop_{false};
    std::atomic<int> refused_{0};
    std::thread thread_;
};

class DemoProcessTest : public testing::Test {
  protected:
    // Starts an X server on a free display number of its own; skips the test without one.
    void StartServer() {
        const std::string xvfb = FindOnPath("Xvfb");
        if (xvfb.empty()) GTEST_SKIP() << "no Xvfb on PATH to start an X server of the test's own";
        int fds[2];
        ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
        const std::string fd = std::to_string(fds[1]);
        server_.emplace(Child::Options{
            {xvfb, "-displayfd", fd, "-screen", "0", "800x600x24", "-nolisten", "tcp"},
            {},
            "",
            false,
            fds[1]});
        close(fds[1]);
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        const auto until = SteadyClock::now() + kStartLimit;
        while (number.find('\n') == std::string::npos && SteadyClock::now() < until) {
            if (poll(&p, 1, 100) <= 0) continue;
            char buffer[16];
            const ssize_t n = read(fds[0], buffer, sizeof buffer);
            if (n <= 0) break;
            number.append(buffer, std::size_t(n));
        }
        close(fds[0]);
        if (number.find('\n') == std::string::npos)
            GTEST_SKIP() << "the X server of the test's own did not start (" << xvfb << ")";
        display_ = ":" + number.substr(0, number.find('\n'));
    }

    // The demo on the X server named (none: no display at all), its standard error kept, the
    // audio on the dummy driver and, under the address sanitizer, no leak check (see
    // sanitizer_options.cpp).
    Child::Options DemoOptions(std::optional<std::string> display, bool ignoreInterrupts) const {
        return {{LAPIZ_DEMO},
                {{"DISPLAY", std::move(display)},
                 {"WAYLAND_DISPLAY", std::nullopt},
                 {"SDL_VIDEODRIVER", std::nullopt},
                 {"SDL_AUDIODRIVER", "dummy"},
                 {"ASAN_OPTIONS", "detect_leaks=0"}},
                errors(),
                ignoreInterrupts,
                -1};
    }

    void StartDemo(bool ignoreInterrupts = false) {
        demo_.emplace(DemoOptions(display_, ignoreInterrupts));
        ASSERT_TRUE(demo_->started());
    }

    // Waits until the demo shows frames: its window is up and no longer black.
    void WaitForFrames() {
        const auto until = SteadyClock::now() + kStartLimit;
        while (SteadyClock::now() < until && demo_->running()) {
            if (const auto pixel = ShownWindowPixel(display_); pixel && *pixel != 0) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        FAIL() << "the demo showed no frame; it wrote: " << ReadFile(errors());
    }

    std::string errors() const { return (tmp_.dir() / "stderr.txt").string(); }

    TempDir tmp_;
    std::optional<Child> server_;
    std::optional<Child> demo_;
    std::string display_;
};

TEST_F(DemoProcessTest, StopSignalsEndTheRunningDemoAsEscapeDoes) {
    struct Case {
        const char* name;
        int signal;
        bool ignoredOnStart; // as a shell starts a program in the background
    };
    StartServer();
    if (IsSkipped()) return;
    for (const Case c :
         {Case{"interrupt", SIGINT, false}, Case{"termination", SIGTERM, false},
          Case{"hang-up", SIGHUP, false}, Case{"interrupt ignored on start", SIGINT, true}}) {
        SCOPED_TRACE(c.name);
        StartDemo(c.ignoredOnStart);
        WaitForFrames();
        if (HasFatalFailure()) return;
        const auto sent = SteadyClock::now();
        demo_->signal(c.signal);
        const std::optional<int> status = demo_->waitEnd(kEndLimit);
        const Seconds took = SteadyClock::now() - sent;
        ASSERT_TRUE(status) << "still running " << kEndLimit.count() << " s after the signal";
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0)
            << Describe(*status) << "; it wrote: " << ReadFile(errors());
        std::printf("[ %s ] ended %.3f s after the signal\n", c.name, took.count());
    }
}

// A stop signal while the demo starts (its display opening, its songs decoding) ends it with
// status 0, as Escape at its first frame would, without waiting for the start-up's work.
TEST_F(DemoProcessTest, AStopSignalDuringStartUpEndsTheDemoAsEscapeDoes) {
    StartServer();
    if (IsSkipped()) return;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        StartDemo();
        const auto until = SteadyClock::now() + kStartLimit;
        while (SteadyClock::now() < until && demo_->running() &&
               WindowsMade(display_).value_or(0) == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_TRUE(demo_->running()) << "the demo ended first: " << ReadFile(errors());
        const auto sent = SteadyClock::now();
        demo_->signal(signal);
        const std::optional<int> status = demo_->waitEnd(kEndLimit);
        const Seconds took = SteadyClock::now() - sent;
        ASSERT_TRUE(status) << "still running " << kEndLimit.count() << " s after the signal";
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0)
            << Describe(*status) << "; it wrote: " << ReadFile(errors());
        std::printf("[ %s during start-up ] ended %.3f s after the signal\n", strsignal(signal),
                    took.count());
    }
}

TEST_F(DemoProcessTest, LosingTheDisplayEndsTheDemoWithAMessage) {
    StartServer();
    if (IsSkipped()) return;
    StartDemo();
    WaitForFrames();
    if (HasFatalFailure()) return;
    server_->signal(SIGTERM);
    ASSERT_TRUE(server_->waitEnd(kEndLimit)) << "the X server did not end";
    const std::optional<int> status = demo_->waitEnd(kEndLimit);
    ASSERT_TRUE(status) << "still running " << kEndLimit.count() << " s after its display went";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) != 0) << Describe(*status);
    const std::string written = ReadFile(errors());
    EXPECT_TRUE(EndsWith(written, "Lost the connection to the display " + display_ + "\n"))
        << written;
}

// The X server killed while the demo's display opens: as soon as the demo has started (before
// or while it connects) and as soon as a window of its is made (while the video layer and the
// GL driver make the window and its context). Wherever the loss falls, the demo ends with a
// message of its own and status -1: never a crash in the GL driver or Xlib's own message.
TEST_F(DemoProcessTest, LosingTheDisplayWhileItOpensEndsTheDemoWithAMessage) {
    for (const bool onceAWindowIsMade : {false, true}) {
        SCOPED_TRACE(onceAWindowIsMade ? "killed once a window is made" : "killed at once");
        StartServer();
        if (IsSkipped()) return;
        StartDemo();
        if (onceAWindowIsMade) {
            const auto until = SteadyClock::now() + kStartLimit;
            while (SteadyClock::now() < until && demo_->running() &&
                   WindowsMade(display_).value_or(0) == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            ASSERT_TRUE(demo_->running()) << "the demo ended first: " << ReadFile(errors());
        }
        server_->signal(SIGKILL);
        ASSERT_TRUE(server_->waitEnd(kEndLimit)) << "the X server did not end";
        const std::optional<int> status = demo_->waitEnd(kEndLimit);
        ASSERT_TRUE(status) << "still running " << kEndLimit.count() << " s after its display went";
        const std::string written = ReadFile(errors());
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 255)
            << Describe(*status) << "; it wrote: " << written;
        const std::string lost = "Lost the connection to the display " + display_ + "\n";
        if (onceAWindowIsMade)
            EXPECT_TRUE(EndsWith(written, lost)) << written;
        else
            EXPECT_TRUE(EndsWith(written, lost) ||
                        written.starts_with("Unable to open the display: "))
                << written;
        server_.reset();
        demo_.reset();
    }
}

TEST_F(DemoProcessTest, WithNoDisplayTheDemoRefusesToStart) {
    Child demo(DemoOptions(std::nullopt, false));
    const std::optional<int> status = demo.waitEnd(kEndLimit);
    ASSERT_TRUE(status) << "still running " << kEndLimit.count() << " s later";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) != 0) << Describe(*status);
    const std::string message = "Unable to open the display: no display to show it on; set "
                                "DISPLAY to an X server\n";
    // The video layer may say something of its own first.
    const std::string written = ReadFile(errors());
    EXPECT_TRUE(EndsWith(written, message)) << written;
}

// Its standard error a pipe that no one reads any more: the refusal written there is lost, and
// the demo still ends as it refuses (status -1), not killed by the broken pipe.
TEST_F(DemoProcessTest, ARefusalWrittenToAClosedPipeStillEndsTheDemoWithItsStatus) {
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
    close(fds[0]);
    Child::Options options = DemoOptions(std::nullopt, false);
    options.stderrFd = fds[1];
    Child demo(options);
    close(fds[1]);
    const std::optional<int> status = demo.waitEnd(kEndLimit);
    ASSERT_TRUE(status) << "still running " << kEndLimit.count() << " s later";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 255) << Describe(*status);
}

TEST_F(DemoProcessTest, ADisplayThatCannotBeReachedIsNamedOnceAndTheDemoEnds) {
    // Where no X server listens, whether none ever did or the one there has ended, the one line
    // the demo writes names the display, and no video driver gets to try (and print) its own.
    StartServer();
    if (IsSkipped()) return;
    const std::string ended = display_;
    server_->signal(SIGTERM);
    ASSERT_TRUE(server_->waitEnd(kEndLimit)) << "the X server did not end";
    ASSERT_NE(access("/tmp/.X11-unix/X99999", F_OK), 0) << "a server listens at :99999";
    for (const std::string& display : {std::string(":99999"), ended}) {
        SCOPED_TRACE(display);
        Child demo(DemoOptions(display, false));
        const std::optional<int> status = demo.waitEnd(kEndLimit);
        ASSERT_TRUE(status) << "still running " << kEndLimit.count() << " s later";
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) != 0) << Describe(*status);
        EXPECT_EQ(ReadFile(errors()), "Unable to open the display: the display " + display +
                                          " named by DISPLAY cannot be reached: no X server "
                                          "listens there\n");
    }
}

TEST_F(DemoProcessTest, AServerThatRefusesConnectionsIsAskedAgainBeforeTheDemoEnds) {
    // Something listens but closes every connection, as a server does while it resets: the
    // demo asks again and again, and then says so once.
    RefusingListener listener;
    if (listener.display().empty()) GTEST_SKIP() << "no local socket free for a stand-in server";
    Child demo(DemoOptions(listener.display(), false));
    const std::optional<int> status = demo.waitEnd(kEndLimit);
    ASSERT_TRUE(status) << "still running " << kEndLimit.count() << " s later";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) != 0) << Describe(*status);
    // Each attempt connects twice: once to ask for the display, once to see whether anything
    // listens.
    EXPECT_GT(listener.refused(), 20);
    EXPECT_EQ(ReadFile(errors()), "Unable to open the display: the X server of the display " +
                                      listener.display() +
                                      " named by DISPLAY accepted no connection within a "
                                      "second\n");
}

} // namespace
