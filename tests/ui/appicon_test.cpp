// The program's own icon: built in at every size, shown by the main window
// and by the version box.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QStyle>

#include "support/uiharness.h"
#include "ui/app/CMainFrame.h"
#include "ui/app/appicon.h"

namespace {

QImage imageOf(const QIcon& icon, int size)
{
    return icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
}

// The share of pixels that are not transparent.
double coverage(const QImage& image)
{
    int opaque = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            opaque += qAlpha(image.pixel(x, y)) > 0;
    return double(opaque) / (image.width() * image.height());
}

}  // namespace

TEST(AppIcon, HasEveryBitmapSizeItIsDrawnAt)
{
    const QIcon icon = appIcon();
    ASSERT_FALSE(icon.isNull());
    for (int size : {16, 32, 48, 128}) {
        EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size))) << size;
        const QImage image = imageOf(icon, size);
        EXPECT_EQ(image.size(), QSize(size, size)) << size;
        // A folder fills most of the square; an empty or broken bitmap does not.
        EXPECT_GT(coverage(image), 0.5) << size;
    }
    // The folder is green and the page white: both show even at 16 px.
    const QImage small = imageOf(icon, 16);
    bool green = false, white = false;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const QColor c = small.pixelColor(x, y);
            green = green || (c.alpha() == 255 && c.green() > c.red() + 40 && c.green() > c.blue() + 40);
            white = white || (c.alpha() == 255 && c.red() > 240 && c.green() > 240 && c.blue() > 240);
        }
    EXPECT_TRUE(green);
    EXPECT_TRUE(white);
}

TEST(AppIcon, MainWindowAndVersionBoxShowIt)
{
    UiHarness h;
    CMainFrame* frame = h.open();
    EXPECT_EQ(imageOf(frame->windowIcon(), 32), imageOf(appIcon(), 32));

    CVersionInfoDlg dlg;
    auto* label = dlg.findChild<QLabel*>(QStringLiteral("icon"));
    ASSERT_NE(label, nullptr) << "the version box has no icon label";
    const QImage shown = label->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(shown, imageOf(appIcon(), 32));
    const QImage generic =
        dlg.style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32).toImage().convertToFormat(
            QImage::Format_ARGB32);
    EXPECT_NE(shown, generic);
}
