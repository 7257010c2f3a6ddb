#pragma once
// Writes the editing box's text to a file: the text through the text encoding, then one
// carriage return and line feed. The new content goes to a temporary file beside the target,
// which replaces the target only when it is complete, so a failed save leaves the old file whole.

#include <QString>

namespace texteditor {

// False when the file could not be written; the target is then as it was.
bool saveTextFile(const QString &path, QStringView text);

} // namespace texteditor
