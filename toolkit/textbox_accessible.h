// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The multi-line box as screen readers see it; the interface itself is private to
// textbox_accessible.cpp.

class QAccessibleInterface;
class QObject;
class QString;

namespace tk {

// Qt's accessibility factory for MultiLineBox, installed by the first box made.
QAccessibleInterface *accessibleTextBox(const QString &className, QObject *object);

} // namespace tk
