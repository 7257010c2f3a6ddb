// SPDX-License-Identifier: GPL-3.0-or-later
#include "diverter/batch_preview.h"

#include "core/filenames.h"
#include "diverter/batch_texts.h"

#include <QAbstractTableModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <array>

namespace diverter {

namespace {

// Rows are made only as the view asks for them, so 100,000 entries open at once: the names are
// shared with the plan, and each is made displayable when its row is drawn.
class PreviewModel : public QAbstractTableModel {
public:
    PreviewModel(QObject *parent, const BatchPlan &plan, std::vector<Fate> fates, QFont font)
        : QAbstractTableModel(parent), m_names(plan.names), m_newNames(plan.newNames),
          m_fates(std::move(fates)), m_bold(std::move(font))
    {
        m_bold.setBold(true);
        for (size_t i = 0; i < m_fateTexts.size(); ++i)
            m_fateTexts[i] = fateText(plan.kind, Fate(i));
    }
    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_fates.size());
    }
    int columnCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : 3;
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid())
            return {};
        const auto row = size_t(index.row());
        // A copy that takes the place of an existing file stands out: that file is lost.
        if (role == Qt::FontRole && index.column() == 2 && m_fates[row] == Fate::Replaces)
            return m_bold;
        if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
            return {};
        switch (index.column()) {
        case 0: return core::fs::forDisplay(m_names.value(qsizetype(row)));
        case 1: return core::fs::forDisplay(m_newNames.value(qsizetype(row)));
        default: return m_fateTexts[size_t(m_fates[row])];
        }
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return QAbstractTableModel::headerData(section, orientation, role);
        switch (section) {
        case 0: return QStringLiteral("Ad");
        case 1: return QStringLiteral("Yeni ad");
        default: return QStringLiteral("Ne olacak");
        }
    }

private:
    QStringList m_names;
    QStringList m_newNames;
    std::vector<Fate> m_fates;
    QFont m_bold; // the window's own type, in bold
    std::array<QString, size_t(Fate::FolderChanged) + 1> m_fateTexts;
};

} // namespace

BatchPreview::BatchPreview(QWidget *parent, const QPalette &palette, const BatchPlan &plan,
                           std::vector<Fate> fates)
    : QDialog(parent)
{
    setWindowTitle(parent ? parent->window()->windowTitle() : QString());
    setFont(parent ? parent->window()->font() : font());
    setPalette(palette);
    setAutoFillBackground(true);
    setSizeGripEnabled(true);

    countsLabel = new QLabel(previewCounts(plan.kind, fates), this);
    countsLabel->setObjectName(QStringLiteral("countsLabel"));
    countsLabel->setWordWrap(true);
    countsLabel->setTextFormat(Qt::PlainText);
    // No name of its own: a screen reader reads the counts themselves.

    // The third column is as wide as the longest text it will show, of a dozen at most.
    const QFontMetrics metrics(font());
    std::array<bool, size_t(Fate::FolderChanged) + 1> present{};
    for (Fate fate : fates)
        present[size_t(fate)] = true;
    int fateWidth = metrics.horizontalAdvance(QStringLiteral("Ne olacak"));
    for (size_t i = 0; i < present.size(); ++i) {
        if (!present[i])
            continue;
        QFont bold = font();
        bold.setBold(Fate(i) == Fate::Replaces);
        fateWidth =
            std::max(fateWidth, QFontMetrics(bold).horizontalAdvance(fateText(plan.kind, Fate(i))));
    }
    fateWidth += 4 * metrics.averageCharWidth();

    table = new QTableView(this);
    table->setObjectName(QStringLiteral("table"));
    table->setModel(new PreviewModel(table, plan, std::move(fates), font()));
    table->setAccessibleName(QStringLiteral("Önizleme"));
    table->setAccessibleDescription(countsLabel->text());
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setWordWrap(false);
    table->setTextElideMode(Qt::ElideMiddle);
    // Tab leaves the table for the button instead of walking its cells.
    table->setTabKeyNavigation(false);
    table->setPalette(parent ? parent->palette() : QPalette());
    // Every row the same height, known without asking a row: the view never measures them.
    QHeaderView *rows = table->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setMinimumSectionSize(metrics.height());
    rows->setDefaultSectionSize(metrics.height() + 6);
    rows->hide();
    QHeaderView *columns = table->horizontalHeader();
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setStretchLastSection(true);
    const int nameWidth = metrics.averageCharWidth() * 26;
    columns->resizeSection(0, nameWidth);
    columns->resizeSection(1, nameWidth);
    if (table->model()->rowCount() > 0)
        table->setCurrentIndex(table->model()->index(0, 0));

    closeButton = new QPushButton(QStringLiteral("Kapat"), this);
    closeButton->setObjectName(QStringLiteral("closeButton"));
    closeButton->setAutoDefault(true);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(countsLabel);
    layout->addWidget(table, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(closeButton);
    layout->addLayout(buttons);
    setTabOrder(table, closeButton);
    table->setFocus();
    const int frame = 2 * table->frameWidth() + layout->contentsMargins().left() +
                      layout->contentsMargins().right() +
                      style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, table);
    int width = 2 * nameWidth + fateWidth + frame;
    if (const QScreen *screen = parent ? parent->screen() : nullptr)
        width = std::min(width, screen->availableGeometry().width() * 9 / 10);
    resize(width, metrics.height() * 26);
}

} // namespace diverter
