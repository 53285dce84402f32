/* Preloaded into the application by the journey tests: while the file named by TOLMEK_WRITE_FAULT exists,
 * every write to the store or its log fails with ENOSPC, as on a full disk. Other files are written as usual. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <unistd.h>

static int failing(int fd) {
    const char* flag = getenv("TOLMEK_WRITE_FAULT");
    if (!flag)
        return 0;
    const int saved = errno;
    int fail = 0;
    if (access(flag, F_OK) == 0) {
        char link[64], target[512];
        snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
        const ssize_t n = readlink(link, target, sizeof target - 1);
        if (n > 0) {
            target[n] = 0;
            const char* name = strrchr(target, '/');
            name = name ? name + 1 : target;
            fail = strcmp(name, "default.store") == 0 || strcmp(name, "default.store-wal") == 0;
        }
    }
    errno = saved;
    return fail;
}

ssize_t write(int fd, const void* buf, size_t count) {
    static ssize_t (*real)(int, const void*, size_t);
    if (!real)
        real = (ssize_t(*)(int, const void*, size_t))dlsym(RTLD_NEXT, "write");
    if (failing(fd)) {
        errno = ENOSPC;
        return -1;
    }
    return real(fd, buf, count);
}

ssize_t pwrite(int fd, const void* buf, size_t count, off_t offset) {
    static ssize_t (*real)(int, const void*, size_t, off_t);
    if (!real)
        real = (ssize_t(*)(int, const void*, size_t, off_t))dlsym(RTLD_NEXT, "pwrite");
    if (failing(fd)) {
        errno = ENOSPC;
        return -1;
    }
    return real(fd, buf, count, offset);
}

ssize_t pwrite64(int fd, const void* buf, size_t count, off64_t offset) {
    static ssize_t (*real)(int, const void*, size_t, off64_t);
    if (!real)
        real = (ssize_t(*)(int, const void*, size_t, off64_t))dlsym(RTLD_NEXT, "pwrite64");
    if (failing(fd)) {
        errno = ENOSPC;
        return -1;
    }
    return real(fd, buf, count, offset);
}
