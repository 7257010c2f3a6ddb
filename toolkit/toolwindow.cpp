// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/toolwindow.h"

#include "toolkit/toolkit.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QCloseEvent>
#include <QFontMetricsF>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <QHash>
#include <QMenu>

#include <algorithm>
#include <cmath>
#include <utility>

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

namespace {
qreal luminance(const QColor &c)
{
    const auto channel = [](qreal v) {
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}
constexpr qreal kReadable = 4.5;
// A colour that has to change anyway goes on to a comfortable contrast, not just past the limit.
constexpr qreal kComfortable = 7;
} // namespace

qreal contrastRatio(const QColor &a, const QColor &b)
{
    const qreal la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readableOn(const QColor &background, const QColor &preferred)
{
    if (contrastRatio(background, preferred) >= kReadable)
        return preferred;
    // Towards black on a light background, towards white on a dark one, keeping the hue; one of
    // the two ends always reads, since black and white cannot both fall short of 4.5:1.
    const QColor end = contrastRatio(background, Qt::black) >= contrastRatio(background, Qt::white)
                           ? QColor(Qt::black)
                           : QColor(Qt::white);
    for (int step = 1; step <= 20; ++step) {
        const qreal t = step / 20.0;
        const QColor shade =
            QColor::fromRgbF(float(preferred.redF() + (end.redF() - preferred.redF()) * t),
                             float(preferred.greenF() + (end.greenF() - preferred.greenF()) * t),
                             float(preferred.blueF() + (end.blueF() - preferred.blueF()) * t));
        if (contrastRatio(background, shade) >= kComfortable)
            return shade;
    }
    return end;
}

qreal layoutScale(const QFont &font, qreal designPointSize)
{
    // Both the line height and the width of the letters, as dialog units measure them: small
    // sizes of a font do not grow in proportion to their point size.
    static const QString letters =
        QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZçğıöşüÇĞİÖŞÜ");
    QFont design(kDesignFamily);
    design.setPointSizeF(designPointSize);
    const QFontMetricsF drawn(design), now(font);
    if (drawn.height() <= 0 || drawn.horizontalAdvance(letters) <= 0)
        return 1;
    const qreal taller = now.height() / drawn.height();
    const qreal wider = now.horizontalAdvance(letters) / drawn.horizontalAdvance(letters);
    return std::max<qreal>({1, taller, wider});
}

namespace {
// Screen readers take a top-level window for a frame only when it says so; a plain widget would
// be a filler. The class is told by its type, not its name, so a rename cannot switch this off.
QAccessibleInterface *frameRole(const QString &, QObject *object)
{
    if (auto *window = qobject_cast<ToolWindow *>(object))
        return new QAccessibleWidget(window, QAccessible::Window);
    return nullptr;
}
} // namespace

QIcon iconAtEverySize(const QString &name)
{
    // Docks, switchers and high-density screens ask for sizes up to 256 px. A size not drawn or
    // rendered is the hand-drawn 16 or 32 px picture enlarged by a whole factor, pixel by pixel,
    // so its outlines stay as sharp as drawn.
    const auto drawn = [&](int size) {
        return QPixmap(QStringLiteral(":/icons/%1-%2.png").arg(name).arg(size));
    };
    QIcon icon;
    for (const auto &[size, from] :
         {std::pair{16, 16}, {32, 32}, {48, 16}, {64, 32}, {128, 32}, {256, 32}}) {
        QPixmap pixmap = drawn(size);
        if (pixmap.isNull())
            pixmap = drawn(from).scaled(size, size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        icon.addPixmap(pixmap);
    }
    return icon;
}

ToolWindow::ToolWindow(const WindowLook &look, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint)
{
    static const bool frameRoleInstalled = (QAccessible::installFactory(frameRole), true);
    Q_UNUSED(frameRoleInstalled);
    setWindowTitle(look.caption);
    setWindowIcon(iconAtEverySize(look.icon));

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
    m_scale = layoutScale(m_client->font(), look.designPointSize);
    m_client->setFixedSize(px(twips(look.clientWidthTwips)), px(twips(look.clientHeightTwips)));
    m_client->setAutoFillBackground(true);
    QPalette palette = m_client->palette();
    palette.setColor(QPalette::Window, systemColour(look.background));
    m_client->setPalette(palette);
    layout->addWidget(m_client);
}

void ToolWindow::place(QWidget *control, int x, int y, int width, int height) const
{
    control->setGeometry(px(x), px(y), px(width), px(height));
}

void ToolWindow::build(const std::vector<Control> &controls, const std::vector<Menu> &menus)
{
    QHash<QByteArray, QWidget *> made;
    std::vector<std::pair<int, QWidget *>> tabs;
    for (const Control &row : controls) {
        QWidget *control = row.member.make(m_client, row.make);
        control->setObjectName(QLatin1String(row.name));
        made.insert(row.name, control);
        if (!row.caption.isEmpty())
            control->setProperty("text", row.caption);
        if (row.centred) {
            const int width = control->sizeHint().width();
            control->setGeometry((m_client->width() - width) / 2, px(row.at.y()), width,
                                 px(row.at.height()));
        } else if (!row.at.isNull()) {
            place(control, row.at.x(), row.at.y(), row.at.width(), row.at.height());
        }
        if (row.tab > 0)
            tabs.emplace_back(row.tab, control);
        if (!row.tip.isEmpty())
            setTip(control, row.tip);
        if (!row.accessibleName.isEmpty())
            control->setAccessibleName(row.accessibleName);
        if (!row.description.isEmpty())
            control->setAccessibleDescription(row.description);
    }
    // The labels are tied once every control of the table is made, whichever row comes first.
    const auto label = [&](const char *name) {
        auto *l = qobject_cast<QLabel *>(made.value(name));
        Q_ASSERT_X(l, name, "a control is tied to a label its table does not make");
        return l;
    };
    for (const Control &row : controls) {
        if (row.namedBy)
            nameByLabel(made.value(row.name), label(row.namedBy));
        if (row.describedBy)
            describeByLabel(made.value(row.name), label(row.describedBy));
    }
    std::sort(tabs.begin(), tabs.end(),
              [](const auto &a, const auto &b) { return a.first < b.first; });
    for (std::size_t i = 1; i < tabs.size(); ++i)
        QWidget::setTabOrder(tabs[i - 1].second, tabs[i].second);

    for (const Menu &menu : menus) {
        menu.member = m_menuBar->addMenu(menu.caption);
        menu.member->setObjectName(QLatin1String(menu.name));
        for (const MenuItem &item : menu.items) {
            item.member = item.caption.isEmpty() ? menu.member->addSeparator()
                                                 : menu.member->addAction(item.caption);
            item.member->setObjectName(QLatin1String(item.name));
            if (!item.shortcut.isEmpty())
                item.member->setShortcut(item.shortcut);
        }
    }
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
    // Enter presses the focused button, as Space does; outside a dialog this makes no button the
    // window's default.
    for (QPushButton *button : findChildren<QPushButton *>())
        button->setAutoDefault(true);
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
    if (event->button() != Qt::LeftButton)
        return;
    // The first release of a double click was a click already: the site label has started the
    // browser on it, and must not start it again.
    if (std::exchange(m_endingDoubleClick, false))
        return;
    if (rect().contains(event->position().toPoint()))
        emit clicked();
}

void ClickLabel::mouseDoubleClickEvent(QMouseEvent *event)
{
    QLabel::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton) {
        m_endingDoubleClick = true;
        emit doubleClicked();
    }
}

} // namespace tk
