#include "platform/autostart.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

namespace platform {

QString autoStartEntryPath(const QString &name)
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/autostart/") + name + QStringLiteral(".desktop");
}

QString desktopExecValue(const QString &program)
{
    // Argument level: inside double quotes, backslash-escape " ` $ and \;
    // "%" is a field code and is written "%%".
    QString quoted;
    for (const QChar c : program) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
    }
    quoted.replace(QStringLiteral("%"), QStringLiteral("%%"));
    quoted = u'"' + quoted + u'"';

    // String level of the key file: every backslash doubled, and no raw
    // line breaks.
    quoted.replace(QStringLiteral("\\"), QStringLiteral("\\\\"));
    quoted.replace(QStringLiteral("\n"), QStringLiteral("\\n"));
    quoted.replace(QStringLiteral("\t"), QStringLiteral("\\t"));
    quoted.replace(QStringLiteral("\r"), QStringLiteral("\\r"));
    return quoted;
}

bool enableAutoStart(const QString &name, const QString &program)
{
    const QString path = autoStartEntryPath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    const QString entry = QStringLiteral("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=%1\n"
                                         "Exec=%2\n"
                                         "Terminal=false\n")
                              .arg(name, desktopExecValue(program));
    file.write(entry.toUtf8());
    return file.commit();
}

void disableAutoStart(const QString &name)
{
    QFile::remove(autoStartEntryPath(name));
}

} // namespace platform
