// vexlo-record-helper FORMAT OUTPUT_FOLDER [SOUND]
//
// Records the screen with ScreenRecorder at the HD preset until it is
// killed, for tests of what an abnormal end leaves behind. Prints the
// recording's path once the recording runs. SOUND is "microphone",
// "system" or "both".

#include "recorder/screenrecorder.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

extern "C" {
#include <libavutil/log.h>
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    av_log_set_level(AV_LOG_ERROR);
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: %s FORMAT OUTPUT_FOLDER [SOUND]\n", argv[0]);
        return 2;
    }
    ScreenRecorder recorder;
    recorder.setOutputDirectory(QString::fromLocal8Bit(argv[2]));
    RecordingConfig config;
    config.format = OutputFormat(std::atoi(argv[1]));
    config.quality = HD;
    config.captureCursor = false;
    const QByteArray sound = argc == 4 ? QByteArray(argv[3]) : QByteArray();
    config.recordMicrophone = sound == "microphone" || sound == "both";
    config.recordSystemAudio = sound == "system" || sound == "both";
    QTimer::singleShot(0, &app, [&] {
        if (!recorder.startRecording(config)) {
            std::fprintf(stderr, "%s\n", qPrintable(recorder.lastError()));
            app.exit(1);
            return;
        }
        std::printf("%s\n", qPrintable(recorder.currentFilePath()));
        std::fflush(stdout);
    });
    return app.exec();
}
