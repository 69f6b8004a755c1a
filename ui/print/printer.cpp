#include "ui/print/printer.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFontMetricsF>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QVBoxLayout>

#include <cmath>

#include "ui/fontmap.h"

namespace {

const QString kPdfPrinterName = QStringLiteral("PDF ファイルへ出力");

void configurePdf(QPrinter& p, const QString& documentName)
{
    p.setOutputFormat(QPrinter::PdfFormat);
    p.setResolution(600);
    p.setOutputFileName(pdfOutputPath(documentName));
}

QList<QPageSize> pdfPaperSizes()
{
    QList<QPageSize> sizes;
    for (QPageSize::PageSizeId id : {QPageSize::A3, QPageSize::A4, QPageSize::A5, QPageSize::B4, QPageSize::B5,
                                     QPageSize::JisB4, QPageSize::JisB5, QPageSize::Letter, QPageSize::Legal,
                                     QPageSize::Postcard})
        sizes.append(QPageSize(id));
    return sizes;
}

}  // namespace

QString pdfOutputPath(const QString& documentName)
{
    QString name = documentName;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        name = QStringLiteral("Trovik32");
    // A home without a documents folder gets the file in the home folder.
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    return QDir(folder).filePath(name + QStringLiteral(".pdf"));
}

std::unique_ptr<QPrinter> makeProgramPrinter(const PrinterChoice& choice, const QString& documentName)
{
    std::unique_ptr<QPrinter> p;
    if (choice.chosen) {
        const QPrinterInfo info = QPrinterInfo::printerInfo(choice.printerName);
        p = std::make_unique<QPrinter>(QPrinter::HighResolution);
        if (choice.printerName.isEmpty() || info.isNull())
            configurePdf(*p, documentName);
        else
            p->setPrinterName(choice.printerName);
        p->setPageSize(choice.pageSize);
        p->setPageOrientation(choice.orientation);
    } else if (const QPrinterInfo info = QPrinterInfo::defaultPrinter(); !info.isNull()) {
        p = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    } else {
        p = std::make_unique<QPrinter>(QPrinter::HighResolution);
        configurePdf(*p, documentName);
        p->setPageSize(QPageSize(QPageSize::A4));
    }
    if (p->outputFormat() == QPrinter::PdfFormat)
        p->setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    p->setDocName(documentName);
    return p;
}

QFont makePrintFont(const LOGFONT& editLogFont, int h)
{
    QFont f = fontFromLogFont(editLogFont);
    // h is in 0.1 mm: a negative value is the character height, a positive one
    // the cell height; 0 leaves the size to us.
    double tenths = h < 0 ? -double(h) : h > 0 ? h * 7.0 / 8.0 : 35.0;
    f.setPointSizeF(std::max(0.1, tenths * 72.0 / 254.0));
    f.setKerning(false);
    // The record's underline and strike-out come from a profile, never from
    // the font dialog; they print as the pane shows them.
    return f;
}

int printLineHeight(const QFont& font, QPaintDevice* device)
{
    const QFontMetricsF fm(font, device);
    const int dpi = std::max(1, device->logicalDpiY());
    return std::max(1, int(std::lround((fm.height() + fm.leading()) * 254.0 / dpi)));
}

std::unique_ptr<print::Measure> makeMeasure(const QFont& font, QPaintDevice* device, int marginLeft, int printableWidth)
{
    const QFontMetricsF fm(font, device);
    auto advance = [fm](char32_t c) { return int(std::lround(fm.horizontalAdvance(QString::fromUcs4(&c, 1)) * 64)); };
    // A byte that does not decode takes one half-width cell, as on screen.
    const int placeholder = int(std::lround(fm.horizontalAdvance(QLatin1Char('0')) * 64));
    return std::make_unique<print::Measure>(advance, placeholder, device->logicalDpiX(), marginLeft, printableWidth);
}

CPrinterSetupDlg::CPrinterSetupDlg(const PrinterChoice& current, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("プリンタの設定"));
    auto* layout = new QVBoxLayout(this);

    auto* printerGroup = new QGroupBox(QStringLiteral("プリンタ"), this);
    auto* pform = new QFormLayout(printerGroup);
    printerBox = new QComboBox(printerGroup);
    printerBox->addItem(kPdfPrinterName, QString());
    for (const QPrinterInfo& info : QPrinterInfo::availablePrinters())
        printerBox->addItem(info.description().isEmpty() ? info.printerName() : info.description(), info.printerName());
    pform->addRow(QStringLiteral("プリンタ名(&N):"), printerBox);
    layout->addWidget(printerGroup);

    auto* paperGroup = new QGroupBox(QStringLiteral("用紙"), this);
    auto* form = new QFormLayout(paperGroup);
    paperBox = new QComboBox(paperGroup);
    form->addRow(QStringLiteral("サイズ(&Z):"), paperBox);
    layout->addWidget(paperGroup);

    auto* orientGroup = new QGroupBox(QStringLiteral("印刷の向き"), this);
    auto* olayout = new QHBoxLayout(orientGroup);
    portrait = new QRadioButton(QStringLiteral("縦(&O)"), orientGroup);
    landscape = new QRadioButton(QStringLiteral("横(&A)"), orientGroup);
    olayout->addWidget(portrait);
    olayout->addWidget(landscape);
    layout->addWidget(orientGroup);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    // Start from the printer in use: the one chosen before, else the default.
    QString name = current.printerName;
    if (!current.chosen) {
        const QPrinterInfo def = QPrinterInfo::defaultPrinter();
        name = def.isNull() ? QString() : def.printerName();
    }
    const int index = printerBox->findData(name);
    printerBox->setCurrentIndex(index < 0 ? 0 : index);
    fillPapers(current.pageSize);
    (current.orientation == QPageLayout::Landscape ? landscape : portrait)->setChecked(true);
    connect(printerBox, &QComboBox::currentIndexChanged, this, [this] {
        fillPapers(paperBox->currentData().value<QPageSize>());
    });
}

void CPrinterSetupDlg::fillPapers(const QPageSize& keep)
{
    const QString name = printerBox->currentData().toString();
    QList<QPageSize> sizes;
    if (!name.isEmpty())
        sizes = QPrinterInfo::printerInfo(name).supportedPageSizes();
    if (sizes.isEmpty())
        sizes = pdfPaperSizes();
    paperBox->clear();
    int select = -1;
    for (const QPageSize& s : sizes) {
        if (s.isEquivalentTo(keep) && select < 0)
            select = paperBox->count();
        paperBox->addItem(s.name(), QVariant::fromValue(s));
    }
    if (select < 0)
        for (int i = 0; i < paperBox->count() && select < 0; ++i)
            if (paperBox->itemData(i).value<QPageSize>().id() == QPageSize::A4)
                select = i;
    paperBox->setCurrentIndex(std::max(0, select));
}

PrinterChoice CPrinterSetupDlg::choice() const
{
    PrinterChoice c;
    c.chosen = true;
    c.printerName = printerBox->currentData().toString();
    if (paperBox->currentIndex() >= 0)
        c.pageSize = paperBox->currentData().value<QPageSize>();
    c.orientation = landscape->isChecked() ? QPageLayout::Landscape : QPageLayout::Portrait;
    return c;
}
