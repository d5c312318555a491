// The property window: value formats and how the list fills it.
#include <QLabel>

#include "BrowserFixture.h"
#include "browser/PropertyWidget.h"

namespace {

QString text(const QWidget* window, const char* label) {
    const auto* found = window->findChild<QLabel*>(label);
    EXPECT_NE(found, nullptr) << label;
    return found ? found->text() : QString();
}

TEST(PropertyWidgetTest, SizeTexts) {
    const std::pair<qint64, const char*> cases[] = {{1023, "1023.00 B"},
                                                    {1024, "1.00 KB"},
                                                    {1048575, "1024.00 KB"},
                                                    {1048576, "1.00 MB"},
                                                    {Q_INT64_C(3221225472), "3072.00 MB"},
                                                    {-2048, "-2.00 KB"}};
    PropertyWidget window;
    for (const auto& [bytes, sizeText] : cases) {
        window.SetFile("avi", bytes, QTime(0, 0), 0, "p");
        EXPECT_EQ(text(&window, "label_fileSize"), sizeText);
    }
}

void expectGroup(const QWidget* window, int channel, const QString& resolution,
                 const QString& bitrate, const QString& frameRate) {
    const QString n = QString::number(channel);
    EXPECT_EQ(text(window, qPrintable("label_resolution_channel" + n)), resolution);
    EXPECT_EQ(text(window, qPrintable("label_bitrate_channel" + n)), bitrate);
    EXPECT_EQ(text(window, qPrintable("label_frameRate_channel" + n)), frameRate);
}

// Each channel fills its own group, those outside the eight none; Clear
// empties every group.
TEST(PropertyWidgetTest, ChannelGroupsAndClear) {
    PropertyWidget window;
    for (int channel = 0; channel <= 9; ++channel)
        window.SetChannel(channel, channel, 2, 1024 * channel, 3);
    for (int channel = 1; channel <= 8; ++channel)
        expectGroup(&window, channel, QString("%1 X 2").arg(channel),
                    QString("%1.000 kbps").arg(channel), "3 fps");
    window.SetFile("avi", 5, QTime(1, 2, 3), 6, "path");
    window.Clear();
    EXPECT_EQ(text(&window, "label_filePath"), "");
    EXPECT_EQ(text(&window, "label_duration"), "");
    for (int channel = 1; channel <= 8; ++channel)
        expectGroup(&window, channel, "0 X 0", "0.000 kbps", "0 fps");
}

class PropertyFillTest : public BrowserFixture {};

TEST_F(PropertyFillTest, RowOfChannelTwo) {
    RecordingName one = channelFile("20190221173817", 1);
    RecordingName two = channelFile("20190221173817", 2);
    two.size = "0000016384";
    two.bitrate = "02097152";
    two.width = "1280";
    two.height = "0720";
    two.frameRate = "15";
    RecordingName four = channelFile("20190221173817", 4);
    four.bitrate = "01048576";
    RecordingName otherCar = channelFile("20190221173817", 3, "0002");
    RecordingName later = channelFile("20190221173818", 5);
    add("a", one);
    const QString path = add("b", two);
    add("", four);
    add("", otherCar);
    add("", later);
    list->loadFolder(root());

    const int row = column(CustomSearchList::PathColumn).indexOf(path);
    ASSERT_GE(row, 0);
    EXPECT_EQ(list->propertyWindow(), nullptr);
    list->fillPropertyWidget(view()->model()->index(row, 0));
    const PropertyWidget* window = list->propertyWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(text(window, "label_fileType"), "avi");
    EXPECT_EQ(text(window, "label_fileSize"), "16.00 KB");
    EXPECT_EQ(text(window, "label_duration"), "00:00:35");
    EXPECT_EQ(text(window, "label_bitrate"), "7168.000 kbps");  // 4194304 + 2097152 + 1048576
    EXPECT_EQ(text(window, "label_filePath"), path);
    expectGroup(window, 1, "1920 X 1080", "4096.000 kbps", "25 fps");
    EXPECT_EQ(text(window, "label_resolution_channel2"), "1280 X 720");
    EXPECT_EQ(text(window, "label_frameRate_channel2"), "15 fps");
    EXPECT_EQ(text(window, "label_bitrate_channel4"), "1024.000 kbps");
    for (const char* empty :
         {"label_resolution_channel3", "label_resolution_channel5", "label_resolution_channel8"})
        EXPECT_EQ(text(window, empty), "0 X 0") << empty;
}

TEST_F(PropertyFillTest, PressHidesAnOpenWindow) {
    const QString path = add("", channelFile("20190221173817", 1));
    list->loadFolder(root());
    list->fillPropertyWidget(view()->model()->index(0, 0));
    list->propertyWindow()->show();
    list->fillPropertyWidget(view()->model()->index(0, 0));
    EXPECT_FALSE(list->propertyWindow()->isVisible());
    EXPECT_EQ(text(list->propertyWindow(), "label_filePath"), path);
}

}  // namespace
