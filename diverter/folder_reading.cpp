// SPDX-License-Identifier: GPL-3.0-or-later
#include "diverter/folder_reading.h"

#include "core/filenames.h"
#include "core/handles.h"
#include "core/wildcard.h"

#include <QDir>

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace diverter::folders {

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

// Calls `take(name)` for each visible entry of the wanted kind; `identity`, when given, receives
// which folder was read.
template <class Take>
void readEntries(const QString &folder, Kind wanted, Take take, FolderIdentity *identity = nullptr)
{
    const QByteArray native = core::fs::toNative(folder);
    core::fs::DirStream dir(native.isEmpty() ? nullptr : native.constData());
    if (identity)
        *identity = {};
    if (!dir.isOpen())
        return;
    const int fd = dir.fd();
    struct stat st;
    if (identity && fstat(fd, &st) == 0)
        *identity = {st.st_dev, st.st_ino};
    while (const dirent *entry = dir.next()) {
        if (entry->d_name[0] == '.')
            continue;
        if (kindOf(fd, entry) == wanted)
            take(entry->d_name);
    }
}

} // namespace

QString resolveFolder(const QString &typed, const QString &workingFolder)
{
    if (typed.isEmpty())
        return {};
    // Joined and cleaned as text, so the bytes of every name stay as they are.
    const QString path =
        QDir::cleanPath(typed.startsWith(u'/') ? typed : workingFolder + u'/' + typed);
    const QByteArray native = core::fs::toNative(path);
    struct stat st;
    if (native.isEmpty() || stat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return {};
    return path;
}

FolderIdentity identityOf(const QString &path)
{
    const QByteArray native = core::fs::toNative(path);
    struct stat st;
    if (native.isEmpty() || stat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return {};
    return {st.st_dev, st.st_ino};
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
    readEntries(folder, Kind::Folder,
                [&](const char *name) { names << core::fs::fromNative(name); });
    sortIgnoringCase(names);
    return names;
}

QStringList fileNames(const QString &folder, const QString &pattern, FolderIdentity *identity)
{
    const core::WildcardFilter filter(pattern);
    QStringList names;
    if (identity)
        *identity = {};
    if (filter.isEmpty())
        return names;
    readEntries(
        folder, Kind::File,
        [&](const char *raw) {
            QString name = core::fs::fromNative(raw);
            if (filter.matches(name))
                names << std::move(name);
        },
        identity);
    sortIgnoringCase(names);
    return names;
}

void sortIgnoringCase(QStringList &names)
{
    // Each name is folded once and the sort moves only views of the folded names, compared as
    // code units, which matters at 100,000 names; the original name breaks ties, so the order
    // never depends on chance.
    const auto units = [](const QString &s) {
        return std::u16string_view(reinterpret_cast<const char16_t *>(s.constData()),
                                   size_t(s.size()));
    };
    std::vector<QString> folded;
    folded.reserve(size_t(names.size()));
    struct Key {
        std::u16string_view folded;
        std::u16string_view name;
        qsizetype index;
    };
    std::vector<Key> keys;
    keys.reserve(size_t(names.size()));
    for (qsizetype i = 0; i < names.size(); ++i) {
        folded.push_back(names[i].toCaseFolded());
        keys.push_back({units(folded.back()), units(names[i]), i});
    }
    std::sort(keys.begin(), keys.end(), [](const Key &a, const Key &b) {
        const int order = a.folded.compare(b.folded);
        return order != 0 ? order < 0 : a.name < b.name;
    });
    QStringList sorted;
    sorted.reserve(names.size());
    for (const Key &key : keys)
        sorted.push_back(std::move(names[key.index]));
    names = std::move(sorted);
}

} // namespace diverter::folders
