// SPDX-License-Identifier: GPL-3.0-or-later
#include "diverter/file_batch.h"

#include "core/filenames.h"
#include "core/fileops.h"
#include "core/reading.h"
#include "core/textmatch.h"

#include <QHash>

#include <string_view>
#include <unordered_map>

namespace diverter {

namespace {

// The listed folder, opened only if it is still the folder the list was read from.
class ListedFolder {
public:
    ListedFolder(const QString &path, const folders::FolderIdentity &listed)
        : m_fd(core::fs::openSameFolder(path, listed))
    {
    }

    bool isOpen() const { return m_fd.valid(); }
    int folder() const { return m_fd.get(); }
    core::fs::EntryPath entry(const QByteArray &name) const { return {m_fd.get(), name}; }

private:
    core::fs::UniqueFd m_fd;
};

// A listed name is an entry of the listed folder: a separator would make it another file
// elsewhere, "." and ".." name the folders themselves, and a system call would cut a name at
// U+0000.
bool isEntryName(const QString &name)
{
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/') &&
           !name.contains(QChar(0));
}

// A new name is a path relative to the listed folder, resolved by the system: a new text that
// holds "/" carries the file into a subfolder ("sub/x") or the parent ("../x"), which must exist.
// An empty name, the folders themselves and a name the system would cut at U+0000 fail.
bool isNewName(const QString &name)
{
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(QChar(0));
}

// The entries of the listed folder as the preview sees them, the earlier steps done: read once,
// so that 100,000 listed names cost one pass over the folder instead of a look at each name, and
// kept in one table that the steps then change.
class FolderView {
public:
    FolderView(const ListedFolder &dir, qsizetype expected) : m_dir(dir)
    {
        m_types.reserve(expected * 2);
        m_whole = bool(core::fs::readFolder(dir.folder(), [this](int, const dirent *entry) {
            m_types.insert(QByteArray(entry->d_name), fromDirType(entry->d_type));
        }));
        if (!m_whole)
            m_types.clear();
    }

    // What stands under `name` (a path relative to the folder) once the earlier steps are done.
    core::fs::EntryType typeOf(const QByteArray &name) const
    {
        const auto known = m_types.constFind(name);
        if (known != m_types.cend() && *known != kAsk)
            return core::fs::EntryType(*known);
        if (known == m_types.cend() && m_whole && !name.contains('/'))
            return core::fs::EntryType::Missing;
        return core::fs::entryType(m_dir.folder(), name);
    }
    // A regular file or a link to one, as the run's steps take it.
    bool isFile(const QByteArray &name) const
    {
        switch (typeOf(name)) {
        case core::fs::EntryType::Regular:
            return true;
        case core::fs::EntryType::Link:
            return core::fs::isRegularFile(m_dir.entry(name));
        default:
            return false;
        }
    }
    // The folder a new name leads into exists (the listed folder itself for a plain name).
    bool hasFolderOf(const QByteArray &name) const
    {
        const qsizetype slash = name.lastIndexOf('/');
        return slash < 0 ||
               core::fs::isFolder(m_dir.folder(),
                                  name.left(std::max<qsizetype>(slash, 1)).constData());
    }
    void set(const QByteArray &name, core::fs::EntryType type) { m_types[name] = kind(type); }

private:
    // readdir's d_type as an entry type; a file system that leaves it unknown is asked.
    static constexpr unsigned char kAsk = 0xff;
    static unsigned char kind(core::fs::EntryType type) { return static_cast<unsigned char>(type); }
    static unsigned char fromDirType(unsigned char dirType)
    {
        using core::fs::EntryType;
        switch (dirType) {
        case DT_REG:
            return kind(EntryType::Regular);
        case DT_DIR:
            return kind(EntryType::Folder);
        case DT_LNK:
            return kind(EntryType::Link);
        case DT_UNKNOWN:
            return kAsk;
        default:
            return kind(EntryType::Other);
        }
    }

