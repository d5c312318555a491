// The main window's handlers against a real, running Controller (no
// recording open unless a case opens one).
#include <QAbstractButton>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QStackedWidget>
#include <QTest>
#include <memory>

#include "AppTest.h"
#include "app/CustomSaveSlider.h"
#include "app/CustomSlider.h"
#include "app/Widget.h"
#include "browser/CustomSearchList.h"
#include "engine/Controller.h"
#include "engine/Suspend.h"

namespace {

class WidgetTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        g_bSuspend.store(false);
        engine = std::make_unique<Controller>();
        window = std::make_unique<Widget>(nullptr, engine.get());
    }
    void TearDown() override {
        window.reset();
        engine.reset();
        g_bSuspend.store(false);
    }
    template <typename T = QAbstractButton>
    T* w(const char* name) {
        return child<T>(*window, name);
    }
    QString label() { return w<QLabel>("label_progress")->text(); }
    void playing(PlayStatus status, bool reverse) {
        engine->reverse.store(reverse);
        engine->playStatus.store(status);
        emit engine->Signal_playStatusChange(status);
    }

    std::unique_ptr<Controller> engine;
    std::unique_ptr<Widget> window;
};

TEST_F(WidgetTest, DirectionButtonsSeekOnlyOnAChangeOfDirection) {
    auto* slider = w<CustomSlider>("slider_progress");
    slider->setRange(0, 600000);
    slider->setValue(65000);
    const auto P = PlayStatus::Play, Pa = PlayStatus::Pause, S = PlayStatus::Stop;
    const char *f = "toolButton_forwards", *b = "toolButton_backwards";
    // clang-format off
    const struct { bool reverse; PlayStatus status; const char* button; bool seek;
                   bool reverseAfter; PlayStatus after; const char* checked; } cases[] = {
        {false, P, f, false, false, Pa, ""}, {false, Pa, f, false, false, P, f},
        {false, P, b, true, true, P, b},     {true, Pa, f, true, false, P, f},
        {false, S, f, false, false, S, ""}};
    // clang-format on
    for (const auto& c : cases) {
        playing(c.status, c.reverse);
        engine->aviFileRead.seekRequest.store(false);
        engine->aviFileRead.seekTarget.store(0);
        engine->unpaced.store(true);
        engine->singleStep.store(true);
        w(c.button)->click();
        SCOPED_TRACE(c.button);
        EXPECT_EQ(engine->aviFileRead.seekRequest.load(), c.seek);
        EXPECT_EQ(engine->aviFileRead.seekTarget.load(), c.seek ? -65000 : 0);
        EXPECT_EQ(engine->reverse.load(), c.reverseAfter);
        EXPECT_EQ(engine->playStatus.load(), c.after);
        EXPECT_FALSE(engine->unpaced.load() || engine->singleStep.load());
        for (const char* button : {f, b})
            EXPECT_EQ(w(button)->isChecked(), button == c.checked);
    }
}

TEST_F(WidgetTest, StepPausesFirstAndSecondPlayClearsTheStep) {
    playing(PlayStatus::Play, false);
    w("toolButton_oneframe")->click();
    EXPECT_EQ(engine->playStatus.load(), PlayStatus::Pause);
    EXPECT_TRUE(engine->singleStep.load());
    w("toolButton_secframe")->click();
    EXPECT_EQ(engine->playStatus.load(), PlayStatus::Pause);
    EXPECT_TRUE(engine->unpaced.load());
    EXPECT_FALSE(engine->singleStep.load());
}

TEST_F(WidgetTest, ReportsDriveTheLabelTheRangesAndTheNextRecording) {
    auto* slider = w<CustomSlider>("slider_progress");
    auto* cut = w<CustomSaveSlider>("slider_save");
    QSignalSpy next(w<CustomSearchList>("page_filelist"), &CustomSearchList::Signal_playAVI);
    int b = 0, e = 0;
    window->progress(-1, 600000);
    EXPECT_EQ(slider->maximum(), 600000);
    cut->SetCutPoint(1000);
    cut->SetCutPoint(2000);
    window->progress(65000, 3725000);
    EXPECT_EQ(label(), "00:01:05/01:02:05");
    EXPECT_EQ(slider->value(), 65000);
    window->progress(1000, 90000000);
    EXPECT_EQ(label(), "00:00:01/01:00:00");
    slider->setSliderDown(true);  // positions wait, markers do not
    window->progress(5000, 600000);
    EXPECT_EQ(label(), "00:00:01/01:00:00");
    window->progress(-2, 0);
    EXPECT_EQ(label(), "00:00:00/00:00:00");
    EXPECT_EQ(slider->maximum(), 0);
    EXPECT_FALSE(cut->GetSaveRange(b, e));
    slider->setSliderDown(false);
    window->progress(-1, 10000);
    window->progress(0, 10000);  // forwards: no next recording
    EXPECT_EQ(next.count(), 0);
    engine->reverse.store(true);
    window->progress(0, 10000);
    window->progress(0, 10000);
    EXPECT_EQ(next.count(), 1);  // once per recording
    window->progress(-3, 10000);
    EXPECT_EQ(next.count(), 1);  // the End of the same recording asks no more
    window->progress(-1, 10000);
    window->progress(-3, 10000);
    EXPECT_EQ(next.count(), 2);
}

