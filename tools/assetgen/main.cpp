#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QTextStream>
#include <functional>

#include "AssetDrawing.h"
#include "GeneratorMain.h"

// Draws the program's pictures into a folder:  vellicor-assetgen [--check] <assets-dir>
// With --check nothing is written; the exit status tells whether the committed pictures are
// still, pixel for pixel, what this code draws (the table's text in Liberation Sans).
int main(int argc, char** argv) {
    return assetgen::runGenerator(
        argc, argv, "vellicor-assetgen [--check] <assets-dir>",
        [](const QDir& dir, bool check, QTextStream& err) {
            struct Picture {
                const char* file;
                std::function<QImage()> draw;
            };
            const Picture pictures[] = {
                {"backdrop.png", [] { return assetgen::drawBackdrop(); }},
                {"co2table.png", [] { return assetgen::drawCo2Table(); }},
                {"backdrop@2x.png", [] { return assetgen::drawBackdrop(2); }},
                {"co2table@2x.png", [] { return assetgen::drawCo2Table(2); }},
            };

            int failures = 0;
            for (const Picture& picture : pictures) {
                const QString path = dir.filePath(QString::fromLatin1(picture.file));
                const QImage drawn = picture.draw();
                if (check) {
                    if (QImage(path).convertToFormat(drawn.format()) != drawn) {
                        err << path << ": differs from what the generator draws\n";
                        ++failures;
                    }
                } else if (!drawn.save(path, "PNG")) {
                    err << path << ": cannot write\n";
                    ++failures;
                }
            }
            return failures == 0 ? 0 : 1;
        });
}
