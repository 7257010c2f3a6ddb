// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/fsresult.h"

#include <cstring>

namespace core::fs {

// Debug messages (the reasons) are off unless asked for; a warning (a file a failed write could
// not put back) always shows.
Q_LOGGING_CATEGORY(lcFiles, "tarnwick.files", QtWarningMsg)

const char *stepName(Step step)
{
    switch (step) {
    case Step::None: return "none";
    case Step::Path: return "path";
    case Step::Inspect: return "stat";
    case Step::Kind: return "kind";
    case Step::ReadOnly: return "read-only";
    case Step::SameFile: return "same file";
    case Step::Exists: return "exists";
    case Step::Open: return "open";
    case Step::Read: return "read";
    case Step::Seek: return "seek";
    case Step::Write: return "write";
    case Step::Reserve: return "reserve";
    case Step::Truncate: return "truncate";
    case Step::Sync: return "sync";
    case Step::Close: return "close";
    case Step::Owner: return "owner";
    case Step::Mode: return "mode";
    case Step::Times: return "times";
    case Step::Attributes: return "attributes";
    case Step::KeepAside: return "keep aside";
    case Step::Restore: return "restore";
    case Step::Rename: return "rename";
    case Step::Link: return "link";
    case Step::Unlink: return "unlink";
    case Step::Changed: return "source changed";
    case Step::Cancelled: return "cancelled";
    }
    return "?";
}

QString Error::text() const
{
    QString out = QString::fromLatin1(stepName(step));
    if (code != 0) {
        const char *name = strerrorname_np(code);
        out += QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(code)) +
               QStringLiteral(" (") + QString::fromLatin1(name ? name : "?") + u')';
    }
    return out;
}

Result logged(Result result, const char *operation, const QByteArray &path,
              const QByteArray &other)
{
    if (!result.ok()) {
        const QByteArray where = other.isEmpty() ? path : path + " -> " + other;
        qCDebug(lcFiles, "%s %s failed at %s", operation, qUtf8Printable(QString::fromUtf8(where)),
                qUtf8Printable(result.error().text()));
    }
    return result;
}

} // namespace core::fs
