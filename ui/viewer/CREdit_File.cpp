#include "ui/viewer/CREdit_File.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QGlyphRun>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextLayout>
#include <QWheelEvent>

#include <algorithm>
#include <climits>

#include "core/viewer/cp932.h"
#include "core/viewer/find.h"
#include "ui/fontmap.h"

namespace {
constexpr int kVkEnter = 13;
constexpr qint64 kFindWindow = 500;  // find previous searches back in windows of this many bytes
}  // namespace

CREdit_File::CREdit_File(QWidget* parent) : QAbstractScrollArea(parent)
{
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, &CREdit_File::onScrollAction);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &CREdit_File::onScrollValue);
    m_layout.setText(data(), 0);
    m_lines.setText(data(), 0);
    updateMetrics();
}

void CREdit_File::setText(QByteArray bytes)
{
    m_text = std::move(bytes);
    const textenc::Encoding enc = textenc::detect(m_text);
    m_layout.setText(data(), size(), enc);
    m_lines.setText(data(), size(), enc);
    m_top = 0;
    m_anchor = m_caret = 0;
    m_caretAtRowEnd = false;
    m_goalX = -1;
    m_scrollShift = 0;
    while ((size() >> m_scrollShift) > (qint64(1) << 30))
        ++m_scrollShift;
    updateScrollBar();
    viewport()->update();
}

// --- selection and lines -------------------------------------------------

void CREdit_File::setSel(qint64 start, qint64 end)
{
    if (start == 0 && end == -1) {
        end = size();
    } else {
        if (start < 0)
            start = size();
        if (end < 0)
            end = size();
    }
    start = chars().charStart(std::min(start, size()));
    end = chars().charStart(std::min(end, size()));
    m_anchor = start;
    m_caret = end;
    m_caretAtRowEnd = false;
    m_goalX = -1;
    ensureCaretVisible();
    viewport()->update();
}

void CREdit_File::getSel(qint64* start, qint64* end) const
{
    if (start)
        *start = std::min(m_anchor, m_caret);
    if (end)
        *end = std::max(m_anchor, m_caret);
}

qint64 CREdit_File::lineFromChar(qint64 pos)
{
    return m_lines.lineOf(pos < 0 ? m_caret : pos);
}

qint64 CREdit_File::lineIndex(qint64 line)
{
    return m_lines.lineStartOf(line < 0 ? lineFromChar(-1) : line);
}

qint64 CREdit_File::lineCount()
{
    return m_lines.lineCount();
}

void CREdit_File::setLogFont(const LOGFONT& lf)
{
    setFont(fontFromLogFont(lf));
}

void CREdit_File::copySelection()
{
    qint64 s = 0;
    qint64 e = 0;
    getSel(&s, &e);
    if (e > s)
        QGuiApplication::clipboard()->setText(decodedText(s, e));
}

QString CREdit_File::decodedText(qint64 from, qint64 to) const
{
    from = std::clamp<qint64>(from, 0, size());
    to = std::clamp<qint64>(to, from, size());
    QString out = textenc::toUnicode(encoding(), data() + from, to - from);
    if (from == 0 && textenc::bomLength(encoding(), data(), size()) > 0 && to > 0 && !out.isEmpty()
        && out.front() == QChar(0xFEFF))
        out.remove(0, 1);  // the byte order mark is not shown
    return out;
}

// --- search --------------------------------------------------------------

qint64 CREdit_File::findTextEx()
{
    if (!findRecord.text)
        return -1;
    // A search text set for a text of another encoding is encoded again.
    const QByteArray* pattern = findRecord.text;
    if (findRecord.textEncoding != encoding()) {
        bool complete = true;
        m_pattern = textenc::fromUnicode(
            encoding(), textenc::toUnicode(findRecord.textEncoding, pattern->constData(), pattern->size()), &complete);
        if (!complete)
            m_pattern.clear();
        pattern = &m_pattern;
    }
    qint64 foundEnd = -1;
    const qint64 pos = findText(m_text, findRecord.rangeStart, findRecord.rangeEnd, *pattern, &foundEnd, &chars());
    if (pos >= 0) {
        findRecord.foundStart = pos;
        findRecord.foundEnd = foundEnd;
    }
    return pos;
}

