// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/desktop.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QGridLayout>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>

#include <climits>

namespace tk {

namespace {

constexpr int kShowAfterMs = 500;
// About forty updates a second move the bar smoothly and see a click on İptal at once, while the
// work between them, thousands of files, never waits on the window.
constexpr qint64 kUpdateMs = 25;

// A short prompt makes a narrow box, whose title bar then cuts its title; the box is made wide
// enough for the title, its icon and the title bar's buttons. Called last, since setting the icon
// or the buttons rebuilds the box's layout.
void fitTitle(QMessageBox &box)
{
    const int width = titleBarWidth(&box, box.windowTitle());
    if (auto *grid = qobject_cast<QGridLayout *>(box.layout()))
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
}

int shiftToFitInt(qint64 total)
{
    int shift = 0;
    while ((total >> shift) > INT_MAX)
        ++shift;
    return shift;
}

class QtProgress : public ProgressDisplay {
public:
    QtProgress(QWidget *parent, const ProgressTexts &texts, qint64 total)
        : m_texts(texts), m_total(total), m_shift(shiftToFitInt(total))
    {
        m_dialog = new QProgressDialog(texts.label(0, total), QStringLiteral("İptal"), 0,
                                       int(total >> m_shift), parent);
        // Screen readers name the bar by the work; the label reads its own text.
        if (auto *bar = m_dialog->findChild<QProgressBar *>())
            bar->setAccessibleName(texts.doing);
        // Application modal: while the bar's updates let events in, no other window of the
        // program can start work of its own or close the window whose handler is running.
        m_dialog->setWindowModality(Qt::ApplicationModal);
        if (parent) {
            // The window's own title; the dialog is made wide enough for its title bar to show it.
            const QString title = parent->window()->windowTitle();
            m_dialog->setWindowTitle(title);
            m_dialog->setMinimumWidth(titleBarWidth(m_dialog, title));
        }
        m_dialog->setAutoReset(false);
        m_dialog->setAutoClose(false);
        m_dialog->setMinimumDuration(kShowAfterMs);
        m_dialog->setValue(0); // starts the dialog's clock
        m_sinceUpdate.start();
    }
    ~QtProgress() override
    {
        delete m_dialog.data();
        if (m_cursorPushed)
            QApplication::restoreOverrideCursor();
    }
    QtProgress(const QtProgress &) = delete;
    QtProgress &operator=(const QtProgress &) = delete;

    void setTotal(qint64 total) override
    {
        m_total = total;
        m_shift = shiftToFitInt(total);
        if (m_dialog)
            m_dialog->setMaximum(int(total >> m_shift));
    }

    bool advance(qint64 done) override
    {
        // A window its parent took along has nobody left to show the work to.
        if (!m_dialog)
            return false;
        if (m_sinceUpdate.elapsed() < kUpdateMs)
            return true;
        m_sinceUpdate.restart();
        // Once shown, each new value also handles the window's events, a click on İptal among
        // them.
        done = std::min(done, m_total);
        m_dialog->setLabelText(m_texts.label(done, m_total));
        m_dialog->setValue(int(done >> m_shift));
        if (!m_cursorPushed && m_dialog->isVisible()) {
            // The arrow with a busy mark: the program works, yet İptal takes a click.
            QApplication::setOverrideCursor(Qt::BusyCursor);
            m_cursorPushed = true;
        }
        return !m_dialog->wasCanceled();
    }

private:
    const ProgressTexts &m_texts;
    qint64 m_total;
    int m_shift; // the bar counts in int: large totals are scaled down by 2^m_shift
    bool m_cursorPushed = false;
    // The parent owns the window and may delete it first; this only watches it.
    QPointer<QProgressDialog> m_dialog;
    QElapsedTimer m_sinceUpdate;
};

class QtDesktop final : public Desktop {
public:
    Answer messageBox(QWidget *parent, const MessageBoxRequest &request) override
    {
        QMessageBox box(parent);
        box.setWindowTitle(request.title);
        box.setText(request.prompt);
        box.setTextFormat(Qt::PlainText);
        switch (request.icon) {
        case Icon::None: box.setIcon(QMessageBox::NoIcon); break;
        case Icon::Question: box.setIcon(QMessageBox::Question); break;
        case Icon::Exclamation: box.setIcon(QMessageBox::Warning); break;
        }
        // The interface is Turkish, so are the button captions.
        if (request.buttons == Buttons::Ok) {
            box.addButton(QMessageBox::Ok)->setText(QStringLiteral("Tamam"));
            box.setDefaultButton(QMessageBox::Ok);
            fitTitle(box);
            box.exec();
            return Answer::Ok;
        }
        QPushButton *yes = box.addButton(QMessageBox::Yes);
        QPushButton *no = box.addButton(QMessageBox::No);
        yes->setText(QStringLiteral("&Evet"));
        no->setText(QStringLiteral("&Hayır"));
        box.setDefaultButton(request.defaultButton == Answer::No ? no : yes);
        box.setEscapeButton(no);
        fitTitle(box);
        box.exec();
        return box.clickedButton() == yes ? Answer::Yes : Answer::No;
    }

