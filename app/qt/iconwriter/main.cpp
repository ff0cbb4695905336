// Writes the program's icon as PNG files for the desktop's icon theme:
//   corvid-icon-writer FOLDER SIZE...
// gives FOLDER/SIZExSIZE/apps/corvid.png for each size. Run by the build.

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/qt/ToolbarIcons.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: corvid-icon-writer FOLDER SIZE...\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size < 8 || size > 1024) {
            std::fprintf(stderr, "corvid-icon-writer: no icon size: %s\n", argv[i]);
            return 2;
        }
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(folder).arg(size);
        const QString file = dir + QStringLiteral("/corvid.png");
        if (!QDir().mkpath(dir) || !corvid::ApplicationIconImage(size).save(file, "PNG")) {
            std::fprintf(stderr, "corvid-icon-writer: cannot write %s\n", file.toLocal8Bit().constData());
            return 1;
        }
    }
    return 0;
}