bool CREdit_File::FindNext()
{
    if (!findRecord.text)
        return false;
    qint64 selEnd = 0;
    getSel(nullptr, &selEnd);
    findRecord.rangeStart = selEnd;
    findRecord.rangeEnd = -1;
    if (findTextEx() < 0)
        return false;
    setSel(findRecord.foundStart, findRecord.foundEnd);
    return true;
}

bool CREdit_File::FindPrevious()
{
    if (!findRecord.text)
        return false;
    qint64 s = 0;
    getSel(&s, nullptr);
    // Search forward inside windows of 500 bytes walking back from the
    // selection; in the first window with a match, step on to the last match
    // that ends before the selection. Each window reaches into the one after
    // it by the pattern's length - 1, so a match across the edge between two
    // windows lies wholly inside the earlier one.
    // (A Unicode match may be longer than its search text: "k" finds the
    // three bytes of the Kelvin sign.)
    const qint64 longest = findRecord.text->size() * (encoding() == textenc::Encoding::Cp932 ? 1 : 4);
    const qint64 overlap = std::max<qint64>(longest - 1, 0);
    bool found = false;
    bool atTop = false;
    qint64 windowStart = s - kFindWindow;
    qint64 windowEnd = s;
    qint64 lastStart = -1;
    qint64 lastEnd = -1;
    while (true) {
        findRecord.rangeStart = found ? lastEnd : windowStart;
        findRecord.rangeEnd = found ? s : windowEnd;
        if (findRecord.rangeStart < 0) {
            findRecord.rangeStart = 0;
            atTop = true;
        }
        if (findTextEx() >= 0) {
            found = true;
            lastStart = findRecord.foundStart;
            lastEnd = findRecord.foundEnd;
            continue;
        }
        if (found) {
            setSel(lastStart, lastEnd);
            return true;
        }
        windowEnd = std::min(windowStart + overlap, s);
        windowStart -= kFindWindow;
        if (atTop)
            return false;
    }
}

// --- layout and scrolling ------------------------------------------------

void CREdit_File::updateMetrics()
{
    const QFontMetrics fm(font());
    textlayout::Metrics m;
    m.half = std::max(1, fm.horizontalAdvance(QLatin1Char('0')));
    m.full = fm.horizontalAdvance(QChar(0x3042));  // HIRAGANA LETTER A
    if (m.full <= 0)
        m.full = 2 * m.half;
    // Tab stops every quarter inch.
    m.tab = std::max(1, (logicalDpiX() + 2) / 4);
    m_lineHeight = std::max(1, fm.height());
    m_ascent = fm.ascent();
    m_rawFonts.assign(1, QRawFont::fromFont(font(), QFontDatabase::Japanese));
    m_glyphs.assign(0x10000, kNotLookedUp);
    m_wideGlyphs.clear();
    m_layout.setMetrics(m, viewport()->width() - 2 * m_margin);
    relayout();
}

quint32 CREdit_File::glyphFor(char32_t c) const
{
    quint32& g = c < 0x10000 ? m_glyphs[c] : m_wideGlyphs.try_emplace(c, kNotLookedUp).first->second;
    if (g != kNotLookedUp)
        return g;
    const char32_t one[1] = {c};
    const QString chars = QString::fromUcs4(one, 1);  // a surrogate pair past the BMP
    quint32 index = 0;
    int count = 1;
    const QRawFont& own = m_rawFonts.front();
    if (own.isValid() && own.glyphIndexesForChars(chars.constData(), int(chars.size()), &index, &count) && count == 1
        && index) {
        g = index;
        return g;
    }
    // The font lacks it: ask the font fallback once, as drawing the character
    // as text would, and keep the font and glyph it chose. (Text from disk
    // images repeats such a character a million times.)
    g = kDrawAlone;
    QTextLayout layout(chars, font());
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> runs = layout.glyphRuns();
    if (runs.size() == 1 && runs.front().glyphIndexes().size() == 1) {
        const QRawFont rawFont = runs.front().rawFont();
        auto it = std::find(m_rawFonts.begin(), m_rawFonts.end(), rawFont);
        if (it == m_rawFonts.end() && m_rawFonts.size() < 250)
            it = m_rawFonts.insert(m_rawFonts.end(), rawFont);
        const quint32 glyph = runs.front().glyphIndexes().front();
        if (it != m_rawFonts.end() && glyph < (1u << 24))
            g = (quint32(it - m_rawFonts.begin()) << 24) | glyph;
    }
    return g;
}

