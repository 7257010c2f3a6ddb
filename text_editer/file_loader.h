// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reads a text file for the editing box. The file is read in records of 10000 bytes, the layout
// the editor has always used, and turned into text as one stream, so a character cut by a record
// boundary arrives whole. A load is whole or nothing: a file that cannot be read to its end
// gives no text at all, never the part before the failure, which a Save beside it would write
// over the file. The loader says nothing to the user; it tells its caller why it failed and
// writes the reason to the log (core::fs::lcFiles), so a failed load costs the box nothing.

#include "core/fsresult.h"
#include "core/progress.h"
#include "core/textcodec.h"

#include <QString>

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
//
// Bytes that start with a UTF-16 byte-order mark are read as UTF-16 in that byte order when they
// are clean UTF-16 (an even count, every surrogate paired). Other bytes, and those that are not,
// are read as UTF-8 when they are valid UTF-8; otherwise as Windows-1254 when they read cleanly
// as it; otherwise as UTF-8 with every other byte kept as its stand-in, so that a save writes it
// back. `encoding`, when given, receives the encoding chosen, for the save, and is left as it
// was when the load fails.
//
// `progress` hears the bytes read; a file read twice (to choose its encoding again) counts
// twice. The load fails, with the step and the errno, when the path holds U+0000 (Step::Path),
// names a folder, a FIFO or a device (Step::Kind), a file that cannot be opened, or nothing and
// is not to be or cannot be created (Step::Open); when a record cannot be read (Step::Read) or
// the file cannot be read again from its start (Step::Seek); and when `progress` asked to stop
// (Step::Cancelled). A file that did not exist may then already have been created empty.
[[nodiscard]] core::fs::Expected<QString> loadTextFile(const QString &path,
                                                       core::TextEncoding *encoding,
                                                       core::Progress &progress,
                                                       IfMissing ifMissing = IfMissing::Create);

// The same with nobody to tell and a missing file created: an empty text when it fails.
QString loadTextFile(const QString &path, core::TextEncoding *encoding = nullptr);

} // namespace text_editer
