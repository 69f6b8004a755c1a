// The view's printing: preparation and pagination against the program's
// printer, one page drawn, the print and preview commands, page setup and
// printer setup.
#include <QFontMetricsF>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProgressDialog>

#include <algorithm>
#include <cmath>

#include "core/browse/itemtext.h"
#include "core/print/pagination.h"
#include "ui/app/messagebox.h"
#include "ui/view/CTrovik32View.h"
#include "ui/viewer/CREdit_File.h"

namespace {

// The document printed is named after the item shown.
QString documentName(const QByteArray& itemPath)
{
    const QByteArray name = itemPath.mid(itemPath.lastIndexOf('\\') + 1);
    return name.isEmpty() || name.endsWith(':') ? QStringLiteral("Trovik32") : items::displayText(name);
}

}  // namespace

bool CTrovik32View::PreparePrinting()
{
    if (!contentPane)
        return false;
    qint64 selStart = 0;
    qint64 selEnd = 0;
    contentPane->getSel(&selStart, &selEnd);
    printText = selStart == selEnd ? contentPane->text() : contentPane->text().mid(selStart, selEnd - selStart);
    // A Unicode text prints from its UTF-8 form, decoded as the pane decodes it.
    printForm = print::TextForm::Cp932;
    if (contentPane->encoding() != textenc::Encoding::Cp932) {
        printForm = print::TextForm::Utf8;
        if (contentPane->encoding() != textenc::Encoding::Utf8 || printText.startsWith("\xEF\xBB\xBF")) {
            const qint64 to = selStart == selEnd ? contentPane->text().size() : selEnd;
            printText = contentPane->decodedText(selStart == selEnd ? 0 : selStart, to).toUtf8();
        }
    }

    // Measured on the program's printer; a printer chosen in the print dialog
    // prints this page table with its own measurements.
    const std::unique_ptr<QPrinter> printer = makeProgramPrinter(printerChoice, documentName(itemPath));
    const QRectF area = printer->pageRect(QPrinter::Millimeter);
    pageWidth = int(area.width()) * 10;
    pageHeight = int(area.height()) * 10;
    printableWidth = pageWidth - (marginRight + marginLeft) * 10;

    printFont = makePrintFont(editLogFont, print::fontHeight(printer->logicalDpiY(), editPointSize));
    linesPerPage = print::linesPerPage(pageHeight, marginTop, marginBottom, printLineHeight(printFont, printer.get()));

    printTextLength = printText.size();
    const std::unique_ptr<print::Measure> measure = makeMeasure(printFont, printer.get(), marginLeft, printableWidth);
    print::SegmentWalker walker(printText, *measure, printForm);
    pageStarts = print::paginate(printText, walker, linesPerPage);
    pageCount = int(pageStarts.size()) - 1;
    return true;
}

void CTrovik32View::PrintPage(QPainter& painter, QPrinter& printer, int page)
{
    if (page < 1 || size_t(page) > pageStarts.size() || pageStarts[size_t(page - 1)] >= printTextLength)
        return;
    const int lineHeight = printLineHeight(printFont, &printer);
    const std::unique_ptr<print::Measure> measure = makeMeasure(printFont, &printer, marginLeft, printableWidth);
    print::SegmentWalker walker(printText, *measure, printForm);
    const double dpiY = printer.logicalDpiY();
    const QFontMetricsF fm(printFont, &printer);
    painter.setFont(printFont);
    painter.setPen(Qt::black);
    const double left = measure->left() / 64.0;
    const std::vector<print::Segment> segments = print::pageSegments(printText, walker, pageStarts, page, linesPerPage);
    for (size_t i = 0; i < segments.size(); ++i) {
        // Lines go down from the top margin, one line height apart.
        const double top = (marginTop * 10 + double(i) * lineHeight) * dpiY / 254.0;
        const double baseline = top + fm.ascent();
        QString run;
        double runX = 0;
        auto flush = [&] {
            if (!run.isEmpty())
                painter.drawText(QPointF(left + runX, baseline), run);
            run.clear();
        };
        for (const print::SegmentWalker::Placed& pl : walker.place(segments[i])) {
            const double x = pl.x / 64.0;
            if (pl.cell.kind == print::Cell::Char && pl.cell.ch != u' ') {
                if (run.isEmpty())
                    runX = x;
                run.append(QString::fromUcs4(&pl.cell.ch, 1));
                continue;
            }
            flush();
            if (pl.cell.kind == print::Cell::Placeholder) {
                // One hollow box per byte, as the content pane shows it.
                const double cell = measure->placeholder() / 64.0;
                const double h = fm.height() / 2;
                for (int k = 0; k < pl.cell.len; ++k)
                    painter.drawRect(QRectF(left + x + k * cell + cell * 0.1, top + (fm.height() - h) / 2, cell * 0.7, h));
            }
        }
        flush();
    }
}

