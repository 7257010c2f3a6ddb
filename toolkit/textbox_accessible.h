// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The multi-line box as screen readers see it; the interface itself is private to
// textbox_accessible.cpp.

class QAccessibleEvent;
class QAccessibleInterface;
class QObject;
class QString;

namespace tk {

// Qt's accessibility factory for MultiLineBox, installed by the first box made.
QAccessibleInterface *accessibleTextBox(const QString &className, QObject *object);

// Where the boxes send what they tell screen readers: to Qt while its accessibility is active, or,
// once set, to a listener of the caller's own for every change. Tests set one, since Qt hands
// reports on only where a platform bridge is on; null goes back to Qt.
using ScreenReaderListener = void (*)(QAccessibleEvent *event);
void setScreenReaderListener(ScreenReaderListener listener);
bool screenReaderListens();
void tellScreenReader(QAccessibleEvent *event);

} // namespace tk
