#pragma once
// Run-time loading of a shared library by its Windows-style name:
// "unlha32.dll" is libunlha32.so, looked up beside the executable first and
// then on the normal library path.
#include <QByteArray>
#include <QString>

namespace platform {

class DynamicLibrary {
public:
    DynamicLibrary() = default;
    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    bool load(const QString& name);
    void* resolve(const char* symbol) const;
    void unload();
    bool isLoaded() const { return handle_ != nullptr; }

    static QString nativeName(const QString& name);
    // Where the program looks first; empty means beside the executable.
    static QString& searchFolder();

private:
    void* handle_ = nullptr;
};

}  // namespace platform
