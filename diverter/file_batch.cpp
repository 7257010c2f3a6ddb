// SPDX-License-Identifier: GPL-3.0-or-later
#include "diverter/file_batch.h"

#include "core/filenames.h"
#include "core/fileops.h"
#include "core/reading.h"
#include "core/textmatch.h"

#include <QHash>

namespace diverter {

namespace {

// The listed folder, opened only if it is still the folder the list was read from.
class ListedFolder {
public:
    ListedFolder(const QString &path, const folders::FolderIdentity &listed)
    {
        if (listed == folders::FolderIdentity{})
            return;
        m_fd = core::fs::openFolder(path);
        if (m_fd.valid() && core::fs::folderIdentity(m_fd.get()) != listed)
            m_fd.reset();
    }

    bool isOpen() const { return m_fd.valid(); }
    core::fs::EntryPath entry(const QString &name) const
    {
        return {m_fd.get(), core::fs::toNative(name)};
    }

private:
    core::fs::UniqueFd m_fd;
};

enum class Outcome { Pending, Done, Failed };

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

// Runs `act(entry, newName)` over the entries in batch order. `blockOnFailure`: an entry whose
// new name belongs to a listed entry whose own step failed does not act either (its file would
// be lost under the new content).
template <class Act>
int runInBatchOrder(const QStringList &names, const QString &oldText, const QString &newText,
                    bool blockOnFailure, core::Progress *progress, Act act)
{
    QStringList newNames;
    newNames.reserve(names.size());
    for (const QString &name : names)
        newNames << newNameOf(name, oldText, newText);
    std::vector<Outcome> outcome(size_t(names.size()), Outcome::Pending);
    const std::vector<BatchStep> order = batchOrder(names, newNames);
    if (progress)
        progress->setTotal(qint64(order.size()));
    int done = 0;
    qint64 handled = 0;
    for (const BatchStep &step : order) {
        const size_t i = size_t(step.entry);
        const bool blocked = step.onCycle || (step.waitsFor && blockOnFailure &&
                                              outcome[size_t(*step.waitsFor)] != Outcome::Done);
        const bool ok = !blocked && isEntryName(names[step.entry]) &&
                        isNewName(newNames[step.entry]) &&
                        act(names[step.entry], newNames[step.entry]);
        outcome[i] = ok ? Outcome::Done : Outcome::Failed;
        done += ok;
        // Stopping between two steps is always safe: an entry that waited for one not yet
        // handled simply never acts.
        if (progress && !progress->advance(++handled))
            break;
    }
    return done;
}

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
    const auto movesOn = [&](qsizetype i) { return newNames[i] != names[i]; };
    QHash<QString, int> movingByName;
    movingByName.reserve(n);
    for (qsizetype i = 0; i < n; ++i) {
        if (movesOn(i))
            movingByName.insert(names[i], int(i));
    }
    std::vector<int> next(size_t(n), -1);
    for (qsizetype i = 0; i < n; ++i) {
        if (movesOn(i))
            next[size_t(i)] = movingByName.value(newNames[i], -1);
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

int renameAll(const QString &folder, const folders::FolderIdentity &listed,
              const QStringList &names, const QString &oldText, const QString &newText,
              core::Progress *progress)
{
    const ListedFolder dir(folder, listed);
    if (!dir.isOpen())
        return 0;
    // A rename never replaces, so an entry may try even when the one it waited for failed.
    return runInBatchOrder(names, oldText, newText, false, progress,
                           [&](const QString &name, const QString &newName) {
                               const core::fs::EntryPath from = dir.entry(name);
                               // Still a regular file or a link to one, as it was listed.
                               return core::fs::isRegularFile(from) &&
                                      bool(core::fs::renameNoReplace(from, dir.entry(newName)));
                           });
}

int copyAll(const QString &folder, const folders::FolderIdentity &listed, const QStringList &names,
            const QString &oldText, const QString &newText, core::Progress *progress)
{
    const ListedFolder dir(folder, listed);
    if (!dir.isOpen())
        return 0;
    return runInBatchOrder(names, oldText, newText, true, progress,
                           [&](const QString &name, const QString &newName) {
                               return bool(core::fs::copyFile(dir.entry(name), dir.entry(newName)));
                           });
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
        const core::fs::EntryPath entry = dir.entry(name);
        if (isEntryName(name) && core::fs::isRegularFile(entry) && core::fs::removeFile(entry))
            ++done;
        if (progress && !progress->advance(++handled))
            break;
    }
    return done;
}

} // namespace diverter
