// Loaded into Vexlo by a test through LD_PRELOAD. When the program opens a
// file under VEXLO_SWAP_DIR for which a FIFO named like it plus ".fifo"
// waits, the FIFO is renamed over the file just before the open: the race
// another program can win between a check of the file and its open, won
// every time.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>

namespace {

void swapForFifo(const char *path)
{
    const char *dir = std::getenv("VEXLO_SWAP_DIR");
    if (dir == nullptr || path == nullptr || std::strncmp(path, dir, std::strlen(dir)) != 0)
        return;
    char fifo[4096];
    if (std::snprintf(fifo, sizeof fifo, "%s.fifo", path) < int(sizeof fifo))
        std::rename(fifo, path);
}

template <typename Function>
Function next(const char *name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

mode_t modeArgument(int flags, va_list arguments)
{
    return (flags & (O_CREAT | O_TMPFILE)) != 0 ? mode_t(va_arg(arguments, int)) : 0;
}

} // namespace

extern "C" {

int open(const char *path, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeArgument(flags, arguments);
    va_end(arguments);
    swapForFifo(path);
    return next<int (*)(const char *, int, ...)>("open")(path, flags, mode);
}

int open64(const char *path, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeArgument(flags, arguments);
    va_end(arguments);
    swapForFifo(path);
    return next<int (*)(const char *, int, ...)>("open64")(path, flags, mode);
}

int openat(int dir, const char *path, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeArgument(flags, arguments);
    va_end(arguments);
    swapForFifo(path);
    return next<int (*)(int, const char *, int, ...)>("openat")(dir, path, flags, mode);
}

int openat64(int dir, const char *path, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeArgument(flags, arguments);
    va_end(arguments);
    swapForFifo(path);
    return next<int (*)(int, const char *, int, ...)>("openat64")(dir, path, flags, mode);
}

int __open_2(const char *path, int flags)
{
    swapForFifo(path);
    return next<int (*)(const char *, int)>("__open_2")(path, flags);
}

int __open64_2(const char *path, int flags)
{
    swapForFifo(path);
    return next<int (*)(const char *, int)>("__open64_2")(path, flags);
}

} // extern "C"