void CREdit_File::relayout()
{
    m_layout.setMetrics(m_layout.metrics(), viewport()->width() - 2 * m_margin);
    // The top and the caret stay on the same bytes; the top moves to the
    // start of the row that now holds it.
    m_top = m_layout.rowStartAt(m_top);
    updateScrollBar();
    viewport()->update();
}

int CREdit_File::visibleRows() const
{
    return std::max(1, viewport()->height() / m_lineHeight);
}

qint64 CREdit_File::rowsForward(qint64 rowStart, int rows) const
{
    for (int i = 0; i < rows; ++i) {
        const qint64 next = m_layout.nextRowStart(rowStart);
        if (next < 0)
            break;
        rowStart = next;
    }
    return rowStart;
}

qint64 CREdit_File::rowsBack(qint64 rowStart, int rows) const
{
    for (int i = 0; i < rows; ++i) {
        const qint64 prev = m_layout.prevRowStart(rowStart);
        if (prev < 0)
            break;
        rowStart = prev;
    }
    return rowStart;
}

void CREdit_File::updateScrollBar()
{
    const int rows = visibleRows();
    m_maxTop = rowsBack(m_layout.rowStartAt(size()), rows - 1);
    m_top = std::min(m_top, m_maxTop);
    QScrollBar* sb = verticalScrollBar();
    m_settingScroll = true;
    sb->setRange(0, scrollUnits(m_maxTop));
    // The handle's size follows the bytes on one screen.
    const qint64 below = rowsForward(m_top, rows);
    sb->setPageStep(std::max(1, scrollUnits(std::max<qint64>(below - m_top, 1))));
    sb->setSingleStep(1);
    sb->setValue(m_top >= m_maxTop ? sb->maximum() : scrollUnits(m_top));
    m_settingScroll = false;
}

void CREdit_File::setTop(qint64 top)
{
    top = std::clamp<qint64>(top, 0, m_maxTop);
    if (top == m_top)
        return;
    m_top = top;
    QScrollBar* sb = verticalScrollBar();
    m_settingScroll = true;
    sb->setValue(m_top >= m_maxTop ? sb->maximum() : scrollUnits(m_top));
    m_settingScroll = false;
    viewport()->update();
}

void CREdit_File::onScrollAction(int action)
{
    const int page = std::max(1, visibleRows() - 1);
    qint64 top = m_top;
    switch (action) {
    case QAbstractSlider::SliderSingleStepAdd: top = rowsForward(m_top, 1); break;
    case QAbstractSlider::SliderSingleStepSub: top = rowsBack(m_top, 1); break;
    case QAbstractSlider::SliderPageStepAdd: top = rowsForward(m_top, page); break;
    case QAbstractSlider::SliderPageStepSub: top = rowsBack(m_top, page); break;
    case QAbstractSlider::SliderToMinimum: top = 0; break;
    case QAbstractSlider::SliderToMaximum: top = m_maxTop; break;
    default: return;  // dragging arrives through valueChanged
    }
    setTop(std::min(top, m_maxTop));
    m_settingScroll = true;
    verticalScrollBar()->setSliderPosition(verticalScrollBar()->value());
    m_settingScroll = false;
}

void CREdit_File::onScrollValue(int value)
{
    if (m_settingScroll)
        return;
    const QScrollBar* sb = verticalScrollBar();
    const qint64 pos = value >= sb->maximum() ? m_maxTop : (qint64(value) << m_scrollShift);
    m_top = std::min(m_layout.rowStartAt(pos), m_maxTop);
    viewport()->update();
}

void CREdit_File::wheelEvent(QWheelEvent* event)
{
    const int steps = event->angleDelta().y() / 40;  // three rows a notch
    if (steps > 0)
        setTop(rowsBack(m_top, steps));
    else if (steps < 0)
        setTop(std::min(rowsForward(m_top, -steps), m_maxTop));
    event->accept();
}

void CREdit_File::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    relayout();
}

void CREdit_File::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        updateMetrics();
}

// --- caret -----------------------------------------------------------------

qint64 CREdit_File::caretRowStart() const
{
    const qint64 row = m_layout.rowStartAt(m_caret);
    if (m_caretAtRowEnd && row == m_caret && row > 0) {
        const qint64 prev = m_layout.prevRowStart(row);
        if (prev >= 0 && !m_layout.rowEndsLine(prev))
            return prev;
    }
    return row;
}

