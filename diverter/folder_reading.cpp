#include "diverter/folder_reading.h"

#include "launcher/wildcard.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace folders {

namespace {

enum class Kind { File, Folder, Other };

// The kind of an entry, a link followed; readdir's type saves a stat for all but links.
Kind kindOf(int dirFd, const dirent *entry)
{
    if (entry->d_type == DT_REG)
        return Kind::File;
    if (entry->d_type == DT_DIR)
        return Kind::Folder;
    if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
        return Kind::Other;
    struct stat st;
    if (fstatat(dirFd, entry->d_name, &st, 0) != 0)
        return Kind::Other;
    return S_ISREG(st.st_mode) ? Kind::File : S_ISDIR(st.st_mode) ? Kind::Folder : Kind::Other;
}

// Calls `take(name)` for each visible entry of the wanted kind.
template <class Take> void readEntries(const QString &folder, Kind wanted, Take take)
{
    DIR *dir = opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return;
    const int fd = dirfd(dir);
    while (const dirent *entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        if (kindOf(fd, entry) == wanted)
            take(entry->d_name);
    }
    closedir(dir);
}

} // namespace

QString resolveFolder(const QString &typed, const QString &workingFolder)
{
    if (typed.isEmpty() || typed.contains(QChar(0)))
        return {};
    const QString path = QDir::cleanPath(QDir(workingFolder).absoluteFilePath(typed));
    struct stat st;
    if (stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return {};
    return path;
}

QStringList chainOf(const QString &folder)
{
    QStringList chain{QStringLiteral("/")};
    for (qsizetype at = folder.indexOf(u'/', 1); at > 0; at = folder.indexOf(u'/', at + 1))
        chain << folder.left(at);
    if (folder.size() > 1)
        chain << folder;
    return chain;
}

QStringList subfolderNames(const QString &folder)
{
    QStringList names;
    readEntries(folder, Kind::Folder, [&](const char *name) { names << QFile::decodeName(name); });
    sortIgnoringCase(names);
    return names;
}

QStringList fileNames(const QString &folder, const QString &pattern)
{
    const WildcardFilter filter(pattern);
    QStringList names;
    if (filter.isEmpty())
        return names;
    readEntries(folder, Kind::File, [&](const char *raw) {
        QString name = QFile::decodeName(raw);
        if (filter.matches(name))
            names << std::move(name);
    });
    sortIgnoringCase(names);
    return names;
}

void sortIgnoringCase(QStringList &names)
{
    // Folding each name once keeps the sort to plain comparisons, which matters at 100,000 names.
    std::vector<std::pair<QString, QString>> keyed;
    keyed.reserve(size_t(names.size()));
    for (QString &name : names)
        keyed.emplace_back(name.toCaseFolded(), std::move(name));
    std::sort(keyed.begin(), keyed.end());
    for (qsizetype i = 0; i < names.size(); ++i)
        names[i] = std::move(keyed[size_t(i)].second);
}

} // namespace folders
