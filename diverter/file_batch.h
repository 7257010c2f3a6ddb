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