void CREdit_File::moveCaret(qint64 pos, bool extend, bool atRowEnd)
{
    m_caret = chars().charStart(std::clamp<qint64>(pos, 0, size()));
    if (!extend)
        m_anchor = m_caret;
    m_caretAtRowEnd = atRowEnd;
    ensureCaretVisible();
    viewport()->update();
}

void CREdit_File::ensureCaretVisible()
{
    const qint64 row = caretRowStart();
    if (row < m_top) {
        setTop(row);
        return;
    }
    const int rows = visibleRows();
    qint64 r = m_top;
    for (int i = 0; i < rows; ++i) {
        if (r == row)
            return;
        const qint64 next = m_layout.nextRowStart(r);
        if (next < 0 || next > row)
            break;
        r = next;
    }
    setTop(rowsBack(row, rows - 1));
}

void CREdit_File::moveVertically(int rows, bool extend)
{
    const qint64 row = caretRowStart();
    if (m_goalX < 0)
        m_goalX = textlayout::xOfPos(data(), size(), row, m_caret, m_layout.metrics(), encoding());
    const qint64 target = rows > 0 ? rowsForward(row, rows) : rowsBack(row, -rows);
    const qint64 end = m_layout.rowEnd(target);
    const qint64 pos = textlayout::posAtX(data(), size(), target, end, m_goalX, m_layout.metrics(), encoding());
    const int goal = m_goalX;
    moveCaret(pos, extend, pos == end && !m_layout.rowEndsLine(target));
    m_goalX = goal;
}

qint64 CREdit_File::hitTest(const QPoint& p, bool* atRowEnd) const
{
    qint64 row = m_top;
    const int index = p.y() < 0 ? 0 : p.y() / m_lineHeight;
    row = rowsForward(row, index);
    const qint64 end = m_layout.rowEnd(row);
    const qint64 pos =
        textlayout::posAtX(data(), size(), row, end, p.x() - m_margin, m_layout.metrics(), encoding());
    *atRowEnd = pos == end && !m_layout.rowEndsLine(row);
    return pos;
}

