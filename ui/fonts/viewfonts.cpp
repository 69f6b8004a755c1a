// The view's font commands: the list font for both lists, the content font.
#include <QFontDialog>

#include "core/settings/fontchoice.h"
#include "ui/browse/panes.h"
#include "ui/fontmap.h"
#include "ui/fonts/fontdialog.h"
#include "ui/view/CTrovik32View.h"
#include "ui/viewer/CREdit_File.h"

namespace {

bool runDialog(QFontDialog& dlg, const std::function<bool(QFontDialog&)>& hook)
{
    return hook ? hook(dlg) : dlg.exec() == QDialog::Accepted;
}

}  // namespace

void CTrovik32View::ChooseListFont()
{
    if (!fileList)
        return;
    const int dpiY = fileList->logicalDpiY();
    QFontDialog dlg(this);
    prepareFontDialog(dlg, listLogFont, dpiY);
    if (!runDialog(dlg, runFontDialog))
        return;
    const FontChoice choice = fontChoiceOf(dlg);
    listLogFont = applyFontChoice(listLogFont, choice, dpiY);
    listFont = fontFromLogFont(listLogFont);
    fileList->setFont(listFont);
    subListFont = fontFromLogFont(listLogFont);
    subList->setFont(subListFont);
    // The file list only: the sub list keeps its own item height. The
    // column width follows at the next listing.
    const int height = itemHeightFor(dpiY, choice.pointTenths);
    fileList->setItemHeight(height & 0xFFFF);
    listItemHeight = height;
}

void CTrovik32View::ChooseEditFont()
{
    if (!contentPane)
        return;
    const int dpiY = contentPane->logicalDpiY();
    QFontDialog dlg(this);
    prepareFontDialog(dlg, editLogFont, dpiY);
    if (!runDialog(dlg, runFontDialog))
        return;
    const FontChoice choice = fontChoiceOf(dlg);
    editLogFont = applyFontChoice(editLogFont, choice, dpiY);
    editFont = fontFromLogFont(editLogFont);
    contentPane->setLogFont(editLogFont);
    editPointSize = choice.pointTenths;
}
