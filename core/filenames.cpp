// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/filenames.h"

#include "core/handles.h"
#include "core/textcodec.h"

#include <QUrl>

#include <unistd.h>

#include <vector>

namespace core::fs {

QString joinPath(const QString &folder, const QString &name)
{
    return folder + u'/' + name;
}

QString fromNative(QByteArrayView bytes)
{
    return decodeKeepingBytes(bytes);
}

QByteArray toNative(QStringView path)
{
    if (path.isEmpty() || path.contains(QChar(0)))
        return {};
    bool ok = false;
    QByteArray bytes = encodeKeepingBytes(path, &ok);
    return ok ? bytes : QByteArray();
}

QString forDisplay(QString text)
{
    for (QChar &c : text) {
        if (isByteStandIn(c))
            c = QChar::ReplacementCharacter;
    }
    return text;
}

QString currentFolder()
{
    std::vector<char> buffer(4096);
    while (!getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE)
            return QStringLiteral("/");
        buffer.resize(buffer.size() * 2);
    }
    return fromNative(buffer.data());
}

QString localPathOf(const QUrl &url)
{
    // A file URL that names another machine ("file://server/share/x") names no file here, and
    // its path alone would be some other local file.
    if (!url.isLocalFile() ||
        !(url.host().isEmpty() || url.host().compare(u"localhost", Qt::CaseInsensitive) == 0))
        return {};
    const QByteArray encoded = url.path(QUrl::FullyEncoded).toLatin1();
    return fromNative(QByteArray::fromPercentEncoding(encoded));
}

namespace {

enum class Shown { None, One, Several };

// The entry of `folder` that QString::fromUtf8 shows as `shown`, into `name` when there is one.
// A folder that does not exist has none. One that exists but could not be read to its end
// cannot tell: the entry that shows so may be in the part not read, and taking the name as new
// would create a second file beside it, so it counts as several.
Shown findShown(const QByteArray &folder, QStringView shown, QByteArray &name)
{
    DirStream dir(folder.constData());
    if (!dir.isOpen())
        return dir.error() == ENOENT || dir.error() == ENOTDIR ? Shown::None : Shown::Several;
    Shown found = Shown::None;
    while (const dirent *entry = dir.next()) {
        const QByteArrayView bytes(entry->d_name);
        if (QString::fromUtf8(bytes) != shown)
            continue;
        if (found == Shown::One)
            return Shown::Several;
        found = Shown::One;
        name = bytes.toByteArray();
    }
    return dir.error() ? Shown::Several : found;
}

} // namespace

std::optional<QString> resolveShownPath(const QString &shown)
{
    // Only a lossy decoding makes a replacement character; without one the text is the bytes.
    if (!shown.contains(QChar::ReplacementCharacter))
        return shown;
    QByteArray resolved;
    const QList<QStringView> parts = QStringView(shown).split(u'/');
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QStringView part = parts.at(i);
        QByteArray bytes = encodeKeepingBytes(part);
        if (part.contains(QChar::ReplacementCharacter)) {
            const QByteArray folder = i == 0               ? QByteArray(".")
                                      : resolved.isEmpty() ? QByteArray("/")
                                                           : resolved;
            QByteArray name;
            switch (findShown(folder, part, name)) {
            case Shown::None: break;
            case Shown::One: bytes = name; break;
            case Shown::Several: return std::nullopt;
            }
        }
        if (i > 0)
            resolved += '/';
        resolved += bytes;
    }
    return fromNative(resolved);
}

} // namespace core::fs