namespace {
// Word classes of a Unicode character, as below.
int unicodeClass(char32_t c)
{
    if (c == '\n' || c == '\r')
        return -1;
    if (c == ' ' || c == '\t')
        return 0;
    if (c >= 0x3040 && c <= 0x309F)
        return 5;  // hiragana
    if ((c >= 0x30A0 && c <= 0x30FF) || (c >= 0xFF66 && c <= 0xFF9F))
        return 6;  // katakana
    if ((c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x20000 && c <= 0x3FFFD))
        return 7;  // kanji
    if (c == '_' || (c < 0x10000 ? QChar(char16_t(c)).isLetterOrNumber() : QChar::isLetterOrNumber(c)))
        return 1;
    return 2;
}

// Word classes for double-click selection.
int charClass(const char* t, qint64 size, qint64 pos, textenc::Encoding enc)
{
    if (pos >= size)
        return -1;
    if (enc != textenc::Encoding::Cp932) {
        const int len = textenc::charLength(enc, t, size, pos);
        return unicodeClass(textenc::decodeAt(enc, t, pos, len));
    }
    const auto b = static_cast<unsigned char>(t[pos]);
    if (b == '\n' || b == '\r')
        return -1;
    if (b == ' ' || b == '\t')
        return 0;
    if (cp932::charLength(t + pos, size - pos) == 2) {
        const auto c = static_cast<unsigned char>(t[pos + 1]);
        if (b == 0x82)
            return c >= 0x9F ? 5 : 4;  // hiragana; full-width digits and letters
        if (b == 0x83 && c <= 0x96)
            return 6;  // katakana
        if (b >= 0x88)
            return 7;  // kanji
        return 8;
    }
    if ((b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || b == '_')
        return 1;
    if (b >= 0xA6 && b <= 0xDF)
        return 3;  // half-width katakana
    return 2;
}
}  // namespace

void CREdit_File::selectWordAt(qint64 pos)
{
    const textlayout::Layout::Block block = m_layout.blockAt(pos);
    const qint64 at = chars().charStart(pos);
    const int cls = charClass(data(), size(), at, encoding());
    if (cls < 0) {
        moveCaret(at, false);
        return;
    }
    qint64 start = at;
    while (start > block.start) {
        const qint64 p = chars().prevChar(start);
        if (p < block.start || charClass(data(), size(), p, encoding()) != cls)
            break;
        start = p;
    }
    qint64 end = at;
    while (end < block.end && charClass(data(), size(), end, encoding()) == cls)
        end = chars().nextChar(end);
    m_anchor = start;
    m_caret = end;
    m_caretAtRowEnd = false;
    m_goalX = -1;
    ensureCaretVisible();
    viewport()->update();
}

// --- input -----------------------------------------------------------------

void CREdit_File::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const bool shift = event->modifiers() & Qt::ShiftModifier;

    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
        // Escape asks for the list just as Enter does; the read-only text has
        // no use for either key itself.
        event->accept();
        emit keyToItem(kVkEnter);
        return;
    }
    if (ctrl && key == Qt::Key_Right) {
        FindNext();
        event->accept();
        return;
    }
    if (ctrl && key == Qt::Key_Left) {
        FindPrevious();
        event->accept();
        return;
    }
    // Holding Ctrl+Down or Ctrl+Up jumps four lines per repetition before the
    // usual move; the first press gets the usual move only.
    if (ctrl && key == Qt::Key_Down && event->isAutoRepeat()) {
        const qint64 line = lineFromChar(-1);
        if (line + 5 <= lineCount()) {
            const qint64 p = lineIndex(line + 4);
            setSel(p, p);
        }
    } else if (ctrl && key == Qt::Key_Up && event->isAutoRepeat()) {
        const qint64 line = lineFromChar(-1);
        if (line > 3) {
            const qint64 p = lineIndex(line - 4);
            setSel(p, p);
        }
    }

    if (event->matches(QKeySequence::Copy) || (ctrl && key == Qt::Key_Insert)) {
        copySelection();
        event->accept();
        return;
    }

    const bool hasSelection = m_anchor != m_caret;
    const int keepGoal = m_goalX;
    m_goalX = -1;
    switch (key) {
    case Qt::Key_Left:
        if (hasSelection && !shift)
            moveCaret(std::min(m_anchor, m_caret), false);
        else
            moveCaret(chars().prevChar(m_caret), shift);
        break;
    case Qt::Key_Right:
        if (hasSelection && !shift)
            moveCaret(std::max(m_anchor, m_caret), false);
        else
            moveCaret(chars().nextChar(m_caret), shift);
        break;
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (ctrl) {
            // Paragraph moves: to the start of the next line, or to the start
            // of this line (the previous one when already there).
            const qint64 line = lineFromChar(-1);
            qint64 target = 0;
            if (key == Qt::Key_Down) {
                target = lineIndex(line + 1);
                if (target < 0)
                    target = size();
            } else {
                target = lineIndex(line);
                if (target == m_caret && line > 0)
                    target = lineIndex(line - 1);
            }
            moveCaret(target, shift);
        } else {
            m_goalX = keepGoal;
            moveVertically(key == Qt::Key_Down ? 1 : -1, shift);
        }
        break;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: {
        const int page = std::max(1, visibleRows() - 1);
        const qint64 top = key == Qt::Key_PageDown ? std::min(rowsForward(m_top, page), m_maxTop)
                                                   : rowsBack(m_top, page);
        m_goalX = keepGoal;
        // The caret keeps its place on the screen.
        setTop(top);
        moveVertically(key == Qt::Key_PageDown ? page : -page, shift);
        break;
    }
    case Qt::Key_Home:
        moveCaret(ctrl ? 0 : caretRowStart(), shift);
        break;
    case Qt::Key_End:
        if (ctrl) {
            moveCaret(size(), shift);
        } else {
            const qint64 row = caretRowStart();
            moveCaret(m_layout.rowEnd(row), shift, !m_layout.rowEndsLine(row));
        }
        break;
    default:
        m_goalX = keepGoal;
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    event->accept();
}

void CREdit_File::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    bool atRowEnd = false;
    const qint64 pos = hitTest(event->position().toPoint(), &atRowEnd);
    m_goalX = -1;
    moveCaret(pos, event->modifiers() & Qt::ShiftModifier, atRowEnd);
}

void CREdit_File::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    QPoint p = event->position().toPoint();
    // Dragging beyond the top or bottom edge scrolls a row at a time.
    if (p.y() < 0)
        setTop(rowsBack(m_top, 1));
    else if (p.y() >= viewport()->height())
        setTop(std::min(rowsForward(m_top, 1), m_maxTop));
    p.setY(std::clamp(p.y(), 0, std::max(0, viewport()->height() - 1)));
    bool atRowEnd = false;
    const qint64 pos = hitTest(p, &atRowEnd);
    m_goalX = -1;
    moveCaret(pos, true, atRowEnd);
}

