// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// File names as the system has them: bytes. Every path the program shows, takes or hands to a
// system call goes through these two functions, which keep each byte as it was (see
// ByteKeepingDecoder): a name that is not valid UTF-8 still names its own file, never a neighbour
// whose name differs only in the bytes a lossy decoding would have replaced.

#include <QByteArray>
#include <QString>

#include <optional>

class QUrl;

namespace core::fs {

// The platform's form of "folder, separator, name": joined as they are, with no test for a
// trailing separator ("//name" at the root, which the file system reads as "/name").
QString joinPath(const QString &folder, const QString &name);

QString fromNative(QByteArrayView bytes);
// The bytes of `path`; empty when it can name no file: an empty text, a text holding U+0000
// (which a system call would take as the end of the path) or a surrogate that stands for no byte.
QByteArray toNative(QStringView path);

// The text with each byte stand-in shown as the replacement character, for display only.
QString forDisplay(QString text);

// The working folder, byte for byte.
QString currentFolder();

// The local path of a file: URL, from the URL's own bytes (a name that is not valid UTF-8 is
// percent-encoded byte by byte, which QUrl::toLocalFile would decode lossily). Empty when the
// URL names no local file.
QString localPathOf(const QUrl &url);

// The file a path chosen in Qt's file dialog stands for. The dialog shows each name as
// QString::fromUtf8 reads its bytes, so every byte that is not part of valid UTF-8 shows as a
// replacement character, and `caf\xE9.txt` and `caf\xEF\xBF\xBD.txt` both show as "caf\uFFFD.txt".
// Each part of the path that holds a replacement character is looked up among the real entries of
// the folder before it, shown the same way: the one entry that shows so is taken by its own
// bytes, and with none the part is taken as given (a new name). Nothing when two or more entries
// show so, or when a folder on the way exists but could not be read to its end: then the path
// cannot tell which file was meant.
std::optional<QString> resolveShownPath(const QString &shown);

} // namespace core::fs
