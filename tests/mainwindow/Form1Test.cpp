#include <QApplication>
#include <QBackingStore>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWindow>

#include "Form1Fixture.h"
#include "PseudoTerminal.h"
#include "graph/Form3.h"
#include "mainwindow/BackdropPanel.h"
#include "mainwindow/Form4.h"
#include "textlog/Form2.h"

using mainwindow::BackdropPanel;
using mainwindowtest::Form1Test;
using testsupport::PseudoTerminal;
using testsupport::waitUntil;

namespace {

enum class In { Window, Panel };

struct DesignedControl {
    const char* name;
    In container;
    int left, top, width, height;  // twips
    const char* text = nullptr;    // nullptr: not checked
    std::optional<QColor> fore = {};
    std::optional<QColor> back = {};  // opaque background; nullopt: transparent for labels
    bool centred = false;
    const char* tip = "";
    const char* family = nullptr;
    double points = 0;
    bool bold = false;
};

const QColor White(255, 255, 255), Blue(0, 0, 255);
const char* const RateTip =
    "Set the update rate of log and graph 1= every value, 2 = every second value and so on....";

// The designed layout, checked control by control against the built window.
const DesignedControl Design[] = {
    {"Command8",
     In::Panel,
     5520,
     1680,
     870,
     315,
     "Target pH",
     {},
     {},
     false,
     "How to calculate CO2 level and target pH from KH"},
    {"Command6",
     In::Panel,
     5520,
     960,
     855,
     315,
     "Save Log",
     {},
     {},
     false,
     "Save all incomming data to file"},
    {"Command7", In::Panel, 5520, 2280, 855, 315, "Exit"},
    {"Command4", In::Panel, 5520, 1320, 870, 315, "Graph"},
    {"Command3",
     In::Panel,
     2640,
     2160,
     1080,
     315,
     "Disconnect",
     {},
     {},
     false,
     "Disconnect COMPort from Bluetooth"},
    {"Command2",
     In::Panel,
     1800,
     2160,
     825,
     315,
     "Connect",
     {},
     {},
     false,
     "Connect COMPort to Bluetooth"},
    {"Combo1", In::Panel, 720, 2160, 1020, 315, "Com1"},
    {"Text1", In::Panel, 5520, 600, 855, 285, "1", {}, {}, true, RateTip},
    {"Label4", In::Panel, 5760, 360, 855, 255, "Interval", White, {}, false, RateTip},
    {"Label6", In::Panel, 3120, 1245, 825, 300, "89", White, {}, true, "", "Liberation Sans", 8.25},
    {"Label57",
     In::Panel,
     4080,
     240,
     1410,
     375,
     "Target  pH :",
     White,
     {},
     false,
     "",
     "Liberation Sans",
     12,
     true},
    {"Label7", In::Panel, 4080, 600, 1275, 555, "- . -  -", White, QColor(255, 0, 0), true, "",
     "Liberation Sans", 21.75},
    {"Label54",
     In::Panel,
     1440,
     240,
     1545,
     255,
     "Measured pH :",
     White,
     {},
     false,
     "",
     "Liberation Sans",
     12,
     true},
    {"Label56", In::Panel, 960, 600, 2730, 915, "- . -  -", White, Blue, true, "",
     "Liberation Sans", 36},
    {"Command1", In::Window, 9480, 1560, 495, 255, "Command1"},
    {"Text2", In::Window, 120, 2880, 6660, 315, nullptr, White, QColor(0, 0, 192), true,
     "Path for the saved log file", "Liberation Mono", 8.25},
    {"Command5", In::Window, 7680, 4560, 1575, 315, "Command5"},
    {"Picture1", In::Window, 120, 120, 6660, 2745, nullptr},
    // Register panel: captions blue, values boxed "0", combined "[766]".
    {"Label14", In::Window, 7035, 120, 855, 255, "PH_LIM_H", Blue},
    {"Label13", In::Window, 7935, 120, 855, 255, "PH_LIM_L", Blue},
    {"Label9", In::Window, 7080, 390, 690, 255, "0", {}, QColor(), true},
    {"Label8", In::Window, 7935, 390, 690, 255, "0", {}, QColor(), true},
    {"Label12", In::Window, 8790, 390, 855, 315, "[766]"},
    {"Label23", In::Window, 7080, 1650, 855, 255, "PH_4_H", Blue},
    {"Label22", In::Window, 7935, 1650, 765, 255, "PH_4_L", Blue},
    {"Label24", In::Window, 8790, 1920, 405, 270, "[766]"},
    {"Label21", In::Window, 7935, 1920, 690, 255, "0", {}, QColor(), true},
    {"Label20", In::Window, 7080, 1920, 690, 255, "0", {}, QColor(), true},
    {"Label29", In::Window, 8790, 2595, 405, 315, "[766]"},
    {"Label28", In::Window, 8115, 2325, 450, 255, "K_L", Blue},
    {"Label27", In::Window, 7305, 2325, 405, 255, "K_H", Blue},
    {"Label26", In::Window, 7080, 2595, 690, 255, "0", {}, QColor(), true},
    {"Label25", In::Window, 7935, 2595, 690, 255, "0", {}, QColor(), true},
    {"Label19", In::Window, 8790, 1155, 540, 315, "[766]"},
    {"Label18", In::Window, 7080, 795, 855, 255, "PH_7_H", Blue},
    {"Label17", In::Window, 7935, 795, 855, 255, "PH_7_L", Blue},
    {"Label16", In::Window, 7980, 1155, 690, 255, "0", {}, QColor(), true},
    {"Label15", In::Window, 7080, 1155, 690, 255, "0", {}, QColor(), true},
    {"Label34", In::Window, 8700, 3270, 765, 315, "[766]"},
    {"Label33", In::Window, 7215, 3000, 855, 255, "M_H", Blue},
    {"Label32", In::Window, 8115, 3000, 855, 255, "M_L", Blue},
    {"Label31", In::Window, 7935, 3270, 690, 255, "0", {}, QColor(), true},
    {"Label30", In::Window, 7080, 3270, 690, 255, "0", {}, QColor(), true},
    {"Label44", In::Window, 7080, 3990, 690, 255, "0", {}, QColor(), true},
    {"Label43", In::Window, 7935, 3990, 690, 255, "0", {}, QColor(), true},
    {"Label42", In::Window, 7935, 3720, 1155, 255, "AD_LOW", Blue},
    {"Label41", In::Window, 7080, 3720, 1155, 255, "AD_HIGH", Blue},
    {"Label40", In::Window, 8790, 4035, 585, 315, "[766]"},
};

QString textOf(const QWidget* w) {
    if (auto* l = qobject_cast<const QLabel*>(w)) return l->text();
    if (auto* e = qobject_cast<const QLineEdit*>(w)) return e->text();
    if (auto* b = qobject_cast<const QPushButton*>(w)) return b->text();
    if (auto* c = qobject_cast<const QComboBox*>(w)) return c->currentText();
    return {};
}

Qt::Alignment alignmentOf(const QWidget* w) {
    if (auto* l = qobject_cast<const QLabel*>(w)) return l->alignment();
    if (auto* e = qobject_cast<const QLineEdit*>(w)) return e->alignment();
    return {};
}

// The control names of a container, bottom of the stack first, as Qt paints them.
QStringList stackOf(const QWidget* container) {
    QStringList names;
    for (const QObject* o : container->children()) {
        if (o->isWidgetType() && !o->objectName().isEmpty()) names << o->objectName();
    }
    return names;
}

// Whether one of this process's descriptors still refers to the file.
bool isOpenByThisProcess(const QString& path) {
    if (path.isEmpty()) return false;
    const QString target = QFileInfo(path).canonicalFilePath();
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& fd : fds.entryList(QDir::Files | QDir::System)) {
        if (QFileInfo(fds.filePath(fd)).symLinkTarget() == target) return true;
    }
    return false;
}

