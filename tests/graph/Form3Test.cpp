#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <memory>

#include "GraphTestSupport.h"
#include "graph/DemoHistory.h"
#include "graph/Form3.h"

using namespace graph;
using graphtest::countColour;

namespace {

class Form3Test : public ::testing::Test {
protected:
    void SetUp() override {
        graphtest::roundCalibration(history);
        for (int i = 0; i <= 560; ++i) history.PhHistory[i] = 650;
        form = std::make_unique<Form3>(
            history, [this] { return header; }, clock);
    }

    // Pixels of the given colour in the scale label column between two rows.
    int labelPixels(int top, int bottom, quint32 colour) const {
        return countColour(form->image(), QRect(592, top, 45, bottom - top), colour);
    }

    device::MeasurementHistory history;
    HeaderTexts header{QStringLiteral("6.5"), QStringLiteral("6.8")};
    device::ManualClock clock{QDateTime(QDate(2026, 3, 14), QTime(9, 26, 53))};
    std::unique_ptr<Form3> form;
};

TEST_F(Form3Test, FreshWindowHasTheDesignTimeOptions) {
    // Another window's changes do not carry over to a new one.
    form->Option2->click();
    form->Check3->click();
    form->Combo1->setEditText(QStringLiteral("7,3"));
    form = std::make_unique<Form3>(
        history, [this] { return header; }, clock);

    EXPECT_EQ(form->windowTitle(), QStringLiteral("Graph Logging Vellicor"));
    EXPECT_EQ(form->size(), QSize(660, 461));
    EXPECT_EQ(form->Picture1->geometry(), QRect(8, 4, 641, 385));
    EXPECT_EQ(form->Picture1->contentsRect().size(), QSize(SurfaceWidth, SurfaceHeight));
    EXPECT_TRUE(form->Option1->isChecked());
    EXPECT_FALSE(form->Option2->isChecked());
    EXPECT_EQ(form->scale(), device::GraphScale::Fixed);
    EXPECT_FALSE(form->Combo1->isEnabled());
    EXPECT_FALSE(form->Label1->isEnabled());
    EXPECT_EQ(form->Combo1->currentText(), QStringLiteral("6,0"));
    EXPECT_FALSE(form->Check1->isChecked());
    EXPECT_TRUE(form->Check2->isChecked());
    EXPECT_FALSE(form->Check3->isChecked());
    EXPECT_FALSE(form->Check4->isChecked());
    EXPECT_EQ(form->minimumScale(), 6.0);

    ASSERT_EQ(form->Combo1->count(), 34);
    EXPECT_EQ(form->Combo1->itemText(0), QStringLiteral("9,0"));
    EXPECT_EQ(form->Combo1->itemText(20), QStringLiteral("7,0"));
    EXPECT_EQ(form->Combo1->itemText(32), QStringLiteral("5,8"));
    EXPECT_EQ(form->Combo1->itemText(33), QStringLiteral("3,8"));
}

TEST_F(Form3Test, OptionClicksSwitchComboAndScale) {
    form->Option2->click();
    EXPECT_TRUE(form->Combo1->isEnabled());
    EXPECT_TRUE(form->Label1->isEnabled());
    EXPECT_EQ(form->scale(), device::GraphScale::SelfDefined);
    EXPECT_DOUBLE_EQ(history.SelfSlope, -3);  // mapping computed from "6,0"
    // From "6,0" the self-defined labels stay below 7 up to the top one.
    EXPECT_EQ(labelPixels(74, 358, bgr::LightBlue), 0);
    EXPECT_GT(labelPixels(44, 58, bgr::LightGreen), 5);
    EXPECT_EQ(countColour(form->image(), QRect(18, 200, 557, 1), bgr::Yellow), 557);

    form->Option1->click();
    EXPECT_FALSE(form->Combo1->isEnabled());
    EXPECT_FALSE(form->Label1->isEnabled());
    EXPECT_EQ(form->scale(), device::GraphScale::Fixed);
    EXPECT_GT(labelPixels(44, 178, bgr::LightBlue), 20);
    EXPECT_GT(labelPixels(194, 208, bgr::LightGreen), 5);
    EXPECT_EQ(countColour(form->image(), QRect(15, 275, 560, 1), bgr::Yellow), 560);
}

TEST_F(Form3Test, ComboAndMagnifyChangeNothingOnTheFixedScale) {
    form->fixedRedraw();
    const QImage before = form->image();
    const double slope = history.SelfSlope;
    form->Combo1->setCurrentIndex(0);
    form->Combo1_Click();
    form->Check3->click();
    EXPECT_EQ(form->image(), before);
    EXPECT_EQ(history.SelfSlope, slope);
}

TEST_F(Form3Test, ChoosingAnEntryOrMagnifyRecomputesTheSelfDefinedScale) {
    form->Option2->click();
    form->Combo1->setCurrentIndex(25);  // "6,5"
    form->Combo1_Click();
    EXPECT_DOUBLE_EQ(history.SelfYAtPh7, 200);
    EXPECT_EQ(countColour(form->image(), QRect(18, 350, 557, 1), bgr::Yellow), 557);
    form->Check3->click();
    EXPECT_DOUBLE_EQ(history.SelfYAtPh7, 50);
    EXPECT_NEAR(history.ScaleLabelValue, 7.0, 1e-9);
}

TEST_F(Form3Test, SwitchesRedrawWithTheMappingComputedLast) {
    form->Option2->click();
    const double offset = history.SelfOffset;
    // Typed without choosing an entry: labels follow the text, curves the old mapping.
    form->Combo1->setEditText(QStringLiteral("7,0"));
    form->Check4->click();
    EXPECT_EQ(history.SelfOffset, offset);
    EXPECT_NEAR(history.ScaleLabelValue, 8.0, 1e-9);
    EXPECT_EQ(countColour(form->image(), QRect(18, 200, 557, 1), bgr::Yellow), 557);
    EXPECT_GT(countColour(form->image(), QRect(15, 30, 561, 321), bgr::Red), 500);

    form->Check2->click();
    EXPECT_EQ(countColour(form->image(), form->image().rect(), bgr::MutedBlue), 0);
    form->Check2->click();
    EXPECT_GT(countColour(form->image(), form->image().rect(), bgr::MutedBlue), 0);

    history.ValveHistory[100] = 1;
    form->Check1->click();
    EXPECT_EQ(countColour(form->image(), QRect(115, 320, 1, 30), bgr::Orange), 30);
    EXPECT_GT(labelPixels(344, 358, bgr::LightGreen), 5);  // " 7.00" at the bottom
}

TEST_F(Form3Test, TypingAnEntryIsNoChoiceButTheListStillIs) {
    form->Option2->click();
    const double offset = history.SelfOffset;
    QLineEdit* edit = form->Combo1->lineEdit();
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("6,5"));
    QTest::keyClick(edit, Qt::Key_Return);
    emit edit->editingFinished();  // as when the focus leaves the field
    EXPECT_EQ(history.SelfOffset, offset);
    EXPECT_EQ(countColour(form->image(), QRect(18, 200, 557, 1), bgr::Yellow), 557);