    std::optional<QString> chooseFile(QWidget *parent, const FileDialogRequest &request) override
    {
        // Qt's own dialog behaves the same on every desktop. AnyFile lets an open dialog accept
        // the typed name of a missing file.
        QFileDialog dialog(parent, request.title);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setAcceptMode(request.mode == DialogMode::Open ? QFileDialog::AcceptOpen
                                                              : QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        if (request.mode == DialogMode::Save)
            dialog.setOption(QFileDialog::DontConfirmOverwrite);
        if (!request.fileTypeCaption.isEmpty()) {
            // Qt takes a filter's patterns from its last parentheses and splits them at spaces,
            // so a caption such as "Text(*.txt;*.doc)" would list nothing on its own. The
            // patterns go in a last pair of parentheses that the combo box then hides, so a
            // caption that names its own, such as "Tüm dosyalar (*)", keeps them on screen too.
            dialog.setOption(QFileDialog::HideNameFilterDetails);
            const auto filter = [](const QString &caption, const QStringList &patterns) {
                return QString(caption + QStringLiteral(" (") + patterns.join(u' ') + u')');
            };
            QStringList filters{filter(request.fileTypeCaption, request.filePatterns)};
            for (const FileType &type : request.moreFileTypes)
                filters << filter(type.caption, type.patterns);
            dialog.setNameFilters(filters);
            dialog.selectNameFilter(filters.constFirst());
        }
        if (!request.proposedName.isEmpty())
            dialog.selectFile(request.proposedName);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            return dialog.selectedFiles().constFirst();
        return std::nullopt;
    }

    bool launch(const QString &program, const QStringList &arguments) override
    {
        return QProcess::startDetached(program, arguments);
    }

    void endProgram() override
    {
        // exit(), not quit(): quit() sends close events that a window may refuse.
        QCoreApplication::exit(0);
    }

    std::unique_ptr<ProgressDisplay> showProgress(QWidget *parent, const ProgressTexts &texts,
                                                  qint64 total) override
    {
        return std::make_unique<QtProgress>(parent, texts, total);
    }
};

Desktop &qtDesktop()
{
    static QtDesktop qt;
    return qt;
}

// The seam: the desktop every call goes to, Qt's when none stands in front.
DesktopInFront *g_front = nullptr;

} // namespace

Desktop &desktop()
{
    return g_front ? *g_front : qtDesktop();
}

DesktopInFront::DesktopInFront() : m_covered(g_front)
{
    g_front = this;
}

DesktopInFront::~DesktopInFront()
{
    DesktopInFront **link = &g_front;
    while (*link && *link != this)
        link = &(*link)->m_covered;
    if (*link)
        *link = m_covered;
}

Desktop &DesktopInFront::covered() const
{
    return m_covered ? *m_covered : qtDesktop();
}

} // namespace tk
