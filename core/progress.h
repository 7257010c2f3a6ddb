// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Long work (a batch over thousands of files, the load of a big file) says how far it has come
// and learns whether to go on, without knowing who listens: a window's progress window
// (tk::ProgressWindow, feedback.h), a test, or nobody at all.

#include <QtGlobal>

namespace core {

class Progress {
public:
    virtual ~Progress() = default;
    // The whole work in steps, told before the first step. Told again, larger, when the work
    // finds it has more to do than it thought (a second pass over a file).
    virtual void setTotal(qint64 total) = 0;
    // Called after each step with the steps done so far; false asks the work to stop there. It is
    // called often, so it must stay cheap when nothing is to be shown.
    virtual bool advance(qint64 done) = 0;
};

} // namespace core
