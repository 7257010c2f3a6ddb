#include "launcher/main_window.h"

#include "toolkit/site.h"
#include "toolkit/toolkit.h"

#include <QMenuBar>

Toolkit::Toolkit(QWidget *parent)
    : tk::ToolWindow({QStringLiteral("tarnwick's Toolkit"), 4680, 2850,
                      tk::SystemColour::ButtonText, QStringLiteral("toolkit"), true},
                     parent)
{
    QWidget *c = client();
    const QColor black = tk::systemColour(tk::SystemColour::ButtonText);
    auto row = [&](int y, const QString &caption, const QString &text, const QColor &labelBg,
                   QPushButton *&button, QLabel *&label) {
        button = new QPushButton(caption, c);
        button->setGeometry(12, y, 96, 30);
        label = new tk::ClickLabel(text, c, labelBg);
        label->setGeometry(116, y, 190, 30);
        label->setWordWrap(true);
        label->setAccessibleDescription(text);
    };
    row(20, QStringLiteral("Text Editer"), QStringLiteral("Textlerin içeriklerini düzenlemek için"),
        tk::systemColour(tk::SystemColour::MenuText), Command1, Label1);
    row(80, QStringLiteral("File Editer"),
        QStringLiteral("Dosyalarin isimlerini ve uzantilarini degistirmek için"), black, Command2,
        Label2);
    row(140, QStringLiteral("Diverter"),
        QStringLiteral("Klasör içeriklerini text dosyalarina aktarmak için"), black, Command3,
        Label3);
    tk::setTabChain({Command1, Command2, Command3});
    Command1->setFocus();

    programs = menuBar()->addMenu(QStringLiteral("&Programlar"));
    texteditera = programs->addAction(QStringLiteral("&Text Editer"));
    texteditera->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    fileeditera = programs->addAction(QStringLiteral("&File Editer"));
    fileeditera->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    divertera = programs->addAction(QStringLiteral("&Diverter"));
    divertera->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    gecis = programs->addSeparator();
    kapaa = programs->addAction(QStringLiteral("&Kapat"));
    bilgia = menuBar()->addMenu(QStringLiteral("Bilgi"));
    bilgib = bilgia->addAction(QStringLiteral("Bilgi"));
    sitea = bilgia->addAction(QStringLiteral("Site"));
    // The shortcuts are window shortcuts: they act only while this window is active.
    for (QAction *a : {texteditera, fileeditera, divertera})
        a->setShortcutContext(Qt::WindowShortcut);

    connect(Command1, &QPushButton::clicked, this, &Toolkit::openTextEditer);
    connect(texteditera, &QAction::triggered, this, &Toolkit::openTextEditer);
    connect(Command2, &QPushButton::clicked, this, &Toolkit::openFileEditer);
    connect(fileeditera, &QAction::triggered, this, &Toolkit::openFileEditer);
    connect(Command3, &QPushButton::clicked, this, &Toolkit::openDiverter);
    connect(divertera, &QAction::triggered, this, &Toolkit::openDiverter);
    connect(kapaa, &QAction::triggered, this, [] { tk::endProgram(); });
    connect(bilgib, &QAction::triggered, this, [this] { site::showAbout(this); });
    connect(sitea, &QAction::triggered, this, [] { site::openAuthorPage(); });
}