namespace {

// Prints the pages the printer's range asks for (all when none is set).
// A long job shows its progress, and Escape gives it up.
bool printPages(CTrovik32View& view, QPrinter& printer)
{
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    const int last = view.pageCount + 1;
    const int from = std::clamp(printer.fromPage(), 1, last);
    const int to = printer.toPage() > 0 ? std::clamp(printer.toPage(), from, last) : last;
    QProgressDialog progress(QStringLiteral("印刷しています..."), QStringLiteral("キャンセル"), from, to + 1, &view);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    for (int page = from; page <= to; ++page) {
        progress.setValue(page);
        if (progress.wasCanceled()) {
            printer.abort();
            break;
        }
        if (page > from)
            printer.newPage();
        view.PrintPage(painter, printer, page);
    }
    progress.setValue(to + 1);
    return painter.end() || progress.wasCanceled();
}

}  // namespace

void CTrovik32View::FilePrint()
{
    if (!PreparePrinting())
        return;
    const std::unique_ptr<QPrinter> printer = makeProgramPrinter(printerChoice, documentName(itemPath));
    QPrintDialog dlg(printer.get(), this);
    dlg.setMinMax(1, pageCount + 1);
    dlg.setOption(QAbstractPrintDialog::PrintToFile);
    dlg.setOption(QAbstractPrintDialog::PrintPageRange);
    dlg.setOption(QAbstractPrintDialog::PrintSelection, false);
    dlg.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    if (!(runPrintDialog ? runPrintDialog(dlg) : dlg.exec() == QDialog::Accepted))
        return;
    if (!printPages(*this, *printer)) {
        const QString target = printer->outputFileName().isEmpty() ? printer->printerName() : printer->outputFileName();
        showMessage(this, target + QStringLiteral(" //印刷できませんでした。"));
    }
}

void CTrovik32View::FilePrintPreview()
{
    if (!PreparePrinting())
        return;
    const std::unique_ptr<QPrinter> printer = makeProgramPrinter(printerChoice, documentName(itemPath));
    QPrintPreviewDialog dlg(printer.get(), this);
    connect(&dlg, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* p) { printPages(*this, *p); });
    if (runPreviewDialog)
        runPreviewDialog(dlg);
    else
        dlg.exec();
}

void CTrovik32View::PrinterSetup()
{
    CPrinterSetupDlg dlg(printerChoice, this);
    if (runPrinterSetupDialog ? runPrinterSetupDialog(dlg) : dlg.exec() == QDialog::Accepted)
        printerChoice = dlg.choice();
}

void CTrovik32View::SetUpPage()
{
    // Paper and printer chosen here are not kept: only the margins.
    const std::unique_ptr<QPrinter> printer = makeProgramPrinter(printerChoice, documentName(itemPath));
    QPageLayout layout = printer->pageLayout();
    layout.setUnits(QPageLayout::Millimeter);
    layout.setMode(QPageLayout::FullPageMode);
    layout.setMargins(QMarginsF(marginLeft, marginTop, marginRight, marginBottom));
    printer->setPageLayout(layout);
    QPageSetupDialog dlg(printer.get(), this);
    if (!(runPageSetupDialog ? runPageSetupDialog(dlg) : dlg.exec() == QDialog::Accepted))
        return;
    // Whole millimetres, truncated: 25.4 is 25. The small allowance keeps a
    // value that went through points (25 -> 70.87 pt -> 24.99999) whole.
    const QMarginsF m = printer->pageLayout().margins(QPageLayout::Millimeter);
    auto whole = [](double v) { return int(std::floor(v + 1e-6)); };
    marginLeft = whole(m.left());
    marginTop = whole(m.top());
    marginRight = whole(m.right());
    marginBottom = whole(m.bottom());
}
