#include "converter/conversionprogress.h"

#include <QRegularExpression>

#include <algorithm>

namespace converter {

namespace {

// Status lines end in a carriage return, everything else in a newline.
template <typename Handler>
void splitLines(QByteArray &rest, const QByteArray &chunk, Handler handle)
{
    rest += chunk;
    qsizetype start = 0;
    for (qsizetype i = 0; i < rest.size(); ++i) {
        if (rest.at(i) == '\n' || rest.at(i) == '\r') {
            if (i > start)
                handle(rest.mid(start, i - start));
            start = i + 1;
        }
    }
    rest.remove(0, start);
}

// A message line as ffmpeg prints it with the "level" log flag: any number
// of "[component @ 0x...] " contexts, then "[error] " or another level.
struct Message
{
    QByteArray level;
    QByteArray text;
};

Message splitMessage(const QByteArray &line)
{
    static const QRegularExpression tags(
        QStringLiteral("^((?:\\[[^\\]]* @ 0x[0-9a-fA-F]+\\] )*)"
                       "\\[(quiet|panic|fatal|error|warning|info|verbose|debug|trace)\\] "));
    const QString text = QString::fromUtf8(line);
    const QRegularExpressionMatch match = tags.match(text);
    if (!match.hasMatch())
        return {QByteArray(), line};
    return {match.captured(2).toLatin1(), text.mid(match.capturedLength(0)).toUtf8()};
}

bool isStatusLine(const QByteArray &text)
{
    const QByteArray trimmed = text.trimmed();
    return trimmed.startsWith("frame=") || trimmed.startsWith("size=");
}

bool isErrorLevel(const QByteArray &level)
{
    return level == "error" || level == "fatal" || level == "panic";
}

// "time=00:01:02.50" in a status line; a negative time does not match.
int64_t statusTimeUs(const QByteArray &line)
{
    static const QRegularExpression pattern(QStringLiteral("time=(\\d+):(\\d+):(\\d+)(?:\\.(\\d+))?"));
    const QRegularExpressionMatch match = pattern.match(QString::fromLatin1(line));
    if (!match.hasMatch())
        return -1;
    const int64_t seconds = match.captured(1).toLongLong() * 3600 + match.captured(2).toLongLong() * 60
                            + match.captured(3).toLongLong();
    // The digits after the point are a fraction of a second, however many.
    const QString digits = (match.captured(4) + QStringLiteral("000000")).left(6);
    return seconds * 1000000 + digits.toLongLong();
}

} // namespace

void RunProgress::addOutput(const QByteArray &chunk)
{
    splitLines(outputRest, chunk, [this](const QByteArray &line) { outputLine(line); });
}

void RunProgress::addError(const QByteArray &chunk)
{
    splitLines(errorRest, chunk, [this](const QByteArray &line) { errorLine(line); });
}

void RunProgress::finish()
{
    addOutput("\n");
    addError("\n");
}

double RunProgress::fraction(int64_t durationUs) const
{
    if (end)
        return 1.0;
    if (durationUs <= 0)
        return 0.0;
    return std::min(1.0, double(done) / double(durationUs));
}

void RunProgress::outputLine(const QByteArray &line)
{
    const qsizetype equals = line.indexOf('=');
    if (equals < 0)
        return;
    const QByteArray key = line.left(equals).trimmed();
    const QByteArray value = line.mid(equals + 1).trimmed();
    if (key == "out_time_us") {
        bool ok = false;
        const qlonglong us = value.toLongLong(&ok);
        if (ok)
            advanceTo(us);
    } else if (key == "progress" && value == "end") {
        end = true;
    }
}

void RunProgress::errorLine(const QByteArray &line)
{
    const Message message = splitMessage(line);
    if (isStatusLine(message.text)) {
        advanceTo(statusTimeUs(message.text));
        return;
    }
    if (!isErrorLevel(message.level))
        return;
    const QString text = QString::fromUtf8(message.text).trimmed();
    if (!text.isEmpty() && text != QLatin1String("Conversion failed!"))
        lastLine = text;
}

void RunProgress::advanceTo(int64_t us)
{
    if (us > done)
        done = us;
}

QList<double> batchWeights(const QList<int64_t> &durationsUs, const QList<qint64> &sizes)
{
    const qsizetype count = std::min(durationsUs.size(), sizes.size());
    double knownDuration = 0;
    double knownBytes = 0;
    for (qsizetype i = 0; i < count; ++i) {
        if (durationsUs[i] > 0) {
            knownDuration += double(durationsUs[i]);
            knownBytes += double(std::max<qint64>(sizes[i], 0));
        }
    }
    const double usPerByte = knownBytes > 0 ? knownDuration / knownBytes : 1.0;

    QList<double> weights;
    double total = 0;
    for (qsizetype i = 0; i < count; ++i) {
        const double weight = durationsUs[i] > 0 ? double(durationsUs[i])
                                                 : double(std::max<qint64>(sizes[i], 0)) * usPerByte;
        weights.append(weight);
        total += weight;
    }
    if (total <= 0)
        weights.fill(1.0);
    return weights;
}

} // namespace converter
