#include "platform/display_connection.h"

#include "platform/error.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <netdb.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <string>

namespace {

std::string lostMessage(const char* name) {
    return std::string("Lost the connection to the display") +
           (name && *name ? std::string(" ") + name : std::string());
}

int onConnectionLost(::Display* x) {
    FatalErrorNow(lostMessage(x ? XDisplayString(x) : nullptr));
}

// What the crash check needs, made before any crash: the held connection's socket (-1 while
// none is held) and the line to write. The handler reads them only.
std::atomic<int> watchedSocket{-1};
char crashMessage[256];
std::size_t crashMessageLength = 0;
struct sigaction segvBefore, busBefore;
bool crashCheckInstalled = false;

// Whether the server has closed the connection on `fd`, on which nothing is ever sent or read:
// it has something to read then (its end), and before that nothing.
bool serverClosed(int fd) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 0) <= 0) return false;
    if (p.revents & (POLLHUP | POLLERR)) return true;
    char byte = 0;
    const ssize_t got = recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    return got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
}

// Runs on a segmentation fault or bus error, on the thread that had it: only calls that are
// safe in a signal handler.
void onCrash(int signal, siginfo_t* info, void*) {
    const int saved = errno;
    const int fd = watchedSocket.load();
    if (fd >= 0 && serverClosed(fd)) {
        ssize_t written = write(STDERR_FILENO, crashMessage, crashMessageLength);
        (void)written;
        _exit(-1);
    }
    // A fault of the program: put back what was there before and let it happen again (a fault
    // returns to the instruction that faulted), or raise the signal again if it was sent.
    sigaction(signal, signal == SIGSEGV ? &segvBefore : &busBefore, nullptr);
    if (info && info->si_code <= 0) raise(signal);
    errno = saved;
}

void installCrashCheck() {
    if (crashCheckInstalled) return;
    crashCheckInstalled = true;
    struct sigaction action {};
    action.sa_sigaction = onCrash;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_SIGINFO;
    sigaction(SIGSEGV, &action, &segvBefore);
    sigaction(SIGBUS, &action, &busBefore);
}

bool xRequestFailed = false;

int noteXError(::Display*, XErrorEvent*) {
    xRequestFailed = true;
    return 0;
}

// The window that the window property `name` of `on` names, or None.
Window namedWindow(::Display* x, Window on, Atom name) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    Window named = None;
    if (XGetWindowProperty(x, on, name, 0, 1, False, XA_WINDOW, &type, &format, &count, &after,
                           &data) == Success &&
        type == XA_WINDOW && format == 32 && count == 1 && data)
        named = Window(*reinterpret_cast<const unsigned long*>(data));
    if (data) XFree(data);
    return named;
}

// Whether a connection to the socket is accepted (a listener is there, whatever it then does).
bool accepts(int domain, const sockaddr* address, socklen_t length) {
    const int s = socket(domain, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) return false;
    const bool connected = connect(s, address, length) == 0;
    close(s);
    return connected;
}

// Whether something listens where the X display name points: the local socket of display N
// (Linux's abstract one, then the file) for ":N" and "unix:N", TCP port 6000 + N of the host
// for "host:N". True for a name of another form, which is then asked for again as before.
bool xServerListens(std::string name) {
    if (const auto slash = name.find('/'); slash != std::string::npos) {
        if (slash == 0) return true; // a socket path of its own
        name.erase(0, slash + 1);    // "protocol/host:N"
    }
    const auto colon = name.rfind(':');
    if (colon == std::string::npos) return true;
    const std::string host = name.substr(0, colon);
    const std::string digits = name.substr(colon + 1, name.find('.', colon) - colon - 1);
    if (digits.empty() || digits.size() > 6 ||
        digits.find_first_not_of("0123456789") != std::string::npos)
        return true;
    const int number = std::stoi(digits);
    if (host.empty() || host == "unix") {
        const std::string path = "/tmp/.X11-unix/X" + digits;
        sockaddr_un local{};
        local.sun_family = AF_UNIX;
        if (path.size() + 1 >= sizeof local.sun_path) return true;
        std::memcpy(local.sun_path + 1, path.data(), path.size()); // abstract: a leading zero
        const auto abstractLength = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + path.size());
        if (accepts(AF_UNIX, reinterpret_cast<const sockaddr*>(&local), abstractLength))
            return true;
        std::memcpy(local.sun_path, path.c_str(), path.size() + 1);
        return accepts(AF_UNIX, reinterpret_cast<const sockaddr*>(&local), sizeof local);
    }
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(6000 + number).c_str(), &hints, &found) != 0)
        return false;
    bool listens = false;
    for (const addrinfo* a = found; a && !listens; a = a->ai_next)
        listens = accepts(a->ai_family, a->ai_addr, a->ai_addrlen);
    freeaddrinfo(found);
    return listens;
}

