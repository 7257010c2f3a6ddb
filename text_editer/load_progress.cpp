// SPDX-License-Identifier: GPL-3.0-or-later
#include "text_editer/load_progress.h"

#include "toolkit/feedback.h"

namespace text_editer {

namespace {
QString megabytesOfTotal(qint64 done, qint64 total)
{
    return tk::turkishMegabytes(done) + QStringLiteral(" / ") + tk::turkishMegabytes(total) +
           QStringLiteral(" MB");
}
} // namespace

tk::ProgressTexts loadProgress()
{
    return tk::countedProgress(QStringLiteral("Yükleniyor…"), megabytesOfTotal,
                               QStringLiteral(" okundu; yükleme iptal edildi, metin değişmedi."));
}

} // namespace text_editer
