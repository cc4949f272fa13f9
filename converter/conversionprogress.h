#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>

namespace converter {

// What one ffmpeg run has reported: the media time written so far, whether
// it declared the end, and its last message. Fed with the raw chunks of its
// standard output (the key=value stream of "-progress pipe:1") and of its
// standard error (messages and the "time=" status lines); lines split across
// chunks are joined.
class RunProgress
{
public:
    void addOutput(const QByteArray &chunk);
    void addError(const QByteArray &chunk);
    // Takes the unterminated rest of both streams as whole lines.
    void finish();

    // Microseconds of output media time; never decreases. Values that are
    // "N/A" or negative are ignored.
    int64_t doneUs() const { return done; }
    // "progress=end" has been read.
    bool ended() const { return end; }
    // The text of the last error line of standard error (ffmpeg runs with
    // its level tags on; metadata and warnings are not errors), without its
    // tags and other than the closing "Conversion failed!"; empty when there
    // was none.
    QString lastErrorLine() const { return lastLine; }

    // Share of a file of the given duration that is done, 0 to 1; a file of
    // unknown duration (durationUs <= 0) counts only once it has ended.
    double fraction(int64_t durationUs) const;

private:
    void outputLine(const QByteArray &line);
    void errorLine(const QByteArray &line);
    void advanceTo(int64_t us);

    QByteArray outputRest;
    QByteArray errorRest;
    int64_t done = 0;
    bool end = false;
    QString lastLine;
};

// Each file's share of a batch. A file weighs its duration; a file whose
// duration is unknown weighs its size at the average bytes per second of the
// files with one (just its size when no file has one). When every weight
// would be zero all files weigh the same.
QList<double> batchWeights(const QList<int64_t> &durationsUs, const QList<qint64> &sizes);

} // namespace converter
