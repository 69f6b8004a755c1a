// Content pane benchmark on a 100 MB Shift-JIS text made in memory, side by
// side with QPlainTextEdit on the same text:
//   content_first_paint_100mb   setText + first paint, against setPlainText
//                               (of the decoded text) + first paint
//   content_memory_overhead     resident memory the pane adds beyond the text
//   content_end_page_up         Ctrl+End, then one page up, until painted
//   content_find_100mb          find-next without a match through the text
// and on hostile text, that nobody writes by hand but disk images hold:
//   content_first_paint_leadrun_100mb   setText + first paint of 100 MB of 0xF6
//   content_end_leadrun_100mb           Ctrl+End on it, until painted
//   content_find_leadrun_100mb          a search for "＜" (81 83) in 100 MB of
//                                       "メ" (83 81) without a line feed
// and on the same Japanese text as UTF-8 (goals 50 ms and 100 ms):
//   content_first_paint_utf8_100mb      setText (detection included) + first paint
//   content_find_utf8_100mb             a search without a match through it
// and on hostile UTF-16: 100 MB of "ਊ" (0A 0A in UTF-16 LE), every byte a
// line feed's value yet no line end:
//   content_end_utf16_lfbytes_100mb     setText + first paint, Ctrl+End, Ctrl+Up, until painted
// Runs headless (offscreen) unless a platform is chosen.
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPlainTextEdit>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <unistd.h>

#include "core/viewer/cp932.h"
#include "core/viewer/find.h"
#include "ui/viewer/CREdit_File.h"

namespace {

qint64 residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return qint64(resident) * sysconf(_SC_PAGESIZE);
}

QByteArray makeText(qint64 size, bool utf8 = false)
{
    const QStringList words = {
        QStringLiteral("テキスト"), QStringLiteral("圧縮"),     QStringLiteral("表示"), QStringLiteral("ファイル"),
        QStringLiteral("大阪"),     QStringLiteral("東京"),     QStringLiteral("world"), QStringLiteral("Hello"),
        QStringLiteral("ｶﾀｶﾅ"),     QStringLiteral("データ"),   QStringLiteral("書庫"), QStringLiteral("印刷"),
        QStringLiteral("abc"),      QStringLiteral("フォルダ"), QStringLiteral("\t"),   QStringLiteral("能"),
    };
    std::vector<QByteArray> encoded;
    for (const QString& w : words)
        encoded.push_back(utf8 ? w.toUtf8() : cp932::fromUnicode(w));
    std::mt19937 rng(100);
    QByteArray text;
    text.reserve(size + 200);
    qint64 line = 0;
    while (text.size() < size) {
        text += QByteArray::number(line++).rightJustified(8, '0');
        const int count = 4 + rng() % 12;
        for (int i = 0; i < count; ++i) {
            text += ' ';
            text += encoded[rng() % encoded.size()];
        }
        text += "\r\n";
    }
    text.truncate(size);
    return text;
}

