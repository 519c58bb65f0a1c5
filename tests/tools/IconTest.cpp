#include <gtest/gtest.h>

#include <QFile>
#include <QImageReader>
#include <QXmlStreamReader>
#include <algorithm>
#include <cstdlib>

#include "Icon.h"

using namespace assetgen;

namespace {

QString iconFile(const QString& name) {
    return QStringLiteral(VELLICOR_ICON_DIR "/") + name;
}

// Largest difference of any channel of any pixel, or -1 when the sizes differ. Antialiased edges
// are blended by the CPU's own vector code, which may round a step differently from one CPU to
// the next; a shape out of place differs by far more.
int maxChannelDifference(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return -1;
    const QImage x = a.convertToFormat(QImage::Format_ARGB32);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32);
    int most = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col) {
            most = std::max({most, std::abs(qRed(p[col]) - qRed(q[col])),
                             std::abs(qGreen(p[col]) - qGreen(q[col])),
                             std::abs(qBlue(p[col]) - qBlue(q[col])),
                             std::abs(qAlpha(p[col]) - qAlpha(q[col]))});
        }
    }
    return most;
}

constexpr int RoundingSteps = 2;

}  // namespace

// The installed icons are the committed files; they must be what the generator draws today.
TEST(Icon, CommittedFilesMatchTheGenerator) {
    for (const int size : kIconSizes) {
        const QImage drawn = drawIcon(size);
        const QImage stored(iconFile(QStringLiteral("icon-%1.png").arg(size)));
        const int difference = maxChannelDifference(stored, drawn);
        EXPECT_TRUE(difference >= 0 && difference <= RoundingSteps)
            << difference << " at " << size
            << " px: run vellicor-icongen packaging/icons and commit the files";
    }
    QFile svg(iconFile(QStringLiteral("icon.svg")));
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(svg.readAll()), iconSvg());

    // The Windows icon file: every size, in order, as drawn.
    QImageReader ico(iconFile(QStringLiteral("icon.ico")), "ico");
    ASSERT_EQ(ico.imageCount(), static_cast<int>(kIconSizes.size()));
    for (const int size : kIconSizes) {
        const QImage drawn = drawIcon(size);
        const int difference = maxChannelDifference(ico.read(), drawn);
        EXPECT_TRUE(difference >= 0 && difference <= RoundingSteps)
            << difference << " at " << size << " px in icon.ico";
        ico.jumpToNextImage();
    }
}

// A menu shows the icon on its own background: outside the rounded tile it must stay
// transparent at every size, and the scalable one must be well-formed for the icon loaders.
TEST(Icon, TileOnATransparentGroundAndWellFormedSvg) {
    for (const int size : kIconSizes) {
        const QImage icon = drawIcon(size);
        ASSERT_EQ(icon.size(), QSize(size, size));
        EXPECT_TRUE(icon.hasAlphaChannel());
        EXPECT_EQ(icon.pixelColor(0, 0).alpha(), 0) << size;
        EXPECT_EQ(icon.pixelColor(size - 1, size - 1).alpha(), 0) << size;
        EXPECT_EQ(icon.pixelColor(size / 2, size / 8).alpha(), 255) << size;
    }

    QXmlStreamReader xml(iconSvg());
    int paths = 0;
    QString viewBox;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        if (xml.name() == QLatin1String("svg")) {
            viewBox = xml.attributes().value(QLatin1String("viewBox")).toString();
        } else if (xml.name() == QLatin1String("path")) {
            ++paths;
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(viewBox, "0 0 256 256");
    EXPECT_EQ(paths, 7);
}
