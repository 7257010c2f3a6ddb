// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: one instance of each tool, brought to the front; closing and ending the
// program; the about box and the site link.

#include "launcher/main_window.h"
#include "tests/support/stand_ins.h"
#include "toolkit/site.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>
#include <QTimer>

#include <map>

namespace {

using Opener = void (*)(launcher::MainWindow &);
using Getter = QWidget *(*)(launcher::MainWindow &);

struct Tool {
    Opener button;
    Opener menu;
    Getter window;
};

Tool tool(const QString &name)
{
    if (name == "Text Editer")
        return {[](launcher::MainWindow &t) { t.textEditerButton->click(); },
                [](launcher::MainWindow &t) { t.openTextEditerAction->trigger(); },
                [](launcher::MainWindow &t) -> QWidget * { return t.textEditer(); }};
    if (name == "File Editer")
        return {[](launcher::MainWindow &t) { t.fileEditerButton->click(); },
                [](launcher::MainWindow &t) { t.openFileEditerAction->trigger(); },
                [](launcher::MainWindow &t) -> QWidget * { return t.fileEditer(); }};
    return {[](launcher::MainWindow &t) { t.diverterButton->click(); },
            [](launcher::MainWindow &t) { t.openDiverterAction->trigger(); },
            [](launcher::MainWindow &t) -> QWidget * { return t.diverter(); }};
}

void deleteClosedWindows()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// A window that would refuse every request to close.
class Stubborn : public tk::ToolWindow {
public:
    Stubborn()
        : tk::ToolWindow({QStringLiteral("stubborn"), 1500, 1500, tk::SystemColour::ButtonText,
                          QStringLiteral("toolkit"), false})
    {}
    int asked = 0;

protected:
    bool confirmClose() override
    {
        ++asked;
        return false;
    }
};

} // namespace

class Launcher : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void oneInstanceInFront_data();
    void oneInstanceInFront();
    void reopenedToolStartsAnew();
    void shortcutsActOnlyInMainWindow();
    void toolOutlivesMainWindow();
    void aboutBox();
    void siteLink_data();
    void siteLink();
    void captionsAndLook();
    void windowsFit_data();
    void windowsFit();
    void textReadsUnderAnyPalette_data();
    void textReadsUnderAnyPalette();
    void keyboardAndScreenReaders();
    // Leaves the event loop; kept last.
    void kapatEndsAtOnceAskingNoWindow();
};

void Launcher::cleanup()
{
    // Tool windows have no owner; each test starts without any.
    QList<QPointer<QWidget>> windows;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (!w->parentWidget())
            windows << w;
    }
    qDeleteAll(windows);
}

void Launcher::oneInstanceInFront_data()
{
    QTest::addColumn<QString>("tool");
    QTest::addColumn<bool>("secondFromMenu");
    for (const char *name : {"Text Editer", "File Editer", "Diverter"}) {
        QTest::addRow("%s, button twice", name) << name << false;
        QTest::addRow("%s, button then menu", name) << name << true;
    }
}

void Launcher::oneInstanceInFront()
{
    QFETCH(QString, tool);
    QFETCH(bool, secondFromMenu);
    const Tool t = ::tool(tool);
    launcher::MainWindow main;
    main.show();
    t.button(main);
    QWidget *first = t.window(main);
    QVERIFY(first && first->isVisible());
    QVERIFY(!first->parentWidget());
    QVERIFY(!first->isModal());

    main.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&main));
    (secondFromMenu ? t.menu : t.button)(main);
    QCOMPARE(t.window(main), first);
    QVERIFY(QTest::qWaitForWindowActive(first));
    int copies = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        copies += w->isVisible() && w->windowTitle() == first->windowTitle();
    QCOMPARE(copies, 1);
}

void Launcher::reopenedToolStartsAnew()
{
    tk::testing::ScriptedBoxes boxes; // answers any closing question with its default, Yes
    launcher::MainWindow main;
    main.show();
    for (const char *name : {"Text Editer", "File Editer", "Diverter"}) {
        const Tool t = tool(name);
        t.button(main);
        QPointer<QWidget> first = t.window(main);
        QVERIFY(first->close());
        deleteClosedWindows();
        QVERIFY(!first);
        t.menu(main);
        QVERIFY(t.window(main) && t.window(main)->isVisible());
    }
}

