// Qt's own texts (the standard buttons of message boxes, the context menus of edits) in the window's language.
#pragma once

#include <QString>

class QCoreApplication;

namespace qv7::panel {

// The language of the window's texts, as Qt names its translation files.
QString windowLanguage();

// Loads Qt's translations for windowLanguage() from Qt's translations directory and installs them on `app`.
// False when they are not installed: Qt's English texts stay.
bool installQtTranslations(QCoreApplication& app);

}  // namespace qv7::panel
