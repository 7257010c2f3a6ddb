// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a file operation answers: success, or the step that failed and the system's errno for it.
// The windows say no more than they always did; the reason goes to the log category
// "tarnwick.files" (off by default: QT_LOGGING_RULES="tarnwick.files.debug=true" shows it), so a
// user or a maintainer can find out why a rename or a save failed.

#include <QByteArray>
#include <QLoggingCategory>
#include <QString>

#include <cerrno>
#include <optional>
#include <utility>

namespace core::fs {

Q_DECLARE_LOGGING_CATEGORY(lcFiles)

// The step of a file operation that failed.
enum class Step : unsigned char {
    None,      // nothing failed
    Path,      // the path cannot be given to the system: empty, or holding U+0000
    Inspect,   // reading what the path is (stat)
    Kind,      // not a kind of file the operation takes: a folder, a FIFO, a dangling link...
    ReadOnly,  // the file's mode gives no write permission
    SameFile,  // a copy onto its own source
    Exists,    // something stands where nothing may be replaced
    Open,      // opening a file or a folder
    Read,      // reading a file's bytes, or a folder's entries
    Seek,      // moving in a file, or asking where its data lies
    Write,     // writing bytes
    Reserve,   // reserving the space for in-place content
    Truncate,  // setting a file's size
    Sync,      // making bytes or a name reach the disk
    Close,     // closing a written file (a late write error shows here)
    Owner,     // giving a file its owner and group
    Mode,      // giving a file its mode
    Times,     // giving a file its times
    Attributes, // reading or giving a file its ACL and extended attributes
    KeepAside, // keeping the old bytes of a file written in place
    Restore,   // putting them back after a failure; the file may be damaged
    Rename,    // giving a file its name
    Link,      // making a hard or symbolic link
    Unlink,    // removing a name
    Changed,   // a source that changed while it was copied
    Cancelled, // the user asked to stop
};

// The step's name, as the log writes it.
const char *stepName(Step step);

struct Error {
    Step step = Step::None;
    int code = 0; // errno, or 0 where the step failed without one (a check, not a call)

    bool failed() const { return step != Step::None; }
    // "write: No space left on device (ENOSPC)"
    QString text() const;
    friend bool operator==(const Error &, const Error &) = default;
};

// Success, or an Error. Tests as a bool: true when it worked.
class [[nodiscard]] Result {
public:
    Result() = default;
    Result(Error error) : m_error(error) {}
    // A failure of `step`, with the errno the failing call left (0 for a check).
    static Result failure(Step step, int code = errno) { return Error{step, code}; }

    explicit operator bool() const { return !m_error.failed(); }
    bool ok() const { return !m_error.failed(); }
    const Error &error() const { return m_error; }

private:
    Error m_error;
};

// A value, or the Error that kept it from being made (std::expected is C++23).
template <class T> class [[nodiscard]] Expected {
public:
    Expected(T value) : m_value(std::move(value)) {}
    Expected(Error error) : m_error(error) {}
    Expected(const Result &result) : m_error(result.error()) {}

    explicit operator bool() const { return m_value.has_value(); }
    bool has_value() const { return m_value.has_value(); }
    T &operator*() { return *m_value; }
    const T &operator*() const { return *m_value; }
    T *operator->() { return &*m_value; }
    const T *operator->() const { return &*m_value; }
    T value_or(T other) && { return m_value ? std::move(*m_value) : std::move(other); }
    const Error &error() const { return m_error; }

private:
    std::optional<T> m_value;
    Error m_error;
};

// Writes why `operation` on `path` (and `other`, for a copy or a move) failed to the log, when
// it did; answers `result` as it is.
Result logged(Result result, const char *operation, const QByteArray &path,
              const QByteArray &other = {});

} // namespace core::fs
