#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>

// What a finished batch has to tell the user, and how the page words it.
namespace converter {

struct FailedFile
{
    QString path;
    // ffmpeg's own error line without the file's path, or the reason the
    // run never began.
    QString reason;
    // The run left a partial output, which has been deleted.
    bool partialRemoved = false;
};

// A file converted without error whose output is clearly shorter than its
// input said it would be (a truncated input).
struct ShortOutput
{
    QString path;
    int64_t outputUs = 0;
    int64_t inputUs = 0;
};

struct BatchReport
{
    QList<FailedFile> failures;
    QList<ShortOutput> shortOutputs;
    // The folders that received outputs, in the order of their first file.
    QStringList outputDirs;
};

// Whether an output this long is clearly shorter than its input: by more
// than 5 % and more than a second.
bool isShortOutput(int64_t outputUs, int64_t inputUs);

// The message box of a batch's end: a short text for the box, a line per
// file for its details (empty when everything was converted).
struct BatchSummary
{
    bool clean = true;
    QString text;
    QString details;
};

// At most this many files are named in the box itself; the details list all.
inline constexpr int SummaryNamedFiles = 5;

BatchSummary summarize(const BatchReport &report);

// "1:02:03" for an hour and more, "2:05.3" below.
QString formatMediaTime(int64_t us);

} // namespace converter
