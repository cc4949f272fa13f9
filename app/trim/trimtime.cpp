#include "app/trim/trimtime.h"

#include <QRegularExpression>

namespace trim {

QString formatTime(int64_t us)
{
    const int64_t ms = (std::max<int64_t>(us, 0) + 500) / 1000;
    const int64_t hours = ms / 3600000;
    const QString rest = QStringLiteral("%1:%2.%3")
                             .arg(ms / 60000 % 60, 2, 10, QLatin1Char('0'))
                             .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'))
                             .arg(ms % 1000, 3, 10, QLatin1Char('0'));
    return hours > 0 ? QString::number(hours) + QLatin1Char(':') + rest : rest;
}

bool parseTime(const QString &text, int64_t *us)
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*(?:(?:(\\d+):)?(\\d{1,2}):)?(\\d{1,2})(?:[.,](\\d{1,3})\\d*)?\\s*$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return false;
    const int64_t hours = match.captured(1).toLongLong();
    const int64_t minutes = match.captured(2).toLongLong();
    const int64_t seconds = match.captured(3).toLongLong();
    // Past the first field, minutes and seconds stay below 60.
    if ((match.hasCaptured(2) && seconds >= 60) || (match.hasCaptured(1) && minutes >= 60))
        return false;
    const int64_t ms = (match.captured(4) + QStringLiteral("00")).left(3).toLongLong();
    *us = ((hours * 60 + minutes) * 60 + seconds) * 1000000 + ms * 1000;
    return true;
}

} // namespace trim
