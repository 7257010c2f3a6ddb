// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the Diverter's batch renames and creates did, kept in memory for as long as its window is
// open, so that each can be taken back and done again, newest first. Nothing stays open between
// two undos: the folder is found again by its path and must still be the very folder (device and
// inode), and each file by its name and its stamp.
//
// - Undoing a rename gives each file its old name back, in the reverse of the batch's order (a
//   chain moves back along itself), by the no-replace rename: only if the entry under its new
//   name is still that file (device and inode) and nothing stands under its old name.
// - Undoing a create removes each copy that was made where no file stood, only if it is still
//   exactly the file made (device, inode, size and modification time). A copy that replaced a
//   file cannot bring that file back, and stays.
// - Redo does a rename again under the same checks, and a create again by the copy rule.
// A file that fails its check is left where it is, out of the history's reach from then on; a
// step that İptal kept from being reached stays as it was, so a cancelled undo can go on or be
// redone for the part it did.

#include "core/progress.h"
#include "diverter/file_batch.h"

#include <optional>
#include <vector>

namespace diverter {

// What an undo or redo did, counted file by file.
struct HistoryOutcome {
    Batch kind = Batch::Rename;
    bool redo = false;
    int total = 0;        // the files it set out to handle
    int done = 0;         // taken back (or done again)
    int changed = 0;      // left: gone, or no longer the file the batch left there
    int nameTaken = 0;    // left: something stands under the name it would take
    int failed = 0;       // left: the system refused the step
    int replacedKept = 0; // a create's copies that replaced a file, which cannot come back
    bool folderMissing = false; // the folder moved or went: nothing was touched
    bool cancelled = false;     // İptal stopped it; the steps not reached stay as they were
};

// What Ctrl+Z or Ctrl+Y would act on.
struct HistoryOffer {
    Batch kind = Batch::Rename;
    int files = 0;    // the files it would handle
    int replaced = 0; // of a create's undo: copies that replaced a file and stay
};

class BatchHistory {
public:
    // A batch that did something becomes the newest; what could be redone is dropped, as after
    // any new action.
    void add(BatchRecord record);
    std::optional<HistoryOffer> undoOffer() const;
    std::optional<HistoryOffer> redoOffer() const;
    // Take back the newest batch not yet taken back, or do again the one taken back last.
    HistoryOutcome undo(core::Progress *progress = nullptr);
    HistoryOutcome redo(core::Progress *progress = nullptr);

private:
    enum class State : unsigned char { Done, Undone, Left };
    struct Entry {
        BatchRecord record;
        std::vector<State> states;
    };
    // The entry Ctrl+Z takes (the newest with a step done) and the one Ctrl+Y takes (the oldest
    // with a step undone); -1 for none.
    qsizetype undoIndex() const;
    qsizetype redoIndex() const;
    static HistoryOffer offerOf(const Entry &entry, State state);
    HistoryOutcome replay(qsizetype index, bool redo, core::Progress *progress);
    std::vector<Entry> m_entries;
};

} // namespace diverter
