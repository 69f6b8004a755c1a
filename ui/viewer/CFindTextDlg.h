#pragma once
// The search dialog and the search command of the content pane.
#include <QDialog>
#include <QString>

#include <functional>

class QComboBox;
class QPushButton;
class CREdit_File;

// "文字検索": one editable combo box (its list stays empty) for the search
// text, limited to 99 bytes in code page 932 (a longer paste is cut between
// two characters), with OK and cancel buttons.
class CFindTextDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMaxTextBytes = 99;

    explicit CFindTextDlg(QWidget* parent = nullptr);

    // The search text: shown in the box when the dialog opens, read back
    // from it on OK.
    QString text;

    QComboBox* comboBox() const { return m_combo; }

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QComboBox* m_combo;
};

// Runs a dialog modally; true when it ended with OK.
using FindDialogRunner = std::function<bool(CFindTextDlg&)>;
bool execFindDialog(CFindTextDlg& dialog);

// The search command: asks for the search text (offering searchText), keeps
// it in searchText and its first 99 bytes, encoded as the pane's text is
// (code page 932, UTF-8 or UTF-16), in searchTextBuffer, points the pane's
// find record at that buffer and selects the first occurrence from the top
// of the text. Cancel changes nothing. Returns true when an occurrence was
// selected; when none is found the selection stays as it was. In a code page
// 932 text, a search text holding a character that code page 932 lacks finds
// nothing (searchTextBuffer is left empty).
bool FindInContent(QWidget* parent, QString& searchText, QByteArray& searchTextBuffer, CREdit_File* pane,
                   const FindDialogRunner& runDialog = execFindDialog);
