#include "ui/viewer/CFindTextDlg.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QValidator>
#include <QVBoxLayout>

#include "core/viewer/cp932.h"
#include "core/viewer/textlayout.h"
#include "ui/viewer/CREdit_File.h"

namespace {

// Refuses any edit that makes the text longer than 99 bytes in code page 932.
class ByteLengthValidator : public QValidator {
public:
    ByteLengthValidator(int maxBytes, QObject* parent) : QValidator(parent), m_max(maxBytes) {}
    State validate(QString& input, int&) const override
    {
        return cp932::fromUnicode(input).size() <= m_max ? Acceptable : Invalid;
    }

private:
    int m_max;
};

}  // namespace

CFindTextDlg::CFindTextDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("文字検索"));
    m_combo = new QComboBox(this);
    m_combo->setEditable(true);
    m_combo->setInsertPolicy(QComboBox::NoInsert);  // the list is never filled
    m_combo->setMinimumWidth(200);
    m_combo->lineEdit()->setValidator(new ByteLengthValidator(kMaxTextBytes, m_combo));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    connect(ok, &QPushButton::clicked, this, &CFindTextDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CFindTextDlg::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_combo);
    layout->addLayout(buttons);
}

void CFindTextDlg::showEvent(QShowEvent* event)
{
    m_combo->setEditText(text);
    QDialog::showEvent(event);
    m_combo->setFocus();
}

void CFindTextDlg::accept()
{
    text = m_combo->currentText();
    QDialog::accept();
}

bool execFindDialog(CFindTextDlg& dialog)
{
    return dialog.exec() == QDialog::Accepted;
}

bool FindInContent(QWidget* parent, QString& searchText, QByteArray& searchTextBuffer, CREdit_File* pane,
                   const FindDialogRunner& runDialog)
{
    CFindTextDlg dialog(parent);
    dialog.text = searchText;
    if (!runDialog(dialog))
        return false;
    searchText = dialog.text;

    // At most 99 bytes, and no half of a double-byte character at the end.
    QByteArray bytes = cp932::fromUnicode(searchText);
    if (bytes.size() > CFindTextDlg::kMaxTextBytes) {
        qsizetype cut = CFindTextDlg::kMaxTextBytes;
        if (!textlayout::isCharBoundaryAfter(bytes.constData(), bytes.size(), 0, cut))
            --cut;
        bytes.truncate(cut);
    }
    searchTextBuffer = bytes;

    if (!pane)
        return false;
    pane->findRecord.text = &searchTextBuffer;
    pane->findRecord.rangeStart = 0;
    pane->findRecord.rangeEnd = -1;
    if (pane->findTextEx() < 0)
        return false;  // the selection stays where it was
    pane->setSel(pane->findRecord.foundStart, pane->findRecord.foundEnd);
    return true;
}
