#include "app/languageswitcher.h"

#include "app/uilanguage.h"
#include "core/settingsstore.h"

#include <QCoreApplication>
#include <QFile>
#include <QLibraryInfo>
#include <QTranslator>

namespace {

const QString SourceLanguage = QStringLiteral("zh_CN");

QString translationResource(const QString &code)
{
    return QStringLiteral(":/translations/lang_%1.qm").arg(code);
}

} // namespace

LanguageSwitcher::LanguageSwitcher()
    : currentLanguage(SourceLanguage)
{
}

// The translators leave the application before they die.
LanguageSwitcher::~LanguageSwitcher()
{
    if (appTranslator)
        QCoreApplication::removeTranslator(appTranslator.get());
    if (qtTranslator)
        QCoreApplication::removeTranslator(qtTranslator.get());
}

// The source texts are simplified Chinese, so zh_CN at start-up switches
// nothing; the toolkit's own texts (Yes, No, Cancel) still need their
// translation.
bool LanguageSwitcher::applyStartLanguage()
{
    const QString language = vexlo::startLanguage();
    if (language != currentLanguage)
        return install(language);
    if (!qtTranslator)
        loadQtTranslator(language);
    return false;
}

void LanguageSwitcher::loadQtTranslator(const QString &code)
{
    if (qtTranslator)
        QCoreApplication::removeTranslator(qtTranslator.get());
    qtTranslator = std::make_unique<QTranslator>();
    if (qtTranslator->load(QStringLiteral("qt_") + code,
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qtTranslator.get());
}

bool LanguageSwitcher::switchTo(const QString &code)
{
    if (code == currentLanguage)
        return false;
    openSettingsStore()->setValue(QStringLiteral("language"), code);
    return install(code);
}

// A language whose translation cannot be read falls back to the source
// language, stored as the choice.
bool LanguageSwitcher::install(const QString &code)
{
    currentLanguage = code;
    if (appTranslator)
        QCoreApplication::removeTranslator(appTranslator.get());
    loadQtTranslator(code);

    const QString path = translationResource(code);
    if (!QFile::exists(path)) {
        qWarning().noquote() << "Translation file not found:" << path;
        return code != SourceLanguage ? switchTo(SourceLanguage) : false;
    }
    appTranslator = std::make_unique<QTranslator>();
    if (!appTranslator->load(path)) {
        qWarning().noquote() << "Failed to load translation file:" << path;
        return code != SourceLanguage ? switchTo(SourceLanguage) : false;
    }
    QCoreApplication::installTranslator(appTranslator.get());
    return true;
}