QStringList linesOf(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromLocal8Bit(f.readAll()).split('\n', Qt::SkipEmptyParts);
}

// Records which window receives its close, and whether the port or the log file was still
// open then.
class CloseRecorder : public QObject {
public:
    explicit CloseRecorder(const mainwindow::Form1& form, QString logPath = {})
        : form_(form), logPath_(std::move(logPath)) {
        for (int i = 0; i < form.windows().count(); ++i)
            form.windows().at(i)->installEventFilter(this);
    }
    QStringList order;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Close) {
            order << QString::fromLatin1(watched->metaObject()->className()) +
                         (form_.MSComm1.PortOpen() ? " port open" : "") +
                         (isOpenByThisProcess(logPath_) ? " log open" : "");
        }
        return false;
    }

private:
    const mainwindow::Form1& form_;
    QString logPath_;
};

}  // namespace

TEST_F(Form1Test, ControlsFollowTheDesign) {
    const QPoint inner = form.Picture1->mapTo(&form, form.Picture1->contentsRect().topLeft());
    for (const DesignedControl& c : Design) {
        SCOPED_TRACE(c.name);
        const auto* w = form.findChild<QWidget*>(c.name);
        ASSERT_NE(w, nullptr);
        const QPoint origin = c.container == In::Panel ? inner : QPoint();
        EXPECT_EQ(w->parentWidget(),
                  c.container == In::Panel ? static_cast<QWidget*>(form.Picture1) : &form);
        EXPECT_EQ(
            QRect(w->mapTo(&form, QPoint()), w->size()),
            QRect(origin + QPoint(c.left / 15, c.top / 15), QSize(c.width / 15, c.height / 15)));
        if (c.text) {
            EXPECT_EQ(textOf(w), c.text);
        }
        EXPECT_EQ(w->toolTip(), c.tip);
        const bool edit = qobject_cast<const QLineEdit*>(w) != nullptr;
        if (c.fore) {
            EXPECT_EQ(w->palette().color(edit ? QPalette::Text : QPalette::WindowText), *c.fore);
        }
        if (qobject_cast<const QLabel*>(w) || edit) {
            EXPECT_EQ(w->autoFillBackground(), c.back.has_value());
            if (c.back && c.back->isValid()) {
                EXPECT_EQ(w->palette().color(edit ? QPalette::Base : QPalette::Window), *c.back);
            }
            EXPECT_EQ(alignmentOf(w).testFlag(Qt::AlignHCenter), c.centred);
        }
        if (c.family) {
            EXPECT_EQ(QFontInfo(w->font()).family(), c.family);
            EXPECT_DOUBLE_EQ(w->font().pointSizeF(), c.points);
            EXPECT_EQ(w->font().bold(), c.bold);
        }
        EXPECT_EQ(w->isVisibleTo(&form), std::string_view(c.name) != "Text2");
    }
    EXPECT_TRUE(form.Text2->text().endsWith("vellicor.txt"));
    EXPECT_EQ(form.windowTitle(), "Vellicor pH controller https://vellicor.example");
    EXPECT_EQ(stackOf(form.Picture1),
              QStringList({"Label56", "Label54", "Label7", "Label57", "Label6", "Label4", "Text1",
                           "Combo1", "Command2", "Command3", "Command4", "Command7", "Command6",
                           "Command8"}));
    const QStringList windowStack = stackOf(&form);
    EXPECT_EQ(windowStack.mid(windowStack.size() - 4),
              QStringList({"Picture1", "Command5", "Text2", "Command1"}));
    EXPECT_EQ(windowStack.first(), "Label40");
    EXPECT_EQ(windowStack.at(29), "Label14");
}

