// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/textlines.h"

#include "core/textmatch.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

namespace core {

namespace {

// The history keeps old texts by implicit sharing, but a step that is the only holder of a big
// text keeps it alive. Past this many characters the oldest steps go; the newest always stays,
// so the last whole-text change can be undone whatever its size.
constexpr qsizetype kHistoryChars = qsizetype(64) * 1024 * 1024;

bool endsBreak(const QChar *s, qsizetype size, qsizetype at)
{
    const char16_t c = s[at].unicode();
    return c == u'\n' || (c == u'\r' && (at + 1 >= size || s[at + 1] != u'\n'));
}

// True when some 16-bit lane of w is below 0x0E, so may be a CR or LF. Lets the index scan skip
// four characters at a time through ordinary text.
bool mayHoldBreak(std::uint64_t w)
{
    return ((w - 0x000E000E000E000EULL) & ~w & 0x8000800080008000ULL) != 0;
}

// Puts a new piece in place of each match at `at` (ascending, apart) and moves each position to
// where its piece then stands; `piece(k)` gives the k-th match's length and what replaces it. A
// text nobody else holds is changed in its own buffer: when no piece is longer than its match the
// kept runs move forward, when none is shorter the buffer grows first (a big buffer grows by
// remapping, not copying) and fills from the back, so no run is overwritten before it moves.
template <typename Position, typename Piece>
void replaceAt(QString &text, std::vector<Position> &at, Piece piece)
{
    if (at.empty())
        return;
    const qsizetype oldSize = text.size();
    qsizetype newSize = oldSize;
    bool shrinks = true;
    bool grows = true;
    for (size_t k = 0; k < at.size(); ++k) {
        const auto [length, with] = piece(k);
        newSize += with.size() - length;
        shrinks = shrinks && with.size() <= length;
        grows = grows && with.size() >= length;
    }
    if (!text.isDetached() || !(shrinks || grows)) {
        // Someone else holds the old text, so the new one needs its own buffer anyway; or the
        // pieces both grow and shrink (a line break added to some), so no one pass in place fits.
        QString out(newSize, Qt::Uninitialized);
        QChar *o = out.data();
        const QChar *s = text.constData();
        qsizetype done = 0;
        for (size_t k = 0; k < at.size(); ++k) {
            const auto [length, with] = piece(k);
            o = std::copy(s + done, s + at[k], o);
            done = qsizetype(at[k]) + length;
            at[k] = Position(o - out.constData());
            o = std::copy_n(with.data(), with.size(), o);
        }
        std::copy(s + done, s + oldSize, o);
        text = std::move(out);
    } else if (shrinks) {
        QChar *s = text.data();
        qsizetype write = qsizetype(at.front());
        qsizetype done = write;
        for (size_t k = 0; k < at.size(); ++k) {
            const auto [length, with] = piece(k);
            const qsizetype p = qsizetype(at[k]);
            std::memmove(s + write, s + done, size_t(p - done) * sizeof(QChar));
            write += p - done;
            done = p + length;
            at[k] = Position(write);
            std::copy_n(with.data(), with.size(), s + write);
            write += with.size();
        }
        std::memmove(s + write, s + done, size_t(oldSize - done) * sizeof(QChar));
        text.resize(newSize);
    } else {
        text.resize(newSize);
        QChar *s = text.data();
        qsizetype read = oldSize;
        qsizetype write = newSize;
        for (size_t k = at.size(); k-- > 0;) {
            const auto [length, with] = piece(k);
            const qsizetype after = qsizetype(at[k]) + length;
            write -= read - after;
            std::memmove(s + write, s + after, size_t(read - after) * sizeof(QChar));
            write -= with.size();
            std::copy_n(with.data(), with.size(), s + write);
            read = qsizetype(at[k]);
            at[k] = Position(write);
        }
    }
}

// A change that carries both its texts.
TextLines::Change fullChange(qsizetype position, QString removed, QString inserted, bool wholeText)
{
    const qsizetype removedSize = removed.size();
    const qsizetype insertedSize = inserted.size();
    return {position,  std::move(removed), std::move(inserted),
            wholeText, removedSize,        insertedSize};
}

} // namespace

TextLines::TextLines() = default;

qsizetype TextLines::lineEnd(qsizetype line) const
{
    if (line + 1 >= lineCount())
        return m_text.size();
    const qsizetype next = m_starts[size_t(line + 1)];
    if (m_text[next - 1] == u'\n' && next - 2 >= m_starts[size_t(line)] &&
        m_text[next - 2] == u'\r')
        return next - 2;
    return next - 1;
}

qsizetype TextLines::lineOf(qsizetype position) const
{
    const auto it = std::upper_bound(m_starts.begin(), m_starts.end(), position);
    return qsizetype(it - m_starts.begin()) - 1;
}

qsizetype TextLines::unitsOfLine(qsizetype line) const
{
    const qsizetype length = lineEnd(line) - lineStart(line);
    return std::max<qsizetype>(1, (length + kUnitChars - 1) / kUnitChars);
}

// Where piece `piece` (from 1) of a long line begins: after a blank shortly before the nominal
// place when there is one, so that words are rarely cut, and never inside a surrogate pair or
// before a combining mark.
qsizetype TextLines::unitBoundary(qsizetype lineStart, qsizetype piece) const
{
    const qsizetype nominal = lineStart + piece * kUnitChars;
    const QChar *s = m_text.constData();
    for (qsizetype b = nominal; b > nominal - kUnitChars / 8; --b) {
        if (s[b - 1] == u' ' || s[b - 1] == u'\t')
            return b;
    }
    qsizetype b = nominal;
    while (b > nominal - 8 && (s[b].isLowSurrogate() || s[b].isMark()))
        --b;
    return b;
}

qsizetype TextLines::firstUnitOfLine(qsizetype line) const
{
    const auto it = std::lower_bound(m_long.begin(), m_long.end(), line,
                                     [](const LongLine &l, qsizetype v) { return l.line < v; });
    if (it == m_long.begin())
        return line;
    const LongLine &before = *(it - 1);
    return line + before.unitsBefore + before.units - 1;
}

qsizetype TextLines::lineOfUnit(qsizetype unit) const
{
    const auto it =
        std::upper_bound(m_long.begin(), m_long.end(), unit,
                         [](qsizetype v, const LongLine &l) { return v < l.line + l.unitsBefore; });
    if (it == m_long.begin())
        return unit;
    const LongLine &l = *(it - 1);
    if (unit < l.line + l.unitsBefore + l.units)
        return l.line;
    return unit - (l.unitsBefore + l.units - 1);
}

qsizetype TextLines::unitOf(qsizetype position) const
{
    const qsizetype line = lineOf(position);
    const qsizetype first = firstUnitOfLine(line);
    const qsizetype units = unitsOfLine(line);
    if (units == 1)
        return first;
    const qsizetype start = lineStart(line);
    position = std::min(position, lineEnd(line));
    qsizetype piece = std::min(units - 1, (position - start) / kUnitChars);
    if (piece > 0 && unitBoundary(start, piece) > position)
        --piece;
    else if (piece + 1 < units && unitBoundary(start, piece + 1) <= position)
        ++piece;
    return first + piece;
}

std::pair<qsizetype, qsizetype> TextLines::unitRange(qsizetype unit) const
{
    const qsizetype line = lineOfUnit(unit);
    const qsizetype piece = unit - firstUnitOfLine(line);
    const qsizetype units = unitsOfLine(line);
    const qsizetype start = lineStart(line);
    return {piece == 0 ? start : unitBoundary(start, piece),
            piece + 1 == units ? lineEnd(line) : unitBoundary(start, piece + 1)};
}

void TextLines::recountLongLines(size_t from)
{
    qsizetype extra = from == 0 ? 0 : m_long[from - 1].unitsBefore + m_long[from - 1].units - 1;
    for (size_t i = from; i < m_long.size(); ++i) {
        m_long[i].unitsBefore = extra;
        extra += m_long[i].units - 1;
    }
    m_extraUnits = extra;
}

bool TextLines::rebuild()
{
    m_starts.clear();
    m_starts.reserve(size_t(m_text.size() / 32 + 1));
    m_starts.push_back(0);
    bool bareLf = false;
    const QChar *s = m_text.constData();
    const qsizetype n = m_text.size();
    for (qsizetype i = 0; i < n;) {
        if (i + 4 <= n) {
            std::uint64_t w;
            std::memcpy(&w, s + i, sizeof w);
            if (!mayHoldBreak(w)) {
                i += 4;
                continue;
            }
        }
        if (s[i] == u'\n' && (i == 0 || s[i - 1] != u'\r'))
            bareLf = true;
        if (endsBreak(s, n, i))
            m_starts.push_back(i + 1);
        ++i;
    }
    m_long.clear();
    for (qsizetype line = 0; line < lineCount(); ++line) {
        const qsizetype units = unitsOfLine(line);
        if (units > 1)
            m_long.push_back({line, units, 0});
    }
    recountLongLines(0);
    return bareLf;
}

// Only the line starts between the character before the edit and its end can change: a CR just
// before it may pair with an inserted LF, and an inserted CR with a LF just after it. Starts
// further on move by the change in length.
void TextLines::apply(qsizetype position, qsizetype length, const QString &with)
{
    if (position == 0 && length == m_text.size()) {
        m_text = with;
        rebuild();
        return;
    }
    const auto first =
        std::lower_bound(m_starts.begin(), m_starts.end(), std::max<qsizetype>(1, position));
    const auto last = std::upper_bound(first, m_starts.end(), position + length);
    const qsizetype i0 = qsizetype(first - m_starts.begin());
    const qsizetype removedStarts = qsizetype(last - first);

    m_text.replace(position, length, with);
    const QChar *s = m_text.constData();
    const qsizetype n = m_text.size();
    std::vector<qsizetype> added;
    for (qsizetype p = std::max<qsizetype>(0, position - 1); p < position + with.size(); ++p) {
        if (endsBreak(s, n, p))
            added.push_back(p + 1);
    }
    const qsizetype addedStarts = qsizetype(added.size());
    const auto at = m_starts.erase(first, last);
    const auto after = m_starts.insert(at, added.begin(), added.end()) + addedStarts;
    const qsizetype delta = with.size() - length;
    for (auto it = after; it != m_starts.end(); ++it)
        *it += delta;

    // Lines i0-1 .. i0-1+removedStarts were replaced by lines i0-1 .. i0-1+addedStarts.
    const qsizetype firstLine = i0 - 1;
    const auto byLine = [](const LongLine &l, qsizetype v) { return l.line < v; };
    const auto from = std::lower_bound(m_long.begin(), m_long.end(), firstLine, byLine);
    const auto to = std::lower_bound(from, m_long.end(), firstLine + removedStarts + 1, byLine);
    const size_t fromIndex = size_t(from - m_long.begin());
    auto keep = m_long.erase(from, to);
    for (auto it = keep; it != m_long.end(); ++it)
        it->line += addedStarts - removedStarts;
    std::vector<LongLine> changed;
    for (qsizetype line = firstLine; line <= firstLine + addedStarts; ++line) {
        const qsizetype units = unitsOfLine(line);
        if (units > 1)
            changed.push_back({line, units, 0});
    }
    m_long.insert(keep, changed.begin(), changed.end());
    recountLongLines(fromIndex);
}

void TextLines::push(Step step)
{
    for (const Step &s : m_redo)
        m_historyChars -= s.chars();
    m_redo.clear();
    m_historyChars += step.chars();
    m_undo.push_back(std::move(step));
    size_t dropped = 0;
    while (m_historyChars > kHistoryChars && m_undo.size() - dropped > 1)
        m_historyChars -= m_undo[dropped++].chars();
    m_undo.erase(m_undo.begin(), m_undo.begin() + qsizetype(dropped));
}

TextLines::Change TextLines::setText(const QString &text, bool freshHistory)
{
    Change change = fullChange(0, m_text, text, true);
    if (freshHistory) {
        m_undo.clear();
        m_redo.clear();
        m_historyChars = 0;
    } else {
        push({0, text.size(), m_text, true, Merge::No, m_bareLf});
    }
    m_mergeOpen = false;
    m_text = text;
    m_bareLf = rebuild();
    return change;
}

TextLines::Change TextLines::replace(qsizetype position, qsizetype length, const QString &with,
                                     Merge merge)
{
    Change change = fullChange(position, m_text.mid(position, length), with, false);
    // An open merge means nothing was undone since, so the redo list is already empty.
    bool merged = false;
    if (merge != Merge::No && m_mergeOpen && !m_undo.empty() && m_undo.back().merge == merge) {
        Step &last = m_undo.back();
        if (merge == Merge::Typing && length == 0 && last.position + last.length == position) {
            last.length += with.size();
            merged = true;
        } else if (merge == Merge::Deleting && with.isEmpty() && last.length == 0) {
            if (position + length == last.position) { // backwards, as Backspace deletes
                last.other.prepend(change.removed);
                last.position = position;
                merged = true;
            } else if (position == last.position) { // forwards, as Delete deletes
                last.other.append(change.removed);
                merged = true;
            }
            if (merged)
                m_historyChars += length;
        }
    }
    if (!merged)
        push({position, with.size(), change.removed, false, merge});
    m_mergeOpen = merge != Merge::No;
    apply(position, length, with);
    return change;
}

TextLines::Change TextLines::replaceAll(QString pattern, QString with, qsizetype describeUpTo)
{
    // The two strings are this step's own (taken by value), so neither can be the text itself
    // changing under the replacement.
    Step step;
    step.wholeText = true;
    step.everyMatch = true;
    step.describeUpTo = describeUpTo;
    // Each match is an edit by the box's rule (MultiLineBox::edit), taken from left to right: a
    // lone CR that the edit would bring before a LF gets a LF of its own, so a removed character
    // never removes a line break too, nor does a replacement's CR or LF pair with the text's.
    // `before` is the character the new text holds just before the match.
    const QChar *const s = m_text.constData();
    const qsizetype size = m_text.size();
    QChar before;
    qsizetype done = 0;
    const auto breaksAt = [&](qsizetype p) {
        if (p > done)
            before = s[p - 1];
        done = p + pattern.size();
        const QChar after = done < size ? s[done] : QChar();
        const QChar first = with.isEmpty() ? after : with.front();
        const quint8 lf =
            (before == u'\r' && first == u'\n' ? kLfBefore : 0) |
            (!with.isEmpty() && with.back() == u'\r' && after == u'\n' ? kLfAfter : 0);
        if (lf & kLfAfter)
            before = u'\n';
        else if (!with.isEmpty())
            before = with.back();
        else if (lf & kLfBefore)
            before = u'\n';
        return lf;
    };
    bool anyBreak = false;
    const auto find = [&](auto &at) {
        using Position = typename std::decay_t<decltype(at)>::value_type;
        for (qsizetype p = match::indexOf(m_text, pattern); p >= 0;
             p = match::indexOf(m_text, pattern, p + pattern.size())) {
            const quint8 lf = breaksAt(p);
            // Most replacements add no line break: they keep no flags at all.
            if (lf && !anyBreak) {
                step.breaks.assign(at.size(), 0);
                anyBreak = true;
            }
            if (anyBreak)
                step.breaks.push_back(lf);
            at.push_back(Position(p));
        }
    };
    // The longest the new text can grow is by every pattern-long run being a match, each with
    // two line breaks added.
    constexpr qsizetype limit = std::numeric_limits<quint32>::max();
    const qsizetype most = pattern.isEmpty() ? 0 : size / pattern.size();
    const qsizetype grown = with.size() + 2;
    const bool fits32 = size <= limit && (grown <= pattern.size() || most == 0 ||
                                          grown - pattern.size() <= (limit - size) / most);
    if (fits32)
        find(step.at32);
    else
        find(step.at);
    step.current = std::move(pattern);
    step.other = std::move(with);
    Change change = swapMatches(step);
    // As setText, the answer is read afresh from the new text rather than carried over.
    step.otherBareLf = m_bareLf;
    m_bareLf = rebuild();
    push(std::move(step));
    return change;
}

// Both sides of the step trade places: the text's own side goes where the other stood, so the
// step's size in characters stays the same.
TextLines::Change TextLines::swapMatches(Step &step)
{
    m_mergeOpen = false;
    // The replacement's side, with the line breaks some matches got: "\n" + it + "\n", of which
    // each match takes the part its flags say.
    const QString &replaced = step.breaksWithCurrent ? step.current : step.other;
    const qsizetype replacedSize = replaced.size(); // the two strings trade places below
    const QString padded = step.breaks.empty() ? QString() : u'\n' + replaced + u'\n';
    const auto withBreaks = [&](size_t k) {
        const quint8 lf = step.breaks[k];
        const qsizetype lead = lf & kLfBefore ? 1 : 0;
        const qsizetype trail = lf & kLfAfter ? 1 : 0;
        return QStringView(padded).sliced(1 - lead, replacedSize + lead + trail);
    };
    const auto piece = [&](size_t k) -> std::pair<qsizetype, QStringView> {
        if (step.breaks.empty())
            return {step.current.size(), step.other};
        if (step.breaksWithCurrent)
            return {withBreaks(k).size(), step.other};
        return {step.current.size(), withBreaks(k)};
    };
    const auto swapAt = [&](auto &at) {
        Change change{at.empty() ? 0 : qsizetype(at.front()), {}, {}, true};
        // From the first match to the end of the last, found from the positions alone; the text
        // around it stays, so the new side is as much longer as the whole text.
        const qsizetype oldSize = m_text.size();
        change.removedSize =
            at.empty() ? 0 : qsizetype(at.back()) + piece(at.size() - 1).first - change.position;
        if (change.removedSize <= step.describeUpTo)
            change.removed = m_text.mid(change.position, change.removedSize);
        replaceAt(m_text, at, piece);
        std::swap(step.current, step.other);
        step.breaksWithCurrent = !step.breaksWithCurrent;
        change.insertedSize = change.removedSize + m_text.size() - oldSize;
        if (change.insertedSize <= step.describeUpTo)
            change.inserted = m_text.mid(change.position, change.insertedSize);
        if (!change.described()) { // told whole or not at all
            change.removed.clear();
            change.inserted.clear();
        }
        return change;
    };
    return step.at.empty() ? swapAt(step.at32) : swapAt(step.at);
}

TextLines::Change TextLines::swap(Step &step)
{
    if (step.everyMatch) {
        Change change = swapMatches(step);
        rebuild();
        std::swap(m_bareLf, step.otherBareLf);
        return change;
    }
    QString current = step.wholeText ? m_text : m_text.mid(step.position, step.length);
    Change change = fullChange(step.position, current, step.other, step.wholeText);
    apply(step.position, step.length, step.other);
    if (step.wholeText)
        std::swap(m_bareLf, step.otherBareLf);
    m_historyChars += current.size() - step.other.size();
    step.length = step.other.size();
    step.other = std::move(current);
    return change;
}

TextLines::Change TextLines::narrowed(const Change &change, qsizetype describeUpTo)
{
    if (!change.described())
        return {change.position, {}, {}, false, change.removedSize, change.insertedSize};
    const QString &removed = change.removed;
    const QString &inserted = change.inserted;
    const qsizetype shorter = std::min(removed.size(), inserted.size());
    const qsizetype head =
        std::mismatch(removed.constData(), removed.constData() + shorter, inserted.constData())
            .first -
        removed.constData();
    qsizetype tail = 0;
    while (tail < shorter - head &&
           removed[removed.size() - 1 - tail] == inserted[inserted.size() - 1 - tail])
        ++tail;
    const qsizetype removedSize = removed.size() - head - tail;
    const qsizetype insertedSize = inserted.size() - head - tail;
    if (std::max(removedSize, insertedSize) > describeUpTo)
        return {change.position + head, {}, {}, false, removedSize, insertedSize};
    return fullChange(change.position + head, removed.mid(head, removedSize),
                      inserted.mid(head, insertedSize), false);
}

std::optional<TextLines::Change> TextLines::replay(std::vector<Step> &from, std::vector<Step> &to)
{
    if (from.empty())
        return std::nullopt;
    Step step = std::move(from.back());
    from.pop_back();
    m_mergeOpen = false;
    Change change = swap(step);
    to.push_back(std::move(step));
    return change;
}

std::optional<TextLines::Change> TextLines::undo()
{
    return replay(m_undo, m_redo);
}

std::optional<TextLines::Change> TextLines::redo()
{
    return replay(m_redo, m_undo);
}

} // namespace core