    const ListedFolder &m_dir;
    QHash<QByteArray, unsigned char> m_types;
    bool m_whole = false;
};

} // namespace

QString newNameOf(const QString &name, const QString &oldText, const QString &newText)
{
    return core::match::replaceAll(name, oldText, newText);
}

std::vector<BatchStep> batchOrder(const QStringList &names, const QStringList &newNames)
{
    // An entry "moves on" when its new name differs from its own; only those can be waited for.
    // An emptied name moves on too: its step fails, and a copy must not take its place.
    const qsizetype n = names.size();
    std::vector<bool> moving(static_cast<size_t>(n));
    for (qsizetype i = 0; i < n; ++i)
        moving[size_t(i)] = newNames[i] != names[i];
    const auto movesOn = [&](qsizetype i) { return bool(moving[size_t(i)]); };
    // Views into the lists, hashed as plain UTF-16: no name is copied, and the table takes half
    // the time that QHash takes even with views (a quarter of it with copied strings).
    const auto view = [](const QString &name) {
        return std::u16string_view(reinterpret_cast<const char16_t *>(name.utf16()),
                                   size_t(name.size()));
    };
    std::unordered_map<std::u16string_view, int> movingByName;
    movingByName.reserve(size_t(n));
    for (qsizetype i = 0; i < n; ++i) {
        if (movesOn(i))
            movingByName.emplace(view(names[i]), int(i));
    }
    std::vector<int> next(size_t(n), -1);
    for (qsizetype i = 0; i < n; ++i) {
        if (!movesOn(i))
            continue;
        const auto found = movingByName.find(view(newNames[i]));
        if (found != movingByName.end())
            next[size_t(i)] = found->second;
    }

    enum class State { Unvisited, OnPath, Placed };
    std::vector<State> state(size_t(n), State::Unvisited);
    std::vector<BatchStep> order;
    order.reserve(size_t(n));
    std::vector<int> path;
    for (qsizetype start = 0; start < n; ++start) {
        if (!movesOn(start) || state[size_t(start)] != State::Unvisited)
            continue;
        // Follow the chain of new names until it leaves the list or meets an entry placed
        // before; then place the chain from its far end back, each after the one it waits for.
        int k = int(start);
        while (k >= 0 && state[size_t(k)] == State::Unvisited) {
            state[size_t(k)] = State::OnPath;
            path.push_back(k);
            k = next[size_t(k)];
        }
        const bool cycle = k >= 0 && state[size_t(k)] == State::OnPath;
        std::optional<int> waitsFor;
        if (!cycle && k >= 0)
            waitsFor = k;
        while (!path.empty()) {
            const int entry = path.back();
            path.pop_back();
            order.push_back({entry, waitsFor, cycle});
            state[size_t(entry)] = State::Placed;
            if (!cycle)
                waitsFor = entry;
        }
    }
    return order;
}

BatchPlan planBatch(Batch kind, const QStringList &names, const QString &oldText,
                    const QString &newText)
{
    BatchPlan plan{kind, names, {}, {}, {}};
    plan.newNames.reserve(names.size());
    for (const QString &name : names)
        plan.newNames << newNameOf(name, oldText, newText);
    plan.order = batchOrder(plan.names, plan.newNames);
    plan.fates.assign(size_t(names.size()), Fate::Unchanged);
    for (const BatchStep &step : plan.order) {
        const int i = step.entry;
        plan.fates[size_t(i)] = step.onCycle ? Fate::OnCycle
                                : isEntryName(names[i]) && isNewName(plan.newNames[i])
                                    ? Fate::Acts
                                    : Fate::InvalidName;
    }
    return plan;
}

std::vector<Fate> foreseeBatch(const BatchPlan &plan, const QString &folder,
                               const folders::FolderIdentity &listed)
{
    std::vector<Fate> fates = plan.fates;
    const ListedFolder dir(folder, listed);
    if (!dir.isOpen()) {
        for (Fate &fate : fates) {
            if (fate == Fate::Acts)
                fate = Fate::FolderChanged;
        }
        return fates;
    }
    using core::fs::EntryType;
    FolderView view(dir, plan.names.size());
    const bool create = plan.kind == Batch::Create;
    for (const BatchStep &step : plan.order) {
        Fate &fate = fates[size_t(step.entry)];
        if (fate != Fate::Acts)
            continue;
        const QByteArray from = core::fs::toNative(plan.names[step.entry]);
        const QByteArray to = core::fs::toNative(plan.newNames[step.entry]);
        const EntryType target = view.typeOf(to);
        if (create && step.waitsFor && !acts(fates[size_t(*step.waitsFor)]))
            fate = Fate::WaitsInVain;
        else if (!view.isFile(from))
            fate = Fate::SourceGone;
        else if (target == EntryType::Missing)
            fate = view.hasFolderOf(to) ? Fate::Acts : Fate::NoSubfolder;
        else if (!create)
            fate = Fate::TargetExists;
        else if (view.isFile(to) && !core::fs::isReadOnly(dir.entry(to)))
            fate = Fate::Replaces;
        else
            fate = Fate::TargetKept;
        if (!acts(fate))
            continue;
        if (!create)
            view.set(from, EntryType::Missing);
        if (target == EntryType::Missing)
            view.set(to, EntryType::Regular);
    }
    return fates;
}

BatchRecord runBatch(const BatchPlan &plan, const QString &folder,
                     const folders::FolderIdentity &listed, core::Progress *progress)
{
    BatchRecord record{plan.kind, folder, listed, {}};
    const ListedFolder dir(folder, listed);
    if (!dir.isOpen())
        return record;
    const bool create = plan.kind == Batch::Create;
    std::vector<bool> done(size_t(plan.names.size()), false);
    if (progress)
        progress->setTotal(qint64(plan.order.size()));
    qint64 handled = 0;
    for (const BatchStep &step : plan.order) {
        const size_t i = size_t(step.entry);
        // A copy onto a listed file whose own copy failed would lose that file; a rename never
        // replaces, so it may try even then.
        const bool blocked = create && step.waitsFor && !done[size_t(*step.waitsFor)];
        if (plan.fates[i] == Fate::Acts && !blocked) {
            DoneStep made{core::fs::toNative(plan.names[step.entry]),
                          core::fs::toNative(plan.newNames[step.entry]),
                          {},
                          false};
            if (create) {
                if (const auto copied =
                        core::fs::copyFileStamped(dir.entry(made.oldName), dir.entry(made.newName))) {
                    made.stamp = copied->stamp;
                    made.replaced = copied->replaced;
                    done[i] = true;
                }
            } else if (const auto renamed = core::fs::renameFile(dir.entry(made.oldName),
                                                                  dir.entry(made.newName))) {
                made.stamp = *renamed;
                done[i] = true;
            }
            if (done[i])
                record.steps.push_back(std::move(made));
        }
        // Stopping between two steps is always safe: an entry that waited for one not yet
        // handled simply never acts.
        if (progress && !progress->advance(++handled))
            break;
    }
    return record;
}

int renameAll(const QString &folder, const folders::FolderIdentity &listed,
              const QStringList &names, const QString &oldText, const QString &newText,
              core::Progress *progress)
{
    return int(runBatch(planBatch(Batch::Rename, names, oldText, newText), folder, listed, progress)
                   .steps.size());
}

int copyAll(const QString &folder, const folders::FolderIdentity &listed, const QStringList &names,
            const QString &oldText, const QString &newText, core::Progress *progress)
{
    return int(runBatch(planBatch(Batch::Create, names, oldText, newText), folder, listed, progress)
                   .steps.size());
}

int deleteAll(const QString &folder, const folders::FolderIdentity &listed,
              const QStringList &names, core::Progress *progress)
{
    const ListedFolder dir(folder, listed);
    if (!dir.isOpen())
        return 0;
    if (progress)
        progress->setTotal(names.size());
    int done = 0;
    qint64 handled = 0;
    for (const QString &name : names) {
        const core::fs::EntryPath entry = dir.entry(core::fs::toNative(name));
        if (isEntryName(name) && core::fs::removeRegularFile(entry))
            ++done;
        if (progress && !progress->advance(++handled))
            break;
    }
    return done;
}

} // namespace diverter
