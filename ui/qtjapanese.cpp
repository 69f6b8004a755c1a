#include "ui/qtjapanese.h"

#include <QCoreApplication>
#include <QHash>
#include <QLibraryInfo>
#include <QLocale>

namespace {

// Texts of Qt's print dialog that its Japanese translation lacks.
class Supplement : public QTranslator {
public:
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* sourceText, const char*, int) const override
    {
        static const QHash<QByteArray, QString> texts = {
            {"Double Sided Printing", QStringLiteral("両面印刷")},
            {"Off", QStringLiteral("オフ")},
            {"Long side binding", QStringLiteral("長辺綴じ")},
            {"Short side binding", QStringLiteral("短辺綴じ")},
            {"Pages", QStringLiteral("ページ指定")},
        };
        if (!context || !sourceText || !QByteArray(context).startsWith("QPrint"))
            return QString();
        return texts.value(QByteArray(sourceText));
    }
};

}  // namespace

QtJapanese::QtJapanese() : qt_(std::make_unique<QTranslator>()), supplement_(std::make_unique<Supplement>())
{
    loaded_ = qt_->load(QLocale(QLocale::Japanese), QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    // The translator installed last is asked first: the supplement only
    // answers what Qt's own file lacks.
    if (loaded_)
        QCoreApplication::installTranslator(qt_.get());
    QCoreApplication::installTranslator(supplement_.get());
}

QtJapanese::~QtJapanese()
{
    QCoreApplication::removeTranslator(supplement_.get());
    if (loaded_)
        QCoreApplication::removeTranslator(qt_.get());
}
