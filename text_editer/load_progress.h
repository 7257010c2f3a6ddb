// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the progress window of a big load says: the MB read of the file's MB, and that a cancelled
// load left the text as it was.

#include "toolkit/desktop.h"

namespace text_editer {

// "Yükleniyor… 3,2 / 19,1 MB" while it reads; after İptal,
// "3,2 / 19,1 MB okundu; yükleme iptal edildi, metin değişmedi."
tk::ProgressTexts loadProgress();

} // namespace text_editer
