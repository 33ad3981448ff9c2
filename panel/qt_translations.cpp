// Qt's translations of its own texts, for the window's one language.
#include "panel/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace qv7::panel {

// Every text of the window is Chinese; Qt's buttons in another language would be the only odd ones out.
QString windowLanguage() { return QStringLiteral("zh_CN"); }

bool installQtTranslations(QCoreApplication& app) {
    // Owned by the application: the translator must live as long as anything may be translated.
    auto* translator = new QTranslator(&app);
    const QString directory = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(QStringLiteral("qtbase_") + windowLanguage(), directory)) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

}  // namespace qv7::panel
