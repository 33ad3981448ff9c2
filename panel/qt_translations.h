// The window's language: Chinese, the texts it was written in, or English for everyone else.
#pragma once

#include <QString>
#include <QStringList>

class QCoreApplication;

namespace qv7::panel {

// "zh" when the first language in `uiLanguages` (as QLocale::uiLanguages() lists them, most wanted first) that the
// panel speaks is Chinese, "en" when it is English or when the list names neither.
QString windowLanguage(const QStringList& uiLanguages);
// For the languages the desktop asks for (LANGUAGE, LC_ALL, LC_MESSAGES, LANG).
QString systemWindowLanguage();

// Installs on `app` what `language` ("zh" or "en") needs: for Chinese Qt's own texts (the standard buttons of
// message boxes, the context menus of edits) from Qt's translations directory, for English the panel's built-in
// translation of its texts. False when they could not be loaded: the texts then stay as written.
bool installTranslations(QCoreApplication& app, const QString& language);

}  // namespace qv7::panel