void Launcher::shortcutsActOnlyInMainWindow()
{
    launcher::MainWindow main;
    main.show();
    main.openDiverter();
    QVERIFY(QTest::qWaitForWindowActive(main.diverter()));
    QTest::keyClick(main.diverter(), Qt::Key_T, Qt::ControlModifier);
    QVERIFY(!main.textEditer());

    main.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&main));
    QTest::keyClick(&main, Qt::Key_T, Qt::ControlModifier);
    QVERIFY(main.textEditer());
    main.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&main));
    QTest::keyClick(&main, Qt::Key_F, Qt::ControlModifier);
    QVERIFY(main.fileEditer());
}

void Launcher::toolOutlivesMainWindow()
{
    auto *main = new launcher::MainWindow;
    main->setAttribute(Qt::WA_DeleteOnClose);
    main->show();
    main->openDiverter();
    QPointer<diverter::DiverterWindow> diverter = main->diverter();
    bool diverterStayed = false;
    // The program runs while any window is open: closing the main window leaves the Diverter
    // working, and closing the Diverter then ends the event loop.
    QTimer::singleShot(0, main, &QWidget::close);
    QTimer::singleShot(50, diverter, [&] {
        diverterStayed = diverter->isVisible();
        diverter->close();
    });
    QTimer::singleShot(5000, [] { QCoreApplication::exit(99); });
    QCOMPARE(QApplication::exec(), 0);
    QVERIFY(diverterStayed);
}

void Launcher::aboutBox()
{
    tk::testing::ScriptedBoxes boxes;
    launcher::MainWindow main;
    main.aboutAction->trigger();
    QCOMPARE(boxes.shown().size(), size_t(1));
    const tk::MessageBoxRequest &box = boxes.shown().front();
    QCOMPARE(box.prompt, QStringLiteral("Programi yazan: Zelvan - tarnwick"));
    QCOMPARE(box.title, QStringLiteral("Bilgi"));
    QCOMPARE(box.buttons, tk::Buttons::Ok);
    QCOMPARE(box.icon, tk::Icon::None);
}

void Launcher::siteLink_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<bool>("browserStarts");
    QTest::addColumn<bool>("fallbackStarts");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<bool>("doubleClick");
    for (const char *window : {"main", "Text Editer", "File Editer", "Diverter"}) {
        QTest::addRow("%s, browser starts", window)
            << window << true << true << QStringList{tk::site::kBrowser} << false;
        QTest::addRow("%s, browser missing", window)
            << window << false << true << QStringList{tk::site::kBrowser, tk::site::kFallback}
            << false;
        QTest::addRow("%s, nothing starts", window)
            << window << false << false << QStringList{tk::site::kBrowser, tk::site::kFallback}
            << false;
    }
    // Its second release is no click of its own.
    QTest::newRow("double click starts the browser once") << "Diverter" << true << true << QStringList{tk::site::kBrowser} << true;
}

void Launcher::siteLink()
{
    QFETCH(QString, window);
    QFETCH(bool, browserStarts);
    QFETCH(bool, fallbackStarts);
    tk::testing::ScriptedLaunches launches;
    launches.succeeds = [&](const tk::testing::Launch &l) {
        return l.program == tk::site::kBrowser ? browserStarts : fallbackStarts;
    };
    tk::testing::ScriptedBoxes boxes;
    launcher::MainWindow main;
    main.show();
    if (window == "main") {
        main.siteAction->trigger();
    } else {
        tool(window).button(main);
        QWidget *w = tool(window).window(main);
        tk::ClickLabel *label = nullptr;
        for (auto *l : w->findChildren<tk::ClickLabel *>())
            label = l->text() == tk::site::authorHost() ? l : label;
        QVERIFY2(label, "the window shows no site label");
        QVERIFY(label->isVisible());
        QFETCH(bool, doubleClick);
        QTest::mouseClick(label, Qt::LeftButton);
        if (doubleClick) {
            // The second press of a double click comes with the double-click event.
            QTest::mousePress(label, Qt::LeftButton);
            QTest::mouseDClick(label, Qt::LeftButton);
            QTest::mouseRelease(label, Qt::LeftButton);
        }
    }
    QStringList launched;
    for (const auto &l : launches.launched()) {
        launched << l.program;
        QCOMPARE(l.arguments, QStringList{tk::site::kAuthorAddress});
    }
    QTEST(launched, "expected");
    QVERIFY(boxes.shown().empty());
}

