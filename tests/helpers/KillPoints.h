#pragma once

// Kill points for the crash helpers: the file-system calls that write a
// watched file (write, pwrite, fsync, fdatasync, ftruncate, rename, link,
// unlink) are counted while `killpoints::armed` is set, before each call,
// halfway through a write of more than one byte and after it; at the point
// numbered `killpoints::killAt` the process kills itself with SIGKILL. The
// helper that includes this (once, in its one source file) defines
// `watchedFile`, which tells the files counted by their path.

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

// True for a file whose writes are kill points.
bool watchedFile(const char* path);

namespace killpoints {

inline std::atomic<bool> armed{false};
inline std::atomic<long> killAt{0};
inline std::atomic<long> points{0};

template <class F>
F real(const char* name)
{
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

inline bool watched(int fd)
{
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[4096];
    using ReadLink = ssize_t (*)(const char*, char*, size_t);
    static const auto realReadlink = real<ReadLink>("readlink");
    const ssize_t n = realReadlink(link, target, sizeof target - 1);
    if (n <= 0)
        return false;
    target[n] = 0;
    return watchedFile(target);
}

inline void point()
{
    if (armed && ++points == killAt)
        ::raise(SIGKILL);
}

inline ssize_t write(int fd, const void* buf, size_t n, off_t offset, bool positioned)
{
    using Write = ssize_t (*)(int, const void*, size_t);
    using PWrite = ssize_t (*)(int, const void*, size_t, off_t);
    static const Write realWrite = real<Write>("write");
    static const PWrite realPwrite = real<PWrite>("pwrite");
    const auto call = [&](size_t count) {
        return positioned ? realPwrite(fd, buf, count, offset) : realWrite(fd, buf, count);
    };
    if (!armed || !watched(fd))
        return call(n);
    point();
    if (n > 1) {
        if (points + 1 == killAt) {
            call(n / 2);
            ::raise(SIGKILL);
        }
        ++points;
    }
    const ssize_t result = call(n);
    point();
    return result;
}

template <class F, class... A>
auto around(bool counted, F f, A... args)
{
    if (counted)
        point();
    const auto result = f(args...);
    if (counted)
        point();
    return result;
}

} // namespace killpoints

extern "C" {

ssize_t write(int fd, const void* buf, size_t n)
{
    return killpoints::write(fd, buf, n, 0, false);
}
ssize_t pwrite(int fd, const void* buf, size_t n, off_t offset)
{
    return killpoints::write(fd, buf, n, offset, true);
}
ssize_t pwrite64(int fd, const void* buf, size_t n, off_t offset)
{
    return killpoints::write(fd, buf, n, offset, true);
}
int fsync(int fd)
{
    static const auto f = killpoints::real<int (*)(int)>("fsync");
    return killpoints::around(killpoints::armed && killpoints::watched(fd), f, fd);
}
int fdatasync(int fd)
{
    static const auto f = killpoints::real<int (*)(int)>("fdatasync");
    return killpoints::around(killpoints::armed && killpoints::watched(fd), f, fd);
}
int ftruncate(int fd, off_t length)
{
    static const auto f = killpoints::real<int (*)(int, off_t)>("ftruncate");
    return killpoints::around(killpoints::armed && killpoints::watched(fd), f, fd, length);
}
int ftruncate64(int fd, off_t length)
{
    static const auto f = killpoints::real<int (*)(int, off_t)>("ftruncate64");
    return killpoints::around(killpoints::armed && killpoints::watched(fd), f, fd, length);
}
int rename(const char* from, const char* to)
{
    static const auto f = killpoints::real<int (*)(const char*, const char*)>("rename");
    return killpoints::around(killpoints::armed && watchedFile(to), f, from, to);
}
int link(const char* from, const char* to)
{
    static const auto f = killpoints::real<int (*)(const char*, const char*)>("link");
    return killpoints::around(killpoints::armed && watchedFile(to), f, from, to);
}
int unlink(const char* path)
{
    static const auto f = killpoints::real<int (*)(const char*)>("unlink");
    return killpoints::around(killpoints::armed && watchedFile(path), f, path);
}

} // extern "C"
