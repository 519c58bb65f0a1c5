#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QTextStream>

#include "GeneratorMain.h"
#include "Icon.h"

// Draws the desktop icon into a folder:  vellicor-icongen [--check] <dir>
// Writes icon-<size>.png for every hicolor size, icon.svg and icon.ico (all sizes, for Windows).
// With --check nothing is written; the exit status tells whether the committed files are still
// what this code draws (the icon file by its pictures, since PNG bytes vary with zlib).
int main(int argc, char** argv) {
    return assetgen::runGenerator(
        argc, argv, "vellicor-icongen [--check] <dir>",
        [](const QDir& dir, bool check, QTextStream& err) {
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
            } else if (!file.open(QIODevice::WriteOnly) || file.write(svg) != svg.size() ||
                       !file.flush()) {
                report(svgPath, "cannot write");
            }
            const QString icoPath = dir.filePath(QStringLiteral("icon.ico"));
            if (check) {
                QImageReader reader(icoPath, "ico");
                bool same = reader.imageCount() == static_cast<int>(assetgen::kIconSizes.size());
                for (const int size : assetgen::kIconSizes) {
                    const QImage drawn = assetgen::drawIcon(size);
                    same = same && reader.read().convertToFormat(drawn.format()) == drawn;
                    reader.jumpToNextImage();
                }
                if (!same) report(icoPath, "differs from what the generator draws");
            } else {
                QFile ico(icoPath);
                const QByteArray bytes = assetgen::iconIco();
                if (!ico.open(QIODevice::WriteOnly) || ico.write(bytes) != bytes.size() ||
                    !ico.flush()) {
                    report(icoPath, "cannot write");
                }
            }
            return failures == 0 ? 0 : 1;
        });
}
