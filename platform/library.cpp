#include "platform/library.h"

#include <dlfcn.h>

#include <QCoreApplication>
#include <QFileInfo>

namespace platform {

DynamicLibrary::~DynamicLibrary()
{
    unload();
}

QString DynamicLibrary::nativeName(const QString& name)
{
    QString stem = name;
    if (stem.endsWith(QLatin1String(".dll"), Qt::CaseInsensitive))
        stem.chop(4);
    return QStringLiteral("lib") + stem.toLower() + QStringLiteral(".so");
}

QString& DynamicLibrary::searchFolder()
{
    static QString folder;
    return folder;
}

bool DynamicLibrary::load(const QString& name)
{
    unload();
    const QString file = nativeName(name);
    QString folder = searchFolder();
    if (folder.isEmpty() && QCoreApplication::instance())
        folder = QCoreApplication::applicationDirPath();
    if (!folder.isEmpty()) {
        const QString beside = folder + QLatin1Char('/') + file;
        if (QFileInfo::exists(beside))
            handle_ = dlopen(QFile::encodeName(beside).constData(), RTLD_NOW | RTLD_LOCAL);
    }
    if (!handle_)
        handle_ = dlopen(QFile::encodeName(file).constData(), RTLD_NOW | RTLD_LOCAL);
    return handle_ != nullptr;
}

void* DynamicLibrary::resolve(const char* symbol) const
{
    return handle_ ? dlsym(handle_, symbol) : nullptr;
}

void DynamicLibrary::unload()
{
    if (handle_)
        dlclose(handle_);
    handle_ = nullptr;
}

}  // namespace platform
