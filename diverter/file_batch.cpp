#include "diverter/file_batch.h"

#include "launcher/fileops.h"
#include "launcher/textcodec.h"
#include "launcher/textmatch.h"

#include <QFile>

#include <sys/stat.h>

namespace diverter {

QString sizeText(const QString &path)
{
    struct stat st;
    if (stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return QString::number(qint64(st.st_size));
}

QString listingPieces(const QString &folder, const QStringList &names, const QString &nameSeparator,
                      bool withSizes, const QString &sizeSeparator)
{
    // One buffer for the whole run: the box is written once, which keeps 100,000 entries quick.
    QString out;
    qsizetype guess = 0;
    for (const QString &name : names)
        guess += name.size();
    guess += names.size() * (nameSeparator.size() + (withSizes ? sizeSeparator.size() + 12 : 0));
    out.reserve(guess);
    for (const QString &name : names) {
        out += nameSeparator;
        out += name;
        if (withSizes) {
            out += sizeSeparator;
            out += sizeText(joinPath(folder, name));
        }
    }
    return out;
}

QString newNameOf(const QString &name, const QString &oldText, const QString &newText)
{
    return match::replaceAll(name, oldText, newText);
}

int renameAll(const QString &folder, const QStringList &names, const QString &oldText,
              const QString &newText)
{
    int done = 0;
    for (const QString &name : names) {
        const QString newName = newNameOf(name, oldText, newText);
        // A name that stays the same needs no rename, and an empty one names the folder itself.
        if (newName == name || newName.isEmpty())
            continue;
        if (fsops::renameNoReplace(joinPath(folder, name), joinPath(folder, newName)))
            ++done;
    }
    return done;
}

int copyAll(const QString &folder, const QStringList &names, const QString &oldText,
            const QString &newText)
{
    int done = 0;
    for (const QString &name : names) {
        const QString newName = newNameOf(name, oldText, newText);
        // A copy onto its own path would change nothing at best; it is never attempted.
        if (newName == name || newName.isEmpty())
            continue;
        if (fsops::copyFile(joinPath(folder, name), joinPath(folder, newName)))
            ++done;
    }
    return done;
}

int deleteAll(const QString &folder, const QStringList &names)
{
    int done = 0;
    for (const QString &name : names) {
        if (fsops::removeFile(joinPath(folder, name)))
            ++done;
    }
    return done;
}

} // namespace diverter
