// SPDX-License-Identifier: GPL-3.0-or-later
#include "diverter/folder_reading.h"

#include "core/filenames.h"
#include "core/reading.h"
#include "core/wildcard.h"

#include <QDir>

#include <algorithm>
#include <dirent.h>
#include <string_view>
#include <utility>
#include <vector>

namespace diverter::folders {

namespace {

// Calls `take(name)` for each visible entry of the wanted kind; `identity`, when given, receives
// which folder was read. False when the folder could not be read whole: the caller then shows no
// entries at all (and `identity` is cleared), since a list that silently lacks some files would
// be taken for the folder's content.
template <class Take>
bool readEntries(const QString &folder, core::fs::EntryKind wanted, Take take,
                 FolderIdentity *identity = nullptr)
{
    bool whole = true;
    const core::fs::Result read = core::fs::readFolder(
        folder,
        [&](int fd, const dirent *entry) {
            // Hidden entries are left out before the kind is asked, which may cost a call.
            if (entry->d_name[0] == '.' || !whole)
                return;
            const core::fs::EntryKind kind = core::fs::kindOf(fd, entry->d_name, entry->d_type);
            whole = kind != core::fs::EntryKind::Unknown;
            if (kind == wanted)
                take(entry->d_name);
        },
        identity);
    if (read && whole)
        return true;
    if (identity)
        *identity = {};
    return false;
}

} // namespace

QString resolveFolder(const QString &typed, const QString &workingFolder)
{
    if (typed.isEmpty())
        return {};
    // Joined and cleaned as text, so the bytes of every name stay as they are.
    const QString path =
        QDir::cleanPath(typed.startsWith(u'/') ? typed : workingFolder + u'/' + typed);
    return core::fs::isFolder(path) ? path : QString();
}

FolderIdentity identityOf(const QString &path)
{
    return core::fs::folderIdentity(path);
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
    if (!readEntries(folder, core::fs::EntryKind::Folder,
                     [&](const char *name) { names << core::fs::fromNative(name); }))
        names.clear();
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
    if (!readEntries(
            folder, core::fs::EntryKind::File,
            [&](const char *raw) {
                QString name = core::fs::fromNative(raw);
                if (filter.matches(name))
                    names << std::move(name);
            },
            identity))
        names.clear();
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
