#pragma once
// The view's list panes.
#include "ui/browse/listbox.h"

// The file list: paints each item itself, coloured by its kind.
class CListBox_File : public ListBox {
    Q_OBJECT
public:
    explicit CListBox_File(QWidget* parent = nullptr);

    static constexpr QRgb kSelectedBackground = qRgb(227, 227, 0);
    static constexpr QRgb kBackground = qRgb(255, 255, 255);
    static constexpr QRgb kDriveColour = qRgb(222, 0, 0);
    static constexpr QRgb kFolderColour = qRgb(0, 127, 0);
    static constexpr QRgb kFileColour = qRgb(0, 0, 0);
    static QRgb textColour(items::Kind kind);

protected:
    void paintItem(QPainter& p, int index, const QRect& rect, bool selected) override;
};

// The hidden store of the drive items.
class CListBox_Dv : public ListBox {
    Q_OBJECT
public:
    explicit CListBox_Dv(QWidget* parent = nullptr) : ListBox(61447, parent) {}
};

// The preview list of a folder's entries or an archive's members.
class CListBox_Sub : public ListBox {
    Q_OBJECT
public:
    explicit CListBox_Sub(QWidget* parent = nullptr) : ListBox(61448, parent) { setFocusPolicy(Qt::NoFocus); }
};
