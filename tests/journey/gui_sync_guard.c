/* Preloaded into the application by the journey tests: every fsync or fdatasync made on the main (GUI)
 * thread is written, with its time (CLOCK_MONOTONIC), the file it syncs and a backtrace, to the file
 * named by TOLMEK_GUI_SYNC_LOG. Other threads may sync freely, but the main thread waiting on one of them
 * (a condition wait: the preference file's writer, a thread pool, a thread's end) is written too, as "wait":
 * waiting for a thread that syncs costs the window as much as the sync. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <execinfo.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

static void note(const char* what, int fd) {
    if (syscall(SYS_gettid) != getpid() || strcmp(program_invocation_short_name, "tolmek") != 0)
        return;
    const char* log = getenv("TOLMEK_GUI_SYNC_LOG");
    if (!log)
        return;
    const int saved = errno;
    const int out = open(log, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (out >= 0) {
        char link[64], target[512] = "-";
        if (fd >= 0) {
            snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
            const ssize_t n = readlink(link, target, sizeof target - 1);
            target[n > 0 ? n : 0] = 0;
        }
        struct timespec ts;
        clock_gettime(CLOCK_MONOTONIC, &ts);
        dprintf(out, "@ %ld.%09ld %s %s\n", (long)ts.tv_sec, ts.tv_nsec, what, target);
        void* frames[40];
        backtrace_symbols_fd(frames, backtrace(frames, 40), out);
        close(out);
    }
    errno = saved;
}

int fsync(int fd) {
    static int (*real)(int);
    if (!real)
        real = (int (*)(int))dlsym(RTLD_NEXT, "fsync");
    note("fsync", fd);
    return real(fd);
}

int fdatasync(int fd) {
    static int (*real)(int);
    if (!real)
        real = (int (*)(int))dlsym(RTLD_NEXT, "fdatasync");
    note("fdatasync", fd);
    return real(fd);
}

/* The waits, under the symbols' default versions (what the application's libraries bind to). */
int pthread_cond_wait(pthread_cond_t* cond, pthread_mutex_t* mutex) {
    static int (*real)(pthread_cond_t*, pthread_mutex_t*);
    if (!real)
        real = (int (*)(pthread_cond_t*, pthread_mutex_t*))dlsym(RTLD_NEXT, "pthread_cond_wait");
    note("wait", -1);
    return real(cond, mutex);
}

int pthread_cond_timedwait(pthread_cond_t* cond, pthread_mutex_t* mutex, const struct timespec* until) {
    static int (*real)(pthread_cond_t*, pthread_mutex_t*, const struct timespec*);
    if (!real)
        real = (int (*)(pthread_cond_t*, pthread_mutex_t*, const struct timespec*))dlsym(RTLD_NEXT,
                                                                                         "pthread_cond_timedwait");
    note("wait", -1);
    return real(cond, mutex, until);
}

int pthread_cond_clockwait(pthread_cond_t* cond, pthread_mutex_t* mutex, clockid_t clock,
                           const struct timespec* until) {
    static int (*real)(pthread_cond_t*, pthread_mutex_t*, clockid_t, const struct timespec*);
    if (!real)
        real = (int (*)(pthread_cond_t*, pthread_mutex_t*, clockid_t,
                        const struct timespec*))dlsym(RTLD_NEXT, "pthread_cond_clockwait");
    note("wait", -1);
    return real(cond, mutex, clock, until);
}
