#include "app/uilanguage.h"

#include "core/settingsstore.h"

#include <QLocale>

namespace vexlo {

QString languageForDesktop(const QStringList &uiLanguages)
{
    if (uiLanguages.isEmpty())
        return QStringLiteral("en_US");
    // "zh_HK.UTF-8" and "zh-Hant-TW" alike.
    const QLocale locale(uiLanguages.constFirst().section(u'.', 0, 0));
    if (locale.language() != QLocale::Chinese)
        return QStringLiteral("en_US");
    const bool traditional = locale.script() == QLocale::TraditionalChineseScript
                             || locale.territory() == QLocale::Taiwan
                             || locale.territory() == QLocale::HongKong
                             || locale.territory() == QLocale::Macao;
    return traditional ? QStringLiteral("zh_TW") : QStringLiteral("zh_CN");
}

QString startLanguage()
{
    const QString stored = openSettingsStore()->value(QStringLiteral("language")).toString();
    if (!stored.isEmpty())
        return stored;
    return languageForDesktop(QLocale::system().uiLanguages());
}

} // namespace vexlo
