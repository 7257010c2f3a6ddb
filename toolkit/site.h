// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The author's about box and web page, shared by every window.

#include "toolkit/toolwindow.h"

namespace tk::site {

// One place for the author's web address; the labels show its host name.
inline const QString kAuthorAddress = QStringLiteral("http://www.tarnwick.example");
QString authorHost();

// The browser command of this platform (Debian's default-browser program), and the fallback:
// the desktop's handler for web addresses.
inline const QString kBrowser = QStringLiteral("x-www-browser");
inline const QString kFallback = QStringLiteral("xdg-open");

void showAbout(QWidget *parent);
// Starts the browser on the author's page; the fallback runs exactly when the browser could not
// be started. Nothing is shown either way.
void openAuthorPage();
// The label that shows the author's host name and opens the page when clicked.
tk::ClickLabel *makeSiteLabel(QWidget *parent, const QColor &background,
                              const QColor &foreground = tk::kDarkGreen);

} // namespace tk::site
