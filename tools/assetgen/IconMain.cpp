#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTextStream>

#include "Icon.h"

// Draws the desktop icon into a folder:  vellicor-icongen [--check] <dir>
// Writes icon-<size>.png for every hicolor size and icon.svg. With --check nothing is written;
// the exit status tells whether the committed files are still what this code draws.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool check = args.removeAll(QStringLiteral("--check")) > 0;
    QTextStream err(stderr);
    if (args.size() != 1) {
        err << "usage: vellicor-icongen [--check] <dir>\n";
        return 2;
    }
    const QDir dir(args.first());

    int failures = 0;
    const auto report = [&](const QString& path, const char* what) {
        err << path << ": " << what << "\n";
        ++failures;
    };
    for (const int size : assetgen::kIconSizes) {
        const QString path = dir.filePath(QStringLiteral("icon-%1.png").arg(size));
        const QImage drawn = assetgen::drawIcon(size);
        if (check) {
            if (QImage(path).convertToFormat(drawn.format()) != drawn) {
                report(path, "differs from what the generator draws");
            }
        } else if (!drawn.save(path, "PNG")) {
            report(path, "cannot write");
        }
    }
    const QString svgPath = dir.filePath(QStringLiteral("icon.svg"));
    const QByteArray svg = assetgen::iconSvg().toUtf8();
    QFile file(svgPath);
    if (check) {
        if (!file.open(QIODevice::ReadOnly) || file.readAll() != svg) {
            report(svgPath, "differs from what the generator draws");
        }
    } else if (!file.open(QIODevice::WriteOnly) || file.write(svg) != svg.size() || !file.flush()) {
        report(svgPath, "cannot write");
    }
    return failures == 0 ? 0 : 1;
}
