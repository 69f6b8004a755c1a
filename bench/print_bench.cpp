// Pagination benchmark on the PDF printer (A4, 600 dpi), through the view's
// own print preparation:
//   paginate_10mb       PreparePrinting on a 10 MB Shift-JIS text, against
//                       decoding the same text once (cp932::toUnicode)
//   paginate_1mb_line   time per byte for one line of 1 MB, against the time
//                       per byte of 1 MB of ordinary lines
// Runs headless (offscreen) unless a platform is chosen.
#include <QApplication>
#include <QElapsedTimer>
#include <QMap>

#include <cstdio>
#include <random>

#include "core/settings/profile.h"
#include "core/viewer/cp932.h"
#include "ui/view/CTrovik32View.h"
#include "ui/viewer/CREdit_File.h"

namespace {

// A profile that keeps nothing: the first-run settings.
class NoProfile : public Profile {
public:
    int readInt(const QString&, const QString&, int d) override { return d; }
    QByteArray readString(const QString&, const QString&, const QByteArray& d) override { return d; }
    void writeInt(const QString&, const QString&, int) override {}
    void writeString(const QString&, const QString&, const QByteArray&) override {}
};

QByteArray makeText(qint64 size, bool lineFeeds)
{
    const QStringList words = {
        QStringLiteral("テキスト"), QStringLiteral("圧縮"), QStringLiteral("表示"),  QStringLiteral("ファイル"),
        QStringLiteral("world"),    QStringLiteral("Hello"), QStringLiteral("ｶﾀｶﾅ"), QStringLiteral("印刷"),
        QStringLiteral("\t"),       QStringLiteral("能"),   QStringLiteral("abc"),  QStringLiteral("データ"),
    };
    std::vector<QByteArray> encoded;
    for (const QString& w : words)
        encoded.push_back(cp932::fromUnicode(w));
    std::mt19937 rng(44);
    QByteArray text;
    text.reserve(size + 100);
    while (text.size() < size) {
        const int count = 4 + rng() % 12;
        for (int i = 0; i < count; ++i) {
            text += encoded[rng() % encoded.size()];
            text += ' ';
        }
        if (lineFeeds)
            text += "\r\n";
    }
    text.truncate(size);
    return text;
}

double prepareMs(CTrovik32View& view, const QByteArray& text)
{
    view.contentPane->setText(text);
    QElapsedTimer timer;
    timer.start();
    view.PreparePrinting();
    return timer.nsecsElapsed() / 1e6;
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    NoProfile profile;
    CTrovik32View view(profile);
    view.createView();
    view.printerChoice.chosen = true;  // the PDF printer
    view.editPointSize = 100;

    const QByteArray big = makeText(10LL * 1024 * 1024, true);
    prepareMs(view, big.left(100000));  // the font's advances measured once
    const double ms = prepareMs(view, big);
    const int pages = view.pageCount + 1;
    QElapsedTimer timer;
    timer.start();
    const QString decoded = cp932::toUnicode(big);
    const double decodeMs = timer.nsecsElapsed() / 1e6;
    std::printf("paginate_10mb %.1f ms baseline=%.1f ratio=%.2f\n", ms, decodeMs, ms / decodeMs);
    std::fprintf(stderr, "paginate_10mb: %d pages of %d lines\n", pages, view.linesPerPage + 1);

    const qint64 mb = 1024 * 1024;
    const QByteArray oneLine = makeText(mb, false);
    const QByteArray lines = big.left(mb);
    const double lineNs = prepareMs(view, oneLine) * 1e6 / double(mb);
    const double linesNs = prepareMs(view, lines) * 1e6 / double(mb);
    std::printf("paginate_1mb_line %.1f ns/byte baseline=%.1f ratio=%.2f\n", lineNs, linesNs, lineNs / linesNs);
    view.destroyView();
    return 0;
}
