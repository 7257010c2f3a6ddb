// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Writes the editing box's text to a file: the text in the file's encoding (a UTF-16 file led by
// its byte-order mark, which is added when the text has lost it), ending with exactly one line
// end (a carriage return and line feed is added when the text does not already end with a line
// break of any kind), by the replace rule of core::fs (a failed save leaves the old file whole,
// and the file keeps its owner, group, mode and hard links).

#include "core/textcodec.h"

#include <QString>

namespace text_editer {

// False when the file could not be written; the target is then as it was.
[[nodiscard]] bool saveTextFile(const QString &path, QStringView text,
                                core::TextEncoding encoding = core::TextEncoding::Utf8);

} // namespace text_editer
