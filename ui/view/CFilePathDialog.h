#pragma once
// The rename dialog: one line for the new name (or a path relative to the
// item's folder), OK and cancel.
#include <QDialog>
#include <QString>

class QLineEdit;
class QPushButton;

class CFilePathDialog : public QDialog {
    Q_OBJECT
public:
    explicit CFilePathDialog(QWidget* parent = nullptr);

    // Exchanged with the edit when the dialog opens and when OK is pressed.
    QString pathText;

    QLineEdit* edit() const { return edit_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }

    static constexpr int kMaxLength = 255;

protected:
    void showEvent(QShowEvent*) override;

private:
    QLineEdit* edit_;
    QPushButton* ok_;
    QPushButton* cancel_;
};
