#pragma once
// Printed pages of a code page 932 text, computed without a printer.
//
// Page geometry is in 0.1 mm. Character advances are in 1/64 of a device
// pixel, measured on demand by the caller's font; positions on a line are
// counted from the left edge of the printable area, where the tab stops (every
// 6.4 mm) are anchored, while the text itself starts at the left margin.
//
// A segment is one printed line: the bytes of a text line up to its line feed
// (a CR right before it is not printed), or, when those are wider than the
// printable width, the longest run of whole characters that fits (at least one
// character). The rest of the line is the next segment.
#include <QByteArray>
#include <QtGlobal>

#include <functional>
#include <vector>

namespace print {

// Height in 0.1 mm of the print font for a size in tenths of a point, as a
// printer of logPixelsY pixels per inch rounds it: negative, the character
// height. 100 (10 pt) at 600 dpi gives -35.
int fontHeight(int logPixelsY, int pointTenths);

// Whole lines between the top and the bottom margin (at least one).
int linesPerPage(int pageHeight, int marginTop, int marginBottom, int lineHeight);

// Converts between 0.1 mm and 1/64 device pixels at dpi.
inline qint64 fixedFromTenthMm(qint64 v, int dpi) { return v * dpi * 64 / 254; }

// How the walk measures: advances of decoded characters in 1/64 device pixel
// (asked once per character and kept), the placeholder's advance for a byte
// that does not decode, the device resolution across, the left margin in
// millimetres and the printable width in 0.1 mm.
class Measure {
public:
    Measure(std::function<int(char32_t)> advance, int placeholder, int dpiX, int marginLeft, int printableWidth);

    int advanceOf(char32_t c)
    {
        if (c >= cache_.size())
            return std::max(0, advance_(c));  // beyond the BMP: rare, asked each time
        int& a = cache_[c];
        if (a < 0)
            a = std::max(0, advance_(c));
        return a;
    }
    int placeholder() const { return placeholder_; }
    // Where the text starts, from the printable area's left edge.
    qint64 left() const { return left_; }
    // The widest run, from the left margin, that still fits.
    qint64 limit() const { return limit_; }
    // The next tab stop after x (from the left margin).
    qint64 nextTab(qint64 x) const;

private:
    std::function<int(char32_t)> advance_;
    std::vector<int> cache_;
    int placeholder_;
    int dpiX_;
    qint64 left_;
    qint64 limit_;
};

// One character as printed: a decoded character, a TAB, or a byte (or pair)
// that does not decode and shows one placeholder per byte.
struct Cell {
    enum Kind { Char, Tab, Placeholder };
    Kind kind = Char;
    char32_t ch = 0;
    int len = 1;  // bytes
};
// The text is code page 932, or UTF-8 (a Unicode text is printed from its
// UTF-8 form: TAB, CR and LF are the same single bytes there).
enum class TextForm { Cp932, Utf8 };
Cell cellAt(const char* p, qsizetype avail, TextForm form = TextForm::Cp932);

struct Segment {
    qsizetype start = 0;
    qsizetype end = 0;   // end of the printed bytes
    qsizetype next = 0;  // where the following segment starts
    qsizetype mark = 0;  // where a page opened after this segment starts:
                         // its line feed, or the continuation of a wrapped line
};

class SegmentWalker {
public:
    SegmentWalker(const QByteArray& text, Measure& measure, TextForm form = TextForm::Cp932);
    // The segment starting at pos (0 <= pos < size).
    Segment segmentAt(qsizetype pos);

    // The characters of a segment with their x (1/64 device pixel from the
    // left margin) and advance, for drawing.
    struct Placed {
        Cell cell;
        qsizetype pos = 0;
        qint64 x = 0;
        qint64 advance = 0;
    };
    std::vector<Placed> place(const Segment& s);

private:
    qint64 advance(const Cell& c, qint64 x);

    const char* text_;
    qsizetype size_;
    Measure& measure_;
    TextForm form_;
    // The line feed of the line last walked: a long line is searched once.
    qsizetype lineFrom_ = -1;
    qsizetype lineFeed_ = -1;
};

// The page table: entry 0 is 0, entry k the position at which page k + 1
// starts. Every page holds up to linesPerPage + 1 segments: the one that
// opens the next page is also the last printed on this one.
std::vector<qsizetype> paginate(const QByteArray& text, SegmentWalker& walker, int linesPerPage);

// The segments printed on page (1-based) of the table: at most
// linesPerPage + 1, up to the one that reaches the next page's start.
std::vector<Segment> pageSegments(const QByteArray& text, SegmentWalker& walker, const std::vector<qsizetype>& pageStarts,
                                  int page, int linesPerPage);

}  // namespace print
