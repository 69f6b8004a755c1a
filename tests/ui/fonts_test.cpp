// The font commands with Qt's font dialog answered here: item heights at a
// fixed 96 dpi, the sub list keeping its height, the content font's size in
// tenths, cancel, no underline or strike-out from the dialog, and the saved
// records.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFontDialog>
#include <QGroupBox>
#include <QListView>
#include <QStringListModel>

#include "core/res/resources.h"
#include "support/uiharness.h"
#include "ui/fonts/fontdialog.h"
#include "ui/qtjapanese.h"

namespace {

class FontsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        h.open();
        v = h.view();
        // The offscreen display has 96 logical dpi: the examples are for it.
        ASSERT_EQ(v->fileList->logicalDpiY(), 96);
    }
    // Answers the next font dialog with size points (and the family it
    // showed), OK or cancel; the dialog as it was opened is kept.
    void answer(double points, bool ok, bool effects = false)
    {
        v->runFontDialog = [=, this](QFontDialog& d) {
            shownFont = d.currentFont();
            effectsVisible = false;
            for (QCheckBox* box : d.findChildren<QCheckBox*>())
                effectsVisible = effectsVisible || box->isVisibleTo(&d);
            QFont f = d.currentFont();
            f.setPointSizeF(points);
            f.setUnderline(effects);
            f.setStrikeOut(effects);
            d.setCurrentFont(f);
            return ok;
        };
    }

    UiHarness h;
    CTrovik32View* v = nullptr;
    QFont shownFont;
    bool effectsVisible = true;
};

}  // namespace

TEST_F(FontsTest, ListFontSetsTheFileListItemHeight)
{
    const int subHeight = v->subList->itemHeight();
    for (auto [points, height] : {std::pair{9.0, 12}, {10.5, 14}, {11.0, 14}}) {
        answer(points, true);
        h.frame->command(res::ID_LIST_FONT);
        EXPECT_EQ(v->listItemHeight, height) << points;
        EXPECT_EQ(v->fileList->itemHeight(), height) << points;
    }
    // Both lists take the font; only the file list its height.
    EXPECT_EQ(v->subList->itemHeight(), subHeight);
    EXPECT_EQ(v->subList->font().pixelSize(), 15);  // 11 pt at 96 dpi
    EXPECT_EQ(v->fileList->font().pixelSize(), 15);
    EXPECT_EQ(v->listLogFont.lfHeight, -15);
}

TEST_F(FontsTest, ContentFontStoresTenthsAndCancelChangesNothing)
{
    answer(12, true);
    h.frame->command(res::ID_EDIT_FONT);
    EXPECT_EQ(v->editPointSize, 120);
    EXPECT_EQ(v->editLogFont.lfHeight, -16);
    EXPECT_EQ(v->contentPane->font().pixelSize(), 16);

    // The next dialog starts from the record: 16 px at 96 dpi is 12 pt.
    const LOGFONT listBefore = v->listLogFont;
    const LOGFONT editBefore = v->editLogFont;
    const int heightBefore = v->listItemHeight;
    answer(20, false);
    h.frame->command(res::ID_EDIT_FONT);
    EXPECT_DOUBLE_EQ(shownFont.pointSizeF(), 12);
    h.frame->command(res::ID_LIST_FONT);
    EXPECT_EQ(v->editPointSize, 120);
    EXPECT_EQ(v->editLogFont, editBefore);
    EXPECT_EQ(v->listLogFont, listBefore);
    EXPECT_EQ(v->listItemHeight, heightBefore);
    EXPECT_EQ(v->fileList->itemHeight(), heightBefore);
    EXPECT_EQ(v->contentPane->font().pixelSize(), 16);
}

TEST_F(FontsTest, NoEffectsFromTheDialog)
{
    answer(10, true, true);
    h.frame->command(res::ID_LIST_FONT);
    EXPECT_FALSE(effectsVisible);
    EXPECT_EQ(v->listLogFont.lfUnderline, 0);
    EXPECT_EQ(v->listLogFont.lfStrikeOut, 0);
    EXPECT_FALSE(v->fileList->font().underline());
    EXPECT_FALSE(v->fileList->font().strikeOut());
}

TEST_F(FontsTest, ChoicesAreSavedAndTheDialogSpeaksJapanese)
{
    const QtJapanese japanese;
    ASSERT_TRUE(japanese.loaded());
    QString title;
    v->runFontDialog = [&](QFontDialog& d) {
        title = d.windowTitle();
        QFont f = d.currentFont();
        f.setPointSizeF(12);
        d.setCurrentFont(f);
        return true;
    };
    h.frame->command(res::ID_EDIT_FONT);
    h.frame->command(res::ID_LIST_FONT);
    EXPECT_EQ(title, QStringLiteral("フォントの選択"));
    const std::string face = v->editLogFont.faceName();
    h.close();
    QSettingsProfile p(h.profileFile());
    EXPECT_EQ(p.readInt("EditFont", "point", 0), 120);
    EXPECT_EQ(p.readInt("EditFont", "lfHeight", 0), -16);
    EXPECT_EQ(p.readString("EditFont", "lfFaceName", ""), QByteArray::fromStdString(face));
    EXPECT_EQ(p.readInt("ListFont", "ListlfHeight", 0), 16);
}

TEST(FontDialogSetup, LeavesOutVerticalFacesWheneverTheListIsFilled)
{
    QFontDialog d;
    prepareFontDialog(d, LOGFONT{}, 96);
    int lists = 0;
    for (QListView* view : d.findChildren<QListView*>()) {
        auto* model = qobject_cast<QStringListModel*>(view->model());
        if (!model)
            continue;
        ++lists;
        // As the dialog refills its lists when the writing system changes.
        model->setStringList(model->stringList() << QStringLiteral("@IPAGothic") << QStringLiteral("Plain"));
        EXPECT_FALSE(model->stringList().contains(QStringLiteral("@IPAGothic")));
        EXPECT_TRUE(model->stringList().contains(QStringLiteral("Plain")));
    }
    EXPECT_GE(lists, 1);
}
