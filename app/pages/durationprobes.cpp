#include "app/pages/durationprobes.h"

namespace {
// Two threads: one slow file (each probe may take up to its deadline) does
// not hold up the rest of the folder.
constexpr int ProbeThreads = 2;
} // namespace

DurationProbes::DurationProbes(Probe probe, QObject *parent)
    : QObject(parent)
    , probe(std::move(probe))
{
    pool.setMaxThreadCount(ProbeThreads);
}

DurationProbes::~DurationProbes()
{
    pool.clear();
    pool.waitForDone();
}

void DurationProbes::request(const QString &path, qint64 size, const QDateTime &modified)
{
    pool.start([this, path, size, modified] {
        emit probed(path, size, modified, probe(path));
    });
}