    // Stepping to the next entry with the keyboard is a choice.
    QTest::keyClick(form->Combo1, Qt::Key_Down);
    EXPECT_EQ(form->Combo1->currentText(), QStringLiteral("6,4"));
    EXPECT_DOUBLE_EQ(history.SelfYAtPh7, 350 - 300 * 0.6);
}

TEST_F(Form3Test, MinimumThatIsNotANumberKeepsTheLastValidOne) {
    form->Option2->click();
    form->Combo1->setEditText(QStringLiteral("abc"));
    EXPECT_EQ(form->minimumScale(), 6.0);
    form->Combo1->setEditText(QStringLiteral("6.5"));
    EXPECT_EQ(form->minimumScale(), 6.5);
    form->Combo1->setEditText(QStringLiteral("1e999"));
    form->Check3_Click();
    EXPECT_TRUE(std::isfinite(history.SelfSlope));
    EXPECT_TRUE(std::isfinite(history.SelfOffset));
    EXPECT_DOUBLE_EQ(history.SelfYAtPh7, 350 - 300 * 0.5);
    EXPECT_NEAR(history.ScaleLabelValue, 7.5, 1e-9);
    EXPECT_EQ(countColour(form->image(), QRect(18, 350, 557, 1), bgr::Yellow), 557);
}

TEST_F(Form3Test, DemoButtonSequenceDoesNothingOnTheSelfDefinedScale) {
    form->Option2->click();
    const QImage before = form->image();
    // What the main window's demo button runs.
    if (form->scale() == device::GraphScale::Fixed) {
        form->DrawGraphFrame();
        FillDemoHistory(history);
        form->DrawFixedScaleGraph();
    }
    EXPECT_EQ(history.RawAtPh7, 700);
    EXPECT_EQ(history.PhHistory[0], 650);
    EXPECT_EQ(form->image(), before);
}

TEST_F(Form3Test, ShowingAndHidingNeverRedraws) {
    form->fixedRedraw();
    const qint64 key = form->image().cacheKey();
    form->show();
    form->hide();
    form->show();
    EXPECT_EQ(form->image().cacheKey(), key);
    // The surface shows the image inside its sunken border.
    const QImage shown = form->Picture1->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRect inner = form->Picture1->contentsRect();
    EXPECT_EQ(shown.copy(inner), form->image().copy(0, 0, inner.width(), inner.height()));
    form->hide();
}

