// Times what a person sees after one input, through the X server: from an XTest event (or the start of a
// program) to the first X Damage report of the target window, that is the client's drawing reaching the
// server, and to the last one before the window and its program go quiet.
//
// Reads one command per line on standard input and answers one line on standard output:
//   target PID          watch the largest viewable top-level window of that process (and its children)
//   root                watch the whole screen (a program about to start)
//   idle QUIET MAX      wait until QUIET ms pass with no damage and the target's main thread off the CPU
//   key KEYSYM QUIET MAX BIG          press and release a key, then measure
//   button N QUIET MAX BIG            press and release a pointer button (4, 5: the wheel), then measure
//   spawn MAX [VAR=VALUE ...] -- ARGV start a program, watching the screen: time to its first damage
//   stop                stop the program `spawn` started (SIGTERM, then SIGKILL) and reap it
// A measurement answers "ok FIRST BIG LAST EVENTS SETTLED" in milliseconds from the input: the first
// damage, the moment the damaged area reached BIG pixels, and the last damage before QUIET ms of calm
// (-1: none); SETTLED is 0 when MAX ms passed first. QUIET 0 answers at the first damage. `idle` answers "ok WAITED" or "busy WAITED".
#define _GNU_SOURCE
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>

#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static Display* dpy;
static int damageEvent;
static Damage damage;
static Window watched;
static pid_t watchedPid; // its main thread is the one whose CPU time tells idle from busy
static pid_t spawned;
static int trace; // XPROBE_TRACE=1: every damage report on standard error

static double nowMs(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec * 1e3 + (double)t.tv_nsec / 1e6;
}

// CPU time of the target's main thread in ms; 0 without a target process.
static double cpuMs(void) {
    if (watchedPid <= 0)
        return 0;
    char path[64];
    snprintf(path, sizeof path, "/proc/%d/task/%d/schedstat", (int)watchedPid, (int)watchedPid);
    FILE* f = fopen(path, "r");
    if (!f)
        return 0;
    unsigned long long ns = 0;
    if (fscanf(f, "%llu", &ns) != 1)
        ns = 0;
    fclose(f);
    return (double)ns / 1e6;
}

// The target's main thread spent next to no CPU over a quiet spell: no frame is on its way.
static int offCpu(double cpuSpent, double quiet) { return cpuSpent < 0.05 * quiet + 0.5; }

static void watch(Window w, pid_t pid) {
    if (damage)
        XDamageDestroy(dpy, damage);
    // Raw rectangles: one report per drawing request, none merged away, none to subtract.
    damage = XDamageCreate(dpy, w, XDamageReportRawRectangles);
    watched = w;
    watchedPid = pid;
    XSync(dpy, False);
}

// Damage reports that arrive within `waitMs`; returns the area they cover (0: none came).
static long pumpDamage(double waitMs, double* at) {
    XFlush(dpy);
    if (!XPending(dpy)) {
        struct pollfd p = {ConnectionNumber(dpy), POLLIN, 0};
        int ms = waitMs > 0 ? (int)(waitMs + 0.999) : 0;
        if (poll(&p, 1, ms) <= 0)
            return 0;
    }
    long area = 0;
    while (XPending(dpy)) {
        XEvent e;
        XNextEvent(dpy, &e);
        if (e.type == damageEvent + XDamageNotify) {
            const XDamageNotifyEvent* d = (const XDamageNotifyEvent*)&e;
            if (d->damage == damage) {
                *at = nowMs();
                if (trace)
                    fprintf(stderr, "xprobe: %.3f damage %dx%d+%d+%d\n", *at, d->area.width, d->area.height, d->area.x,
                            d->area.y);
                area += (long)d->area.width * d->area.height + 1;
            }
        }
    }
    return area;
}

