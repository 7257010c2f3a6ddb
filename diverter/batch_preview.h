// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The preview of a batch rename or create: every listed entry with its new name and what the
// batch would do to it now, and the counts on top. It only shows: nothing on disk changes.

#include "diverter/file_batch.h"

#include <QDialog>

#include <vector>

class QLabel;
class QPushButton;
class QTableView;

namespace diverter {

class BatchPreview : public QDialog {
    Q_OBJECT
public:
    // `fates` in the plan's list order, as foreseeBatch answers them; the dialog takes the look
    // (palette, font, title) of `parent`'s window, and `palette` for its own background.
    BatchPreview(QWidget *parent, const QPalette &palette, const BatchPlan &plan,
                 std::vector<Fate> fates);

    QLabel *countsLabel = nullptr;
    QTableView *table = nullptr;
    QPushButton *closeButton = nullptr;
};

} // namespace diverter