// A hidden window's drawing waits until its picture is seen, and must then be exactly what
// drawing at once would have given, though history, header and clock have moved on.
// Drawing waits for the picture to be painted or read, shown window or hidden; the picture must
// still be what drawing at once would have given, whatever changed in between.
TEST_F(Form3Test, PictureIsWhatEachDrawingWasAskedWithWhenItWasAsked) {
    Form3 shown(
        history, [this] { return header; }, clock);
    shown.show();
    QImage expected = makeSurfaceImage(1);  // drawn at once, straight onto a picture
    const CurveOptions options{true, true};
    history.computeFixedMapping();
    const auto onScreen = [&] {
        return shown.Picture1->grab(shown.Picture1->contentsRect())
            .toImage()
            .convertToFormat(expected.format());
    };
    const auto both = [&](auto draw) {
        draw(shown);
        draw(*form);
    };
    both([](Form3& f) {
        f.Check1->setChecked(true);
        f.Check4->setChecked(true);
    });
    history.ValveHistory[200] = 1;
    both([](Form3& f) { f.fixedRedraw(); });
    drawGraphFrame(expected, history, true, header, clock.now());
    drawFixedScaleGraph(expected, history, options);
    for (int i = 0; i <= 560; ++i) history.PhHistory[i] = 700 + i % 40;
    header = {QStringLiteral("7.1"), QStringLiteral("6.9")};
    clock.advanceMs(61000);
    both([](Form3& f) { f.DrawFixedScaleGraph(); });  // a second curve over the first
    drawFixedScaleGraph(expected, history, options);
    for (int i = 0; i <= 560; ++i) history.PhHistory[i] = 600;
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->image(), expected);
    EXPECT_EQ(onScreen(), expected);

    both([](Form3& f) {
        f.Option2->setChecked(true);
        f.Combo1->setEditText(QStringLiteral("6,5"));
        f.ComputeScaleMappings();
        f.selfDefinedRedraw();
    });
    EXPECT_NEAR(history.ScaleLabelValue, 7.5, 1e-9);
    drawGraphFrame(expected, history, true, header, clock.now());
    device::MeasurementHistory copy = history;
    drawSelfDefinedGraph(expected, copy, 6.5, false, options);
    history.ScaleLabelValue = 0;
    form->DrawSelfDefinedGraph();  // the working value comes at once, not with the picture
    EXPECT_NEAR(history.ScaleLabelValue, 7.5, 1e-9);
    shown.DrawSelfDefinedGraph();
    copy = history;
    drawSelfDefinedGraph(expected, copy, 6.5, false, options);
    history.ValveHistory[200] = 0;
    graph::FillDemoHistory(history, clock);
    clock.advanceMs(5000);
    form->show();
    EXPECT_EQ(form->image(), expected);
    EXPECT_EQ(onScreen(), expected);
}

TEST_F(Form3Test, AnotherScreenRatioRedrawsThePictureShownNotANewOne) {
    form->Option2->click();
    form->Check4->click();
    const QImage shown = form->image();
    const double scaleLabelValue = history.ScaleLabelValue;
    // Later inputs that a new redraw would show.
    clock.advanceMs(90000);
    header = {QStringLiteral("7.40"), QStringLiteral("7.0")};
    history.ScaleLabelValue = 6.0;

    form->matchScreenRatio(2);
    EXPECT_EQ(form->image().devicePixelRatio(), 2.0);
    EXPECT_EQ(form->image().size(), QSize(2 * SurfaceWidth, 2 * SurfaceHeight));
    EXPECT_EQ(history.ScaleLabelValue, 6.0);
    form->matchScreenRatio(1);
    EXPECT_EQ(form->image(), shown);
    EXPECT_NE(scaleLabelValue, 6.0);
}

TEST_F(Form3Test, HeaderTextsAndClockComeFromOutside) {
    header = {};
    form->fixedRedraw();
    EXPECT_EQ(countColour(form->image(), QRect(430, 3, 60, 14), bgr::LightBlue), 0);
    header = {QStringLiteral("7.25"), QStringLiteral("6.8")};
    form->fixedRedraw();
    EXPECT_GT(countColour(form->image(), QRect(430, 3, 60, 14), bgr::LightBlue), 3);
}

}  // namespace

// A right-click on the plot offers the history of the log file only while one is open, and
// choosing it asks for that file's history.
TEST_F(Form3Test, PlotMenuOffersTheHistoryOfTheOpenLogOnly) {
    form->show();
    QStringList asked;
    QObject::connect(form.get(), &Form3::historyRequested,
                     [&](const QString& path) { asked << path; });
    const auto rightClick = [&]() -> QStringList {
        QStringList offered;
        QTimer::singleShot(200, [&] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                for (QAction* action : menu->actions()) offered << action->text();
                menu->actions().value(0)->trigger();
                menu->close();
            }
        });
        emit form->Picture1->customContextMenuRequested(QPoint(100, 100));
        QTest::qWait(300);
        return offered;
    };
    EXPECT_TRUE(rightClick().isEmpty());
    history.LogToFile = true;
    history.LogFileName = QStringLiteral("/tmp/tank.txt");
    EXPECT_EQ(rightClick(), QStringList{QStringLiteral("History of this log...")});
    EXPECT_EQ(asked, QStringList{QStringLiteral("/tmp/tank.txt")});
}
