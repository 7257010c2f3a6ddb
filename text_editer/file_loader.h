// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reads a text file for the editing box. The file is read in records of 10000 bytes, the layout
// the editor has always used, and turned into text as one stream, so a character cut by a record
// boundary arrives whole. The loader says nothing to the user; it only tells its caller whether
// the path could be loaded at all, so that a path that cannot costs the box nothing.

#include "core/progress.h"
#include "core/textcodec.h"

#include <QString>

#include <optional>

namespace text_editer {

inline constexpr qint64 kRecordBytes = 10000;

// The number of records read for a file of `fileBytes` bytes: one more than the whole records,
// so a file of exactly 10000 bytes is read as two, the second one empty.
inline qint64 recordCount(qint64 fileBytes)
{
    return fileBytes / kRecordBytes + 1;
}

// What loading does with a path that names nothing: a name typed in the Open dialog is a new
// file, created empty, as the editor always did; a dropped file that is gone is no file at all.
enum class IfMissing { Create, Fail };

// The text of the file at `path`, without the blanks (code 32 only) at its start and end.
// A path that names nothing is created as an empty file; an existing file is only read. A
// record that fails to read ends the reading, keeping what came before it. Empty when the path
// cannot be loaded (see below).
//
// Bytes that start with a UTF-16 byte-order mark are read as UTF-16 in that byte order when they
// are clean UTF-16 (an even count, every surrogate paired). Other bytes, and those that are not,
// are read as UTF-8 when they are valid UTF-8; otherwise as Windows-1254 when they read cleanly
// as it; otherwise as UTF-8 with every other byte kept as its stand-in, so that a save writes it
// back. `encoding`, when given, receives the encoding chosen, for the save.
QString loadTextFile(const QString &path, core::TextEncoding *encoding = nullptr);

// The same, telling `progress` the bytes read; a file read twice (to choose its encoding again)
// counts twice. Nothing, with `encoding` left as it was, when the path cannot be loaded (it holds
// U+0000, names a folder, a FIFO, a device or a file that cannot be opened, or names nothing
// and is not to be or cannot be created) or when `progress` asked to stop; a file that did not
// exist may then already have been created empty.
[[nodiscard]] std::optional<QString> loadTextFile(const QString &path, core::TextEncoding *encoding,
                                                  core::Progress &progress,
                                                  IfMissing ifMissing = IfMissing::Create);

} // namespace text_editer
