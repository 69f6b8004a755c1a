// Printing the content pane on the PDF printer at 600 dpi, read back with
// pdftotext: the print font, lines per page, page breaks, selections,
// wrapping, tabs, long texts and margins that leave no room; preview, page
// setup and printer setup with their dialogs answered here.
#include <gtest/gtest.h>

#include <QDir>
#include <QDoubleSpinBox>
#include <QComboBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>

#include <cmath>
#include <map>

#include "core/print/pagination.h"
#include "core/res/resources.h"
#include "core/viewer/cp932.h"
#include "support/uiharness.h"
#include "ui/print/printer.h"

namespace {

// A word pdftotext found, with its box in points.
struct Word {
    double x = 0, y = 0;
    QString text;
};
using Page = std::vector<Word>;

// Words of every page, from pdftotext's bounding-box output.
std::vector<Page> readPdf(const QString& pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf,
                                          QStringLiteral("-")});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {};
    const QString html = QString::fromUtf8(p.readAllStandardOutput());
    std::vector<Page> pages;
    static const QRegularExpression tag(
        QStringLiteral("<page |<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\"[^>]*>([^<]*)</word>"));
    for (auto it = tag.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        if (m.captured(0).startsWith(QLatin1String("<page"))) {
            pages.emplace_back();
            continue;
        }
        if (!pages.empty())
            pages.back().push_back({m.captured(1).toDouble(), m.captured(2).toDouble(), m.captured(3)});
    }
    return pages;
}

// The text lines of a page, top to bottom: words on the same baseline joined.
QStringList lines(const Page& page)
{
    std::map<long, QString> byY;
    for (const Word& w : page) {
        QString& line = byY[std::lround(w.y * 4)];
        if (!line.isEmpty())
            line += QLatin1Char(' ');
        line += w.text;
    }
    QStringList out;
    for (const auto& [y, text] : byY)
        out << text;
    return out;
}

QByteArray numberedLines(int from, int count)
{
    QByteArray t;
    for (int i = from; i < from + count; ++i)
        t += "L" + QByteArray::number(i).rightJustified(4, '0') + "\n";
    return t;
}

class PrintTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            << "pdftotext (poppler-utils) is needed";
        h.open();
        v = h.view();
        PrinterChoice toPdf;
        toPdf.chosen = true;  // the PDF printer, whatever this machine has
        v->printerChoice = toPdf;
        v->runPrintDialog = [this](QPrintDialog& d) {
            ++printDialogs;
            defaultOutput = d.printer()->outputFileName();
            d.printer()->setOutputFileName(pdf);
            return true;
        };
    }

    // Prints text through the print command and reads the pages back.
    std::vector<Page> print(const QByteArray& text)
    {
        v->contentPane->setText(text);
        return printShown();
    }
    std::vector<Page> printShown()
    {
        QFile::remove(pdf);
        h.frame->command(res::ID_FILE_PRINT);
        return readPdf(pdf);
    }

    UiHarness h;
    CTrovik32View* v = nullptr;
    QTemporaryDir out;
    QString pdf = out.filePath(QStringLiteral("print.pdf"));
    QString defaultOutput;
    int printDialogs = 0;
};

}  // namespace

TEST_F(PrintTest, FontHeightAndLinesPerPageOnThePdfPrinter)
{
    v->editPointSize = 100;
    v->contentPane->setText("x");
    ASSERT_TRUE(v->PreparePrinting());
    EXPECT_NEAR(v->printFont.pointSizeF() * 254 / 72, 35, 0.01);  // -35: 3.5 mm
    EXPECT_EQ(v->pageWidth, 2100);
    EXPECT_EQ(v->pageHeight, 2970);
    EXPECT_EQ(v->printableWidth, 2100 - 200);
    QPrinter probe(QPrinter::HighResolution);
    probe.setResolution(600);
    const int lineHeight = printLineHeight(v->printFont, &probe);
    EXPECT_EQ(v->linesPerPage, (2970 - 200) / lineHeight);

    v->editPointSize = 10;  // the first-run value: one point
    ASSERT_TRUE(v->PreparePrinting());
    EXPECT_NEAR(v->printFont.pointSizeF() * 254 / 72, 3, 0.01);
}

