#pragma once

#include <QString>

#include <memory>

class QTranslator;

// The interface language: the program's own translation and the toolkit's,
// installed into the application at start-up and switched at run time.
class LanguageSwitcher
{
public:
    LanguageSwitcher();
    ~LanguageSwitcher();

    // The stored language, or the desktop's when none is stored; neither is
    // written to the store. True when the texts must be translated again.
    bool applyStartLanguage();
    // The user's choice, stored. True when the texts must be translated again.
    bool switchTo(const QString &code);

private:
    bool install(const QString &code);
    void loadQtTranslator(const QString &code);

    QString currentLanguage;
    std::unique_ptr<QTranslator> appTranslator;
    std::unique_ptr<QTranslator> qtTranslator;
};
