// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the progress window of a batch says: the files done of the files listed, and how far a
// cancelled batch got.

#include "diverter/file_batch.h"
#include "toolkit/desktop.h"

namespace diverter {

// "Yeniden adlandırılıyor… 12.345 / 200.000 dosya" while it runs; after İptal,
// "12.345 / 200.000 dosya yeniden adlandırıldı; kalanlar iptal edildi."
tk::ProgressTexts batchProgress(Batch batch);

// The progress window of an undo ("Geri alınıyor… 12 / 3.000 dosya") or a redo.
tk::ProgressTexts historyProgress(bool redo);

} // namespace diverter