// XOpenDisplay with this thread's broken-pipe signal held back: a server that closes the
// connection while Xlib writes the greeting (one that is resetting) would otherwise end the
// process. A broken-pipe signal that the attempt raised is taken off again; one that was
// already waiting stays for the program.
::Display* openWithoutBrokenPipe() {
    sigset_t pipe, before;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, &before);
    sigset_t waiting;
    sigpending(&waiting);
    const bool waitedBefore = sigismember(&waiting, SIGPIPE) == 1;
    ::Display* x = XOpenDisplay(nullptr);
    sigpending(&waiting);
    if (!waitedBefore && sigismember(&waiting, SIGPIPE) == 1) {
        const timespec now{0, 0};
        sigtimedwait(&pipe, nullptr, &now);
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    return x;
}

} // namespace

XServerHold::~XServerHold() {
    Release();
}

void XServerHold::Release() {
    if (!display_) return;
    watchedSocket = -1;
    XCloseDisplay(display_);
    display_ = nullptr;
}

std::string XServerHold::Reach() {
    if (display_) return "";
    const char* named = XDisplayName(nullptr);
    const std::string name = named ? named : "";
    // The video layer asks Xlib for threads; that comes before any connection is made.
    XInitThreads();
    constexpr int kAttempts = 50;
    for (int attempt = 1;; ++attempt) {
        display_ = openWithoutBrokenPipe();
        if (display_) {
            const std::string message = lostMessage(XDisplayString(display_)) + "\n";
            crashMessageLength = std::min(message.size(), sizeof crashMessage);
            std::memcpy(crashMessage, message.data(), crashMessageLength);
            installCrashCheck();
            watchedSocket = ConnectionNumber(display_);
            return "";
        }
        if (!xServerListens(name))
            return "the display " + name +
                   " named by DISPLAY cannot be reached: no X server "
                   "listens there";
        if (attempt == kAttempts)
            return "the X server of the display " + name +
                   " named by DISPLAY accepted no "
                   "connection within a second";
        SDL_Delay(20);
    }
}

bool VideoOnX11() {
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver && std::strcmp(driver, "x11") == 0;
}

void EndProgramOnLostDisplay() {
    XSetIOErrorHandler(onConnectionLost);
}

X11Window X11WindowOf(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !VideoOnX11() || !SDL_GetWindowWMInfo(window, &info) ||
        info.subsystem != SDL_SYSWM_X11 || !info.info.x11.display)
        return {};
    return {info.info.x11.display, info.info.x11.window};
}

bool X11WithoutWindowManager(SDL_Window* window) {
    ::Display* x = X11WindowOf(window).display;
    if (!x) return false;
    const Atom check = XInternAtom(x, "_NET_SUPPORTING_WM_CHECK", True);
    if (check == None) return true;
    // A window manager names a window of its own on the root window, and that window names
    // itself; a name left behind by one that has ended names a window that is gone.
    XSync(x, False);
    xRequestFailed = false;
    const auto previous = XSetErrorHandler(noteXError);
    const Window wm = namedWindow(x, DefaultRootWindow(x), check);
    const bool runs = wm != None && namedWindow(x, wm, check) == wm;
    XSync(x, False);
    XSetErrorHandler(previous);
    return !runs || xRequestFailed;
}
