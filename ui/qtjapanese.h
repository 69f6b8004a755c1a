#pragma once
// Qt's own dialogs (font, print, page setup, preview, message boxes) in
// Japanese: Qt's Japanese translations, plus the few texts of the print
// dialog they leave in English. Installed while the object lives.
#include <QTranslator>

#include <memory>

class QtJapanese {
public:
    QtJapanese();
    ~QtJapanese();
    QtJapanese(const QtJapanese&) = delete;
    QtJapanese& operator=(const QtJapanese&) = delete;
    // False when Qt's Japanese translations are not installed.
    bool loaded() const { return loaded_; }

private:
    std::unique_ptr<QTranslator> qt_;
    std::unique_ptr<QTranslator> supplement_;
    bool loaded_ = false;
};
