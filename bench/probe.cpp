// Starts one program on the X display and watches it from outside, the
// same way whatever the program is: the screen for its first picture, and
// /proc for the CPU time and peak memory it used.
//
//   bench-probe [--frame] [--settle S] [--measure S] [--timeout S] -- program args...
//
// --frame    wait until the root window shows the benchmark clip's marker
//            colour (a large magenta area) and report how long that took
// --settle   then wait S more seconds before the measurement starts
// --measure  sample CPU time (user + system) at its start and S seconds
//            later, and the peak resident memory at its end
//
// Prints key=value lines: frame_ms, cpu_ms, sched_us (the same CPU time as
// the scheduler counts it, threads that ended meanwhile left out), hwm_kb,
// alive (1 if the program was still running at the end). The program and everything it started are
// killed on every way out. Exit status 0 only if every step worked.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

pid_t child = -1;

double now()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

void sleepFor(double seconds)
{
    if (seconds <= 0)
        return;
    timespec ts{time_t(seconds), long((seconds - double(time_t(seconds))) * 1e9)};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

void killChild()
{
    if (child <= 0)
        return;
    kill(-child, SIGTERM);
    for (int i = 0; i < 50; ++i) {
        if (waitpid(child, nullptr, WNOHANG) == child) {
            kill(-child, SIGKILL); // anything it left behind
            child = -1;
            return;
        }
        sleepFor(0.02);
    }
    kill(-child, SIGKILL);
    waitpid(child, nullptr, 0);
    child = -1;
}

void onSignal(int)
{
    killChild();
    _exit(3);
}

bool alive()
{
    if (child <= 0)
        return false;
    const pid_t r = waitpid(child, nullptr, WNOHANG);
    if (r == child) {
        child = -1;
        return false;
    }
    return r == 0;
}

// utime + stime of the whole process (all threads), in milliseconds.
long cpuMs(pid_t pid)
{
    std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
    std::string s((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    const auto close = s.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream rest(s.substr(close + 2));
    std::string field;
    // Fields after the name start at 3 (state); utime is 14, stime 15.
    std::vector<std::string> fields;
    while (rest >> field)
        fields.push_back(field);
    if (fields.size() < 13)
        return -1;
    const long ticks = std::stol(fields[11]) + std::stol(fields[12]);
    return ticks * 1000 / sysconf(_SC_CLK_TCK);
}

// Time on a CPU of all its threads, in microseconds, as the scheduler
// counts it: finer than the clock ticks of /proc/<pid>/stat.
long long schedUs(pid_t pid)
{
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR *dir = opendir(tasks.c_str());
    if (!dir)
        return -1;
    long long ns = 0;
    while (dirent *d = readdir(dir)) {
        if (d->d_name[0] == '.')
            continue;
        std::ifstream f(tasks + "/" + d->d_name + "/schedstat");
        long long run = 0;
        if (f >> run)
            ns += run;
    }
    closedir(dir);
    return ns / 1000;
}

long hwmKb(pid_t pid)
{
    std::ifstream f("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(f, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return -1;
}

// The clip is mostly pure magenta; MPEG and YUV move it a little.
bool markerOnScreen(Display *dpy)
{
    const Window root = DefaultRootWindow(dpy);
    XWindowAttributes attrs{};
    XGetWindowAttributes(dpy, root, &attrs);
    XImage *img = XGetImage(dpy, root, 0, 0, attrs.width, attrs.height, AllPlanes, ZPixmap);
    if (!img)
        return false;
    long hits = 0;
    for (int y = 0; y < img->height; y += 2) {
        for (int x = 0; x < img->width; x += 2) {
            const unsigned long p = XGetPixel(img, x, y);
            const unsigned r = (p >> 16) & 0xff, g = (p >> 8) & 0xff, b = p & 0xff;
            if (r > 190 && g < 70 && b > 190)
                ++hits;
        }
    }
    XDestroyImage(img);
    // A quarter of a 352x288 picture, counting every fourth pixel.
    return hits >= 352 * 288 / 4 / 4;
}

} // namespace

int main(int argc, char **argv)
{
    bool frame = false;
    double settle = 0, measure = 0, timeout = 20;
    int i = 1;
    for (; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--frame")
            frame = true;
        else if (a == "--settle" && i + 1 < argc)
            settle = std::atof(argv[++i]);
        else if (a == "--measure" && i + 1 < argc)
            measure = std::atof(argv[++i]);
        else if (a == "--timeout" && i + 1 < argc)
            timeout = std::atof(argv[++i]);
        else if (a == "--") {
            ++i;
            break;
        } else {
            std::fprintf(stderr, "bench-probe: unknown argument %s\n", a.c_str());
            return 2;
        }
    }
    if (i >= argc) {
        std::fprintf(stderr, "bench-probe: no program given\n");
        return 2;
    }

    Display *dpy = nullptr;
    if (frame) {
        dpy = XOpenDisplay(nullptr);
        if (!dpy) {
            std::fprintf(stderr, "bench-probe: cannot open the display\n");
            return 2;
        }
        if (markerOnScreen(dpy)) {
            std::fprintf(stderr, "bench-probe: the marker is on screen before the start\n");
            return 2;
        }
    }

    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);
    std::signal(SIGHUP, onSignal);

    const double start = now();
    child = fork();
    if (child < 0) {
        std::perror("fork");
        return 2;
    }
    if (child == 0) {
        setpgid(0, 0);
        execvp(argv[i], argv + i);
        std::perror("exec");
        _exit(127);
    }
    setpgid(child, child);
    const pid_t pid = child;

    if (frame) {
        bool seen = false;
        while (now() - start < timeout && alive()) {
            if (markerOnScreen(dpy)) {
                seen = true;
                break;
            }
            sleepFor(0.005);
        }
        if (!seen) {
            std::fprintf(stderr, "bench-probe: no picture within %.0f s from %s\n", timeout, argv[i]);
            killChild();
            return 1;
        }
        std::printf("frame_ms=%.0f\n", (now() - start) * 1000);
    }

    sleepFor(settle);
    if (measure > 0) {
        if (!alive()) {
            std::fprintf(stderr, "bench-probe: %s ended before the measurement\n", argv[i]);
            return 1;
        }
        const long c0 = cpuMs(pid);
        const long long s0 = schedUs(pid);
        sleepFor(measure);
        const long c1 = cpuMs(pid);
        const long long s1 = schedUs(pid);
        const long hwm = hwmKb(pid);
        const bool up = alive();
        if (c0 < 0 || c1 < 0 || hwm < 0) {
            std::fprintf(stderr, "bench-probe: %s ended during the measurement\n", argv[i]);
            killChild();
            return 1;
        }
        std::printf("cpu_ms=%ld\nsched_us=%lld\nhwm_kb=%ld\nalive=%d\n", c1 - c0, s1 - s0, hwm, up ? 1 : 0);
    }
    killChild();
    if (dpy)
        XCloseDisplay(dpy);
    return 0;
}
