#include "ui/viewer/CFindTextDlg.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QValidator>
#include <QVBoxLayout>

#include <algorithm>

#include "core/viewer/cp932.h"
#include "core/viewer/textlayout.h"
#include "ui/viewer/CREdit_File.h"

namespace {

qsizetype byteLength(QStringView text) { return cp932::fromUnicode(text.toString()).size(); }

// Keeps the box to 99 bytes in code page 932. An edit that would make the
// text longer keeps what was there and as much of the new text as fits, cut
// between two characters: a pasted text is cut where typing it would have
// stopped, and a typed character that does not fit is refused.
class ByteLengthValidator : public QValidator {
public:
    ByteLengthValidator(int maxBytes, QObject* parent) : QValidator(parent), m_max(maxBytes) {}
    State validate(QString& input, int& cursor) const override
    {
        if (byteLength(input) <= m_max) {
            m_last = input;
            return Acceptable;
        }
        // The edit replaced the middle of the last accepted text.
        const QString& before = m_last;
        const qsizetype shorter = std::min(before.size(), input.size());
        qsizetype head = 0;
        while (head < shorter && before[head] == input[head])
            ++head;
        if (head > 0 && input[head - 1].isHighSurrogate())
            --head;
        qsizetype tail = 0;
        while (tail < shorter - head && before[before.size() - 1 - tail] == input[input.size() - 1 - tail])
            ++tail;
        if (tail > 0 && input[input.size() - tail].isLowSurrogate())
            --tail;
        const QStringView added = QStringView(input).mid(head, input.size() - head - tail);
        qsizetype room = m_max - byteLength(QStringView(input).left(head)) - byteLength(QStringView(input).right(tail));
        qsizetype taken = 0;
        while (taken < added.size()) {
            const qsizetype len = (added[taken].isHighSurrogate() && taken + 1 < added.size()) ? 2 : 1;
            const qsizetype bytes = byteLength(added.mid(taken, len));
            if (bytes > room)
                break;
            room -= bytes;
            taken += len;
        }
        if (taken == 0 || room < 0)
            return Invalid;
        input = input.left(head) + added.left(taken).toString() + input.right(tail);
        cursor = int(head + taken);
        m_last = input;
        return Acceptable;
    }

private:
    int m_max;
    mutable QString m_last;  // the text as last accepted
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

    // Encoded the way the pane's text is. At most 99 bytes, and no part of a
    // character at the end. A text with a character that code page 932 lacks
    // can occur nowhere in a code page 932 pane: it is kept as an empty
    // search text, which finds nothing.
    const textenc::Encoding enc = pane ? pane->encoding() : textenc::Encoding::Cp932;
    bool complete = true;
    QByteArray bytes = textenc::fromUnicode(enc, searchText, &complete);
    if (!complete)
        bytes.clear();
    if (bytes.size() > CFindTextDlg::kMaxTextBytes) {
        qsizetype cut = CFindTextDlg::kMaxTextBytes;
        if (enc == textenc::Encoding::Cp932) {
            if (!textlayout::isCharBoundaryAfter(bytes.constData(), bytes.size(), 0, cut))
                --cut;
        } else {
            while (!textenc::isBoundary(enc, bytes.constData(), bytes.size(), cut))
                --cut;
        }
        bytes.truncate(cut);
    }
    searchTextBuffer = bytes;

    if (!pane)
        return false;
    pane->findRecord.text = &searchTextBuffer;
    pane->findRecord.textEncoding = enc;
    pane->findRecord.rangeStart = 0;
    pane->findRecord.rangeEnd = -1;
    if (pane->findTextEx() < 0)
        return false;  // the selection stays where it was
    pane->setSel(pane->findRecord.foundStart, pane->findRecord.foundEnd);
    return true;
}
