// Speed and volume controls: steps, texts and reported values.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

#include "app/SpeedSlider.h"
#include "app/VolumeSlider.h"

namespace {

QList<int> ints(const QSignalSpy& spy) {
    QList<int> values;
    for (const QList<QVariant>& call : spy)
        values << call.at(0).toInt();
    return values;
}

TEST(SpeedSliderTest, EveryStepShowsItsLabelAndToolTipAndReportsItsIndex) {
    const char* const expected[][2] = {{"1/16", "1/16X"}, {"1/8", "1/8X"}, {"1/4", "1/4X"},
                                       {"1/2", "1/2X"},   {"x1", "1X"},    {"x2", "2X"},
                                       {"x4", "4X"},      {"x8", "8X"},    {"x16", "16X"}};
    SpeedSlider speed;
    auto* slider = speed.findChild<QSlider*>("horizontalSlider");
    auto* text = speed.findChild<QLabel*>("label_text");
    EXPECT_EQ(slider->value(), 4);
    EXPECT_EQ(text->text(), "x1");
    EXPECT_EQ(slider->toolTip(), "1X");
    EXPECT_EQ(speed.findChild<QLabel*>("label_icon")->toolTip(), "play speed");
    QSignalSpy spy(&speed, &SpeedSlider::Signal_valueChange);
    for (int i : {0, 1, 2, 3, 5, 6, 7, 8, 4}) {
        slider->setValue(i);
        EXPECT_EQ(text->text(), expected[i][0]);
        EXPECT_EQ(text->toolTip(), expected[i][1]);
        EXPECT_EQ(slider->toolTip(), expected[i][1]);
    }
    EXPECT_EQ(ints(spy), QList<int>({0, 1, 2, 3, 5, 6, 7, 8, 4}));
}

TEST(SpeedSliderTest, KeysAndWheelMoveOneStepWithinTheRange) {
    struct Case {
        int start;
        int key;    // 0: wheel
        int wheel;  // angle delta
        int end;
    } cases[] = {
        {4, Qt::Key_Left, 0, 3},
        {4, Qt::Key_Right, 0, 5},
        {4, Qt::Key_PageUp, 0, 5},
        {4, Qt::Key_PageDown, 0, 3},
        {4, Qt::Key_Home, 0, 0},
        {4, Qt::Key_End, 0, 8},
        {8, Qt::Key_Right, 0, 8},
        {0, Qt::Key_Left, 0, 0},
        {4, 0, 120, 5},
        {4, 0, 960, 5},
        {4, 0, -120, 3},
        {8, 0, 120, 8},
        {0, 0, -960, 0},
    };
    for (const Case& c : cases) {
        SpeedSlider speed;
        auto* slider = speed.findChild<QSlider*>("horizontalSlider");
        slider->setValue(c.start);
        QSignalSpy spy(&speed, &SpeedSlider::Signal_valueChange);
        if (c.key) {
            QTest::keyClick(slider, static_cast<Qt::Key>(c.key));
        } else {
            const QPoint at(slider->width() / 2, slider->height() / 2);
            QWheelEvent wheel(at, slider->mapToGlobal(at), QPoint(), QPoint(0, c.wheel),
                              Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(slider, &wheel);
        }
        EXPECT_EQ(slider->value(), c.end) << c.start << " " << c.key << " " << c.wheel;
        EXPECT_EQ(ints(spy), c.end == c.start ? QList<int>() : QList<int>{c.end});
    }
}

TEST(VolumeSliderTest, DragReportsEveryValueThenTheFinalOneOnRelease) {
    VolumeSlider volume;
    auto* slider = volume.findChild<QSlider*>("horizontalSlider");
    EXPECT_EQ(volume.volume(), 100);
    EXPECT_EQ(slider->toolTip(), "100%");
    QSignalSpy spy(&volume, &VolumeSlider::Signal_valueChange);
    slider->setSliderDown(true);
    for (int v = 99; v >= 40; --v)
        slider->setSliderPosition(v);
    slider->setSliderDown(false);
    const QList<int> values = ints(spy);
    ASSERT_EQ(values.size(), 61);
    EXPECT_EQ(values.first(), 99);
    EXPECT_EQ(values.mid(59), QList<int>({40, 40}));
    EXPECT_EQ(slider->toolTip(), "40%");
    EXPECT_EQ(volume.volume(), 40);
}

TEST(VolumeSliderTest, MuteKeepsTheLevelAndTheSliderStillReports) {
    VolumeSlider volume;
    auto* button = volume.findChild<QPushButton*>("pushButton_icon");
    auto* slider = volume.findChild<QSlider*>("horizontalSlider");
    EXPECT_EQ(button->toolTip(), "Volume Control");
    QSignalSpy mute(&volume, &VolumeSlider::Signal_Mute);
    QSignalSpy level(&volume, &VolumeSlider::Signal_valueChange);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_TRUE(button->isChecked());
    EXPECT_EQ(volume.volume(), 100);
    QTest::keyClick(slider, Qt::Key_Home);  // moved while muted
    EXPECT_EQ(ints(level), QList<int>{0});
    EXPECT_TRUE(button->isChecked());
    slider->setValue(30);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_FALSE(button->isChecked());
    ASSERT_EQ(mute.size(), 2);
    EXPECT_TRUE(mute.at(0).at(0).toBool());
    EXPECT_FALSE(mute.at(1).at(0).toBool());
    EXPECT_EQ(volume.volume(), 30);
}

}  // namespace