TEST_F(Form1Test, UpdateRateBoxShowsWhileItsTextStopsLogging) {
    const QColor normal = form.Text1->palette().color(QPalette::Base);
    const QString tip = form.Text1->toolTip();
    for (const char* bad : {"", "0", "abc", "2.5", "99999999999"}) {
        form.Text1->setText(bad);
        EXPECT_EQ(form.Text1->palette().color(QPalette::Base), QColor(255, 192, 192)) << bad;
        EXPECT_TRUE(form.Text1->toolTip().startsWith("Not a whole number")) << bad;
    }
    form.Text1->setText("3");
    EXPECT_EQ(form.Text1->palette().color(QPalette::Base), normal);
    EXPECT_EQ(form.Text1->toolTip(), tip);
}

TEST_F(Form1Test, TabOrderVisitsTheDesignedControls) {
    const auto visits = [](QWidget* first, const QStringList& expected) {
        QStringList seen;
        QWidget* w = first;
        for (int i = 0; i < 200 && seen.size() < expected.size(); ++i, w = w->nextInFocusChain()) {
            if (expected.contains(w->objectName()) && !seen.contains(w->objectName())) {
                seen << w->objectName();
            }
        }
        return seen;
    };
    const QStringList main{"Picture1", "Text1",    "Combo1",   "Command2", "Command3", "Command4",
                           "Command5", "Command7", "Command6", "Text2",    "Command1", "Command8"};
    EXPECT_EQ(visits(form.Picture1, main), main);

    // The graph window's order starts at its drawing surface; labels and frames take no focus.
    graph::Form3* graphWindow = form.form3();
    const QStringList graph{"Picture1", "Option1", "Option2", "Check1",
                            "Check2",   "Combo1",  "Check3",  "Check4"};
    EXPECT_NE(graphWindow->Picture1->focusPolicy() & Qt::TabFocus, 0);
    EXPECT_EQ(visits(graphWindow, graph), graph);
}