void CREdit_File::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    bool atRowEnd = false;
    const qint64 pos = hitTest(event->position().toPoint(), &atRowEnd);
    selectWordAt(pos);
}

void CREdit_File::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void CREdit_File::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

// --- painting --------------------------------------------------------------

// A byte that is no character: a small hollow box filling one half-width
// cell, so it can never be mistaken for a character of the text.
void CREdit_File::drawPlaceholder(QPainter& painter, int x, int y) const
{
    const int w = std::max(1, m_layout.metrics().half - 3);
    const int h = std::max(1, m_lineHeight / 2);
    painter.drawRect(x + 1, y + (m_lineHeight - h) / 2, w, h);
}

void CREdit_File::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    painter.setFont(font());
    const QPalette& pal = palette();
    const QColor textColor = pal.color(QPalette::Text);
    const QColor selBack = pal.color(QPalette::Highlight);
    const QColor selText = pal.color(QPalette::HighlightedText);
    const textlayout::Metrics& m = m_layout.metrics();
    const textenc::Encoding enc = encoding();

    qint64 selStart = 0;
    qint64 selEnd = 0;
    getSel(&selStart, &selEnd);
    const qint64 caretRow = caretRowStart();
    const bool showCaret = hasFocus();

    const int height = viewport()->height();
    qint64 row = m_top;
    // Each row's characters go out as glyph runs, one per font (the pane's own
    // and the fallback fonts of characters it lacks) and plain or selected,
    // at their cell positions.
    std::vector<QList<quint32>> indexes;
    std::vector<QList<QPointF>> positions;
    for (int y = 0; y < height && row >= 0; y += m_lineHeight) {
        const qint64 end = m_layout.rowEnd(row);
        int x = 0;
        qint64 p = row;
        const int baseline = y + m_ascent;
        for (auto& l : indexes)
            l.clear();
        for (auto& l : positions)
            l.clear();
        while (p < end) {
            const int len = textenc::charLength(enc, data(), end, p);
            const int advance = textlayout::charAdvance(data(), p, len, x, m, enc);
            const bool selected = p >= selStart && p < selEnd;
            if (selected)
                painter.fillRect(m_margin + x, y, advance, m_lineHeight, selBack);
            char32_t c = textenc::decodeAt(enc, data(), p, len);
            if (c != '\t' && c != ' ' && advance > 0) {
                if (c < 0x20 || c == 0x7F)
                    c = 0;  // control characters and bytes that are no character show the placeholder
                if (!c) {  // one placeholder per byte
                    for (int k = 0; k < len; ++k)
                        drawPlaceholder(painter, m_margin + x + k * m.half, y);
                } else if (const quint32 g = glyphFor(c); g != kDrawAlone) {
                    const size_t k = 2 * (g >> 24) + selected;
                    if (k >= indexes.size()) {
                        indexes.resize(2 * m_rawFonts.size());
                        positions.resize(2 * m_rawFonts.size());
                    }
                    indexes[k].append(g & 0xFFFFFF);
                    positions[k].append(QPointF(m_margin + x, baseline));
                } else {
                    painter.setPen(selected ? selText : textColor);
                    const char32_t one[1] = {c};
                    painter.drawText(m_margin + x, baseline, QString::fromUcs4(one, 1));
                }
            }
            x += advance;
            p += len;
        }
        for (size_t k = 0; k < indexes.size(); ++k) {
            if (indexes[k].isEmpty())
                continue;
            QGlyphRun run;
            run.setRawFont(m_rawFonts[k / 2]);
            run.setGlyphIndexes(indexes[k]);
            run.setPositions(positions[k]);
            run.setUnderline(font().underline());
            run.setStrikeOut(font().strikeOut());
            painter.setPen(k % 2 ? selText : textColor);
            painter.drawGlyphRun(QPointF(0, 0), run);
        }
        // A selected line end shows as one half-width cell.
        if (m_layout.rowEndsLine(row) && end < selEnd && end >= selStart && end < size())
            painter.fillRect(m_margin + x, y, m.half, m_lineHeight, selBack);
        if (showCaret && row == caretRow) {
            const int cx = m_margin + textlayout::xOfPos(data(), size(), row, m_caret, m, enc);
            painter.fillRect(cx, y, 1, m_lineHeight, textColor);
        }
        row = m_layout.nextRowStart(row);
    }
}
