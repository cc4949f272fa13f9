#pragma once

#include <QString>

namespace vexlo::test {

// Counts the times a file is opened or read, by any process, through
// inotify: proof that a program never touched a file.
class FileAccessWatch
{
public:
    explicit FileAccessWatch(const QString &path);
    ~FileAccessWatch();
    FileAccessWatch(const FileAccessWatch &) = delete;
    FileAccessWatch &operator=(const FileAccessWatch &) = delete;

    bool isValid() const { return watch >= 0; }
    // Opens and reads since the watch began or since the last call.
    int takeAccesses();

private:
    int fd = -1;
    int watch = -1;
};

} // namespace vexlo::test
