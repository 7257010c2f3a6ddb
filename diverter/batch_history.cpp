// SPDX-License-Identifier: GPL-3.0-or-later
#include "diverter/batch_history.h"

#include "core/fileops.h"
#include "core/reading.h"

#include <algorithm>

namespace diverter {

namespace {

using core::fs::Step;

// Counts a step that was left by why: the file is not what the batch left (gone, replaced, no
// longer a file), its name is taken, or the system refused.
void count(HistoryOutcome &outcome, const core::fs::Error &error)
{
    switch (error.step) {
    case Step::Changed:
    case Step::Kind:
        ++outcome.changed;
        return;
    case Step::Inspect:
        ++(error.code == ENOENT || error.code == ENOTDIR ? outcome.changed : outcome.failed);
        return;
    case Step::Exists:
        ++outcome.nameTaken;
        return;
    default:
        ++outcome.failed;
        return;
    }
}

} // namespace

void BatchHistory::add(BatchRecord record)
{
    if (record.steps.empty())
        return;
    // A new batch ends every redo: what was undone stays undone.
    for (Entry &entry : m_entries)
        std::replace(entry.states.begin(), entry.states.end(), State::Undone, State::Left);
    std::erase_if(m_entries, [](const Entry &entry) {
        return std::find(entry.states.begin(), entry.states.end(), State::Done) ==
               entry.states.end();
    });
    const size_t n = record.steps.size();
    m_entries.push_back({std::move(record), std::vector<State>(n, State::Done)});
}

qsizetype BatchHistory::undoIndex() const
{
    for (qsizetype i = qsizetype(m_entries.size()) - 1; i >= 0; --i) {
        const auto &states = m_entries[size_t(i)].states;
        if (std::find(states.begin(), states.end(), State::Done) != states.end())
            return i;
    }
    return -1;
}

qsizetype BatchHistory::redoIndex() const
{
    for (qsizetype i = 0; i < qsizetype(m_entries.size()); ++i) {
        const auto &states = m_entries[size_t(i)].states;
        if (std::find(states.begin(), states.end(), State::Undone) != states.end())
            return i;
    }
    return -1;
}

HistoryOffer BatchHistory::offerOf(const Entry &entry, State state)
{
    HistoryOffer offer{entry.record.kind, 0, 0};
    for (size_t i = 0; i < entry.states.size(); ++i) {
        if (entry.states[i] != state)
            continue;
        ++offer.files;
        offer.replaced += entry.record.steps[i].replaced;
    }
    return offer;
}

std::optional<HistoryOffer> BatchHistory::undoOffer() const
{
    const qsizetype i = undoIndex();
    return i < 0 ? std::nullopt : std::optional(offerOf(m_entries[size_t(i)], State::Done));
}

std::optional<HistoryOffer> BatchHistory::redoOffer() const
{
    const qsizetype i = redoIndex();
    return i < 0 ? std::nullopt : std::optional(offerOf(m_entries[size_t(i)], State::Undone));
}

HistoryOutcome BatchHistory::undo(core::Progress *progress)
{
    return replay(undoIndex(), false, progress);
}

HistoryOutcome BatchHistory::redo(core::Progress *progress)
{
    return replay(redoIndex(), true, progress);
}

HistoryOutcome BatchHistory::replay(qsizetype index, bool redo, core::Progress *progress)
{
    HistoryOutcome outcome;
    outcome.redo = redo;
    if (index < 0)
        return outcome;
    Entry &entry = m_entries[size_t(index)];
    BatchRecord &record = entry.record;
    const State from = redo ? State::Undone : State::Done;
    const State to = redo ? State::Done : State::Undone;
    outcome.kind = record.kind;
    outcome.total = offerOf(entry, from).files;

    const core::fs::UniqueFd folder = core::fs::openSameFolder(record.folder, record.identity);
    if (!folder.valid()) {
        outcome.folderMissing = true;
        return outcome;
    }
    const auto at = [&](const QByteArray &name) -> core::fs::EntryPath {
        return {folder.get(), name};
    };
    const bool create = record.kind == Batch::Create;
    if (progress)
        progress->setTotal(outcome.total);
    const qsizetype n = qsizetype(record.steps.size());
    qint64 handled = 0;
    // An undo walks back along the batch's order, a redo forward along it.
    for (qsizetype k = 0; k < n; ++k) {
        const size_t i = size_t(redo ? k : n - 1 - k);
        if (entry.states[i] != from)
            continue;
        DoneStep &step = record.steps[i];
        core::fs::Error error;
        if (create && !redo && step.replaced) {
            ++outcome.replacedKept;
            entry.states[i] = State::Left;
        } else {
            if (create && redo) {
                const auto copied =
                    core::fs::copyFileStamped(at(step.oldName), at(step.newName));
                if (copied) {
                    step.stamp = copied->stamp;
                    step.replaced = copied->replaced;
                } else {
                    error = copied.error();
                }
            } else if (create) {
                error = core::fs::removeUnchanged(at(step.newName), step.stamp).error();
            } else {
                const auto renamed =
                    redo ? core::fs::renameFile(at(step.oldName), at(step.newName), &step.stamp)
                         : core::fs::renameFile(at(step.newName), at(step.oldName), &step.stamp);
                if (renamed)
                    step.stamp = *renamed;
                else
                    error = renamed.error();
            }
            if (error.failed()) {
                count(outcome, error);
                entry.states[i] = State::Left;
            } else {
                ++outcome.done;
                entry.states[i] = to;
            }
        }
        if (progress && !progress->advance(++handled)) {
            outcome.cancelled = handled < outcome.total;
            break;
        }
    }
    return outcome;
}

} // namespace diverter
