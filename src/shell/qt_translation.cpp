#include "shell/qt_translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <memory>

namespace cifrovar {

namespace {

// The kinds of entries a file dialog lists, which Qt asks for in a context that its Czech
// catalogue does not cover: every folder in the list would read "Folder".
class FileKindsInCzech : public QTranslator {
  public:
    using QTranslator::QTranslator;

    QString translate(const char* context, const char* source, const char* disambiguation,
                      int n) const override {
        Q_UNUSED(disambiguation);
        Q_UNUSED(n);
        if (qstrcmp(context, "QAbstractFileIconProvider") != 0) return {};
        if (qstrcmp(source, "Folder") == 0) return QStringLiteral("Složka");
        if (qstrcmp(source, "Drive") == 0) return QStringLiteral("Jednotka");
        return {};
    }
    bool isEmpty() const override { return false; }
};

}  // namespace

bool install_qt_czech(QCoreApplication& app) {
    // Texts Qt takes from the locale, such as the kinds of files named by the system's MIME
    // database, come in Czech too.
    QLocale::setDefault(QLocale(QLocale::Czech, QLocale::CzechRepublic));
    // Asked last, after the catalogue installed below.
    QCoreApplication::installTranslator(new FileKindsInCzech(&app));
    auto translator = std::make_unique<QTranslator>(&app);
    if (!translator->load(QLocale(QLocale::Czech), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    return QCoreApplication::installTranslator(translator.release());
}

}  // namespace cifrovar
