// Choosing the window's language and loading its translations.
#include "panel/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QTranslator>

namespace qv7::panel {

QString windowLanguage(const QStringList& uiLanguages) {
    // Like gettext's LANGUAGE list: a language the panel does not have is passed over, so "fr:zh_CN" gets Chinese.
    for (const QString& name : uiLanguages) {
        // "zh-Hans-CN", "zh_TW.UTF-8", "en": the language is what comes before the first separator.
        const QString language = name.section(QRegularExpression(QStringLiteral("[-_.@]")), 0, 0).toLower();
        if (language == QLatin1String("zh")) return QStringLiteral("zh");
        if (language == QLatin1String("en")) return QStringLiteral("en");
    }
    return QStringLiteral("en");
}

QString systemWindowLanguage() { return windowLanguage(QLocale::system().uiLanguages()); }

namespace {
bool install(QCoreApplication& app, const QString& file, const QString& directory) {
    // Owned by the application: the translator must live as long as anything may be translated.
    auto* translator = new QTranslator(&app);
    if (!translator->load(file, directory)) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}
}  // namespace

bool installTranslations(QCoreApplication& app, const QString& language) {
    // The window's own texts are written in Chinese; Qt's are in English unless translated.
    if (language == QLatin1String("zh"))
        return install(app, QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    // Built in (qt_add_translations), so the installed program needs no file beside it.
    return install(app, QStringLiteral("qv7-panel_en"), QStringLiteral(":/i18n"));
}

}  // namespace qv7::panel
