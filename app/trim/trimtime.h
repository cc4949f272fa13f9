#pragma once

#include <QString>

#include <cstdint>

// The times of the trim dialog as the user reads and types them:
// "[h:]mm:ss.zzz", the hours only from an hour on.
namespace trim {

QString formatTime(int64_t us);

// Accepts "[h:]mm:ss[.z…]" and a plain "ss[.z…]"; the fraction is read to
// the millisecond. False for anything else.
bool parseTime(const QString &text, int64_t *us);

} // namespace trim
