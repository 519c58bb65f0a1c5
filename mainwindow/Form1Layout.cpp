// The main window as designed: every control's kind, name, place, text, tooltip and look.
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <variant>

#include "BackdropPanel.h"
#include "Form1.h"
#include "device/Twips.h"

namespace mainwindow {

namespace {

constexpr char RateTip[] =
    "Set the update rate of log and graph 1= every value, 2 = every second value and so on....";

}  // namespace

const QString Form1::UpdateRateTip = QString::fromLatin1(RateTip);

namespace {

using device::twipRect;

constexpr QRgb White = 0xFFFFFF;
constexpr QRgb Blue = 0x0000FF;
constexpr QRgb Red = 0xFF0000;
constexpr QRgb DarkBlue = 0x0000C0;
constexpr int NoColour = -1;

enum class Typeface { Default, Arial, CourierNew };

struct Look {
    Typeface typeface = Typeface::Default;
    double points = 0;
    bool bold = false;
    qint64 textColour = NoColour;
    qint64 background = NoColour;  // opaque in this colour; otherwise the backdrop shows
    Qt::Alignment alignment = {};
    bool boxed = false;
};

QFont fontOf(const Look& look) {
    QFont f;
    if (look.typeface == Typeface::Arial) {
        f.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    } else {
        f.setFamilies({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono")});
        f.setStyleHint(QFont::Monospace);
    }
    f.setPointSizeF(look.points);
    f.setBold(look.bold);
    return f;
}

void setTextColour(QWidget* w, const QColor& c) {
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, c);
    p.setColor(QPalette::Text, c);
    w->setPalette(p);
}

void setOpaqueBackground(QWidget* w, const QColor& c) {
    QPalette p = w->palette();
    p.setColor(QPalette::Window, c);
    p.setColor(QPalette::Base, c);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

void applyLook(QWidget* w, const Look& look) {
    if (look.typeface != Typeface::Default) w->setFont(fontOf(look));
    if (look.textColour != NoColour) setTextColour(w, QColor(static_cast<QRgb>(look.textColour)));
    if (look.background != NoColour) {
        setOpaqueBackground(w, QColor(static_cast<QRgb>(look.background)));
    }
    if (auto* label = qobject_cast<QLabel*>(w)) {
        if (look.alignment) label->setAlignment(look.alignment);
        if (look.boxed) label->setFrameStyle(QFrame::Box | QFrame::Plain);
    } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        if (look.alignment) edit->setAlignment(look.alignment);
    }
}

// Labels stay where the layout put them. Held at that size, a label no longer asks its parent
// to lay out afresh (a posted event, and a wake-up of the event loop) for every new text.
void holdSize(QWidget* w) {
    if (qobject_cast<QLabel*>(w)) w->setFixedSize(w->size());
}

void setText(QWidget* w, const QString& text) {
    if (auto* label = qobject_cast<QLabel*>(w)) label->setText(text);
    if (auto* button = qobject_cast<QPushButton*>(w)) button->setText(text);
    if (auto* edit = qobject_cast<QLineEdit*>(w)) edit->setText(text);
}

using Member = std::variant<QLabel * Form1::*, QPushButton * Form1::*, QLineEdit * Form1::*,
                            QComboBox * Form1::*>;

// Inside the backdrop panel (placed from its inner corner) or on the window itself.
enum class On { Backdrop, Window };

struct Control {
    Member member;
    const char* name;
    On on;
    int left, top, width, height;  // twips
    const char* text;
    const char* tip;
    Look look = {};
};

const char* const NoPh = "- . -  -";

const Look WhiteText{.textColour = White};
const Look Heading{.typeface = Typeface::Arial, .points = 12, .bold = true, .textColour = White};

// In the order of creation, bottom first, so each control lies above the ones made before it.
const Control Controls[] = {
    {&Form1::Label56,
     "Label56",
     On::Backdrop,
     960,
     600,
     2730,
     915,
     NoPh,
     nullptr,
     {Typeface::Arial, 36, false, White, Blue, Qt::AlignCenter, true}},
    {&Form1::Label54, "Label54", On::Backdrop, 1440, 240, 1545, 255, "Measured pH :", nullptr,
     Heading},
    {&Form1::Label7,
     "Label7",
     On::Backdrop,
     4080,
     600,
     1275,
     555,
     NoPh,
     nullptr,
     {Typeface::Arial, 21.75, false, White, Red, Qt::AlignCenter, true}},
    {&Form1::Label57, "Label57", On::Backdrop, 4080, 240, 1410, 375, "Target  pH :", nullptr,
     Heading},
    {&Form1::Label6,
     "Label6",
     On::Backdrop,
     3120,
     1245,
     825,
     300,
     "89",
     nullptr,
     {Typeface::Arial, 8.25, false, White, NoColour, Qt::AlignCenter}},
    {&Form1::Label4, "Label4", On::Backdrop, 5760, 360, 855, 255, "Interval", RateTip, WhiteText},
    {&Form1::Text1,
     "Text1",
     On::Backdrop,
     5520,
     600,
     855,
     285,
     "1",
     RateTip,
     {.alignment = Qt::AlignCenter}},
    {&Form1::Combo1, "Combo1", On::Backdrop, 720, 2160, 1020, 315, nullptr, nullptr},
    {&Form1::Command2, "Command2", On::Backdrop, 1800, 2160, 825, 315, "Connect",
     "Connect COMPort to Bluetooth"},
    {&Form1::Command3, "Command3", On::Backdrop, 2640, 2160, 1080, 315, "Disconnect",
     "Disconnect COMPort from Bluetooth"},
    {&Form1::Command4, "Command4", On::Backdrop, 5520, 1320, 870, 315, "Graph", nullptr},
    {&Form1::Command7, "Command7", On::Backdrop, 5520, 2280, 855, 315, "Exit", nullptr},
    {&Form1::Command6, "Command6", On::Backdrop, 5520, 960, 855, 315, "Save Log",
     "Save all incomming data to file"},
    {&Form1::Command8, "Command8", On::Backdrop, 5520, 1680, 870, 315, "Target pH",
     "How to calculate CO2 level and target pH from KH"},
    {&Form1::Command5, "Command5", On::Window, 7680, 4560, 1575, 315, "Command5", nullptr},
    {&Form1::Text2,
     "Text2",
     On::Window,
     120,
     2880,
     6660,
     315,
     nullptr,
     "Path for the saved log file",
     {Typeface::CourierNew, 8.25, false, White, DarkBlue, Qt::AlignCenter}},
    {&Form1::Command1, "Command1", On::Window, 9480, 1560, 495, 255, "Command1", nullptr},
};

// Register panel, topmost first. Value labels show one frame byte, combined labels the
// row's 16-bit value; captions are never written.
enum class RegisterKind { Caption, Value, Combined };
struct RegisterLabel {
    const char* name;
    RegisterKind kind;
    const char* caption;
    int left, top, width, height;
    QLabel* Form1::*member;
};

using K = RegisterKind;
const RegisterLabel RegisterPanel[] = {
    {"Label14", K::Caption, "PH_LIM_H", 7035, 120, 855, 255, nullptr},
    {"Label13", K::Caption, "PH_LIM_L", 7935, 120, 855, 255, nullptr},
    {"Label9", K::Value, "", 7080, 390, 690, 255, &Form1::Label9},
    {"Label8", K::Value, "", 7935, 390, 690, 255, &Form1::Label8},
    {"Label12", K::Combined, "", 8790, 390, 855, 315, &Form1::Label12},
    {"Label23", K::Caption, "PH_4_H", 7080, 1650, 855, 255, nullptr},
    {"Label22", K::Caption, "PH_4_L", 7935, 1650, 765, 255, nullptr},
    {"Label24", K::Combined, "", 8790, 1920, 405, 270, &Form1::Label24},
    {"Label21", K::Value, "", 7935, 1920, 690, 255, &Form1::Label21},
    {"Label20", K::Value, "", 7080, 1920, 690, 255, &Form1::Label20},
    {"Label29", K::Combined, "", 8790, 2595, 405, 315, &Form1::Label29},
    {"Label28", K::Caption, "K_L", 8115, 2325, 450, 255, nullptr},
    {"Label27", K::Caption, "K_H", 7305, 2325, 405, 255, nullptr},
    {"Label26", K::Value, "", 7080, 2595, 690, 255, &Form1::Label26},
    {"Label25", K::Value, "", 7935, 2595, 690, 255, &Form1::Label25},
    {"Label19", K::Combined, "", 8790, 1155, 540, 315, &Form1::Label19},
    {"Label18", K::Caption, "PH_7_H", 7080, 795, 855, 255, nullptr},
    {"Label17", K::Caption, "PH_7_L", 7935, 795, 855, 255, nullptr},
    {"Label16", K::Value, "", 7980, 1155, 690, 255, &Form1::Label16},
    {"Label15", K::Value, "", 7080, 1155, 690, 255, &Form1::Label15},
    {"Label34", K::Combined, "", 8700, 3270, 765, 315, &Form1::Label34},
    {"Label33", K::Caption, "M_H", 7215, 3000, 855, 255, nullptr},
    {"Label32", K::Caption, "M_L", 8115, 3000, 855, 255, nullptr},
    {"Label31", K::Value, "", 7935, 3270, 690, 255, &Form1::Label31},
    {"Label30", K::Value, "", 7080, 3270, 690, 255, &Form1::Label30},
    {"Label44", K::Value, "", 7080, 3990, 690, 255, &Form1::Label44},
    {"Label43", K::Value, "", 7935, 3990, 690, 255, &Form1::Label43},
    {"Label42", K::Caption, "AD_LOW", 7935, 3720, 1155, 255, nullptr},
    {"Label41", K::Caption, "AD_HIGH", 7080, 3720, 1155, 255, nullptr},
    {"Label40", K::Combined, "", 8790, 4035, 585, 315, &Form1::Label40},
};

}  // namespace

void Form1::buildControls() {
    Picture1 = new BackdropPanel(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(twipRect(120, 120, 6660, 2745));
    Picture1->setFocusPolicy(Qt::TabFocus);
    Picture1->setPicture(QPixmap(QStringLiteral(":/assets/backdrop.png")),
                         QStringLiteral(":/assets/backdrop@2x.png"));
    const QPoint inner = Picture1->contentsRect().topLeft();

    for (const Control& c : Controls) {
        QWidget* const parent = c.on == On::Backdrop ? static_cast<QWidget*>(Picture1) : this;
        QWidget* const w = std::visit(
            [&](auto member) -> QWidget* {
                using Widget =
                    std::remove_pointer_t<std::remove_reference_t<decltype(this->*member)>>;
                auto* widget = new Widget(parent);
                this->*member = widget;
                return widget;
            },
            c.member);
        w->setObjectName(QLatin1String(c.name));
        w->setGeometry(twipRect(c.left, c.top, c.width, c.height)
                           .translated(c.on == On::Backdrop ? inner : QPoint()));
        holdSize(w);
        if (c.text) setText(w, QString::fromLatin1(c.text));
        if (c.tip) w->setToolTip(QString::fromLatin1(c.tip));
        applyLook(w, c.look);
    }

    Combo1->setEditable(true);
    // Typed names are used once as they stand; they never become entries.
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    setConnectColour(Disconnected);
    Text2->setText(
        QDir::toNativeSeparators(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation) +
                                 QStringLiteral("/vellicor.txt")));
    Text2->setVisible(false);
}

void Form1::buildRegisterPanel() {
    const QColor blue(0, 0, 255);
    for (auto it = std::rbegin(RegisterPanel); it != std::rend(RegisterPanel); ++it) {
        auto* l = new QLabel(this);
        l->setObjectName(QLatin1String(it->name));
        l->setGeometry(twipRect(it->left, it->top, it->width, it->height));
        holdSize(l);
        switch (it->kind) {
            case RegisterKind::Caption:
                l->setText(QLatin1String(it->caption));
                setTextColour(l, blue);
                break;
            case RegisterKind::Value:
                l->setText(QStringLiteral("0"));
                l->setAlignment(Qt::AlignCenter);
                l->setFrameStyle(QFrame::Box | QFrame::Plain);
                l->setAutoFillBackground(true);
                break;
            case RegisterKind::Combined:
                l->setText(QStringLiteral("[766]"));
                break;
        }
        if (it->member) this->*(it->member) = l;
    }
}

void Form1::setTabOrder() {
    const QWidget* order[] = {Picture1, Text1,    Combo1,   Command2, Command3, Command4,
                              Command5, Command7, Command6, Text2,    Command1, Command8};
    for (std::size_t i = 1; i < std::size(order); ++i) {
        QWidget::setTabOrder(const_cast<QWidget*>(order[i - 1]), const_cast<QWidget*>(order[i]));
    }
}

}  // namespace mainwindow