TEST_F(PrintTest, PagesHoldLinesPerPagePlusOneLines)
{
    v->editPointSize = 100;
    v->contentPane->setText("x");
    ASSERT_TRUE(v->PreparePrinting());
    const int lpp = v->linesPerPage;
    ASSERT_GT(lpp, 10);

    // Three pages' worth: page 1 ends with the line that opens page 2, and
    // page 2 starts with the empty rest of that line.
    auto pages = print(numberedLines(1, 3 * lpp));
    ASSERT_EQ(pages.size(), 3u);
    QStringList p1 = lines(pages[0]);
    ASSERT_EQ(p1.size(), lpp + 1);
    EXPECT_EQ(p1.first(), "L0001");
    EXPECT_EQ(p1.last(), QStringLiteral("L%1").arg(lpp + 1, 4, 10, QLatin1Char('0')));
    QStringList p2 = lines(pages[1]);
    ASSERT_EQ(p2.size(), lpp);
    EXPECT_EQ(p2.first(), QStringLiteral("L%1").arg(lpp + 2, 4, 10, QLatin1Char('0')));
    // The empty first line keeps its place: page 2's first text sits one line
    // lower than page 1's.
    const double lineStep = pages[0][1].y - pages[0][0].y;
    EXPECT_NEAR(pages[1][0].y - pages[0][0].y, lineStep, 0.5);

    // Exactly linesPerPage + 1 lines ending in a line feed: page 2 holds
    // only an empty line.
    pages = print(numberedLines(1, lpp + 1));
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(lines(pages[0]).size(), lpp + 1);
    EXPECT_TRUE(pages[1].empty());

    // An empty pane is one empty page.
    pages = print(QByteArray());
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_TRUE(pages[0].empty());
    EXPECT_EQ(v->pageCount, 0);
}

TEST_F(PrintTest, SelectionOnlyAndLastLineWithoutLineFeed)
{
    v->contentPane->setText("first line\nsecond line\nthird");
    v->contentPane->setSel(11, 22);  // "second line"
    auto pages = printShown();
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(lines(pages[0]), QStringList{QStringLiteral("second line")});

    v->contentPane->setSel(0, 0);
    v->itemPath = "c:\\work\\memo.txt";  // the item shown
    pages = printShown();
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(lines(pages[0]), (QStringList{"first line", "second line", "third"}));
    // Printed to a PDF named after the item shown, in the documents folder,
    // until the dialog chose another file.
    EXPECT_EQ(printDialogs, 2);
    EXPECT_EQ(defaultOutput, pdfOutputPath(QStringLiteral("memo.txt")));
}

TEST_F(PrintTest, UnicodeTextsPrintWhatThePaneShows)
{
    // The same kana and accented letters in UTF-8, UTF-8 with its mark, and
    // UTF-16 of both byte orders, each decoded as the pane decodes it.
    const QString text = QStringLiteral("カナ café\nÜber ｶﾀｶﾅ\n");
    const QStringList expected{QStringLiteral("カナ café"), QStringLiteral("Über ｶﾀｶﾅ")};
    QByteArray le("\xFF\xFE"), be("\xFE\xFF");
    for (QChar c : text) {
        le.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
        be.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xFF));
    }
    for (const QByteArray& bytes : {text.toUtf8(), QByteArray("\xEF\xBB\xBF") + text.toUtf8(), le, be}) {
        auto pages = print(bytes);
        ASSERT_EQ(pages.size(), 1u);
        EXPECT_EQ(lines(pages[0]), expected) << bytes.toHex().left(8).constData();
    }
    // A selection of a UTF-16 text prints only what it holds.
    v->contentPane->setText(le);
    v->contentPane->setSel(2 + 2 * 3, 2 + 2 * 7);  // "café"
    auto pages = printShown();
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(lines(pages[0]), QStringList{QStringLiteral("café")});
}

TEST_F(PrintTest, LongLinesWrapAtWholeCharacters)
{
    // Kana after one ASCII letter: a split pair would show as placeholders
    // and the lines would no longer join up to the original.
    v->editPointSize = 100;
    const QString kana = QStringLiteral("あいうえおかきくけこさしすせそ").repeated(12);
    const QString text = QStringLiteral("a") + kana;
    const auto pages = print(cp932::fromUnicode(text) + "\n");
    ASSERT_EQ(pages.size(), 1u);
    const QStringList l = lines(pages[0]);
    ASSERT_GT(l.size(), 2);
    EXPECT_EQ(l.join(QString()), text);
    // Every full line is about as wide as the printable area allows.
    double right = 0;
    for (const Word& w : pages[0])
        right = std::max(right, w.x);
    EXPECT_LT(right, (210.0 - 10) / 25.4 * 72);
}

TEST_F(PrintTest, LeadingTabLandsOnTheTabStop)
{
    v->marginLeft = 0;
    auto pages = print("\tX\n");
    ASSERT_EQ(pages.size(), 1u);
    ASSERT_EQ(pages[0].size(), 1u);
    EXPECT_NEAR(pages[0][0].x, 6.4 / 25.4 * 72, 0.3);  // 6.4 mm in points
    // With a 10 mm margin the stops stay on the paper's grid: 12.8 mm.
    v->marginLeft = 10;
    pages = print("\tX\n");
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_NEAR(pages[0][0].x, 12.8 / 25.4 * 72, 0.3);
}

