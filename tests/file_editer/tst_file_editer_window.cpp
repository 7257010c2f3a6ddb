// The File Editer as the user sees and types at it: the painted window, the tab order, and the
// keyboard shortcuts reaching their handlers while a field has the focus.
#include "file_editer/file_editer_window.h"
#include "launcher/toolkit_testing.h"

#include <QMenuBar>
#include <QtTest>

class TestFileEditerWindow : public QObject {
    Q_OBJECT

private slots:
    void look();
    void tabOrder();
    void shortcuts_data();
    void shortcuts();
};

namespace {
// How many pixels of `area` in the image have exactly this colour.
int countColour(const QImage &image, const QRect &area, const QColor &colour)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            n += image.pixelColor(x, y) == colour;
    }
    return n;
}
} // namespace

void TestFileEditerWindow::look()
{
    FileEditer w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QImage image = w.grab().toImage();
    if (qEnvironmentVariableIsSet("FILE_EDITER_SHOT"))
        image.save(qEnvironmentVariable("FILE_EDITER_SHOT"));

    QCOMPARE(w.client()->size(), QSize(407, 149));
    QVERIFY(w.menuBar()->isVisible());
    QCOMPARE(w.client()->y(), w.menuBar()->geometry().bottom() + 1);
    QCOMPARE(image.size() / image.devicePixelRatio(), w.size());

    const QColor black(0, 0, 0);
    const QColor green = tk::kDarkGreen;
    const QRect client = w.client()->geometry();
    auto inWindow = [&](QWidget *control) {
        return control->geometry().translated(client.topLeft());
    };
    // The window's own background, left of the labels.
    QCOMPARE(countColour(image, QRect(client.left(), client.top(), 6, client.height()), black),
             6 * client.height());

    const QList<QWidget *> controls = {w.Text1,    w.Text2,    w.Command1,  w.Command2,  w.Command3,
                                       w.Command4, w.Command5, w.Label1[0], w.Label1[1], w.Label2};
    for (QWidget *control : controls) {
        const QString name = control->objectName();
        QVERIFY2(control->isVisible(), qPrintable(name));
        QVERIFY2(QRect(QPoint(), client.size()).contains(control->geometry()), qPrintable(name));
        for (QWidget *other : controls) {
            QVERIFY2(other == control || !other->geometry().intersects(control->geometry()),
                     qPrintable(name + QStringLiteral(" overlaps ") + other->objectName()));
        }
        // A caption that needs more room than its control has is clipped.
        QVERIFY2(control->sizeHint().width() <= control->width(), qPrintable(name));
        QVERIFY2(control->minimumSizeHint().height() <= control->height(), qPrintable(name));
    }
    for (QLabel *label : std::initializer_list<QLabel *>{w.Label1[0], w.Label1[1], w.Label2}) {
        const QRect area = inWindow(label);
        const int greens = countColour(image, area, green);
        QVERIFY2(greens > 10, qPrintable(label->objectName())); // the text is there, and green
        QVERIFY(countColour(image, area, black) > area.width() * area.height() / 2);
    }
    for (QLineEdit *box : {w.Text1, w.Text2}) {
        // Inside the frame the empty field is dark green.
        const QRect inner = inWindow(box).adjusted(4, 4, -4, -4);
        QCOMPARE(countColour(image, inner, green), inner.width() * inner.height());
        QCOMPARE(box->palette().color(QPalette::Text), black);
    }

    QCOMPARE(w.Label1[0]->buddy(), w.Text1);
    QCOMPARE(w.Text2->accessibleName(), QStringLiteral("Dosya 2:"));
    QVERIFY(!w.Command1->isDefault() && !w.Command1->autoDefault());
}

void TestFileEditerWindow::tabOrder()
{
    FileEditer w;
    w.show();
    // Without a window manager (a bare X server) nothing activates a new window by itself.
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QCOMPARE(QApplication::focusWidget(), w.Text1);
    const QList<QWidget *> expected = {w.Text2,    w.Command2, w.Command3, w.Command1,
                                       w.Command4, w.Command5, w.Text1};
    for (QWidget *next : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
}

void TestFileEditerWindow::shortcuts_data()
{
    QTest::addColumn<QKeyCombination>("key");
    QTest::addColumn<QString>("text1");
    QTest::addColumn<QString>("text2");
    QTest::addColumn<QString>("after1");
    QTest::addColumn<QString>("after2");
    QTest::addColumn<int>("refusals"); // "Gerekli yerleri doldur" boxes

    // The field editing keys of the same combination would empty file 1 or redo into it.
    // clang-format off
    QTest::newRow("Ctrl+K copy") << (Qt::CTRL | Qt::Key_K) << "abc" << "" << "abc" << "" << 1;
    QTest::newRow("Ctrl+Y rename") << (Qt::CTRL | Qt::Key_Y) << "abc" << "" << "abc" << "" << 1;
    QTest::newRow("Ctrl+S delete") << (Qt::CTRL | Qt::Key_S) << "" << "x" << "" << "x" << 1;
    QTest::newRow("Shift+F1") << (Qt::SHIFT | Qt::Key_F1) << "abc" << "x" << "abc" << "abc" << 0;
    QTest::newRow("Shift+F2") << (Qt::SHIFT | Qt::Key_F2) << "abc" << "x" << "x" << "x" << 0;
    QTest::newRow("Shift+F3") << (Qt::SHIFT | Qt::Key_F3) << "abc" << "x" << "x" << "abc" << 0;
    QTest::newRow("Shift+F4") << (Qt::SHIFT | Qt::Key_F4) << "abc" << "x" << "" << "x" << 0;
    QTest::newRow("Shift+F5") << (Qt::SHIFT | Qt::Key_F5) << "abc" << "x" << "abc" << "" << 0;
    QTest::newRow("Shift+F6") << (Qt::SHIFT | Qt::Key_F6) << "abc" << "x" << "" << "" << 0;
    // clang-format on
}

void TestFileEditerWindow::shortcuts()
{
    QFETCH(QKeyCombination, key);
    QFETCH(QString, text1);
    QFETCH(QString, text2);
    QFETCH(QString, after1);
    QFETCH(QString, after2);
    QFETCH(int, refusals);

    tk::testing::ScriptedBoxes boxes;
    FileEditer w;
    w.show();
    // Without a window manager (a bare X server) nothing activates a new window by itself.
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    w.Text1->setText(text1);
    w.Text2->setText(text2);
    // The cursor at the start of file 1, where Ctrl+K as an editing key would delete everything.
    w.Text1->setCursorPosition(0);
    QCOMPARE(QApplication::focusWidget(), w.Text1);

    QTest::keyClick(w.Text1, key.key(), key.keyboardModifiers());

    QCOMPARE(w.Text1->text(), after1);
    QCOMPARE(w.Text2->text(), after2);
    QCOMPARE(int(boxes.shown().size()), refusals);
    for (const tk::MessageBoxRequest &box : boxes.shown())
        QCOMPARE(box.prompt, QStringLiteral("Gerekli yerleri doldur"));
}

QTEST_MAIN(TestFileEditerWindow)
#include "tst_file_editer_window.moc"
