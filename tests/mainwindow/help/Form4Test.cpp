#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QScreen>

#include "assets/Assets.h"
#include "mainwindow/Form4.h"

using mainwindow::Form4;

namespace {

const QColor kDarkBlue(0, 0, 192);

struct LabelCase {
    QLabel* Form4::*label;
    const char* name;
    QRect geometry;    // pixels
    const char* text;  // nullptr: own wording, checked separately
    bool bold;
    double points;
    bool darkBlue;
};

const LabelCase kLabels[] = {
    {&Form4::Label1,
     "Label1",
     {16, 8, 537, 25},
     "How to set the target level of co2 in a planted tank",
     true,
     9.75,
     false},
    {&Form4::Label2, "Label2", {16, 32, 585, 25}, nullptr, false, 8.25, false},
    {&Form4::Label3,
     "Label3",
     {16, 48, 625, 25},
     "The more CO2 that gets dissolved into the water, the lower the pH.",
     false,
     8.25,
     false},
    {&Form4::Label4, "Label4", {16, 64, 625, 25}, nullptr, false, 8.25, false},
    {&Form4::Label5, "Label5", {8, 80, 625, 25}, " ", false, 8.25, false},
    {&Form4::Label6,
     "Label6",
     {16, 80, 593, 25},
     "Assuming a constant amount of CO2, a higher KH, will result in a higher pH.",
     false,
     8.25,
     false},
    {&Form4::Label7,
     "Label7",
     {16, 104, 593, 25},
     "Over the years, aquarists have found ways to use this relation to calculate the amount "
     "of CO2 dissolved in water. ",
     false,
     8.25,
     false},
    {&Form4::Label8,
     "Label8",
     {16, 120, 593, 25},
     "Unfortunately, it is known that other buffers such as pH-UP, pH-Down, Discus Buffers and "
     "Phosphate will",
     false,
     8.25,
     false},
    {&Form4::Label9,
     "Label9",
     {16, 136, 593, 25},
     "throw off this relation making most test kit and calculation methods inaccurate.",
     false,
     8.25,
     false},
    {&Form4::Label10,
     "Label10",
     {16, 152, 609, 25},
     "Most buffers can be avoided but unfortunately, there will/should always be a certain "
     "amount of phosphate in our planted tank. ",
     false,
     8.25,
     false},
    {&Form4::Label11,
     "Label11",
     {152, 656, 441, 25},
     "You have KH = 4, then your pH should be from 6.6 to 6.9 (green area 32-16 ppm CO2).",
     false,
     8.25,
     true},
    {&Form4::Label12, "Label12", {64, 656, 57, 25}, "Example:", true, 8.25, true},
};

}  // namespace

TEST(Form4, LabelsHaveTheirTextsPlacesFontsAndColours) {
    Form4 form;
    for (const LabelCase& c : kLabels) {
        SCOPED_TRACE(c.name);
        const QLabel* label = form.*(c.label);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->objectName(), QString::fromLatin1(c.name));
        EXPECT_EQ(label->geometry(), c.geometry);
        if (c.text != nullptr) {
            EXPECT_EQ(label->text(), QString::fromLatin1(c.text));
        }
        EXPECT_EQ(label->font().bold(), c.bold);
        EXPECT_DOUBLE_EQ(label->font().pointSizeF(), c.points);
        EXPECT_TRUE(label->autoFillBackground());
        const QColor ink = label->palette().color(QPalette::WindowText);
        if (c.darkBlue) {
            EXPECT_EQ(ink, kDarkBlue);
        } else {
            EXPECT_EQ(ink, QApplication::palette(label).color(QPalette::WindowText));
        }
    }
}

TEST(Form4, OwnSentencesSayWhatTheyMust) {
    Form4 form;
    const QString relation = form.Label2->text();
    for (const char* word : {"pH", "KH", "CO2", "acid", "lowers"}) {
        EXPECT_TRUE(relation.contains(QLatin1String(word))) << word;
    }
    EXPECT_TRUE(form.Label4->text().contains(QStringLiteral("(carbonate hardness)")));
    EXPECT_TRUE(form.Label4->text().contains(QStringLiteral("CO2")));
}

TEST(Form4, WindowIsSizedCaptionedAndCentred) {
    Form4 form;
    EXPECT_EQ(form.windowTitle(),
              QStringLiteral("How to calculate CO2 level and target pH from KH"));
    EXPECT_EQ(form.size(), QSize(652, 679));
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE(std::abs(form.geometry().center().x() - screen.center().x()), 1);
    EXPECT_LE(std::abs(form.geometry().center().y() - screen.center().y()), 1);
}

TEST(Form4, PictureShowsTheWholeTableInsideItsBorder) {
    Form4 form;
    ASSERT_NE(form.Picture1, nullptr);
    EXPECT_EQ(form.Picture1->geometry(), QRect(32, 176, 577, 473));
    EXPECT_EQ(form.Picture1->pixmap().size(), QSize(575, 469));
    // The box is two pixels taller than the picture needs; the picture sits at its natural
    // size in the top-left corner, inside the border, not stretched.
    EXPECT_EQ(form.Picture1->contentsRect().topLeft(), QPoint(1, 1));
    EXPECT_TRUE(form.Picture1->contentsRect().contains(QRect(1, 1, 575, 469)));
    const QImage shown = form.Picture1->grab().toImage();
    const QImage table(assets::co2TablePath());
    for (const QPoint p : {QPoint(0, 0), QPoint(300, 150), QPoint(574, 468), QPoint(100, 450)}) {
        EXPECT_EQ(shown.pixelColor(p + QPoint(1, 1)), table.pixelColor(p)) << p.x() << "," << p.y();
    }
    EXPECT_NE(form.Picture1->focusPolicy() & Qt::TabFocus, 0);
}

// Label6 starts further right than Label5 but is drawn over it where the two overlap, and
// the opaque labels keep their stacking when painted.
TEST(Form4, Label6LiesOverLabel5) {
    Form4 form;
    EXPECT_EQ(form.childAt(20, 90), form.Label6);
    EXPECT_EQ(form.childAt(10, 90), form.Label5);
}