TEST_F(Form1Test, StartsNarrowWithPortListAndCalibrationDefaults) {
    ASSERT_EQ(form.Combo1->count(), 15);
    for (int k = 1; k <= 15; ++k) {
        EXPECT_EQ(form.Combo1->itemText(k - 1), QString("Com%1").arg(k));
        EXPECT_EQ(form.Combo1->itemData(k - 1).toInt(), k);
    }
    EXPECT_EQ(form.Combo1->currentIndex(), 0);
    EXPECT_EQ(history.RawAtPh7, 1);
    EXPECT_EQ(history.RawAtPh4, 0);
    EXPECT_FALSE(history.LogToFile);
    EXPECT_FALSE(form.MSComm1.PortOpen());
    EXPECT_EQ(form.MSComm1.InBufferCount(), 0);
    EXPECT_EQ(form.connectColour(), QColor(255, 192, 192));
    EXPECT_TRUE(form.Timer2.isActive());
    EXPECT_EQ(form.Timer2.interval(), 1000);
    EXPECT_EQ(form.windows().count(), 1);

    // Outer 7000 x 3660 twips less the frame: client 6880 x 3255.
    EXPECT_EQ(form.size(), QSize(459, 217));
    const QRect client = form.rect();
    for (const DesignedControl& c : Design) {
        if (c.container == In::Panel || std::string_view(c.name) == "Picture1" ||
            std::string_view(c.name) == "Text2") {
            continue;
        }
        EXPECT_FALSE(client.intersects(form.findChild<QWidget*>(c.name)->geometry())) << c.name;
    }
    if (QFile::exists(":/assets/backdrop.png")) {
        EXPECT_EQ(form.Picture1->picture().size(), QSize(470, 200));
    }
}

TEST_F(Form1Test, ColouredControlsReallyPaintTheirColours) {
    form.resize(935, 320);
    const QImage shot = form.grab().toImage();
    auto at = [&](QWidget* w, QPoint p) { return QColor(shot.pixel(w->mapTo(&form, p))); };
    EXPECT_EQ(at(form.Command2, {4, 4}), QColor(255, 192, 192));
    EXPECT_EQ(at(form.Label56, {3, 3}), QColor(0, 0, 255));
    EXPECT_EQ(at(form.Label7, {3, 3}), QColor(255, 0, 0));
    form.connectTo("/dev/vellicor-missing");  // stays light red after the failed open
    EXPECT_EQ(QColor(form.grab().toImage().pixel(form.Command2->mapTo(&form, QPoint(4, 4)))),
              QColor(255, 192, 192));
}

TEST(BackdropPanel, PictureIsCutOffAtTheBorderNotScaled) {
    BackdropPanel panel;
    panel.setGeometry(0, 0, 444, 183);
    QImage picture(470, 200, QImage::Format_RGB32);
    picture.fill(QColor(10, 20, 90));
    picture.setPixel(10, 10, qRgb(255, 255, 0));
    panel.setPicture(QPixmap::fromImage(picture));
    const QImage shot = panel.grab().toImage();
    const int b = BackdropPanel::BorderWidth;
    EXPECT_EQ(QColor(shot.pixel(b + 10, b + 10)), QColor(255, 255, 0));
    EXPECT_EQ(QColor(shot.pixel(b, b)), QColor(10, 20, 90));
    EXPECT_EQ(QColor(shot.pixel(443 - b, 182 - b)), QColor(10, 20, 90));
    // The border is drawn over the picture, not pushed aside by it.
    EXPECT_NE(QColor(shot.pixel(443, 100)), QColor(10, 20, 90));
    EXPECT_NE(QColor(shot.pixel(100, 182)), QColor(10, 20, 90));
}

