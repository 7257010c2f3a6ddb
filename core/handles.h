// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Owners of the system's handles: a descriptor and a folder stream are closed when their owner
// goes, on every path out of a function, so an early return can never leak one.

#include "core/syscalls.h"

#include <dirent.h>
#include <unistd.h>

#include <utility>

namespace core::fs {

class UniqueFd {
public:
    explicit UniqueFd(int fd = -1) : m_fd(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd &&other) noexcept : m_fd(other.release()) {}
    UniqueFd &operator=(UniqueFd &&other) noexcept
    {
        reset(other.release());
        return *this;
    }
    UniqueFd(const UniqueFd &) = delete;
    UniqueFd &operator=(const UniqueFd &) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    int release() { return std::exchange(m_fd, -1); }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            sys::calls.close(m_fd);
        m_fd = fd;
    }
    // Closes now, reporting whether the close (and so the last write) worked.
    [[nodiscard]] bool closeNow()
    {
        const int fd = release();
        return fd < 0 || sys::calls.close(fd) == 0;
    }

private:
    int m_fd;
};

// A folder opened for reading its entries, through the table of core::sys like every other call.
class DirStream {
public:
    // The folder at `path` (a link followed), relative to the open folder `folder`; not open
    // when `path` is null or names no folder that can be read.
    DirStream(int folder, const char *path)
    {
        if (!path)
            return;
        const int fd = sys::again(sys::calls.openat, folder, path,
                                  O_RDONLY | O_DIRECTORY | O_CLOEXEC, mode_t(0));
        if (fd < 0) {
            m_error = errno;
            return;
        }
        m_dir = sys::calls.fdopendir(fd);
        if (!m_dir) {
            m_error = errno;
            sys::calls.close(fd);
        }
    }
    explicit DirStream(const char *path) : DirStream(AT_FDCWD, path) {}
    ~DirStream()
    {
        if (m_dir)
            sys::calls.closedir(m_dir);
    }
    DirStream(const DirStream &) = delete;
    DirStream &operator=(const DirStream &) = delete;

    bool isOpen() const { return m_dir != nullptr; }
    // The folder's own descriptor, for the *at() calls on its entries; owned by the stream.
    int fd() const { return ::dirfd(m_dir); }
    // The next entry, or null at the end or when reading failed (then error() says why), so a
    // folder that could not be read whole is never taken for one that was.
    const dirent *next()
    {
        if (!m_dir || m_error)
            return nullptr;
        errno = 0;
        const dirent *entry = sys::calls.readdir(m_dir);
        if (!entry)
            m_error = errno;
        return entry;
    }
    // The errno of a failed open or read; 0 while all is well.
    int error() const { return m_error; }

private:
    DIR *m_dir = nullptr;
    int m_error = 0;
};

} // namespace core::fs
