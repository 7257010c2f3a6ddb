// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The listing text of the Diverter: the names of the listed files, each after the name separator
// and, with sizes, followed by the size separator and the file's length. Each entry is addressed
// as joinPath(folder, name), joined as it stands.

#include <QString>
#include <QStringList>

namespace diverter {

// A file's length in bytes (a link followed), as plain decimal digits; 64-bit, so files of
// 2 GiB and more show their true length. Empty when the length cannot be read.
QString sizeText(const QString &path);

// The listing pieces for `names`: the name separator before every name, and with sizes the size
// separator and the size after it. Nothing after the last entry.
QString listingPieces(const QString &folder, const QStringList &names, const QString &nameSeparator,
                      bool withSizes, const QString &sizeSeparator);

} // namespace diverter
