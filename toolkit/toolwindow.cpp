#include "toolkit/toolwindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScreen>
#include <QVBoxLayout>

// The icons live in the library; a static library's resources must be registered by hand.
static void registerResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace tk {

QColor systemColour(SystemColour colour)
{
    const QPalette palette = QApplication::palette();
    switch (colour) {
    case SystemColour::ButtonText: return palette.color(QPalette::ButtonText);
    // Qt has no role of its own for menu text or window frames; in the classic scheme both are
    // drawn in the window text colour.
    case SystemColour::MenuText:
    case SystemColour::WindowFrame: return palette.color(QPalette::WindowText);
    }
    return Qt::black;
}

void setTabChain(std::initializer_list<QWidget *> controls)
{
    QWidget *previous = nullptr;
    for (QWidget *control : controls) {
        if (previous)
            QWidget::setTabOrder(previous, control);
        previous = control;
    }
}

ToolWindow::ToolWindow(const WindowLook &look, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint)
{
    registerResources();
    setWindowTitle(look.caption);
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/%1-32.png").arg(look.icon), QSize(32, 32));
    icon.addFile(QStringLiteral(":/icons/%1-16.png").arg(look.icon), QSize(16, 16));
    setWindowIcon(icon);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    if (look.menuBar) {
        m_menuBar = new QMenuBar(this);
        layout->setMenuBar(m_menuBar);
    }
    // Only the client area takes the window's colour: the menu bar keeps the system's.
    m_client = new QWidget(this);
    m_client->setFixedSize(twips(look.clientWidthTwips), twips(look.clientHeightTwips));
    m_client->setAutoFillBackground(true);
    QPalette palette = m_client->palette();
    palette.setColor(QPalette::Window, systemColour(look.background));
    m_client->setPalette(palette);
    layout->addWidget(m_client);
}

void ToolWindow::closeEvent(QCloseEvent *event)
{
    if (confirmClose())
        event->accept();
    else
        event->ignore();
}

void ToolWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_centred)
        return;
    m_centred = true;
    if (QScreen *screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

ClickLabel::ClickLabel(const QString &text, QWidget *parent, const QColor &background,
                       const QColor &foreground)
    : QLabel(text, parent)
{
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, background);
    p.setColor(QPalette::WindowText, foreground);
    setPalette(p);
}

void ClickLabel::mouseReleaseEvent(QMouseEvent *event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

void ClickLabel::mouseDoubleClickEvent(QMouseEvent *event)
{
    QLabel::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton)
        emit doubleClicked();
}

} // namespace tk