TEST_F(WidgetTest, SliderSeeksOnReleaseAndByKeysWithinTheRange) {
    auto* slider = w<CustomSlider>("slider_progress");
    slider->resize(1001, 30);
    slider->setRange(0, 10000);
    slider->setValue(400);
    QSignalSpy seeks(slider, &CustomSlider::Signal_seek);
    QTest::keyClick(slider, Qt::Key_Left);
    slider->setValue(10000);
    QTest::keyClick(slider, Qt::Key_Right);
    QTest::keyClick(slider, Qt::Key_Up);
    QTest::mouseClick(slider, Qt::RightButton, {}, QPoint(500, 15));
    QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(500, 15));
    ASSERT_EQ(seeks.count(), 4);
    EXPECT_EQ(seeks[0][0].toLongLong(), 0);
    EXPECT_EQ(seeks[1][0].toLongLong(), 10000);
    EXPECT_EQ(seeks[2][0].toLongLong(), 9000);
    EXPECT_NEAR(seeks[3][0].toLongLong(), 5000, 300);
    EXPECT_EQ(engine->aviFileRead.seekTarget.load(), seeks[3][0].toLongLong());
}

TEST(CutBarTest, KeepsTwoOrderedPointsInsideTheRange) {
    CustomSaveSlider bar;
    bar.SetRange(0, 600000);
    int b = -1, e = -1;
    // clang-format off
    const struct { std::vector<int> points; int deletes; bool range; int begin, end; } cases[] = {
        {{5000, 2000}, 0, true, 2000, 5000}, {{5000, 2000}, 1, false, -1, -1},
        {{5000, 5000}, 0, false, -1, -1},    {{1, 2, 3}, 0, true, 1, 2},
        {{700000, -5}, 0, true, 0, 600000},  {{}, 1, false, -1, -1}};
    // clang-format on
    for (const auto& c : cases) {
        bar.SetRange(0, 600000);
        for (int p : c.points)
            bar.SetCutPoint(p);
        for (int i = 0; i < c.deletes; ++i)
            bar.DeleteCutPoint();
        b = e = -1;
        EXPECT_EQ(bar.GetSaveRange(b, e), c.range);
        EXPECT_EQ(b, c.begin);
        EXPECT_EQ(e, c.end);
    }
    bar.SetRange(0, 0);
    bar.SetCutPoint(0);
    EXPECT_FALSE(bar.grab().isNull());  // an empty range paints, without a mark
}

TEST_F(WidgetTest, SaveAsksForTwoPointsAndOffersTheFirstPresentChannel) {
    MessageBoxAnswer answer(QMessageBox::Ok);
    w("pushButton_save")->click();  // stopped: no cut points either
    playing(PlayStatus::Play, false);
    w("pushButton_save")->click();
    EXPECT_EQ(answer.seen,
              QStringList({"Save Video|Need more cut point", "Save Video|Need more cut point"}));

    QVector<QString> paths(12);
    paths[1] =
        "/nowhere/20230514083000_NM_0010000_0000100000_0320_0240_25_00512000_"
        "0000000088880001_02_x.avi";
    engine->On_PlayAVI(paths, 2);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return engine->playStatus.load() == PlayStatus::Stop; }));  // nothing opens
    playing(PlayStatus::Play, false);
    window->progress(-1, 10000);
    w<CustomSaveSlider>("slider_save")->SetCutPoint(2000);
    w<CustomSaveSlider>("slider_save")->SetCutPoint(6000);
    QSignalSpy cuts(window.get(), &Widget::Signal_cut);
    QString shown;
    QTimer::singleShot(50, [&] {
        auto* dialog = window->findChild<QDialog*>("CustomSaveDialog");
        shown = dialog->findChild<QLineEdit*>("lineEdit_fileNames")->text();
        dialog->reject();
    });
    w("pushButton_save")->click();
    EXPECT_TRUE(shown.contains("\"20230514083002_NM_0004000_")) << shown.toStdString();
    EXPECT_TRUE(cuts.isEmpty());
}

TEST_F(WidgetTest, MuteSilencesAndUnmuteRestoresTheControlsVolume) {
    child<QSlider>(*w<QWidget>("volumeControl"), "horizontalSlider")->setValue(40);
    EXPECT_EQ(engine->audioCtrl.Volume(), 40);
    w("pushButton_icon")->click();
    EXPECT_EQ(engine->audioCtrl.Volume(), 0);
    w("pushButton_icon")->click();
    EXPECT_EQ(engine->audioCtrl.Volume(), 40);
}

