#include "ui/view/CFilePathDialog.h"

#include <QFontMetrics>
#include <QLineEdit>
#include <QPushButton>

#include "ui/fontmap.h"

namespace {

// Dialog units: a quarter of the font's average character width across, an
// eighth of its height down, as dialog templates measure.
struct DialogUnits {
    double x, y;
    QRect rect(int left, int top, int width, int height) const
    {
        return QRect(qRound(left * x), qRound(top * y), qRound(width * x), qRound(height * y));
    }
};

}  // namespace

CFilePathDialog::CFilePathDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("ファイルパスを指定"));
    LOGFONT lf;
    lf.setFaceName("ＭＳ Ｐゴシック");
    lf.lfHeight = -12;  // 9 points at 96 dots per inch
    setFont(fontFromLogFont(lf));
    const QFontMetrics fm(font());
    // The average width of the Latin letters, as the dialog manager takes it.
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const DialogUnits du{(fm.horizontalAdvance(letters) / 26.0 + 1) / 2 / 4.0, fm.height() / 8.0};

    edit_ = new QLineEdit(this);
    edit_->setMaxLength(kMaxLength);
    edit_->setGeometry(du.rect(16, 17, 155, 15));
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setDefault(true);
    ok_->setGeometry(du.rect(28, 39, 50, 14));
    cancel_ = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    cancel_->setGeometry(du.rect(103, 40, 50, 14));
    setFixedSize(du.rect(0, 0, 187, 67).size());
    connect(ok_, &QPushButton::clicked, this, [this] {
        pathText = edit_->text();
        accept();
    });
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

void CFilePathDialog::showEvent(QShowEvent* e)
{
    edit_->setText(pathText.left(kMaxLength));
    edit_->selectAll();
    edit_->setFocus();
    QDialog::showEvent(e);
}
