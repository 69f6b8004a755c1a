#pragma once
// The program's printer, the printer setup dialog, and what printing needs
// from a font on a device: the print font, its advances and its line height.
#include <QDialog>
#include <QFont>
#include <QPageLayout>
#include <QPageSize>
#include <QString>

#include <memory>

#include "core/print/pagination.h"
#include "core/settings/logfont.h"

class QComboBox;
class QPaintDevice;
class QPrinter;
class QRadioButton;

// The printer chosen in printer setup. An empty name is the PDF printer.
struct PrinterChoice {
    bool chosen = false;
    QString printerName;
    QPageSize pageSize{QPageSize::A4};
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
};

// The program's printer: the one chosen in printer setup, else the system's
// default printer, else a PDF printer (A4, 600 dpi, the whole sheet
// printable) writing documentName + ".pdf" into the user's documents folder.
std::unique_ptr<QPrinter> makeProgramPrinter(const PrinterChoice& choice, const QString& documentName);
QString pdfOutputPath(const QString& documentName);

// The print font: the content font's record at height h (0.1 mm, negative
// for the character height), a font with the Japanese glyphs.
QFont makePrintFont(const LOGFONT& editLogFont, int h);
// Line height (height plus external leading) of font on device, in 0.1 mm.
int printLineHeight(const QFont& font, QPaintDevice* device);
// Advances of font on device for the pagination walk.
std::unique_ptr<print::Measure> makeMeasure(const QFont& font, QPaintDevice* device, int marginLeft, int printableWidth);

// Printer setup: printer, paper and orientation. Not a print dialog: it
// prints nothing, and its choice is kept for the run only.
class CPrinterSetupDlg : public QDialog {
    Q_OBJECT
public:
    explicit CPrinterSetupDlg(const PrinterChoice& current, QWidget* parent = nullptr);
    PrinterChoice choice() const;

    // Entry 0 is the PDF printer; the others carry a printer's name.
    QComboBox* printerBox = nullptr;
    QComboBox* paperBox = nullptr;
    QRadioButton* portrait = nullptr;
    QRadioButton* landscape = nullptr;

private:
    void fillPapers(const QPageSize& keep);
};
