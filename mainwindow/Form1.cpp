#include "Form1.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>

#include "BackdropPanel.h"
#include "Form4.h"
#include "PortNames.h"
#include "device/Twips.h"
#include "graph/DemoHistory.h"
#include "graph/Form3.h"
#include "textlog/Form2.h"

namespace mainwindow {

const QString Form1::Caption = QStringLiteral("Vellicor pH controller https://vellicor.example");

namespace {

using device::twipRect;
using device::twipsToPixels;

// The start-up outer size, and the frame the design assumes around the client area
// (60 twips each side, 345 above and 60 below).
constexpr int OuterWidthTwips = 7000;
constexpr int OuterHeightTwips = 3660;
constexpr int FrameWidthTwips = 120;
constexpr int FrameHeightTwips = 405;

const QString UpdateRateTip = QStringLiteral(
    "Set the update rate of log and graph 1= every value, 2 = every second value and so on....");
const QString NoPh = QStringLiteral("- . -  -");

QFont arial(double points, bool bold = false) {
    QFont f;
    f.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

QFont courierNew(double points) {
    QFont f;
    f.setFamilies({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono")});
    f.setStyleHint(QFont::Monospace);
    f.setPointSizeF(points);
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

template <typename W>
W* make(QWidget* parent, const char* name, QRect geometry, QPoint origin = {}) {
    auto* w = new W(parent);
    w->setObjectName(QLatin1String(name));
    w->setGeometry(geometry.translated(origin));
    return w;
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, QRect geometry,
                  QPoint origin = {}) {
    auto* l = make<QLabel>(parent, name, geometry, origin);
    l->setText(text);
    return l;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& text, QRect geometry,
                        const QString& tip, QPoint origin = {}) {
    auto* b = make<QPushButton>(parent, name, geometry, origin);
    b->setText(text);
    b->setToolTip(tip);
    return b;
}

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

MessageKind messageKindOf(textlog::LogFailure failure) {
    return failure == textlog::LogFailure::Create ? MessageKind::LogFileCreate
                                                  : MessageKind::LogFileWrite;
}

}  // namespace

Form1::Form1(device::MeasurementHistory& history, textlog::SaveDialog& dialog,
             const device::Clock& clock, QWidget* parent)
    : QWidget(parent),
      portNameForNumber(systemPortName),
      history_(history),
      clock_(clock),
      decoder_(history, *this, clock),
      logSession_(history, dialog,
                  textlog::LogSession::Hooks{.textLogWindow = [this] { return form2(); },
                                             .showTextLogWindow =
                                                 [this] {
                                                     form2()->show();
                                                     bringToFront();
                                                 },
                                             .showLogPath =
                                                 [this](const QString& path) {
                                                     Text2->setText(path);
                                                     Text2->setVisible(true);
                                                 },
                                             .reportError =
                                                 [this](auto failure, const QString& text) {
                                                     report(messageKindOf(failure), text);
                                                 },
                                             .dialogParent = this}) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(Caption);
    resize(twipsToPixels(14025), twipsToPixels(3255));

    buildRegisterPanel();
    buildBackdropControls();
    buildWindowControls();
    setTabOrder();

    connect(&MSComm1, &device::MSComm::OnComm, this, &Form1::MSComm1_OnComm);
    connect(&MSComm1, &device::MSComm::linkLost, this, &Form1::linkLost);
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &Form1::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &Form1::Command5_Click);
    connect(Command6, &QPushButton::clicked, this, &Form1::Command6_Click);
    connect(Command7, &QPushButton::clicked, this, &Form1::Command7_Click);
    connect(Command8, &QPushButton::clicked, this, &Form1::Command8_Click);
    connect(&Timer2, &QTimer::timeout, this, &Form1::Timer2_Timer);
    connect(Text1, &QLineEdit::textChanged, this, &Form1::markUpdateRate);

    registry_.load(this, false);
    Timer2.setInterval(1000);
    Timer2.start();
    Form_Load();
}

Form1::~Form1() {
    Timer2.stop();
    // Secondary windows are top-level and refer back to this one; they go first.
    delete form4_.data();
    delete form3_.data();
    delete form2_.data();
}

void Form1::buildBackdropControls() {
    Picture1 = make<BackdropPanel>(this, "Picture1", twipRect(120, 120, 6660, 2745));
    Picture1->setFocusPolicy(Qt::TabFocus);
    Picture1->setPicture(QPixmap(QStringLiteral(":/assets/backdrop.png")),
                         QStringLiteral(":/assets/backdrop@2x.png"));
    QWidget* const panel = Picture1;
    const QPoint inner = Picture1->contentsRect().topLeft();
    const QColor white(255, 255, 255);

    // Created bottom first, so each control lies above the ones made before it.
    Label56 = makeLabel(panel, "Label56", NoPh, twipRect(960, 600, 2730, 915), inner);
    Label56->setFont(arial(36));
    Label56->setAlignment(Qt::AlignCenter);
    Label56->setFrameStyle(QFrame::Box | QFrame::Plain);
    setTextColour(Label56, white);
    setOpaqueBackground(Label56, QColor(0, 0, 255));

    Label54 = makeLabel(panel, "Label54", QStringLiteral("Measured pH :"),
                        twipRect(1440, 240, 1545, 255), inner);
    Label54->setFont(arial(12, true));
    setTextColour(Label54, white);

    Label7 = makeLabel(panel, "Label7", NoPh, twipRect(4080, 600, 1275, 555), inner);
    Label7->setFont(arial(21.75));
    Label7->setAlignment(Qt::AlignCenter);
    Label7->setFrameStyle(QFrame::Box | QFrame::Plain);
    setTextColour(Label7, white);
    setOpaqueBackground(Label7, QColor(255, 0, 0));

    Label57 = makeLabel(panel, "Label57", QStringLiteral("Target  pH :"),
                        twipRect(4080, 240, 1410, 375), inner);
    Label57->setFont(arial(12, true));
    setTextColour(Label57, white);

    Label6 =
        makeLabel(panel, "Label6", QStringLiteral("89"), twipRect(3120, 1245, 825, 300), inner);
    Label6->setFont(arial(8.25));
    Label6->setAlignment(Qt::AlignCenter);
    setTextColour(Label6, white);

    Label4 = makeLabel(panel, "Label4", QStringLiteral("Interval"), twipRect(5760, 360, 855, 255),
                       inner);
    Label4->setToolTip(UpdateRateTip);
    setTextColour(Label4, white);

    Text1 = make<QLineEdit>(panel, "Text1", twipRect(5520, 600, 855, 285), inner);
    Text1->setText(QStringLiteral("1"));
    Text1->setAlignment(Qt::AlignCenter);
    Text1->setToolTip(UpdateRateTip);

    Combo1 = make<QComboBox>(panel, "Combo1", twipRect(720, 2160, 1020, 315), inner);
    Combo1->setEditable(true);
    // Typed names are used once as they stand; they never become entries.
    Combo1->setInsertPolicy(QComboBox::NoInsert);

    Command2 =
        makeButton(panel, "Command2", QStringLiteral("Connect"), twipRect(1800, 2160, 825, 315),
                   QStringLiteral("Connect COMPort to Bluetooth"), inner);
    setConnectColour(Disconnected);
    Command3 =
        makeButton(panel, "Command3", QStringLiteral("Disconnect"), twipRect(2640, 2160, 1080, 315),
                   QStringLiteral("Disconnect COMPort from Bluetooth"), inner);
    Command4 = makeButton(panel, "Command4", QStringLiteral("Graph"),
                          twipRect(5520, 1320, 870, 315), QString(), inner);
    Command7 = makeButton(panel, "Command7", QStringLiteral("Exit"), twipRect(5520, 2280, 855, 315),
                          QString(), inner);
    Command6 =
        makeButton(panel, "Command6", QStringLiteral("Save Log"), twipRect(5520, 960, 855, 315),
                   QStringLiteral("Save all incomming data to file"), inner);
    Command8 =
        makeButton(panel, "Command8", QStringLiteral("Target pH"), twipRect(5520, 1680, 870, 315),
                   QStringLiteral("How to calculate CO2 level and target pH from KH"), inner);
}

void Form1::buildWindowControls() {
    Command5 = makeButton(this, "Command5", QStringLiteral("Command5"),
                          twipRect(7680, 4560, 1575, 315), QString());

    Text2 = make<QLineEdit>(this, "Text2", twipRect(120, 2880, 6660, 315));
    Text2->setText(
        QDir::toNativeSeparators(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation) +
                                 QStringLiteral("/vellicor.txt")));
    Text2->setAlignment(Qt::AlignCenter);
    Text2->setFont(courierNew(8.25));
    Text2->setToolTip(QStringLiteral("Path for the saved log file"));
    setTextColour(Text2, QColor(255, 255, 255));
    setOpaqueBackground(Text2, QColor(0, 0, 192));
    Text2->setVisible(false);

    Command1 = makeButton(this, "Command1", QStringLiteral("Command1"),
                          twipRect(9480, 1560, 495, 255), QString());
}

void Form1::buildRegisterPanel() {
    const QColor blue(0, 0, 255);
    for (auto it = std::rbegin(RegisterPanel); it != std::rend(RegisterPanel); ++it) {
        QLabel* l = makeLabel(this, it->name, QString(),
                              twipRect(it->left, it->top, it->width, it->height));
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

void Form1::Form_Load() {
    for (int k = 1; k <= PortEntryCount; ++k) {
        Combo1->addItem(portEntryText(k));
        Combo1->setItemData(Combo1->count() - 1, k);
    }
    history_.RawAtPh7 = 1;
    history_.RawAtPh4 = 0;
    history_.LogToFile = false;
    MSComm1.setInBufferCount(0);
    QCoreApplication::processEvents();
    resize(twipsToPixels(OuterWidthTwips) - twipsToPixels(FrameWidthTwips),
           twipsToPixels(OuterHeightTwips) - twipsToPixels(FrameHeightTwips));
    Combo1->setCurrentIndex(0);
}

void Form1::showEvent(QShowEvent* event) {
    if (!shownOnce_) {
        shownOnce_ = true;
        if (const QScreen* s = screen()) {
            move(s->availableGeometry().center() - frameGeometry().center() + pos());
        }
    }
    QWidget::showEvent(event);
}

void Form1::connectTo(const QString& portName) {
    Combo1->setEditText(portName);
    Command2_Click();
}

std::optional<int> Form1::selectedEntryNumber() const {
    const int index = Combo1->findText(Combo1->currentText(), Qt::MatchExactly);
    if (index < 0) return std::nullopt;
    return Combo1->itemData(index).toInt();
}

void Form1::setConnectColour(QRgb rgb) {
    const QColor c(rgb);
    // A style sheet, because only then do all styles paint a button's background colour.
    Command2->setStyleSheet(
        QStringLiteral("QPushButton { background-color: %1; border: 1px solid #707070; }"
                       "QPushButton:pressed { border: 2px solid #404040; }")
            .arg(c.name()));
    Command2->setProperty("connectColour", c);
}

QColor Form1::connectColour() const {
    return Command2->property("connectColour").value<QColor>();
}

void Form1::Command2_Click() {
    setConnectColour(Connected);
    if (MSComm1.PortOpen()) MSComm1.setPortOpen(false);
    MSComm1.setCommPort(
        resolvePortName(selectedEntryNumber(), Combo1->currentText(), portNameForNumber));
    if (!MSComm1.setPortOpen(true)) {
        // The colour follows the real state: a port that would not open is not connected.
        setConnectColour(Disconnected);
        report(MessageKind::ConnectFailed, MSComm1.errorString());
        return;
    }
    device::stampLastFrame(history_, clock_, clock_.now());
}

void Form1::Command3_Click() {
    if (!MSComm1.PortOpen()) return;
    MSComm1.setPortOpen(false);
    setConnectColour(Disconnected);
}

void Form1::linkLost(const QString& reason) {
    setConnectColour(Disconnected);
    report(MessageKind::LinkLost,
           QStringLiteral("The connection on %1 was lost: %2.\n\nPress Connect to try again.")
               .arg(MSComm1.CommPort(), reason));
}

void Form1::report(MessageKind kind, const QString& text) {
    if (reportError) {
        reportError(text);
        return;
    }
    messageWindows_.report(kind, text);
}

// A rate that is no whole number of at least 1 stops logging and graph refreshes; the box
// says so for as long as it holds such a text, rather than logging stopping unnoticed.
void Form1::markUpdateRate() {
    const bool valid = device::parseUpdateRate(Text1->text(), QLocale()).has_value();
    if (valid) {
        Text1->setPalette(QPalette());
        Text1->setToolTip(UpdateRateTip);
        return;
    }
    QPalette p = Text1->palette();
    p.setColor(QPalette::Base, QColor(255, 192, 192));
    Text1->setPalette(p);
    Text1->setToolTip(QStringLiteral("Not a whole number of at least 1: nothing is logged or drawn "
                                     "until it is.\n") +
                      UpdateRateTip);
}

void Form1::MSComm1_OnComm() {
    decoder_.decode(MSComm1.Input());
}

void Form1::Timer2_Timer() {
    Label6->setText(QString::number(device::countdownNow(history_, clock_)));
}

void Form1::Command1_Click() {
    graph::FillDemoHistory(history_, clock_);
}

void Form1::Command4_Click() {
    graph::Form3* f = form3();
    f->show();
    f->raise();
    f->fixedRedraw();
}

void Form1::Command5_Click() {
    graph::Form3* f = form3();
    if (f->scale() != device::GraphScale::Fixed) return;
    f->DrawGraphFrame();
    graph::FillDemoHistory(history_, clock_);
    f->DrawFixedScaleGraph();
}

void Form1::Command6_Click() {
    logSession_.saveLog();
}

void Form1::Command7_Click() {
    shutdown(nullptr);
}

void Form1::Command8_Click() {
    Form4* f = form4();
    f->show();
    // Raising alone leaves an already open help window behind the active main window.
    f->raise();
    f->activateWindow();
    const auto number = selectedEntryNumber();
    Text2->setText(number ? QString::number(*number) : Combo1->currentText());
}

void Form1::shutdown(const QWidget* closing) {
    if (shuttingDown_) return;
    shuttingDown_ = true;
    logSession_.close();
    if (MSComm1.PortOpen()) MSComm1.setPortOpen(false);
    registry_.unloadAll(closing);
    Timer2.stop();
    emit exited();
}

// Closing through the frame ends the program the same way "Exit" does, so neither the port
// nor the log file is left open behind an invisible program.
void Form1::closeEvent(QCloseEvent* event) {
    shutdown(this);
    event->accept();
}

void Form1::bringToFront() {
    show();
    raise();
    activateWindow();
}

textlog::Form2* Form1::form2() {
    if (!registry_.isLoaded(form2_)) {
        form2_ = new textlog::Form2([this] { bringToFront(); });
        registry_.load(form2_);
    }
    return form2_;
}

graph::Form3* Form1::form3() {
    if (!registry_.isLoaded(form3_)) {
        form3_ = new graph::Form3(
            history_,
            [this] {
                return graph::HeaderTexts{Label56->text(), Label7->text()};
            },
            clock_);
        registry_.load(form3_);
    }
    return form3_;
}

Form4* Form1::form4() {
    if (!registry_.isLoaded(form4_)) {
        form4_ = new Form4();
        registry_.load(form4_);
    }
    return form4_;
}

void Form1::showRegisters(const device::RegisterTexts& t) {
    Label8->setText(t.hex[0]);
    Label9->setText(t.hex[1]);
    Label12->setText(t.limit);
    Label16->setText(t.hex[2]);
    Label15->setText(t.hex[3]);
    Label19->setText(t.raw7);
    Label21->setText(t.hex[4]);
    Label20->setText(t.hex[5]);
    Label24->setText(t.raw4);
    Label25->setText(t.hex[6]);
    Label26->setText(t.hex[7]);
    Label29->setText(t.k);
    Label31->setText(t.hex[8]);
    Label30->setText(t.hex[9]);
    Label34->setText(t.m);
    Label43->setText(t.hex[10]);
    Label44->setText(t.hex[11]);
    Label40->setText(t.raw);
    Label56->setText(t.measuredPh);
    Label7->setText(t.targetPh);
}

QString Form1::updateRateText() const {
    return Text1->text();
}

void Form1::logSample(const device::LogRecord& record) {
    logSession_.logSample(record);
}

device::GraphScale Form1::graphScale() {
    return form3()->scale();
}

void Form1::computeScaleMappings() {
    form3()->ComputeScaleMappings();
}

void Form1::redrawGraph(device::GraphScale scale) {
    if (scale == device::GraphScale::SelfDefined) {
        form3()->selfDefinedRedraw();
    } else {
        form3()->fixedRedraw();
    }
}

}  // namespace mainwindow
