#include "Form4.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QStyle>

#include "assets/Assets.h"
#include "device/Twips.h"

namespace mainwindow {

namespace {

constexpr int kLabelHeight = 375;
const QColor kDarkBlue(0, 0, 192);

enum class Look { Plain, Heading, Emphasis, Note };

// The table picture in a plain label, except on a scaled screen: there it shows the same
// table drawn at twice the resolution, loaded when first needed and brought down smoothly to
// the screen's ratio, where the picture itself would be stretched up and blurred.
class PictureLabel final : public QLabel {
public:
    PictureLabel(QString sharpPath, QWidget* parent)
        : QLabel(parent), sharpPath_(std::move(sharpPath)) {}

protected:
    void paintEvent(QPaintEvent* event) override {
        if (devicePixelRatioF() > 1 && sharp_.isNull() && !pixmap().isNull())
            sharp_ = QPixmap(sharpPath_);
        if (devicePixelRatioF() <= 1 || sharp_.isNull()) return QLabel::paintEvent(event);
        QPainter painter(this);
        drawFrame(&painter);
        const QRect inner = contentsRect();
        painter.setClipRect(inner);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(QRect(inner.topLeft(), pixmap().deviceIndependentSize().toSize()),
                           sharp_);
    }

private:
    QString sharpPath_;
    QPixmap sharp_;
};

// The generator draws each picture a second time at twice the resolution, named with "@2x".
QString sharpTwin(QString path) {
    return path.replace(QLatin1String(".png"), QLatin1String("@2x.png"));
}

using device::twipRect;
using device::twipsToPixels;

QLabel* makeLabel(QWidget* parent, const QString& name, int left, int top, int width,
                  const QString& text, Look look = Look::Plain) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(twipRect(left, top, width, kLabelHeight));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    // Opaque, so a label drawn later covers whatever lies under it.
    label->setAutoFillBackground(true);

    // The texts were laid out for a narrow sans serif; Liberation Sans keeps them on one line
    // where the platform's default sans font may be wider.
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(look == Look::Heading ? 9.75 : 8.25);
    font.setBold(look == Look::Heading || look == Look::Emphasis);
    label->setFont(font);
    if (look == Look::Emphasis || look == Look::Note) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, kDarkBlue);
        label->setPalette(palette);
    }
    return label;
}

}  // namespace

Form4::Form4(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("How to calculate CO2 level and target pH from KH"));
    resize(twipsToPixels(9780), twipsToPixels(10185));

    // Created first so that it comes first in the tab order.
    Picture1 = new PictureLabel(sharpTwin(assets::co2TablePath()), this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(twipRect(480, 2640, 8655, 7095));
    Picture1->setFrameStyle(QFrame::Box | QFrame::Plain);
    Picture1->setLineWidth(1);
    Picture1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Picture1->setFocusPolicy(Qt::StrongFocus);
    Picture1->setPixmap(QPixmap(assets::co2TablePath()));

    // In number order, so each label lies over the one before it (Label6 over Label5).
    Label1 = makeLabel(this, QStringLiteral("Label1"), 240, 120, 8055,
                       QStringLiteral("How to set the target level of co2 in a planted tank"),
                       Look::Heading);
    Label2 = makeLabel(this, QStringLiteral("Label2"), 240, 480, 8775,
                       QStringLiteral("pH, KH and CO2 are related. CO2 added to water forms an "
                                      "acid, carbonic acid, which lowers the pH."));
    Label3 = makeLabel(
        this, QStringLiteral("Label3"), 240, 720, 9375,
        QStringLiteral("The more CO2 that gets dissolved into the water, the lower the pH."));
    Label4 = makeLabel(this, QStringLiteral("Label4"), 240, 960, 9375,
                       QStringLiteral("The KH (carbonate hardness) works against the CO2 and "
                                      "raises the pH."));
    Label5 = makeLabel(this, QStringLiteral("Label5"), 120, 1200, 9375, QStringLiteral(" "));
    Label6 = makeLabel(this, QStringLiteral("Label6"), 240, 1200, 8895,
                       QStringLiteral("Assuming a constant amount of CO2, a higher KH, will "
                                      "result in a higher pH."));
    Label7 = makeLabel(this, QStringLiteral("Label7"), 240, 1560, 8895,
                       QStringLiteral("Over the years, aquarists have found ways to use this "
                                      "relation to calculate the amount of CO2 dissolved in "
                                      "water. "));
    Label8 = makeLabel(this, QStringLiteral("Label8"), 240, 1800, 8895,
                       QStringLiteral("Unfortunately, it is known that other buffers such as "
                                      "pH-UP, pH-Down, Discus Buffers and Phosphate will"));
    Label9 = makeLabel(this, QStringLiteral("Label9"), 240, 2040, 8895,
                       QStringLiteral("throw off this relation making most test kit and "
                                      "calculation methods inaccurate."));
    Label10 = makeLabel(this, QStringLiteral("Label10"), 240, 2280, 9135,
                        QStringLiteral("Most buffers can be avoided but unfortunately, there "
                                       "will/should always be a certain amount of phosphate in "
                                       "our planted tank. "));
    Label11 = makeLabel(this, QStringLiteral("Label11"), 2280, 9840, 6615,
                        QStringLiteral("You have KH = 4, then your pH should be from 6.6 to 6.9 "
                                       "(green area 32-16 ppm CO2)."),
                        Look::Note);
    Label12 = makeLabel(this, QStringLiteral("Label12"), 960, 9840, 855, QStringLiteral("Example:"),
                        Look::Emphasis);

    // Windowed controls are drawn over labels, so the picture's border stays whole where
    // Label10's second line would reach it.
    Picture1->raise();

    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen != nullptr) {
        setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(),
                                        screen->availableGeometry()));
    }
}

}  // namespace mainwindow
