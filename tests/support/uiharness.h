#pragma once
// A real main window over a private profile and a temporary folder, with
// message boxes recorded instead of shown.
#include <QCoreApplication>
#include <QFile>
#include <QPointer>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "core/view/drives.h"
#include "platform/profile_qsettings.h"
#include "support/testsupport.h"
#include "ui/app/CMainFrame.h"
#include "ui/app/messagebox.h"
#include "ui/browse/panes.h"
#include "ui/view/CTrovik32View.h"
#include "ui/viewer/CREdit_File.h"

// The row of the file list whose text is text; −1 when there is none.
inline int itemIndex(const CTrovik32View* v, const QByteArray& text)
{
    for (int i = 0; i < v->fileList->count(); ++i)
        if (v->fileList->text(i) == text)
            return i;
    return -1;
}

class UiHarness {
public:
    UiHarness()
    {
        messageHook() = [this](QWidget*, const QString& text) { messages << text; };
    }
    ~UiHarness()
    {
        delete frame.data();
        messageHook() = nullptr;
    }

    QString profileFile() const { return profileDir.filePath("Trovik32.conf"); }
    // The program path of a file or folder below the temporary folder.
    QByteArray prog(const QString& relative = QString()) const
    {
        const QString native = relative.isEmpty() ? dir.path() : dir.filePath(relative);
        return pathMap().fromNative(QFile::encodeName(native));
    }
    void setStartPath(const QByteArray& path)
    {
        QSettingsProfile p(profileFile());
        p.writeString("Path", "StartPath", path);
    }
    CMainFrame* open(QSize size = QSize(640, 480))
    {
        profile = std::make_unique<QSettingsProfile>(profileFile());
        frame = new CMainFrame(*profile, QStringLiteral("無題"));
        frame->setAttribute(Qt::WA_DeleteOnClose, false);
        frame->resize(size);
        frame->show();
        QCoreApplication::processEvents();
        return frame;
    }
    // Closes the window as the user would and saves everything.
    void close()
    {
        frame->close();
        delete frame.data();
        profile.reset();
    }
    CTrovik32View* view() const { return frame->view(); }
    // Opens the window on the temporary folder and clicks the item named
    // name, so it is selected and previewed as the user would have it.
    CTrovik32View* openOn(const QByteArray& name)
    {
        setStartPath(prog());
        CTrovik32View* v = open(QSize(800, 600))->view();
        const int i = itemIndex(v, name);
        if (i >= 0)
            QTest::mouseClick(v->fileList->viewport(), Qt::LeftButton, {}, v->fileList->itemRect(i).center());
        return v;
    }

    QTemporaryDir dir;         // the folder browsed
    QTemporaryDir profileDir;  // the profile, kept out of the listing
    std::unique_ptr<QSettingsProfile> profile;
    QPointer<CMainFrame> frame;
    QStringList messages;
};
