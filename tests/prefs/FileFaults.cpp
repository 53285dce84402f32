#include "FileFaults.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

#include <dlfcn.h>
#include <fnmatch.h>
#include <unistd.h>

namespace {

struct Fault {
    std::atomic_bool armed = false;
    std::mutex mutex;
    QByteArray pattern;
    int error = 0;

    void set(const QByteArray& p, int e) {
        std::lock_guard lock(mutex);
        pattern = p;
        error = e;
        armed = true;
    }
    // The error for a call on `fd`, or 0.
    int on(int fd) {
        if (!armed)
            return 0;
        char link[64], target[4096];
        std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
        const ssize_t n = ::readlink(link, target, sizeof target);
        if (n <= 0)
            return 0;
        std::lock_guard lock(mutex);
        target[std::min<size_t>(size_t(n), sizeof target - 1)] = 0;
        return armed && ::fnmatch(pattern.constData(), target, 0) == 0 ? error : 0;
    }
};

Fault g_read, g_write;

// The next definition (the C library's), looked up once; no guarded static, as anything may call these first.
template <class F>
F real(std::atomic<F>& cached, const char* name) {
    F f = cached.load(std::memory_order_relaxed);
    if (!f) {
        f = reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
        cached.store(f, std::memory_order_relaxed);
    }
    return f;
}

using ReadFn = ssize_t (*)(int, void*, size_t);
using WriteFn = ssize_t (*)(int, const void*, size_t);
std::atomic<ReadFn> g_realRead{nullptr};
std::atomic<WriteFn> g_realWrite{nullptr};

} // namespace

namespace filefaults {
void failReads(const QByteArray& pattern, int error) { g_read.set(pattern, error); }
void failWrites(const QByteArray& pattern, int error) { g_write.set(pattern, error); }
void clear() {
    g_read.armed = false;
    g_write.armed = false;
}
} // namespace filefaults

extern "C" ssize_t read(int fd, void* buf, size_t n) {
    if (const int error = g_read.on(fd)) {
        errno = error;
        return -1;
    }
    return real(g_realRead, "read")(fd, buf, n);
}

extern "C" ssize_t write(int fd, const void* buf, size_t n) {
    if (const int error = g_write.on(fd)) {
        errno = error;
        return -1;
    }
    return real(g_realWrite, "write")(fd, buf, n);
}
