#include "Form1.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include "Form4.h"
#include "PortNames.h"
#include "device/NumberText.h"
#include "device/Twips.h"
#include "graph/DemoHistory.h"
#include "graph/Form3.h"
#include "history/HistoryWindow.h"
#include "textlog/Form2.h"
#include "textlog/LogFile.h"

namespace mainwindow {

const QString Form1::Caption = QStringLiteral("Vellicor pH controller https://vellicor.example");

namespace {

using device::twipsToPixels;

// The start-up outer size, and the frame the design assumes around the client area
// (60 twips each side, 345 above and 60 below).
constexpr int OuterWidthTwips = 7000;
constexpr int OuterHeightTwips = 3660;
constexpr int FrameWidthTwips = 120;
constexpr int FrameHeightTwips = 405;

MessageKind messageKindOf(textlog::LogFailure failure) {
    return failure == textlog::LogFailure::Create ? MessageKind::LogFileCreate
                                                  : MessageKind::LogFileWrite;
}

}  // namespace

Form1::Form1(device::MeasurementHistory& history, textlog::SaveDialog& dialog,
             const device::Clock& clock, QWidget* parent)
    : QWidget(parent),
      station_(history, *this, dialog,
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
                                          .dialogParent = this},
               clock),
      portNameForNumber(systemPortName),
      MSComm1(station_.MSComm1),
      history_(history),
      clock_(clock) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(Caption);
    resize(twipsToPixels(14025), twipsToPixels(3255));

    buildRegisterPanel();
    buildControls();
    setTabOrder();

    connect(&MSComm1, &device::MSComm::linkLost, this, &Form1::linkLost);
    connect(&MSComm1, &device::MSComm::linkRestored, this, &Form1::linkRestored);
    connect(&MSComm1, &device::MSComm::linkStateChanged, this, &Form1::linkStateChanged);
    connect(&MSComm1, &device::MSComm::openFinished, this, &Form1::openFinished);
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

void Form1::Form_Load() {
    for (const int k : portEntryNumbers(systemPortNumbers())) {
        Combo1->addItem(portEntryText(k));
        Combo1->setItemData(Combo1->count() - 1, k);
    }
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
    station_.saveLog();
}

void Form1::logInto(std::unique_ptr<textlog::LogFile> opened) {
    station_.logInto(std::move(opened));
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
    station_.shutdown();
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
        connect(form3_, &graph::Form3::historyRequested, this, [this](const QString& path) {
            // A window of its own that goes with the main window at Exit.
            auto* window = new history::HistoryWindow(path, this, historyAlarms_);
            window->setWindowFlag(Qt::Window);
            window->setAttribute(Qt::WA_DeleteOnClose);
            window->show();
        });
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
