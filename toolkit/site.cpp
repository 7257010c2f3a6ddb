// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/site.h"

#include "toolkit/toolkit.h"

#include <QUrl>

namespace tk::site {

QString authorHost()
{
    return QUrl(kAuthorAddress).host();
}

void showAbout(QWidget *parent)
{
    tk::messageBox(parent, QStringLiteral("Programi yazan: Zelvan - tarnwick"), tk::Buttons::Ok,
                   tk::Icon::None, QStringLiteral("Bilgi"));
}

void openAuthorPage()
{
    if (!tk::launch(kBrowser, {kAuthorAddress}))
        tk::launch(kFallback, {kAuthorAddress});
}

tk::ClickLabel *makeSiteLabel(QWidget *parent, const QColor &background, const QColor &foreground)
{
    auto *label = new tk::ClickLabel(authorHost(), parent, background, foreground);
    label->setCursor(Qt::PointingHandCursor);
    label->setAccessibleName(authorHost());
    QObject::connect(label, &tk::ClickLabel::clicked, label, [] { openAuthorPage(); });
    return label;
}

} // namespace tk::site
