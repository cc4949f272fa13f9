// vexlo-bench-run [--case NAME] [--seconds N]
//
// Without a role it is the driver; it starts itself again with --scroll
// (the moving page) and --record (one ScreenRecorder run) for each case, and
// with --history for the history page case and --convert for the converter.

#include "bench/benchcases.h"

#include <cstdio>
#include <cstring>
#include <cstdlib>

int main(int argc, char **argv)
{
    QString role;
    QString caseName;
    QString outputDir;
    int seconds = 20;
    int frameRate = 30;
    bool flash = false;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--scroll") == 0 || std::strcmp(argv[i], "--record") == 0
            || std::strcmp(argv[i], "--history") == 0 || std::strcmp(argv[i], "--convert") == 0
            || std::strcmp(argv[i], "--trim") == 0)
            role = QString::fromLatin1(argv[i] + 2);
        else if (std::strcmp(argv[i], "--case") == 0 && hasValue)
            caseName = QString::fromLocal8Bit(argv[++i]);
        else if (std::strcmp(argv[i], "--seconds") == 0 && hasValue)
            seconds = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--flash") == 0)
            flash = true;
        else if (std::strcmp(argv[i], "--fps") == 0 && hasValue)
            frameRate = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--out") == 0 && hasValue)
            outputDir = QString::fromLocal8Bit(argv[++i]);
        else {
            std::fprintf(stderr, "usage: %s [--case NAME] [--seconds N]\n", argv[0]);
            return 2;
        }
    }
    if (seconds < 1 || frameRate < 1 || frameRate > 60) {
        std::fprintf(stderr, "bench: seconds must be at least 1, fps 1 to 60\n");
        return 2;
    }

    if (role == QLatin1String("scroll")) {
        QString monitor;
        for (const bench::Case &c : bench::allCases())
            if (c.name == caseName)
                monitor = c.monitor;
        return bench::runScroller(argc, argv, frameRate, flash, monitor);
    }
    if (role == QLatin1String("history"))
        return bench::runHistory(argc, argv, outputDir);
    if (role == QLatin1String("trim"))
        return bench::runTrim(argc, argv, outputDir);
    if (role == QLatin1String("convert"))
        return bench::runConvert(argc, argv, outputDir);
    if (role == QLatin1String("record")) {
        for (const bench::Case &c : bench::allCases()) {
            if (c.name == caseName)
                return bench::runRecorder(argc, argv, c, seconds, outputDir);
        }
        return 2;
    }
    return bench::runDriver(argc, argv, caseName, seconds);
}
