// SPDX-License-Identifier: GPL-3.0-or-later
#include "diverter/batch_texts.h"

#include "toolkit/feedback.h"

#include <QStringList>

#include <array>

namespace diverter {

namespace {

// A fate as a verb and, for an entry the batch cannot handle, the reason; the row and the count
// each put them together their own way.
struct FateWords {
    QString verb;
    QString reason;
};

FateWords wordsOf(Batch kind, Fate fate)
{
    const bool create = kind == Batch::Create;
    const QString cannot =
        create ? QStringLiteral("oluşturulamayacak") : QStringLiteral("adlandırılamayacak");
    switch (fate) {
    case Fate::Acts:
        return {create ? QStringLiteral("oluşturulacak") : QStringLiteral("yeniden adlandırılacak"),
                {}};
    case Fate::Replaces: return {QStringLiteral("var olan dosyanın yerine oluşturulacak"), {}};
    case Fate::Unchanged:
        return {create ? QStringLiteral("oluşturulmayacak") : QStringLiteral("olduğu gibi kalacak"),
                QStringLiteral("yeni adı kendi adı")};
    case Fate::TargetExists: return {cannot, QStringLiteral("hedef var")};
    case Fate::TargetKept:
        return {cannot, QStringLiteral("hedefteki klasör, özel ya da salt okunur dosya "
                                       "değiştirilemez")};
    case Fate::OnCycle: return {cannot, QStringLiteral("yeni adlar bir döngüye giriyor")};
    case Fate::InvalidName: return {cannot, QStringLiteral("geçersiz ad")};
    case Fate::NoSubfolder: return {cannot, QStringLiteral("alt klasör yok")};
    case Fate::SourceGone: return {cannot, QStringLiteral("dosya yok ya da artık sıradan bir dosya değil")};
    case Fate::WaitsInVain:
        return {cannot, QStringLiteral("yerine geçeceği dosyanın kendi kopyası oluşturulamıyor")};
    case Fate::FolderChanged: return {cannot, QStringLiteral("klasör bulunamadı")};
    }
    return {cannot, {}};
}

constexpr std::array kFates{Fate::Acts,         Fate::Replaces,     Fate::Unchanged,
                            Fate::TargetExists, Fate::TargetKept,   Fate::OnCycle,
                            Fate::InvalidName,  Fate::NoSubfolder,  Fate::SourceGone,
                            Fate::WaitsInVain,  Fate::FolderChanged};

QString count(qint64 n, const QString &unit)
{
    return tk::turkishNumber(n) + u' ' + unit;
}

QString files(qint64 n)
{
    return count(n, QStringLiteral("dosya"));
}

// A create is taken back copy by copy: its files are the copies it made.
QString unitsOf(Batch kind, qint64 n)
{
    return kind == Batch::Create ? count(n, QStringLiteral("kopya")) : files(n);
}

QString kindName(Batch kind)
{
    return kind == Batch::Create ? QStringLiteral("oluşturma")
                                 : QStringLiteral("yeniden adlandırma");
}

QString entry(const QString &action, const std::optional<HistoryOffer> &offer)
{
    if (!offer)
        return action;
    return action + QStringLiteral(": ") + kindName(offer->kind) + QStringLiteral(" (") +
           files(offer->files) + u')';
}

} // namespace

QString fateText(Batch kind, Fate fate)
{
    const FateWords words = wordsOf(kind, fate);
    QString text = words.verb;
    text[0] = text[0].toUpper();
    return words.reason.isEmpty() ? text : text + QStringLiteral(": ") + words.reason;
}

QString previewCounts(Batch kind, const std::vector<Fate> &fates)
{
    std::array<qint64, kFates.size()> counts{};
    for (Fate fate : fates)
        ++counts[size_t(fate)];
    QStringList parts;
    for (Fate fate : kFates) {
        if (counts[size_t(fate)] == 0)
            continue;
        const FateWords words = wordsOf(kind, fate);
        QString part = files(counts[size_t(fate)]) + u' ' + words.verb;
        if (!words.reason.isEmpty())
            part += QStringLiteral(": ") + words.reason;
        parts << part;
    }
    if (parts.isEmpty())
        return QStringLiteral("Listede dosya yok.");
    return parts.join(QStringLiteral(", ")) + u'.';
}

QString undoEntry(const std::optional<HistoryOffer> &offer)
{
    return entry(QStringLiteral("Geri al"), offer);
}

QString redoEntry(const std::optional<HistoryOffer> &offer)
{
    return entry(QStringLiteral("Yinele"), offer);
}

QString historyQuestion(const HistoryOffer &offer, bool redo)
{
    const bool create = offer.kind == Batch::Create;
    if (redo) {
        QString text = QStringLiteral("Geri alınan toplu ") + kindName(offer.kind) +
                       QStringLiteral(" yinelensin mi? ");
        if (!create)
            return text + files(offer.files) + QStringLiteral(" yeniden yeni adını alacak.");
        // The copy rule replaces what stands under a copy's name now, as the batch itself did.
        return text + unitsOf(offer.kind, offer.files) +
               QStringLiteral(" yeniden oluşturulacak; adında o zamandan beri bir dosya "
                              "duruyorsa onun yerine geçecek.");
    }
    QString text =
        QStringLiteral("Son toplu ") + kindName(offer.kind) + QStringLiteral(" geri alınsın mı? ");
    if (!create)
        return text + files(offer.files) + QStringLiteral(" eski adına dönecek.");
    const int deleted = offer.files - offer.replaced;
    if (deleted > 0)
        text += unitsOf(offer.kind, deleted) + QStringLiteral(" silinecek.");
    if (offer.replaced > 0) {
        if (deleted > 0)
            text += u' ';
        text += unitsOf(offer.kind, offer.replaced) +
                QStringLiteral(", yerine geçtiği dosya geri getirilemeyeceği için kalacak.");
    }
    return text;
}

QString historyOutcome(const HistoryOutcome &outcome)
{
    if (outcome.folderMissing)
        return QStringLiteral("Klasör bulunamadı ya da yerinde artık başka bir klasör var; "
                              "hiçbir dosyaya dokunulmadı.");
    const Batch kind = outcome.kind;
    QString done = unitsOf(kind, outcome.done);
    if (kind == Batch::Create)
        done += outcome.redo ? QStringLiteral(" yeniden oluşturuldu") : QStringLiteral(" silindi");
    else
        done += outcome.redo ? QStringLiteral(" yeniden yeni adını aldı")
                             : QStringLiteral(" eski adına döndü");
    QStringList parts{done};
    const auto left = [&](int n, const QString &why) {
        if (n > 0)
            parts << unitsOf(kind, n) + u' ' + why + QStringLiteral(" olduğu gibi bırakıldı");
    };
    left(outcome.changed, QStringLiteral("o zamandan beri değiştiği için"));
    left(outcome.nameTaken, QStringLiteral("alacağı adda başka bir şey durduğu için"));
    left(outcome.failed, QStringLiteral("sistem işlemi reddettiği için"));
    left(outcome.replacedKept, QStringLiteral("yerine geçtiği dosya geri getirilemeyeceği için"));
    QString text = parts.join(QStringLiteral("; ")) + u'.';
    if (outcome.cancelled) {
        const int handled = outcome.done + outcome.changed + outcome.nameTaken + outcome.failed +
                            outcome.replacedKept;
        text += QStringLiteral(" İptal edildi: ") + tk::turkishNumber(handled) +
                QStringLiteral(" / ") + files(outcome.total) +
                QStringLiteral(" ele alındı, kalanlara dokunulmadı.");
    }
    return text;
}

bool leftSomething(const HistoryOutcome &outcome)
{
    return outcome.folderMissing || outcome.done < outcome.total;
}

} // namespace diverter
