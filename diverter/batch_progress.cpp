// SPDX-License-Identifier: GPL-3.0-or-later
#include "diverter/batch_progress.h"

#include "toolkit/feedback.h"

namespace diverter {

namespace {
QString filesOfTotal(qint64 done, qint64 total)
{
    return tk::turkishNumber(done) + QStringLiteral(" / ") + tk::turkishNumber(total) +
           QStringLiteral(" dosya");
}
} // namespace

tk::ProgressTexts batchProgress(Batch batch)
{
    QString doing;
    QString afterCancel;
    switch (batch) {
    case Batch::Rename:
        doing = QStringLiteral("Yeniden adlandırılıyor…");
        afterCancel = QStringLiteral(" yeniden adlandırıldı; kalanlar iptal edildi.");
        break;
    case Batch::Create:
        doing = QStringLiteral("Oluşturuluyor…");
        afterCancel = QStringLiteral(" oluşturuldu; kalanlar iptal edildi.");
        break;
    case Batch::Delete:
        doing = QStringLiteral("Siliniyor…");
        afterCancel = QStringLiteral(" silindi; kalanlar iptal edildi.");
        break;
    }
    return tk::countedProgress(doing, filesOfTotal, afterCancel);
}

tk::ProgressTexts historyProgress(bool redo)
{
    return redo ? tk::countedProgress(QStringLiteral("Yineleniyor…"), filesOfTotal,
                                      QStringLiteral(" yinelendi; kalanlar iptal edildi."))
                : tk::countedProgress(QStringLiteral("Geri alınıyor…"), filesOfTotal,
                                      QStringLiteral(" geri alındı; kalanlar iptal edildi."));
}

} // namespace diverter
