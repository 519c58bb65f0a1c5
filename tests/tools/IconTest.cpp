#include <gtest/gtest.h>

#include <QFile>
#include <QImageReader>
#include <QXmlStreamReader>

#include "Icon.h"

using namespace assetgen;

namespace {

QString iconFile(const QString& name) {
    return QStringLiteral(VELLICOR_ICON_DIR "/") + name;
}

}  // namespace

// The installed icons are the committed files; they must be what the generator draws today.
TEST(Icon, CommittedFilesMatchTheGenerator) {
    for (const int size : kIconSizes) {
        const QImage drawn = drawIcon(size);
        const QImage stored(iconFile(QStringLiteral("icon-%1.png").arg(size)));
        EXPECT_EQ(stored.convertToFormat(drawn.format()), drawn)
            << size << " px: run vellicor-icongen packaging/icons and commit the files";
    }
    QFile svg(iconFile(QStringLiteral("icon.svg")));
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(svg.readAll()), iconSvg());

    // The Windows icon file: every size, in order, as drawn.
    QImageReader ico(iconFile(QStringLiteral("icon.ico")), "ico");
    ASSERT_EQ(ico.imageCount(), static_cast<int>(kIconSizes.size()));
    for (const int size : kIconSizes) {
        const QImage drawn = drawIcon(size);
        EXPECT_EQ(ico.read().convertToFormat(drawn.format()), drawn) << size << " px in icon.ico";
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
