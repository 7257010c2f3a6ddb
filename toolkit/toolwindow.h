// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The frame every window of the program shares: a fixed client area sized in twips (15 to a
// pixel at 96 dpi; Qt scales on high-dpi screens), grown with the desktop's font (layoutScale),
// a caption, an icon of its own, a close box and no minimize or maximize button, centred on the
// screen when first shown, and a background taken from one of the system colours. Controls stand
// on client() at fixed positions, given as drawn and scaled by place().

#include <QIcon>
#include <QLabel>
#include <QPalette>
#include <QPointer>
#include <QWidget>

#include <QKeySequence>
#include <QRect>

#include <functional>
#include <initializer_list>
#include <type_traits>
#include <vector>

class QAction;
class QMenu;
class QMenuBar;

namespace tk {

// The system colours the windows are painted in (all black in the standard scheme).
enum class SystemColour { ButtonText, WindowFrame, MenuText };
QColor systemColour(SystemColour colour);
inline const QColor kDarkGreen{0, 128, 0};

// The contrast of two colours as WCAG measures it, from 1 (the same) to 21 (black on white).
qreal contrastRatio(const QColor &a, const QColor &b);
// `preferred` when it reads on `background` (a contrast of at least 4.5:1), else the nearest
// shade of it, made lighter or darker, that reads comfortably (7:1). For every text whose colour is
// not fixed: the system colours of the backgrounds follow the desktop's theme, light or dark.
QColor readableOn(const QColor &background, const QColor &preferred);

struct WindowLook {
    QString caption;
    int clientWidthTwips = 0;
    int clientHeightTwips = 0;
    SystemColour background = SystemColour::ButtonText;
    QString icon; // base name of the icon pair in the resources (":/icons/<icon>-32.png")
    bool menuBar = false;
    // The size of the type the window's layout was drawn for, in points of kDesignFamily.
    qreal designPointSize = 9;
};

// The family the layouts were drawn with, at 96 dpi and the sizes their windows name.
inline const QString kDesignFamily = QStringLiteral("DejaVu Sans");

// How much larger than drawn a window's layout must be for the font it uses, as dialog units
// grow with a dialog's font: the ratio of the font's line height to the design font's, and
// never below 1, so the twip sizes stay the smallest a window gets.
qreal layoutScale(const QFont &font, qreal designPointSize);

inline int twips(int t)
{
    return (t + 7) / 15;
}

// The window icon `name` (":/icons/<name>-<size>.png") at every size from 16 to 256 px.
QIcon iconAtEverySize(const QString &name);

// Makes a control on a client area and keeps it in the window's member of it: with its own
// constructor from the parent alone, or with the row's `make` where it needs more.
class ControlMember {
public:
    using Make = std::function<QWidget *(QWidget *client)>;
    template <class T>
    ControlMember(T *&member)
        : m_make([&member](QWidget *client, const Make &make) -> QWidget * {
              if (make)
                  member = static_cast<T *>(make(client));
              else if constexpr (std::is_constructible_v<T, QWidget *>)
                  member = new T(client);
              else
                  Q_ASSERT_X(false, "ControlMember", "a control of this kind needs a make");
              return member;
          })
    {}
    QWidget *make(QWidget *client, const Make &make) const { return m_make(client, make); }

private:
    std::function<QWidget *(QWidget *, const Make &)> m_make;
};

// One row of a window's table of controls. The rows come in the order the controls are made,
// which is the order they stack in and the focus order of those the tab column leaves out.
struct Control {
    ControlMember member;
    const char *name;              // its object name: the member's name
    ControlMember::Make make = {}; // for a kind not made from the parent alone
    QString caption = {};          // the text of a button, label or check box
    QRect at = {};                 // as drawn, scaled as place() does
    int tab = 0;                   // its place in the tab chain, from 1; 0 keeps it out
    QString tip = {};              // the tooltip, also the description for screen readers
    const char *namedBy = nullptr; // the label whose caption names it
    // The label above it, for a caption it shares with other controls: its description.
    const char *describedBy = nullptr;
    QString accessibleName = {}; // for a control that has no caption of its own
    QString description = {};
    // Centred across the client area at the width it asks for; `at` gives its top and height.
    bool centred = false;
};

struct MenuItem {
    QAction *&member;
    const char *name;
    QString caption = {}; // none: a separator
    QKeySequence shortcut = {};
};

struct Menu {
    QMenu *&member;
    const char *name;
    QString caption;
    std::vector<MenuItem> items;
};

// A row's member and its object name, spelt once.
#define TK_MEMBER(m) .member = m, .name = #m

class ToolWindow : public QWidget {
    Q_OBJECT
public:
    explicit ToolWindow(const WindowLook &look, QWidget *parent = nullptr);

    QWidget *client() const { return m_client; }
    QMenuBar *menuBar() const { return m_menuBar; }

    // Layout pixels as drawn, turned into pixels for the window's font.
    qreal scale() const { return m_scale; }
    int px(int drawn) const { return qRound(drawn * m_scale); }
    // Places a control on the client area at a position and size given as drawn.
    void place(QWidget *control, int x, int y, int width, int height) const;

protected:
    // Makes the controls of a table, then the menus on the menu bar, each with its object name.
    void build(const std::vector<Control> &controls, const std::vector<Menu> &menus = {});

    // Asked when the window is about to close; false keeps it open.
    virtual bool confirmClose() { return true; }
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    QWidget *m_client = nullptr;
    QMenuBar *m_menuBar = nullptr;
    qreal m_scale = 1;
    bool m_centred = false;
};

// A label that reports clicks and double-clicks, in the given colours.
class ClickLabel : public QLabel {
    Q_OBJECT
public:
    ClickLabel(const QString &text, QWidget *parent, const QColor &background,
               const QColor &foreground = kDarkGreen);
signals:
    void clicked();
    void doubleClicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    // The release that ends a double click is no click of its own.
    bool m_endingDoubleClick = false;
};

// One instance of a tool window per run of the program. The window is made on first use, shown
// with no owner and not modal, and brought to the front when shown again. A closed window is
// deleted, so the next show makes it anew in its initial state.
template <class W> class WindowSlot {
public:
    W *show()
    {
        if (!m_window) {
            m_window = new W;
            m_window->setAttribute(Qt::WA_DeleteOnClose);
        }
        m_window->show();
        m_window->raise();
        m_window->activateWindow();
        return m_window;
    }
    W *window() const { return m_window; }

private:
    QPointer<W> m_window;
};

} // namespace tk
