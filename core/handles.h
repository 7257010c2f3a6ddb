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

// A folder opened for reading its entries.
class DirStream {
public:
    explicit DirStream(const char *path) : m_dir(path ? ::opendir(path) : nullptr) {}
    ~DirStream()
    {
        if (m_dir)
            ::closedir(m_dir);
    }
    DirStream(const DirStream &) = delete;
    DirStream &operator=(const DirStream &) = delete;

    bool isOpen() const { return m_dir != nullptr; }
    // The folder's own descriptor, for the *at() calls on its entries; owned by the stream.
    int fd() const { return ::dirfd(m_dir); }
    // The next entry, or null at the end.
    const dirent *next() { return ::readdir(m_dir); }

private:
    DIR *m_dir;
};

} // namespace core::fs
