#pragma once
// The content pane: a read-only view of a byte text that opens huge files at
// once. It holds the bytes exactly as given; positions, selections and
// lengths are byte offsets. Only what is on screen is decoded and laid out.
// Each text given is code page 932 unless it shows itself to be UTF-8 or
// UTF-16 (textenc::detect); its characters are then decoded from that.
#include <QAbstractScrollArea>
#include <QByteArray>
#include <QRawFont>

#include <unordered_map>
#include <vector>

class QPainter;

#include "core/settings/logfont.h"
#include "core/viewer/encoding.h"
#include "core/viewer/textlayout.h"

// The find record every search in the pane works on: the range to search
// (end -1 = the end of the text), the search text (null until a search
// command sets it; the view owns the bytes) in the encoding textEncoding,
// and the range found.
struct FindRecord {
    qint64 rangeStart = 0;
    qint64 rangeEnd = -1;
    const QByteArray* text = nullptr;
    textenc::Encoding textEncoding = textenc::Encoding::Cp932;
    qint64 foundStart = -1;
    qint64 foundEnd = -1;
};

class CREdit_File : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit CREdit_File(QWidget* parent = nullptr);

    // Takes the bytes over (a moved-in buffer is not copied) and shows them
    // from the top with the caret at 0.
    void setText(QByteArray bytes);
    const QByteArray& text() const { return m_text; }
    textenc::Encoding encoding() const { return m_layout.encoding(); }
    // The bytes [from, to) decoded as the pane shows them (what copy and
    // printing use); a byte that is no character is U+FFFD.
    QString decodedText(qint64 from, qint64 to) const;
    // The character boundaries of the text, with the work they have cost.
    const textlayout::CharIndex& chars() const { return m_layout.chars(); }

    // The selection runs from start (anchor) to end (caret); (0, -1) selects
    // everything. Both ends are moved to the start of the character they
    // fall in. getSel answers the lower end first.
    void setSel(qint64 start, qint64 end);
    void getSel(qint64* start, qint64* end) const;

    // Lines here are the lines between line feeds, as stored; wrapped
    // continuation rows on screen do not count.
    qint64 lineFromChar(qint64 pos);  // pos -1 = the caret's line
    qint64 lineIndex(qint64 line);    // first byte of the line, -1 past the end
    qint64 lineCount();

    void setLogFont(const LOGFONT& lf);

    // Copies the selection to the clipboard as Unicode text.
    void copySelection();

    // Runs the search described by findRecord; on a match fills its found
    // range and returns the match's start, else returns -1.
    qint64 findTextEx();
    // Selects the next occurrence of the search text after the selection, or
    // the last one before it; false (selection unchanged) when there is none
    // or no search text yet.
    bool FindNext();
    bool FindPrevious();

    FindRecord findRecord;

    // The first byte of the top row on screen, and how many whole rows fit.
    qint64 topPosition() const { return m_top; }
    int visibleRows() const;

signals:
    // Enter and Escape, both reported as the Enter key (13).
    void keyToItem(int virtualKey);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void changeEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // Glyph of a character: the index of its font in m_rawFonts (0 is the
    // pane's own font, the others the fonts the font fallback picked) in the
    // top byte and the glyph index in the rest; kDrawAlone when it has to be
    // drawn as text on its own.
    static constexpr quint32 kNotLookedUp = UINT32_MAX;
    static constexpr quint32 kDrawAlone = UINT32_MAX - 1;
    quint32 glyphFor(char32_t c) const;

    const char* data() const { return m_text.constData(); }
    qint64 size() const { return m_text.size(); }

    void updateMetrics();
    void relayout();
    void updateScrollBar();
    void setTop(qint64 top);
    qint64 rowsForward(qint64 rowStart, int rows) const;
    qint64 rowsBack(qint64 rowStart, int rows) const;
    qint64 caretRowStart() const;
    void moveCaret(qint64 pos, bool extend, bool atRowEnd = false);
    void ensureCaretVisible();
    qint64 hitTest(const QPoint& viewportPos, bool* atRowEnd) const;
    void moveVertically(int rows, bool extend);
    void selectWordAt(qint64 pos);
    void drawPlaceholder(QPainter& painter, int x, int y) const;
    int scrollUnits(qint64 pos) const { return static_cast<int>(pos >> m_scrollShift); }
    void onScrollAction(int action);
    void onScrollValue(int value);

    QByteArray m_text;
    textlayout::Layout m_layout;
    textlayout::LineIndex m_lines;

    qint64 m_top = 0;      // first byte of the top row
    qint64 m_maxTop = 0;   // the top that shows the last row at the bottom
    qint64 m_anchor = 0;
    qint64 m_caret = 0;
    bool m_caretAtRowEnd = false;  // caret at a wrap point, shown at the end of the upper row
    int m_goalX = -1;              // x kept by vertical moves
    bool m_settingScroll = false;

    int m_lineHeight = 16;
    int m_ascent = 12;
    int m_margin = 2;
    mutable std::vector<QRawFont> m_rawFonts;  // the pane's font first, then fallback fonts as met
    mutable std::vector<quint32> m_glyphs;     // by UTF-16 unit, see glyphFor
    mutable std::unordered_map<char32_t, quint32> m_wideGlyphs;  // the same past the BMP
    QByteArray m_pattern;  // the search text in the pane's encoding, when it came in another
    int m_scrollShift = 0;  // scroll bar units are bytes >> m_scrollShift
};