TEST_F(WidgetTest, SidePanelButtons) {
    auto* stack = w<QStackedWidget>("stackedWidget");
    auto* exchange = w("toolButton_exchange");
    QWidget* map = w<QWidget>("page_map");
    EXPECT_EQ(stack->currentIndex(), 0);
    window->mapButton_clicked();
    window->mapButton_clicked();
    EXPECT_TRUE(stack->currentIndex() == 1 && !exchange->isHidden());
    window->exchangeButton_clicked();
    EXPECT_EQ(stack->widget(1), w<QWidget>("PlayArea"));
    EXPECT_EQ(map->parentWidget(), w<QWidget>("widget_2"));
    window->openfileButton_clicked();
    EXPECT_TRUE(stack->currentIndex() == 0 && exchange->isHidden());
    window->mapButton_clicked();
    window->exchangeButton_clicked();
    EXPECT_EQ(stack->widget(1), map);
    // Arrows: each undoes the other's hiding before hiding its own side.
    window->rightButton_clicked();
    window->rightButton_clicked();
    EXPECT_TRUE(w<QWidget>("FileToolArea")->isHidden());
    window->leftButton_clicked();
    EXPECT_FALSE(w<QWidget>("FileToolArea")->isHidden());
    window->leftButton_clicked();
    EXPECT_TRUE(w<QWidget>("widget_2")->isHidden());
    window->rightButton_clicked();
    EXPECT_FALSE(w<QWidget>("widget_2")->isHidden() || w<QWidget>("FileToolArea")->isHidden());
}

// The two spare buttons of the progress row stay, without an action and
// with the form's text, above the two cut-point buttons.
TEST_F(WidgetTest, SpareButtonsStandAboveTheCutPointButtons) {
    auto* grid = qobject_cast<QGridLayout*>(w<QWidget>("ProgressArea")->layout());
    ASSERT_NE(grid, nullptr);
    const struct {
        const char *spare, *below;
        int column;
    } cases[] = {{"pushButton", "pushButton_setCutPoint", 0},
                 {"pushButton_3", "pushButton_deleteCutPoint", 1}};
    window->SetText();
    for (const auto& c : cases) {
        QAbstractButton* spare = w(c.spare);
        EXPECT_FALSE(spare->isHidden()) << c.spare;
        EXPECT_EQ(spare->text(), "PushButton");
        EXPECT_EQ(grid->itemAtPosition(0, c.column)->widget(), spare);
        EXPECT_EQ(grid->itemAtPosition(1, c.column)->widget(), w(c.below));
        QSignalSpy status(engine.get(), &Controller::Signal_playStatusChange);
        spare->click();
        EXPECT_TRUE(status.isEmpty());
        EXPECT_EQ(engine->playStatus.load(), PlayStatus::Stop);
    }
}

TEST_F(WidgetTest, StoredLanguageIsAppliedAndKept) {
    const struct {
        QVariant stored;
        int after;
        const char* stop;
    } cases[] = {{QVariant(), 1, "stop"}, {2, 2, "ストップ"}, {7, 7, "stop"}, {-1, -1, "stop"}};
    for (const auto& c : cases) {
        window.reset();
        g_bSuspend.store(false);
        engine = std::make_unique<Controller>();
        QSettings().remove("/Widget/Language");
        if (c.stored.isValid())
            QSettings().setValue("/Widget/Language", c.stored);
        window = std::make_unique<Widget>(nullptr, engine.get());
        EXPECT_EQ(stored("/Widget/Language").toInt(), c.after);
        EXPECT_EQ(w("toolButton_stop")->toolTip(), QString::fromUtf8(c.stop));
        EXPECT_EQ(w("toolButton_backwards")->toolTip(), "backwards/pause");
    }
    window->changeToRussian();
    EXPECT_EQ(w<QPushButton>("pushButton_map")->text(), "Карта");
    window->changeToEnglish();
    EXPECT_EQ(window->windowTitle(), "Ordavex Video PlayBack System V3.1.1");
    EXPECT_EQ(stored("/Widget/Language").toInt(), 1);
}

// A step while playing pauses: the direction being played loses its check
// mark, the other stays unchecked; the step also ends unpaced play.
TEST_F(WidgetTest, StepUnchecksThePlayedDirectionAndEndsUnpacedPlay) {
    for (const bool reverse : {false, true}) {
        SCOPED_TRACE(reverse ? "backwards" : "forwards");
        playing(PlayStatus::Play, reverse);
        const char* active = reverse ? "toolButton_backwards" : "toolButton_forwards";
        const char* other = reverse ? "toolButton_forwards" : "toolButton_backwards";
        ASSERT_TRUE(w(active)->isChecked());
        engine->unpaced.store(true);
        w("toolButton_oneframe")->click();
        EXPECT_EQ(engine->playStatus.load(), PlayStatus::Pause);
        EXPECT_FALSE(w(active)->isChecked());
        EXPECT_FALSE(w(other)->isChecked());
        EXPECT_FALSE(engine->unpaced.load());
        EXPECT_TRUE(engine->singleStep.load());
    }
}

}  // namespace