// After an input sent at t0: the first damage, the damaged area reaching `big`, the last damage before
// `quiet` ms with no damage and an idle main thread.
static void measure(double t0, double quiet, double maxMs, long big) {
    double first = -1, bigAt = -1, last = -1, at = 0;
    long total = 0, events = 0;
    int settled = 0;
    double calmSince = t0, cpuThen = cpuMs();
    for (;;) {
        const double now = nowMs();
        if (now - t0 > maxMs)
            break;
        double wait = first < 0 ? maxMs - (now - t0) : quiet - (now - calmSince);
        if (wait < 1)
            wait = 1;
        const long area = pumpDamage(wait, &at);
        if (area > 0) {
            ++events;
            total += area;
            if (first < 0)
                first = at - t0;
            if (bigAt < 0 && total >= big)
                bigAt = at - t0;
            last = at - t0;
            if (quiet <= 0) { // the first damage is all that is asked
                settled = 1;
                break;
            }
            calmSince = at;
            cpuThen = cpuMs();
            continue;
        }
        if (first < 0 || nowMs() - calmSince < quiet)
            continue;
        // Quiet on screen; still busy on the CPU means a frame may yet come.
        const double cpu = cpuMs();
        if (offCpu(cpu - cpuThen, quiet)) {
            settled = 1;
            break;
        }
        calmSince = nowMs();
        cpuThen = cpu;
    }
    printf("ok %.3f %.3f %.3f %ld %d\n", first, bigAt, last, events, settled);
}

static void idle(double quiet, double maxMs) {
    const double t0 = nowMs();
    double calmSince = t0, cpuThen = cpuMs(), at = 0;
    while (nowMs() - t0 < maxMs) {
        if (pumpDamage(quiet - (nowMs() - calmSince), &at) > 0) {
            calmSince = at;
            cpuThen = cpuMs();
            continue;
        }
        if (nowMs() - calmSince < quiet)
            continue;
        const double cpu = cpuMs();
        if (offCpu(cpu - cpuThen, quiet)) {
            printf("ok %.3f\n", nowMs() - t0);
            return;
        }
        calmSince = nowMs();
        cpuThen = cpu;
    }
    printf("busy %.3f\n", nowMs() - t0);
}

static long property(Window w, Atom name) {
    Atom type;
    int format;
    unsigned long n, after;
    unsigned char* data = NULL;
    long value = -1;
    if (XGetWindowProperty(dpy, w, name, 0, 1, False, XA_CARDINAL, &type, &format, &n, &after, &data) == Success &&
        data && n == 1 && format == 32)
        value = *(long*)data;
    if (data)
        XFree(data);
    return value;
}

// Qt draws a top-level widget into its own window, a child of the root with no window manager.
static Window findWindow(pid_t pid, XWindowAttributes* best) {
    const Atom wmPid = XInternAtom(dpy, "_NET_WM_PID", False);
    Window root, parent, *children = NULL, found = 0;
    unsigned int n = 0;
    if (!XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &n))
        return 0;
    long bestArea = 0;
    for (unsigned int i = 0; i < n; ++i) {
        XWindowAttributes a;
        if (!XGetWindowAttributes(dpy, children[i], &a) || a.map_state != IsViewable)
            continue;
        if (property(children[i], wmPid) != (long)pid)
            continue;
        if ((long)a.width * a.height > bestArea) {
            bestArea = (long)a.width * a.height;
            found = children[i];
            *best = a;
        }
    }
    if (children)
        XFree(children);
    return found;
}

static void target(pid_t pid) {
    XWindowAttributes a = {0};
    const double t0 = nowMs();
    Window w = 0;
    while (!(w = findWindow(pid, &a)) && nowMs() - t0 < 10000)
        usleep(20000);
    if (!w) {
        printf("err no window for %d\n", (int)pid);
        return;
    }
    watch(w, pid);
    printf("ok 0x%lx %d %d %d %d\n", w, a.x, a.y, a.width, a.height);
}

static void stopSpawned(void) {
    if (spawned <= 0) {
        printf("ok\n");
        return;
    }
    kill(spawned, SIGTERM);
    int status = 0;
    const double t0 = nowMs();
    while (waitpid(spawned, &status, WNOHANG) == 0) {
        if (nowMs() - t0 > 10000) {
            kill(spawned, SIGKILL);
            waitpid(spawned, &status, 0);
            break;
        }
        usleep(5000);
    }
    spawned = 0;
    printf("ok\n");
}

