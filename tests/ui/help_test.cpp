// The help window: opened by its command at the contents page, every link of
// every page leads to a page (and anchor) that exists, and the view closes it
// when it goes. Qt's stock dialogs come out in Japanese.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFile>
#include <QFontDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextDocument>

#include "core/res/resources.h"
#include "support/uiharness.h"
#include "ui/help/CHelpWindow.h"
#include "ui/print/printer.h"
#include "ui/qtjapanese.h"

namespace {

QString resourceText(const QUrl& url)
{
    QFile f(QLatin1Char(':') + url.path());
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// Every visible text of a dialog that holds a Latin letter: buttons, labels
// and group titles, ampersands and "..." aside.
QStringList englishTexts(QWidget* w)
{
    QStringList texts;
    for (auto* b : w->findChildren<QAbstractButton*>())
        texts << b->text();
    for (auto* l : w->findChildren<QLabel*>())
        texts << l->text();
    for (auto* g : w->findChildren<QGroupBox*>())
        texts << g->title();
    QStringList out;
    static const QRegularExpression latin(QStringLiteral("[A-Za-z]{2,}"));
    for (QString t : texts) {
        t.remove(QRegularExpression(QStringLiteral("\\(&.\\)|&")));
        if (t.contains(latin) && t != QLatin1String("OK"))
            out << t;
    }
    return out;
}

}  // namespace

TEST(Help, OpensAtContentsAndClosesWithTheView)
{
    UiHarness h;
    h.open();
    h.frame->command(res::ID_HELP_CONTENTS);
    auto* help = qobject_cast<CHelpWindow*>(h.view()->helpWindow.data());
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->source(), CHelpWindow::contentsUrl());
    EXPECT_TRUE(help->toPlainText().contains(QStringLiteral("目次")));

    // Following a link and asking for help again returns to the contents.
    help->setSource(QUrl(QStringLiteral("keys.html")));
    EXPECT_TRUE(help->toPlainText().contains(QStringLiteral("キー操作")));
    h.frame->command(res::ID_HELP_CONTENTS);
    EXPECT_EQ(h.view()->helpWindow.data(), help);
    EXPECT_EQ(help->source(), CHelpWindow::contentsUrl());

    QPointer<CHelpWindow> watch(help);
    h.close();
    EXPECT_TRUE(watch.isNull());
}

TEST(Help, EveryLinkResolves)
{
    const QStringList pages = CHelpWindow::pages();
    ASSERT_GE(pages.size(), 6);
    ASSERT_TRUE(pages.contains(CHelpWindow::contentsUrl().toString()));
    int links = 0;
    for (const QString& page : pages) {
        const QUrl base(page);
        QTextDocument doc;
        doc.setHtml(resourceText(base));
        EXPECT_FALSE(doc.toPlainText().trimmed().isEmpty()) << page.toStdString();
        for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                const QString href = it.fragment().charFormat().anchorHref();
                if (href.isEmpty())
                    continue;
                ++links;
                const QUrl target = base.resolved(QUrl(href));
                ASSERT_EQ(target.scheme(), QLatin1String("qrc")) << href.toStdString();
                const QString html = resourceText(target);
                ASSERT_FALSE(html.isEmpty()) << page.toStdString() << " -> " << href.toStdString();
                if (target.hasFragment()) {
                    EXPECT_TRUE(html.contains(QStringLiteral("name=\"%1\"").arg(target.fragment())))
                        << page.toStdString() << " -> " << href.toStdString();
                }
            }
        }
    }
    EXPECT_GT(links, pages.size());
    // Every command of the menus has its entry in the command list.
    const QString commands = resourceText(QUrl(QStringLiteral("qrc:/help/commands.html")));
    for (const char* name : {"印刷", "印刷プレビュー", "プリンタの設定", "ページ設定", "ファイル操作", "ドライブ変更",
                             "終了", "コピー", "検索", "フォルダサイズ", "EUC-SJIS 変換", "ステータスバー",
                             "ファイルリストのフォント", "内容表示のフォント", "エディタの設定", "ヘルプ",
                             "バージョン情報"})
        EXPECT_TRUE(commands.contains(QString::fromUtf8(name))) << name;
}

TEST(Help, StockDialogsInJapanese)
{
    const QtJapanese japanese;
    ASSERT_TRUE(japanese.loaded());
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    {
        QPrintDialog d(&printer);
        EXPECT_EQ(d.windowTitle(), QStringLiteral("印刷"));
        EXPECT_EQ(englishTexts(&d), QStringList());
    }
    {
        QPageSetupDialog d(&printer);
        EXPECT_EQ(d.windowTitle(), QStringLiteral("ページ設定"));
        EXPECT_EQ(englishTexts(&d), QStringList());
    }
    {
        QPrintPreviewDialog d(&printer);
        EXPECT_EQ(d.windowTitle(), QStringLiteral("印刷のプレビュー"));
        EXPECT_EQ(englishTexts(&d), QStringList());
    }
    {
        QFontDialog d;
        d.setOption(QFontDialog::DontUseNativeDialog);
        EXPECT_EQ(englishTexts(&d), QStringList());
    }
    {
        CPrinterSetupDlg d(PrinterChoice{});
        EXPECT_EQ(englishTexts(&d), QStringList());
    }
}
