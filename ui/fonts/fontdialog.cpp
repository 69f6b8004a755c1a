#include "ui/fonts/fontdialog.h"

#include <QCheckBox>
#include <QFontDialog>
#include <QGroupBox>
#include <QListView>
#include <QStringListModel>

#include <cmath>

#include "ui/fontmap.h"

namespace {

// Vertical faces ("@" before the family name) are left out of the family
// list, each time the dialog fills it.
void dropVerticalFaces(QStringListModel* model)
{
    QStringList families = model->stringList();
    if (families.removeIf([](const QString& f) { return f.startsWith(QLatin1Char('@')); }) > 0)
        model->setStringList(families);
}

}  // namespace

void prepareFontDialog(QFontDialog& dlg, const LOGFONT& lf, int dpiY)
{
    dlg.setOption(QFontDialog::DontUseNativeDialog);
    QFont f = fontFromLogFont(lf);
    const int px = f.pixelSize() > 0 ? f.pixelSize() : 16;
    f.setPointSizeF(std::round(px * 72.0 * 2 / std::max(1, dpiY)) / 2);
    f.setUnderline(false);
    f.setStrikeOut(false);
    dlg.setCurrentFont(f);
    for (QListView* list : dlg.findChildren<QListView*>()) {
        if (auto* model = qobject_cast<QStringListModel*>(list->model())) {
            dropVerticalFaces(model);
            QObject::connect(model, &QAbstractItemModel::modelReset, &dlg, [model] { dropVerticalFaces(model); });
        }
    }
    // The effects group holds only underline and strike-out: hidden.
    for (QCheckBox* box : dlg.findChildren<QCheckBox*>()) {
        box->setChecked(false);
        box->setEnabled(false);
        if (auto* group = qobject_cast<QGroupBox*>(box->parentWidget()))
            group->hide();
        else
            box->hide();
    }
}

FontChoice fontChoiceOf(const QFontDialog& dlg)
{
    const QFont f = dlg.currentFont();
    FontChoice c;
    c.family = f.family().toStdString();
    const double points = f.pointSizeF() > 0 ? f.pointSizeF() : 10.0;
    c.pointTenths = int(std::lround(points * 10));
    c.weight = int(f.weight());
    c.italic = f.italic();
    return c;
}
