// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Diverter's batch work on the entries of its file list: the rename and create by text
// replacement, and the bulk delete. The loops act on the folder the list was read from (by its
// identity, so a folder swapped for another, or for a link, since is left alone) and on each
// entry by its own bytes within it, re-checked at the moment of acting: it must still be a
// regular file or a link to one. A listed name is an entry of that folder: one that is empty, "."
// or "..", or holds "/" or U+0000, fails. A new name is a path relative to that folder, as the
// system resolves it: "sub/x" moves or copies into the existing subfolder sub, "../x" into the
// parent, and a missing subfolder fails for its entry; a new name that is empty, "." or "..", or
// holds U+0000, fails. A failing entry is skipped silently
// and the loop goes on; the counts they return are for tests and benchmarks, since the window
// reports nothing.
//
// Each loop may be given a progress, told the number of entries it will act on and each one
// handled; when it asks to stop, the loop ends after the entry at hand, and what was done stays.

#include "core/fileops.h"
#include "core/progress.h"
#include "diverter/folder_reading.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace diverter {

// The entry's name with every occurrence of `oldText` replaced by `newText` (the program's
// matching rule: exact, leftmost, no overlap; an empty old text matches nothing). A byte that is
// not valid UTF-8 is one character of its own, so the other bytes stay as they were.
QString newNameOf(const QString &name, const QString &oldText, const QString &newText);

// The order in which entries are handled: an entry whose own name is another entry's new name
// goes first, so that a chain (ax -> axx, axx -> axxxx) moves along instead of colliding with
// itself; otherwise list order. An entry whose new name is its own takes no step.
struct BatchStep {
    int entry;
    // The entry that must succeed before this one may act: the one whose name this one takes.
    std::optional<int> waitsFor;
    // The new names lead round a cycle (a -> b, b -> a), or along a chain into one: the entry
    // never acts.
    bool onCycle = false;
    friend bool operator==(const BatchStep &, const BatchStep &) = default;
};
std::vector<BatchStep> batchOrder(const QStringList &names, const QStringList &newNames);

enum class Batch { Rename, Create, Delete };

// What a rename or create batch does to one listed entry.
enum class Fate : unsigned char {
    Acts,          // renamed, or copied under a name that is free
    Replaces,      // copied onto an existing file, which the copy rule replaces
    Unchanged,     // the new name is its own: no step
    TargetExists,  // something stands under the new name, and a rename never replaces
    TargetKept,    // a copy cannot replace what stands there: a folder, a special or read-only file
    OnCycle,       // the new names lead round a cycle, or along a chain into one
    InvalidName,   // the listed or the new name can name no entry
    NoSubfolder,   // the new name leads into a folder that does not exist
    SourceGone,    // the listed file is gone, or no longer a regular file or a link to one
    WaitsInVain,   // a copy onto a listed file whose own copy fails: that file would be lost
    FolderChanged, // the listed folder is gone, or another folder stands at its path
};
inline bool acts(Fate fate)
{
    return fate == Fate::Acts || fate == Fate::Replaces;
}

// A batch worked out from the names alone: every entry's new name, the order of the steps, and
// what the rules decide before any file is asked. The run and the preview both start from it.
struct BatchPlan {
    Batch kind = Batch::Rename;
    QStringList names;    // as listed
    QStringList newNames; // in list order
    std::vector<BatchStep> order;
    // In list order: Unchanged, OnCycle or InvalidName where the rules decide, Acts for an entry
    // whose step is tried.
    std::vector<Fate> fates;
};
BatchPlan planBatch(Batch kind, const QStringList &names, const QString &oldText,
                    const QString &newText);

// Each entry's fate in list order, as the run would find it now: asked of the disk, which stays
// as it is. Earlier steps count: a name that an earlier rename frees is free, one that an earlier
// copy makes exists.
std::vector<Fate> foreseeBatch(const BatchPlan &plan, const QString &folder,
                               const folders::FolderIdentity &listed);

// What a batch did to one file, kept so that it can be taken back: the names as the system's
// bytes, relative to the folder, and the file as the step left it.
struct DoneStep {
    QByteArray oldName;
    QByteArray newName;
    core::fs::FileStamp stamp;
    // A copy that replaced an existing file: what it replaced is gone for good.
    bool replaced = false;
};
struct BatchRecord {
    Batch kind = Batch::Rename;
    QString folder;
    folders::FolderIdentity identity;
    std::vector<DoneStep> steps; // in the order they were done
};

// Runs the plan's steps in its order on the folder the list was read from, and answers what was
// done; a failing step is skipped and the rest go on.
BatchRecord runBatch(const BatchPlan &plan, const QString &folder,
                     const folders::FolderIdentity &listed, core::Progress *progress = nullptr);

// Gives each listed file its new name; never replaces an existing file. Returns how many files
// got a name other than their own.
[[nodiscard]] int renameAll(const QString &folder, const folders::FolderIdentity &listed,
                            const QStringList &names, const QString &oldText,
                            const QString &newText, core::Progress *progress = nullptr);

// Copies each listed file under its new name by the replace rule. A file whose new name is its own
// is not copied onto itself; another entry's copy that lands on its name replaces it by the copy
// rule, but only after its own copy was made (no copy lands on a listed file whose own copy has not
// been made, so its content is never lost). Returns how many copies were made.
[[nodiscard]] int copyAll(const QString &folder, const folders::FolderIdentity &listed,
                          const QStringList &names, const QString &oldText, const QString &newText,
                          core::Progress *progress = nullptr);

// Deletes each listed file for good; read-only files, folders and special files stay, links go
// as links. Returns how many were deleted.
[[nodiscard]] int deleteAll(const QString &folder, const folders::FolderIdentity &listed,
                            const QStringList &names, core::Progress *progress = nullptr);

} // namespace diverter
