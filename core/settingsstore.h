#pragma once

#include <QSettings>

#include <memory>

// The per-user settings store, opened by name each time it is needed.
inline std::unique_ptr<QSettings> openSettingsStore()
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("Vexlo"), QStringLiteral("VexloRecorder"));
}
