#pragma once

#include <QDir>
#include <QGuiApplication>
#include <QTextStream>
#include <functional>

namespace assetgen {

// The generators' common command line:  <program> [--check] <dir>. Draws offscreen unless a
// platform is asked for, and hands the folder, whether only to check, and the error stream to
// the generator, whose result is the exit status.
inline int runGenerator(int argc, char** argv, const char* usage,
                        const std::function<int(const QDir&, bool, QTextStream&)>& generate) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool check = args.removeAll(QStringLiteral("--check")) > 0;
    QTextStream err(stderr);
    if (args.size() != 1) {
        err << "usage: " << usage << "\n";
        return 2;
    }
    return generate(QDir(args.first()), check, err);
}

}  // namespace assetgen
