#pragma once

#include <QString>
#include <QStringList>

namespace vexlo {

// The interface language for a desktop whose preferred languages are
// uiLanguages, most preferred first: traditional Chinese for Taiwan, Hong
// Kong and Macao (or a traditional script), simplified Chinese for any other
// Chinese, English for everything else.
QString languageForDesktop(const QStringList &uiLanguages);

// The language to start in: the stored choice when there is one, else the
// desktop's (read from its locale). Needs no application object.
QString startLanguage();

} // namespace vexlo
