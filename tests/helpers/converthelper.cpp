// vexlo-convert-helper INPUT OUTPUT_FOLDER
//
// The converter page converting INPUT, dropped onto its list as a file
// manager drops it, to MP4 at high quality into OUTPUT_FOLDER until it is
// killed, for tests of what the program's own death leaves running. Prints
// "ffmpeg <pid>" once ffmpeg runs.

#include "converter/mediaconverter.h"

#include <QApplication>
#include <QComboBox>
#include <QDropEvent>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s INPUT OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    MediaConverter page;
    page.show();
    page.findChild<QLabel *>("outputDirVideoLabel")->setText(QString::fromLocal8Bit(argv[2]));
    page.findChild<QComboBox *>("videoFormatCombo")->setCurrentIndex(0);
    page.findChild<QComboBox *>("videoQualityCombo")->setCurrentIndex(0);

    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(QString::fromLocal8Bit(argv[1]))});
    QWidget *list = page.findChild<QListWidget *>("fileList")->viewport();
    const QPoint middle = list->rect().center();
    QDragEnterEvent enter(middle, Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list, &enter);
    QDropEvent drop(QPointF(middle), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list, &drop);
    page.findChild<QPushButton *>("convertButton")->click();

    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &page, [&] {
        for (const QProcess *process : page.findChildren<QProcess *>()) {
            if (process->state() == QProcess::Running) {
                std::printf("ffmpeg %lld\n", static_cast<long long>(process->processId()));
                std::fflush(stdout);
                poll.stop();
            }
        }
    });
    poll.start(50);
    return app.exec();
}