static void spawn(double maxMs, char** args) {
    char** argv = args;
    while (*argv && strcmp(*argv, "--") != 0)
        ++argv;
    if (!*argv || !argv[1]) {
        printf("err spawn needs -- ARGV\n");
        return;
    }
    watch(DefaultRootWindow(dpy), 0);
    double at = 0;
    while (pumpDamage(0, &at) > 0) {}
    const double t0 = nowMs();
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL); // a probe that dies takes its program along
        dup2(2, 1); // our standard output is the answers
        for (char** v = args; v != argv; ++v)
            putenv(*v);
        execv(argv[1], argv + 1);
        _exit(127);
    }
    spawned = pid;
    double first = -1;
    while (first < 0 && nowMs() - t0 < maxMs) {
        if (pumpDamage(maxMs - (nowMs() - t0), &at) > 0)
            first = at - t0;
        if (waitpid(pid, NULL, WNOHANG) == pid) {
            spawned = 0;
            break;
        }
    }
    printf("ok %d %.3f\n", (int)pid, first);
}

static void press(const char* what, double quiet, double maxMs, long big) {
    char kind[16], arg[64];
    if (sscanf(what, "%15s %63s", kind, arg) != 2) {
        printf("err\n");
        return;
    }
    double t0;
    if (strcmp(kind, "key") == 0) {
        const KeySym sym = XStringToKeysym(arg);
        const KeyCode code = sym == NoSymbol ? 0 : XKeysymToKeycode(dpy, sym);
        if (!code) {
            printf("err no key %s\n", arg);
            return;
        }
        // Released at once: a key held while a slow frame is measured would repeat.
        t0 = nowMs();
        XTestFakeKeyEvent(dpy, code, True, CurrentTime);
        XTestFakeKeyEvent(dpy, code, False, CurrentTime);
        measure(t0, quiet, maxMs, big);
    } else {
        const unsigned int button = (unsigned int)atoi(arg);
        t0 = nowMs();
        XTestFakeButtonEvent(dpy, button, True, CurrentTime);
        XTestFakeButtonEvent(dpy, button, False, CurrentTime);
        measure(t0, quiet, maxMs, big);
    }
}

int main(void) {
    signal(SIGPIPE, SIG_IGN);
    dpy = XOpenDisplay(NULL);
    int error, major, minor;
    if (!dpy || !XDamageQueryExtension(dpy, &damageEvent, &error) ||
        !XTestQueryExtension(dpy, &error, &error, &major, &minor)) {
        fprintf(stderr, "xprobe: needs an X display with the DAMAGE and XTEST extensions\n");
        return 2;
    }
    setvbuf(stdout, NULL, _IOLBF, 0);
    trace = getenv("XPROBE_TRACE") != NULL;
    char line[8192];
    while (fgets(line, sizeof line, stdin)) {
        line[strcspn(line, "\n")] = 0;
        char* words[256];
        int n = 0;
        char copy[8192];
        strcpy(copy, line);
        for (char* s = strtok(copy, " "); s && n < 255; s = strtok(NULL, " "))
            words[n++] = s;
        words[n] = NULL;
        if (n == 0)
            continue;
        if (strcmp(words[0], "target") == 0 && n == 2)
            target((pid_t)atoi(words[1]));
        else if (strcmp(words[0], "root") == 0) {
            watch(DefaultRootWindow(dpy), 0);
            printf("ok\n");
        } else if (strcmp(words[0], "idle") == 0 && n == 3)
            idle(atof(words[1]), atof(words[2]));
        else if ((strcmp(words[0], "key") == 0 || strcmp(words[0], "button") == 0) && n == 5)
            press(line, atof(words[2]), atof(words[3]), atol(words[4]));
        else if (strcmp(words[0], "spawn") == 0 && n >= 4)
            spawn(atof(words[1]), words + 2);
        else if (strcmp(words[0], "stop") == 0)
            stopSpawned();
        else if (strcmp(words[0], "quit") == 0)
            break;
        else
            printf("err unknown command: %s\n", line);
    }
    if (spawned > 0)
        kill(spawned, SIGKILL);
    XCloseDisplay(dpy);
    return 0;
}