void Launcher::captionsAndLook()
{
    launcher::MainWindow main;
    QCOMPARE(main.windowTitle(), QStringLiteral("tarnwick's Toolkit"));
    QCOMPARE(main.client()->size(), QSize(312, 190));
    QCOMPARE(main.client()->palette().color(QPalette::Window), QColor(Qt::black));
    QCOMPARE(main.fileEditerLabel->palette().color(QPalette::WindowText), QColor(0, 128, 0));
    QCOMPARE(main.programsMenu->title(), QStringLiteral("&Programlar"));
    QStringList items;
    for (QAction *a : main.programsMenu->actions())
        items << (a->isSeparator() ? QStringLiteral("-") : a->text());
    QCOMPARE(items, (QStringList{"&Text Editer", "&File Editer", "&Diverter", "-", "&Kapat"}));
    QCOMPARE(main.openDiverterAction->shortcut(), QKeySequence(QStringLiteral("Ctrl+D")));
    QVERIFY(!main.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!main.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(!main.windowIcon().pixmap(32, 32).isNull());
    // Every window stands on black in the standard colour scheme.
    main.openTextEditer();
    main.openFileEditer();
    main.openDiverter();
    for (tk::ToolWindow *w : std::initializer_list<tk::ToolWindow *>{
             &main, main.textEditer(), main.fileEditer(), main.diverter()}) {
        QCOMPARE(w->client()->palette().color(QPalette::Window), QColor(Qt::black));
        // Every control and menu item carries a name of its own, as the tables give it.
        QList<QObject *> controls;
        for (QWidget *c : w->client()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            controls << c;
        if (w->menuBar())
            for (QAction *menu : w->menuBar()->actions()) {
                controls << menu->menu();
                for (QAction *a : menu->menu()->actions())
                    controls << a;
            }
        for (QObject *c : controls)
            QVERIFY2(w->findChildren<QObject *>(c->objectName()) == QList<QObject *>{c},
                     qPrintable(c->objectName() + c->metaObject()->className()));
        QCOMPARE(w->windowIcon().availableSizes(),
                 (QList<QSize>{{16, 16}, {32, 32}, {48, 48}, {64, 64}, {128, 128}, {256, 256}}));
    }
    QVERIFY(!main.windowIcon().pixmap(16, 16).isNull());
}

void Launcher::windowsFit_data()
{
    QTest::addColumn<QString>("window");
    // clang-format off
    QTest::newRow("main window") << "main";
    QTest::newRow("Text Editer") << "text";
    QTest::newRow("File Editer") << "file";
    QTest::newRow("Diverter") << "diverter";
    // clang-format on
}

// Every control stands inside its window, and no caption needs more room than its control has,
// which would clip it.
void Launcher::windowsFit()
{
    QFETCH(QString, window);
    launcher::MainWindow main;
    main.openTextEditer();
    main.openFileEditer();
    main.openDiverter();
    const std::map<QString, tk::ToolWindow *> windows = {{"main", &main},
                                                         {"text", main.textEditer()},
                                                         {"file", main.fileEditer()},
                                                         {"diverter", main.diverter()}};
    tk::ToolWindow *w = windows.at(window);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    for (QWidget *c : w->client()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        QVERIFY2(w->client()->rect().contains(c->geometry()), qPrintable(c->objectName()));
        if (!qobject_cast<QAbstractButton *>(c) && !qobject_cast<QLabel *>(c))
            continue;
        // A label that wraps its words must take its lines in its height.
        if (const auto *label = qobject_cast<QLabel *>(c); label && label->wordWrap()) {
            QVERIFY2(c->heightForWidth(c->width()) <= c->height(), qPrintable(c->objectName()));
            continue;
        }
        if (const auto *button = qobject_cast<QAbstractButton *>(c)) {
            // A push button's own size hint holds a style's minimum width; what must fit is the
            // caption, inside the button's frame.
            const QFontMetrics fm = c->fontMetrics();
            const int frame = 2 * c->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, c);
            QVERIFY2(fm.horizontalAdvance(QString(button->text()).remove(u'&')) + frame <=
                         c->width(),
                     qPrintable(c->objectName()));
            QVERIFY2(fm.height() <= c->height(), qPrintable(c->objectName()));
            continue;
        }
        QVERIFY2(c->sizeHint().width() <= c->width(), qPrintable(c->objectName()));
        QVERIFY2(c->minimumSizeHint().height() <= c->height(), qPrintable(c->objectName()));
    }
}

void Launcher::textReadsUnderAnyPalette_data()
{
    QTest::addColumn<QPalette>("palette");
    QTest::newRow("classic") << QApplication::palette();
    QPalette light = QApplication::style()->standardPalette();
    QTest::newRow("light") << light;
    // A dark theme turns the system colours that are black in the classic scheme light.
    QPalette dark;
    for (const auto &[role, colour] : {std::pair{QPalette::Window, QColor(0x35, 0x35, 0x35)},
                                       {QPalette::WindowText, QColor(0xF0, 0xF0, 0xF0)},
                                       {QPalette::Base, QColor(0x2A, 0x2A, 0x2A)},
                                       {QPalette::Text, QColor(0xF0, 0xF0, 0xF0)},
                                       {QPalette::Button, QColor(0x40, 0x40, 0x40)},
                                       {QPalette::ButtonText, QColor(0xF0, 0xF0, 0xF0)}})
        dark.setColor(role, colour);
    dark.setColor(QPalette::Disabled, QPalette::Text, QColor(0x6E, 0x6E, 0x6E));
    dark.setColor(QPalette::Disabled, QPalette::Base, QColor(0x35, 0x35, 0x35));
    QTest::newRow("dark") << dark;
}

// Every text whose colour is left open reads at 4.5:1 at least against the background it gets;
// the dark green the main window and the File Editer fix for their labels is kept as it is.
void Launcher::textReadsUnderAnyPalette()
{
    QFETCH(QPalette, palette);
    const QPalette before = QApplication::palette();
    QApplication::setPalette(palette);
    launcher::MainWindow main;
    main.openTextEditer();
    main.openFileEditer();
    main.openDiverter();
    const QList<tk::ToolWindow *> tools{main.textEditer(), main.diverter()};
    for (tk::ToolWindow *w : tools) {
        const QColor background = w->client()->palette().color(QPalette::Window);
        for (QWidget *c : w->client()->findChildren<QWidget *>()) {
            QColor text, under = background;
            if (qobject_cast<QLabel *>(c) || qobject_cast<QCheckBox *>(c)) {
                text = c->palette().color(QPalette::WindowText);
                if (c->autoFillBackground())
                    under = c->palette().color(QPalette::Window);
            } else if (auto *box = qobject_cast<QLineEdit *>(c); box && !box->isEnabled()) {
                text = box->palette().color(QPalette::Disabled, QPalette::Text);
                under = box->palette().color(QPalette::Disabled, QPalette::Base);
            } else {
                continue;
            }
            QVERIFY2(tk::contrastRatio(text, under) >= 4.5,
                     qPrintable(w->windowTitle() + u' ' + c->accessibleName() + u' ' + text.name() +
                                u'/' + under.name()));
        }
    }
    for (QLabel *fixed : {main.textEditerLabel, main.fileEditerLabel, main.diverterLabel,
                          main.fileEditer()->sourceLabel, main.fileEditer()->targetLabel})
        QCOMPARE(fixed->palette().color(QPalette::WindowText), tk::kDarkGreen);
    QApplication::setPalette(before);
}

void Launcher::keyboardAndScreenReaders()
{
    launcher::MainWindow main;
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    // Enter presses the focused button, as Space does.
    main.fileEditerButton->setFocus();
    QTest::keyClick(main.fileEditerButton, Qt::Key_Return);
    QVERIFY(main.fileEditer());

    main.openTextEditer();
    main.openDiverter();
    for (QWidget *w : {static_cast<QWidget *>(&main), static_cast<QWidget *>(main.textEditer()),
                       static_cast<QWidget *>(main.diverter())})
        QCOMPARE(QAccessible::queryAccessibleInterface(w)->role(), QAccessible::Window);
    // Same captions, told apart by the label above each.
    text_editer::TextEditerWindow *te = main.textEditer();
    QCOMPARE(te->clearFileTextButton->text(), QStringLiteral("Te&mizle"));
    QCOMPARE(te->clearFileTextButton->accessibleDescription(), QStringLiteral("Dosya:"));
    QCOMPARE(te->clearAllButton->accessibleDescription(), QStringLiteral("Hepsi:"));
    QCOMPARE(te->pasteButton->accessibleDescription(), QStringLiteral("Dosya:"));
    // The drive list is named by its role and reports the drive as its value.
    QAccessibleInterface *drives =
        QAccessible::queryAccessibleInterface(main.diverter()->driveList);
    QCOMPARE(drives->text(QAccessible::Name), QStringLiteral("Sürücüler"));
    QCOMPARE(drives->text(QAccessible::Value), main.diverter()->driveList->currentText());
}

void Launcher::kapatEndsAtOnceAskingNoWindow()
{
    tk::testing::ScriptedBoxes boxes;
    launcher::MainWindow main;
    main.show();
    main.openTextEditer();
    Stubborn stubborn;
    stubborn.show();
    QTimer::singleShot(0, main.endProgramAction, &QAction::trigger);
    QTimer::singleShot(5000, [] { QCoreApplication::exit(99); }); // a hang fails, not blocks
    QCOMPARE(QApplication::exec(), 0);
    QCOMPARE(stubborn.asked, 0);
    QVERIFY(boxes.shown().empty());
}

QTEST_MAIN(Launcher)
#include "tst_launcher.moc"
