// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The system calls core::fs makes on files, called through one table of plain function pointers.
// The program never changes the table; a test swaps entries to make a call fail, come back short
// or end the process there, and so walks every way out of a file operation with the program's
// own code. A call through the table costs one indirect call.

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>

namespace core::sys {

struct Calls {
    int (*openat)(int folder, const char *path, int flags, mode_t mode);
    int (*close)(int fd);
    ssize_t (*read)(int fd, void *buffer, size_t size);
    ssize_t (*write)(int fd, const void *buffer, size_t size);
    ssize_t (*pread)(int fd, void *buffer, size_t size, off_t offset);
    ssize_t (*pwrite)(int fd, const void *buffer, size_t size, off_t offset);
    ssize_t (*copyFileRange)(int in, off_t *inAt, int out, off_t *outAt, size_t size,
                             unsigned flags);
    off_t (*lseek)(int fd, off_t offset, int whence);
    int (*fstat)(int fd, struct stat *st);
    int (*fstatat)(int folder, const char *path, struct stat *st, int flags);
    int (*fsync)(int fd);
    int (*ftruncate)(int fd, off_t size);
    int (*fallocate)(int fd, int mode, off_t offset, off_t size);
    int (*fchown)(int fd, uid_t owner, gid_t group);
    int (*fchownat)(int folder, const char *path, uid_t owner, gid_t group, int flags);
    int (*fchmod)(int fd, mode_t mode);
    int (*futimens)(int fd, const timespec times[2]);
    int (*utimensat)(int folder, const char *path, const timespec times[2], int flags);
    int (*renameat)(int fromFolder, const char *from, int toFolder, const char *to);
    int (*renameat2)(int fromFolder, const char *from, int toFolder, const char *to,
                     unsigned flags);
    int (*linkat)(int fromFolder, const char *from, int toFolder, const char *to, int flags);
    int (*unlinkat)(int folder, const char *path, int flags);
    int (*symlinkat)(const char *target, int folder, const char *path);
    ssize_t (*readlinkat)(int folder, const char *path, char *buffer, size_t size);
    ssize_t (*fgetxattr)(int fd, const char *name, void *value, size_t size);
    int (*fsetxattr)(int fd, const char *name, const void *value, size_t size, int flags);
    ssize_t (*flistxattr)(int fd, char *list, size_t size);
    DIR *(*fdopendir)(int fd);
    dirent *(*readdir)(DIR *dir);
    int (*closedir)(DIR *dir);
    char *(*realpath)(const char *path, char *resolved);
};

// The calls as the system makes them.
extern const Calls real;
// The calls core::fs makes: `real` unless a test has swapped some.
extern Calls calls;

// Calls `call` again for as long as a signal interrupts it.
template <class Call, class... Args> auto again(Call call, Args... args)
{
    for (;;) {
        const auto result = call(args...);
        if (result != -1 || errno != EINTR)
            return result;
    }
}

} // namespace core::sys
