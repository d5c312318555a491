// Speed and volume controls: steps, texts and reported values.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

#include "AppTest.h"
#include "app/SpeedSlider.h"
#include "app/VolumeSlider.h"

namespace {

QList<int> ints(const QSignalSpy& spy) {
    QList<int> values;
    for (const QList<QVariant>& call : spy)
        values << call.at(0).toInt();
    return values;
}

TEST(SpeedSliderTest, StepsByValueKeyAndWheelShowTheirTextsWithinTheRange) {
    const char* const texts[][2] = {{"1/16", "1/16X"}, {"1/8", "1/8X"}, {"1/4", "1/4X"},
                                    {"1/2", "1/2X"},   {"x1", "1X"},    {"x2", "2X"},
                                    {"x4", "4X"},      {"x8", "8X"},    {"x16", "16X"}};
    // clang-format off
    struct Case { int start, key, wheel, end; } cases[] = {  // key 0: wheel, in 1/8 degree
        {4, Qt::Key_Left, 0, 3}, {4, Qt::Key_PageUp, 0, 5}, {4, Qt::Key_Home, 0, 0},
        {4, Qt::Key_End, 0, 8},  {8, Qt::Key_Right, 0, 8},  {1, Qt::Key_PageDown, 0, 0},
        {0, Qt::Key_Left, 0, 0}, {5, 0, 120, 6}, {4, 0, 960, 5}, {7, 0, -120, 6},
        {8, 0, 120, 8},          {2, 0, -960, 1}};
    // clang-format on
    for (const Case& c : cases) {
        SpeedSlider speed;
        auto* slider = child<QSlider>(speed, "horizontalSlider");
        auto* text = child<QLabel>(speed, "label_text");
        EXPECT_EQ(text->text() + slider->toolTip(), "x11X");
        EXPECT_EQ(child<QLabel>(speed, "label_icon")->toolTip(), "play speed");
        QSignalSpy spy(&speed, &SpeedSlider::Signal_valueChange);
        slider->setValue(c.start);
        spy.clear();
        if (c.key) {
            QTest::keyClick(slider, Qt::Key(c.key));
        } else {
            QWheelEvent wheel(QPointF(5, 5), QPointF(5, 5), {}, QPoint(0, c.wheel), Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(slider, &wheel);
        }
        EXPECT_EQ(ints(spy), c.end == c.start ? QList<int>() : QList<int>{c.end}) << c.start;
        EXPECT_EQ(text->text(), texts[c.end][0]);
        EXPECT_EQ(text->toolTip(), texts[c.end][1]);
        EXPECT_EQ(slider->toolTip(), texts[c.end][1]);
    }
}

TEST(VolumeSliderTest, DragReportsEachValueAndMuteKeepsTheLevel) {
    VolumeSlider volume;
    auto* slider = child<QSlider>(volume, "horizontalSlider");
    auto* button = child<QPushButton>(volume, "pushButton_icon");
    EXPECT_EQ(slider->toolTip() + button->toolTip(), "100%Volume Control");
    QSignalSpy level(&volume, &VolumeSlider::Signal_valueChange);
    QSignalSpy mute(&volume, &VolumeSlider::Signal_Mute);
    slider->setSliderDown(true);
    for (int v = 99; v >= 40; --v)
        slider->setSliderPosition(v);
    slider->setSliderDown(false);
    ASSERT_EQ(level.size(), 61);
    EXPECT_EQ(ints(level).mid(58), QList<int>({41, 40, 40}));
    EXPECT_EQ(slider->toolTip(), "40%");
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(volume.volume(), 40);
    QTest::keyClick(slider, Qt::Key_Left);  // moved while muted: still reported
    EXPECT_EQ(ints(level).last(), 39);
    EXPECT_TRUE(button->isChecked());
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(ints(mute), QList<int>({1, 0}));
    EXPECT_EQ(volume.volume(), 39);
}

}  // namespace
