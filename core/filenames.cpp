#include "core/filenames.h"

#include "core/textcodec.h"

#include <QUrl>

#include <sys/stat.h>
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
    if (!url.isLocalFile())
        return {};
    const QByteArray encoded = url.path(QUrl::FullyEncoded).toLatin1();
    return fromNative(QByteArray::fromPercentEncoding(encoded));
}

bool mayHaveLostBytes(const QString &path)
{
    return path.contains(QChar::ReplacementCharacter);
}

bool exists(const QString &path)
{
    const QByteArray native = toNative(path);
    struct stat st;
    return !native.isEmpty() && lstat(native.constData(), &st) == 0;
}

} // namespace core::fs
