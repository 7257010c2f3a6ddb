// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the Diverter says about a batch beside running it: the preview's lines and counts, the
// undo and redo entries of the buttons' menu, the question before taking a batch back or doing it
// again, and the one message after. Plain functions of what the batch logic answers, so every
// text lives here once.

#include "diverter/batch_history.h"
#include "diverter/file_batch.h"

#include <QString>

#include <optional>
#include <vector>

namespace diverter {

// What will happen to one entry, as its row of the preview says it: "Yeniden adlandırılacak",
// "Adlandırılamayacak: hedef var".
QString fateText(Batch kind, Fate fate);
// The preview's counts, entries of one fate counted together, those that act first:
// "2.998 dosya yeniden adlandırılacak, 2 dosya adlandırılamayacak: hedef var."
QString previewCounts(Batch kind, const std::vector<Fate> &fates);

// The menu entries: "Geri al: yeniden adlandırma (3.000 dosya)", or "Geri al" when there is
// nothing to take back; "Yinele: …" likewise.
QString undoEntry(const std::optional<HistoryOffer> &offer);
QString redoEntry(const std::optional<HistoryOffer> &offer);

// Asked before the undo or redo acts.
QString historyQuestion(const HistoryOffer &offer, bool redo);
// Told once it ran: what was done, what was left and why, and how far İptal let it get.
QString historyOutcome(const HistoryOutcome &outcome);
// Whether that message tells of files left as they were (or of none reached at all).
bool leftSomething(const HistoryOutcome &outcome);

} // namespace diverter