TEST_F(PrintTest, FortyPagesEachLineOnce)
{
    v->editPointSize = 100;
    v->contentPane->setText("x");
    ASSERT_TRUE(v->PreparePrinting());
    const int lpp = v->linesPerPage;
    const int count = (lpp + 1) + 38 * lpp + lpp / 2;  // page 40 is half full
    const auto pages = print(numberedLines(1, count));
    ASSERT_EQ(pages.size(), 40u);
    EXPECT_EQ(v->pageCount, 39);
    QStringList all;
    for (const Page& p : pages)
        all += lines(p);
    ASSERT_EQ(all.size(), count);
    for (int i = 0; i < count; ++i)
        ASSERT_EQ(all[i], QStringLiteral("L%1").arg(i + 1, 4, 10, QLatin1Char('0')));
}

TEST_F(PrintTest, NoRoomBetweenTheMarginsStillEnds)
{
    v->marginLeft = 105;
    v->marginRight = 105;  // nothing left of 210 mm
    const auto pages = print("ab\ncd");
    ASSERT_EQ(v->printableWidth, 0);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(lines(pages[0]), (QStringList{"a", "b", "c", "d"}));
}

TEST_F(PrintTest, PreviewShowsEveryPage)
{
    v->editPointSize = 100;
    v->contentPane->setText(numberedLines(1, 200));
    int previewPages = -1;
    v->runPreviewDialog = [&](QPrintPreviewDialog& d) {
        auto* preview = d.findChild<QPrintPreviewWidget*>();
        if (!preview)
            return false;
        preview->updatePreview();
        previewPages = preview->pageCount();
        return true;
    };
    h.frame->command(res::ID_FILE_PRINT_PREVIEW);
    ASSERT_GT(v->pageCount, 0);
    EXPECT_EQ(previewPages, v->pageCount + 1);
    EXPECT_EQ(printDialogs, 0);  // preview asks for no printer
}

TEST_F(PrintTest, PageSetupInMillimetres)
{
    // The user types 25.4 into every margin box and presses OK.
    v->runPageSetupDialog = [](QPageSetupDialog& d) {
        QTimer::singleShot(0, &d, [&d] {
            for (QDoubleSpinBox* box : d.findChildren<QDoubleSpinBox*>())
                box->setValue(25.4);
            d.accept();
        });
        return d.exec() == QDialog::Accepted;
    };
    h.frame->command(res::ID_PAGE_SETUP);
    EXPECT_EQ(v->marginLeft, 25);
    EXPECT_EQ(v->marginTop, 25);
    EXPECT_EQ(v->marginRight, 25);
    EXPECT_EQ(v->marginBottom, 25);

    // Cancel keeps them, whatever was typed.
    v->runPageSetupDialog = [](QPageSetupDialog& d) {
        for (QDoubleSpinBox* box : d.findChildren<QDoubleSpinBox*>())
            box->setValue(3);
        d.printer()->setPageMargins(QMarginsF(3, 3, 3, 3), QPageLayout::Millimeter);
        return false;
    };
    h.frame->command(res::ID_PAGE_SETUP);
    EXPECT_EQ(v->marginLeft, 25);
    EXPECT_EQ(v->marginBottom, 25);

    // They are saved with the other settings.
    h.close();
    QSettingsProfile p(h.profileFile());
    EXPECT_EQ(p.readInt("P_Margin", "left", 0), 25);
}

TEST(ProgramPrinter, WithoutAnyPrinterItIsAnA4PdfAt600Dpi)
{
    if (!QPrinterInfo::defaultPrinter().isNull())
        GTEST_SKIP() << "this machine has a default printer";
    const auto printer = makeProgramPrinter(PrinterChoice{}, QStringLiteral("memo.txt"));
    EXPECT_EQ(printer->outputFormat(), QPrinter::PdfFormat);
    EXPECT_EQ(printer->resolution(), 600);
    EXPECT_EQ(printer->pageLayout().pageSize().id(), QPageSize::A4);
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!QDir(folder).exists())
        folder = QDir::homePath();
    EXPECT_EQ(printer->outputFileName(), QDir(folder).filePath("memo.txt.pdf"));
}

TEST_F(PrintTest, PrinterSetupChoosesPaperForPagination)
{
    v->printerChoice = PrinterChoice{};
    v->runPrinterSetupDialog = [](CPrinterSetupDlg& d) {
        d.printerBox->setCurrentIndex(0);  // the PDF printer
        const int a5 = d.paperBox->findText(QPageSize(QPageSize::A5).name());
        if (a5 < 0)
            return false;
        d.paperBox->setCurrentIndex(a5);
        d.landscape->setChecked(true);
        return true;
    };
    h.frame->command(res::ID_FILE_PRINT_SETUP);
    EXPECT_TRUE(v->printerChoice.chosen);
    v->contentPane->setText("x");
    ASSERT_TRUE(v->PreparePrinting());
    EXPECT_EQ(v->pageWidth, 2100);  // A5 across
    EXPECT_EQ(v->pageHeight, 1480);

    // Cancel keeps the choice.
    v->runPrinterSetupDialog = [](CPrinterSetupDlg& d) {
        d.portrait->setChecked(true);
        return false;
    };
    h.frame->command(res::ID_FILE_PRINT_SETUP);
    EXPECT_EQ(v->printerChoice.orientation, QPageLayout::Landscape);
}
