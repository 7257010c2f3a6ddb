// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/syscalls.h"

#include <cstdio>
#include <cstdlib>
#include <sys/xattr.h>
#include <unistd.h>

namespace core::sys {

// Constant-initialised, so the table is in place before any static constructor could use it.
constexpr Calls real = {
    [](int folder, const char *path, int flags, mode_t mode) {
        return ::openat(folder, path, flags, mode);
    },
    ::close,
    ::read,
    ::write,
    ::pread,
    ::pwrite,
    ::copy_file_range,
    ::lseek,
    ::fstat,
    ::fstatat,
    ::fsync,
    ::ftruncate,
    ::fallocate,
    ::fchown,
    ::fchownat,
    ::fchmod,
    ::futimens,
    ::utimensat,
    ::renameat,
    ::renameat2,
    ::linkat,
    ::unlinkat,
    ::symlinkat,
    ::readlinkat,
    ::fgetxattr,
    ::fsetxattr,
    ::flistxattr,
    ::fdopendir,
    ::readdir,
    ::closedir,
    ::realpath,
};

Calls calls = real;

} // namespace core::sys
