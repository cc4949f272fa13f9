#include "converter/batchreport.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cmath>

namespace converter {

namespace {

constexpr int64_t SecondUs = 1000000;

// The texts belong to the page that shows them.
QString pageText(const char *text)
{
    return QCoreApplication::translate("MediaConverter", text);
}

// The box names the first few files of a section and counts the rest.
QStringList boxSection(const QString &heading, const QStringList &lines)
{
    QStringList section{heading};
    section += lines.mid(0, SummaryNamedFiles);
    if (lines.size() > SummaryNamedFiles)
        section << pageText(QT_TRANSLATE_NOOP("MediaConverter", "另有 %1 个，见详细信息。"))
                       .arg(lines.size() - SummaryNamedFiles);
    return section;
}

} // namespace

bool isShortOutput(int64_t outputUs, int64_t inputUs)
{
    if (outputUs <= 0 || inputUs <= 0)
        return false;
    const int64_t shortfall = inputUs - outputUs;
    return shortfall > SecondUs && double(shortfall) > 0.05 * double(inputUs);
}

QString formatMediaTime(int64_t us)
{
    const double seconds = double(std::max<int64_t>(us, 0)) / SecondUs;
    const auto whole = int64_t(seconds);
    if (whole >= 3600)
        return QStringLiteral("%1:%2:%3")
            .arg(whole / 3600)
            .arg(whole / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(whole % 60, 2, 10, QLatin1Char('0'));
    // One decimal, rounded down, so a shortfall never rounds away.
    const double tenths = std::floor(seconds * 10) / 10;
    return QStringLiteral("%1:%2").arg(whole / 60).arg(tenths - double(whole / 60 * 60), 4, 'f', 1,
                                                       QLatin1Char('0'));
}

BatchSummary summarize(const BatchReport &report)
{
    BatchSummary summary;
    if (report.failures.isEmpty() && report.shortOutputs.isEmpty()) {
        summary.text = pageText(QT_TRANSLATE_NOOP("MediaConverter", "所有媒体文件转换完成"));
        return summary;
    }
    summary.clean = false;

    QStringList failed;
    for (const FailedFile &failure : report.failures) {
        QString line = QFileInfo(failure.path).fileName() + QStringLiteral(": ") + failure.reason;
        if (failure.partialRemoved)
            line += pageText(QT_TRANSLATE_NOOP("MediaConverter", "（未完成的输出已删除）"));
        failed << line;
    }
    QStringList shortened;
    for (const ShortOutput &output : report.shortOutputs)
        shortened << QFileInfo(output.path).fileName() + QStringLiteral(": ")
                         + pageText(QT_TRANSLATE_NOOP("MediaConverter", "输出只有 %1，输入为 %2"))
                               .arg(formatMediaTime(output.outputUs), formatMediaTime(output.inputUs));

    QStringList box;
    QStringList details;
    if (!failed.isEmpty()) {
        box += boxSection(
            pageText(QT_TRANSLATE_NOOP("MediaConverter", "%1 个文件未能转换：")).arg(failed.size()), failed);
        details += failed;
    }
    if (!shortened.isEmpty()) {
        if (!box.isEmpty())
            box << QString();
        box += boxSection(
            pageText(QT_TRANSLATE_NOOP("MediaConverter", "%1 个文件已转换，但有警告：")).arg(shortened.size()),
            shortened);
        details += shortened;
    }
    summary.text = box.join(QLatin1Char('\n'));
    summary.details = details.join(QLatin1Char('\n'));
    return summary;
}

} // namespace converter