void key(QWidget* w, int k, Qt::KeyboardModifiers mods)
{
    QKeyEvent press(QEvent::KeyPress, k, mods);
    QApplication::sendEvent(w, &press);
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const qint64 size = 100LL * 1024 * 1024;
    const QByteArray text = makeText(size);

    CREdit_File pane;
    pane.setLogFont(LOGFONT{});
    pane.resize(800, 600);
    pane.show();
    pane.grab();
    QApplication::processEvents();

    // The pane's own work, memory measured around it (the text is already resident).
    const qint64 rssBefore = residentBytes();
    QElapsedTimer timer;
    timer.start();
    pane.setText(text);  // shared, not copied: the pane holds a snapshot
    pane.grab();
    const double firstPaint = timer.nsecsElapsed() / 1e6;

    timer.start();
    key(&pane, Qt::Key_End, Qt::ControlModifier);
    key(&pane, Qt::Key_PageUp, Qt::NoModifier);
    pane.grab();
    const double endPageUp = timer.nsecsElapsed() / 1e6;
    const qint64 rssAfter = residentBytes();

    const QByteArray pattern = cp932::fromUnicode(QStringLiteral("見つからない"));
    qint64 foundEnd = -1;
    timer.start();
    const qint64 found = findText(text, 0, -1, pattern, &foundEnd);
    const double findMs = timer.nsecsElapsed() / 1e6;
    timer.start();
    const qint64 foundLetters = findText(text, 0, -1, "zqx", &foundEnd);
    const double findLettersMs = timer.nsecsElapsed() / 1e6;
    timer.start();
    const qint64 baselineFound = text.indexOf(pattern);
    const double indexOfMs = timer.nsecsElapsed() / 1e6;
    if (found != -1 || foundLetters != -1 || baselineFound != -1)
        std::fprintf(stderr, "unexpected match\n");

    // The baseline: QPlainTextEdit with the decoded text.
    double baseline = 0;
    {
        const QString decoded = cp932::toUnicode(text);
        QPlainTextEdit edit;
        edit.setFont(pane.font());
        edit.resize(800, 600);
        edit.show();
        edit.grab();
        timer.start();
        edit.setPlainText(decoded);
        edit.grab();
        baseline = timer.nsecsElapsed() / 1e6;
    }

    // Hostile text: one run of lead-range bytes.
    double leadPaint = 0;
    double leadEnd = 0;
    {
        CREdit_File leadPane;
        leadPane.setLogFont(LOGFONT{});
        leadPane.resize(800, 600);
        leadPane.show();
        leadPane.grab();
        QApplication::processEvents();
        const QByteArray filler(size, '\xF6');
        timer.start();
        leadPane.setText(filler);
        leadPane.grab();
        leadPaint = timer.nsecsElapsed() / 1e6;
        timer.start();
        key(&leadPane, Qt::Key_End, Qt::ControlModifier);
        leadPane.grab();
        leadEnd = timer.nsecsElapsed() / 1e6;
    }
    double leadFind = 0;
    {
        QByteArray me;
        me.reserve(size);
        while (me.size() < size)
            me += "\x83\x81";
        timer.start();
        const qint64 hit = findText(me, 0, -1, "\x81\x83", &foundEnd);
        leadFind = timer.nsecsElapsed() / 1e6;
        if (hit != -1)
            std::fprintf(stderr, "unexpected match in the lead run\n");
    }

    // The same Japanese text in UTF-8.
    double utf8Paint = 0;
    double utf8Find = 0;
    {
        const QByteArray utf8 = makeText(size, true);
        CREdit_File utf8Pane;
        utf8Pane.setLogFont(LOGFONT{});
        utf8Pane.resize(800, 600);
        utf8Pane.show();
        utf8Pane.grab();
        QApplication::processEvents();
        timer.start();
        utf8Pane.setText(utf8);
        utf8Pane.grab();
        utf8Paint = timer.nsecsElapsed() / 1e6;
        if (utf8Pane.encoding() != textenc::Encoding::Utf8)
            std::fprintf(stderr, "UTF-8 text not taken for UTF-8\n");
        const QByteArray utf8Pattern = QStringLiteral("見つからない").toUtf8();
        timer.start();
        const qint64 hit = findText(utf8, 0, -1, utf8Pattern, &foundEnd, &utf8Pane.chars());
        utf8Find = timer.nsecsElapsed() / 1e6;
        if (hit != -1)
            std::fprintf(stderr, "unexpected match in the UTF-8 text\n");
    }

    double utf16End = 0;
    {
        QByteArray lf("\xFF\xFE");
        lf.reserve(size + 2);
        while (lf.size() < size)
            lf += "\x0A\x0A";
        CREdit_File utf16Pane;
        utf16Pane.setLogFont(LOGFONT{});
        utf16Pane.resize(800, 600);
        utf16Pane.show();
        utf16Pane.grab();
        QApplication::processEvents();
        timer.start();
        utf16Pane.setText(lf);
        utf16Pane.grab();
        key(&utf16Pane, Qt::Key_End, Qt::ControlModifier);
        key(&utf16Pane, Qt::Key_Up, Qt::ControlModifier);
        utf16Pane.grab();
        utf16End = timer.nsecsElapsed() / 1e6;
        if (utf16Pane.lineCount() != 1)
            std::fprintf(stderr, "line feed bytes taken for line ends\n");
    }

    std::printf("content_first_paint_100mb %.2f ms baseline=%.0f ratio=%.5f\n", firstPaint, baseline,
                firstPaint / baseline);
    std::printf("content_memory_overhead %.2f %%\n", 100.0 * double(rssAfter - rssBefore) / double(size));
    std::printf("content_end_page_up %.2f ms\n", endPageUp);
    std::printf("content_find_100mb %.2f ms baseline_indexOf=%.2f ms all_letters_pattern=%.2f ms\n", findMs,
                indexOfMs, findLettersMs);
    std::printf("content_first_paint_leadrun_100mb %.2f ms\n", leadPaint);
    std::printf("content_end_leadrun_100mb %.2f ms\n", leadEnd);
    std::printf("content_find_leadrun_100mb %.2f ms\n", leadFind);
    std::printf("content_first_paint_utf8_100mb %.2f ms\n", utf8Paint);
    std::printf("content_find_utf8_100mb %.2f ms\n", utf8Find);
    std::printf("content_end_utf16_lfbytes_100mb %.2f ms\n", utf16End);
    return 0;
}
