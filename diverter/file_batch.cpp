#include "diverter/file_batch.h"

#include "toolkit/fileops.h"
#include "toolkit/textcodec.h"
#include "toolkit/textmatch.h"

namespace diverter {

QString newNameOf(const QString &name, const QString &oldText, const QString &newText)
{
    return match::replaceAll(name, oldText, newText);
}

namespace {
// Gives every entry's file its new name by `operation`; one entry's failure never stops the run.
template <class Operation>
int forEachNewName(const QString &folder, const QStringList &names, const QString &oldText,
                   const QString &newText, Operation operation)
{
    int done = 0;
    for (const QString &name : names) {
        const QString newName = newNameOf(name, oldText, newText);
        // A name that stays the same needs no rename and takes no copy onto its own path, and an
        // empty one names the folder itself.
        if (newName == name || newName.isEmpty())
            continue;
        if (operation(joinPath(folder, name), joinPath(folder, newName)))
            ++done;
    }
    return done;
}
} // namespace

int renameAll(const QString &folder, const QStringList &names, const QString &oldText,
              const QString &newText)
{
    return forEachNewName(folder, names, oldText, newText, fsops::renameNoReplace);
}

int copyAll(const QString &folder, const QStringList &names, const QString &oldText,
            const QString &newText)
{
    return forEachNewName(folder, names, oldText, newText, fsops::copyFile);
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