TEST_F(Form1Test, ExitClosesLogThenPortThenWindowsNewestFirst) {
    PseudoTerminal pty;
    form.connectTo(pty.slaveName());
    ASSERT_TRUE(form.MSComm1.PortOpen()) << messages.join("\n").toStdString();
    form.Command5_Click();  // graph window, loaded hidden
    form.Command8_Click();  // help window, shown
    form.form2();           // text log window, loaded hidden
    ASSERT_EQ(form.windows().count(), 4);
    EXPECT_FALSE(form.form3()->isVisible());
    EXPECT_TRUE(form.form4()->isVisible());
    QPointer<QWidget> graph = form.form3(), help = form.form4(), log = form.form2();

    CloseRecorder recorder(form);
    QSignalSpy exited(&form, &mainwindow::Form1::exited);
    form.Command7_Click();
    EXPECT_EQ(recorder.order, QStringList({"textlog::Form2", "mainwindow::Form4", "graph::Form3",
                                           "mainwindow::Form1"}));
    EXPECT_FALSE(form.MSComm1.PortOpen());
    EXPECT_EQ(form.windows().count(), 0);
    EXPECT_EQ(exited.count(), 1);
    EXPECT_FALSE(form.Timer2.isActive());
    // Hidden windows are deleted by the event loop; outside one the test flushes it.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(graph.isNull() && help.isNull() && log.isNull());
}

TEST_F(Form1Test, ExitClosesAnOpenLogFileBeforeAnyWindowGoes) {
    QTemporaryDir dir;
    const QString path = dir.filePath("tank.txt");
    dialog.answer = path;
    form.Command6_Click();
    ASSERT_TRUE(history.LogToFile) << messages.join("\n").toStdString();
    ASSERT_TRUE(isOpenByThisProcess(path));
    PseudoTerminal pty;
    form.connectTo(pty.slaveName());
    ASSERT_TRUE(form.MSComm1.PortOpen());

    CloseRecorder recorder(form, path);
    form.Command7_Click();
    EXPECT_EQ(recorder.order, QStringList({"textlog::Form2", "mainwindow::Form1"}));
    EXPECT_FALSE(isOpenByThisProcess(path));
    EXPECT_FALSE(linesOf(path).isEmpty());  // the header stays
}

TEST_F(Form1Test, TargetPhAfterSaveLogShowsThePortInTheVisibleBoxAndLoggingGoesOn) {
    QTemporaryDir dir;
    const QString path = dir.filePath("tank.txt");
    dialog.answer = path;
    form.Command6_Click();
    ASSERT_TRUE(form.Text2->isVisibleTo(&form));
    PseudoTerminal pty;
    form.portNameForNumber = [&](int) { return pty.slaveName(); };
    form.Command2_Click();
    ASSERT_TRUE(form.MSComm1.PortOpen()) << messages.join("\n").toStdString();

    form.Command8_Click();
    EXPECT_TRUE(form.Text2->isVisibleTo(&form));
    EXPECT_EQ(form.Text2->text(), "1");
    const qsizetype before = linesOf(path).size();
    pty.write(QByteArray::fromHex("2c038b02fd005a01e803fe02"));
    EXPECT_TRUE(waitUntil([&] { return linesOf(path).size() == before + 1; }));
    EXPECT_TRUE(history.LogToFile);
}

TEST_F(Form1Test, ClosingTheMainWindowThroughItsFrameExitsLikeExit) {
    PseudoTerminal pty;
    form.show();
    form.connectTo(pty.slaveName());
    form.Command4_Click();
    ASSERT_TRUE(form.MSComm1.PortOpen());
    QPointer<QWidget> graph = form.form3();
    QSignalSpy exited(&form, &mainwindow::Form1::exited);
    EXPECT_TRUE(form.close());
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(form.MSComm1.PortOpen());
    EXPECT_EQ(form.windows().count(), 0);
    EXPECT_EQ(exited.count(), 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(graph.isNull());
}

TEST_F(Form1Test, ClosedSecondaryWindowIsDiscardedAndMadeAfreshOnNextUse) {
    form.Command8_Click();
    QPointer<mainwindow::Form4> first = form.form4();
    EXPECT_EQ(form.windows().count(), 2);
    first->close();
    EXPECT_EQ(form.windows().count(), 1);
    EXPECT_TRUE(waitUntil([&] { return first.isNull(); }));
    form.Command8_Click();
    EXPECT_EQ(form.windows().count(), 2);
    EXPECT_TRUE(form.form4()->isVisible());

    // Touching the graph's option creates it hidden, once.
    form.graphScale();
    form.graphScale();
    EXPECT_EQ(form.windows().count(), 3);
    EXPECT_FALSE(form.form3()->isVisible());
}

TEST_F(Form1Test, TargetPhButtonPutsThePortInTheLogPathBox) {
    form.Combo1->setCurrentIndex(2);
    form.Command8_Click();
    EXPECT_EQ(form.Text2->text(), "3");
    EXPECT_FALSE(form.Text2->isVisibleTo(&form));
    form.Combo1->setEditText("/dev/rfcomm0");
    form.Command8_Click();
    EXPECT_EQ(form.Text2->text(), "/dev/rfcomm0");
    EXPECT_EQ(form.Combo1->count(), 15);
}

TEST_F(Form1Test, TargetPhTwiceKeepsOneHelpWindowAndBringsItToTheFront) {
    form.show();
    form.Command8_Click();
    QPointer<mainwindow::Form4> help = form.form4();
    form.activateWindow();
    ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == &form; }));
    form.Command8_Click();
    EXPECT_EQ(form.form4(), help.data());
    EXPECT_EQ(form.windows().count(), 2);
    EXPECT_TRUE(waitUntil([&] { return QApplication::activeWindow() == help.data(); }));
}

TEST_F(Form1Test, FirstShownCentredOnTheScreen) {
    form.show();
    const QPoint offset =
        form.frameGeometry().center() - form.screen()->availableGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 2) << offset.x() << "," << offset.y();
}

// What the window last handed to the screen: the backing store's own pixels, not a fresh
// rendering.
QImage onScreen(QWidget* window, const QRect& rect) {
    auto* const stored = static_cast<QImage*>(window->backingStore()->paintDevice());
    return stored->copy(rect).convertToFormat(QImage::Format_RGB32);
}

// Frames faster than the screen's pace are held back, but the last one reaches the screen:
// the pH displays show its texts and the graph its picture, pixel for pixel.
TEST_F(Form1Test, ScreenEndsOnTheLatestFrameAfterARunOfQuickOnes) {
    form.show();
    form.Command4_Click();  // "Graph"
    graph::Form3* const graph = form.form3();
    ASSERT_TRUE(waitUntil(
        [&] { return form.windowHandle()->isExposed() && graph->windowHandle()->isExposed(); }));
    device::RegisterTexts texts;
    for (int i = 0; i < 4; ++i) {
        texts.measuredPh = QStringLiteral(" 6,%1").arg(10 + i);
        texts.targetPh = QStringLiteral(" 7,%1").arg(20 + i);
        form.showRegisters(texts);
        history.PhHistory[560] = 100 * i;
        form.redrawGraph(device::GraphScale::Fixed);
        QCoreApplication::processEvents();
    }
    const QRect displays = form.Label56->geometry()
                               .united(form.Label7->geometry())
                               .translated(form.Label56->parentWidget()->mapTo(&form, QPoint()));
    const QRect surface = graph->Picture1->contentsRect().translated(graph->Picture1->pos());
    const QImage latestGraph = graph->image().convertToFormat(QImage::Format_RGB32);
    EXPECT_TRUE(waitUntil([&] {
        return onScreen(&form, displays) ==
                   form.grab(displays).toImage().convertToFormat(QImage::Format_RGB32) &&
               onScreen(graph, surface) == latestGraph;
    }));
    EXPECT_EQ(form.Label56->text(), QStringLiteral(" 6,13"));
}

// Writes the start-up window to the path in VELLICOR_SCREENSHOT, for the documentation.
TEST_F(Form1Test, Screenshot) {
    const QString path = qEnvironmentVariable("VELLICOR_SCREENSHOT");
    if (path.isEmpty()) GTEST_SKIP() << "VELLICOR_SCREENSHOT not set";
    form.show();
    ASSERT_TRUE(waitUntil([&] { return form.isVisible(); }));
    EXPECT_TRUE(form.grab().save(path));
}
