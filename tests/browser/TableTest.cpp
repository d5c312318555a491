// The recording table: cell texts, the sort order of every column and the
// record-type icons as drawn.
#include <QImage>
#include <QPixmap>

#include "BrowserFixture.h"
#include "browser/CellDelegate.h"
#include "resources/OrdavexResources.h"

namespace {

class TableTest : public BrowserFixture {};

TEST_F(TableTest, CellTexts) {
    RecordingName name = channelFile("20190221173817", 3);
    name.duration = "3723456";  // 1 h 2 min 3.456 s
    name.type = "GS";
    const QString path = add("", name);
    add("", channelFile("20191321173817", 1));  // no valid start
    list->loadFolder(root());
    sortBy(CustomSearchList::ChannelColumn, Qt::DescendingOrder);
    EXPECT_EQ(column(0), (QStringList{"2019-02-21", ""}));
    EXPECT_EQ(column(1), (QStringList{"17:38:17", ""}));
    EXPECT_EQ(column(2), (QStringList{"01:02:03", "00:00:35"}));
    EXPECT_EQ(column(3), (QStringList{"3", "1"}));
    EXPECT_EQ(column(4), (QStringList{"1", "8"}));
    EXPECT_EQ(column(5).first(), path);
    QStringList headers;
    for (int c = 0; c < CustomSearchList::kColumnCount; ++c)
        headers << view()->model()->headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(headers, (QStringList{"Date", "Time", "Duration", "Channel", "RecType", "Path"}));
}

// Rows (walk order, by name: r2 r6 r3 r5 r1 r4):
//   r1  2019-02-21 08:00:00  10.0 s  ch 10  NM (8)
//   r2  2019-02-20 09:00:00   9.0 s  ch 9   GS (1)
//   r3  2019-02-21 07:00:00  10.0 s  ch 9   TI (4)
//   r4  no valid start       60.0 s  ch 1   MO (2)
//   r5  2019-02-21 08:00:00   9.5 s  ch 2   NM (8)
//   r6  2019-02-20 09:00:00   9.1 s  ch 10  GS (1)
TEST_F(TableTest, ColumnOrder) {
    const struct {
        const char* start;
        const char* duration;
        int channel;
        const char* type;
    } rows[] = {{"20190221080000", "0010000", 10, "NM"}, {"20190220090000", "0009000", 9, "GS"},
                {"20190221070000", "0010000", 9, "TI"},  {"20191321080000", "0060000", 1, "MO"},
                {"20190221080000", "0009500", 2, "NM"},  {"20190220090000", "0009100", 10, "GS"}};
    int n = 1;
    for (const auto& row : rows) {
        RecordingName name = channelFile(row.start, row.channel, "0001", row.type);
        name.duration = row.duration;
        name.tail += QString("_r%1.avi").arg(n++);
        add("", name);
    }
    list->loadFolder(root());
    // Equal keys keep the walk order in both directions.
    const struct {
        int column;
        Qt::SortOrder order;
        const char* tails;
    } orders[] = {{0, Qt::AscendingOrder, "r4 r2 r6 r3 r5 r1"},
                  {0, Qt::DescendingOrder, "r3 r5 r1 r2 r6 r4"},
                  // Time of day alone, whatever the date.
                  {1, Qt::AscendingOrder, "r4 r3 r5 r1 r2 r6"},
                  {1, Qt::DescendingOrder, "r2 r6 r5 r1 r3 r4"},
                  // Durations compare by their displayed whole seconds.
                  {2, Qt::AscendingOrder, "r2 r6 r5 r3 r1 r4"},
                  // Channels as integers: 10 after 9.
                  {3, Qt::AscendingOrder, "r4 r5 r2 r3 r6 r1"},
                  {4, Qt::AscendingOrder, "r2 r6 r4 r3 r5 r1"},
                  {5, Qt::AscendingOrder, "r2 r6 r3 r5 r1 r4"},
                  {5, Qt::DescendingOrder, "r4 r1 r5 r3 r6 r2"}};
    for (const auto& order : orders) {
        sortBy(order.column, order.order);
        QStringList tails;
        for (const QString& path : column(CustomSearchList::PathColumn))
            tails << path.section('_', -1).section('.', 0, 0);
        EXPECT_EQ(tails.join(' '), order.tails) << order.column << " " << order.order;
    }
}

TEST_F(TableTest, PathsSortAsText) {
    RecordingName nine = channelFile("20190221080000", 1);
    nine.tail.prepend("9_");
    RecordingName ten = nine;
    ten.tail.replace(0, 1, "10");
    const QString ninePath = add("", nine);
    const QString tenPath = add("", ten);
    list->loadFolder(root());
    sortBy(CustomSearchList::PathColumn, Qt::AscendingOrder);
    EXPECT_EQ(column(CustomSearchList::PathColumn), (QStringList{tenPath, ninePath}));
}

TEST(IconTest, OffsetsByTypeBits) {
    const std::pair<int, int> cases[] = {{8, 68}, {1, 34},  {4, 0},   {2, 0},
                                         {0, 0},  {9, 102}, {15, 102}};
    for (const auto& c : cases)
        EXPECT_EQ(CellDelegate::iconOffset(c.first), c.second) << c.first;
}

TEST(IconTest, ImagesAreInTheResourceTree) {
    initOrdavexResources();
    const QImage sheet(":/image/RecType1.bmp");
    EXPECT_EQ(sheet.size(), QSize(136, 17));
    for (const char* icon : {":/image/manual_in.ico", ":/image/manual_out.ico",
                             ":/image/alarm_in.ico", ":/image/alarm_out.ico"})
        EXPECT_FALSE(QImage(icon).isNull()) << icon;
}

TEST_F(TableTest, TypeIconIsDrawnFromTheSheet) {
    add("", channelFile("20190221080000", 1, "0001", "NM"));
    add("", channelFile("20190221090000", 2, "0001", "GS"));
    add("", channelFile("20190221100000", 3, "0001", "TI"));
    list->loadFolder(root());
    sortBy(CustomSearchList::ChannelColumn, Qt::AscendingOrder);
    list->resize(900, 400);
    list->show();
    const QImage shot = view()->viewport()->grab().toImage();
    const QImage sheet(":/image/RecType1.bmp");
    const int expectedOffsets[] = {68, 34, 0};
    for (int row = 0; row < 3; ++row) {
        const QRect cell =
            view()->visualRect(view()->model()->index(row, CustomSearchList::RecTypeColumn));
        const QPoint centre = cell.center();
        // The icon's middle pixel lands on the cell's centre.
        const QRect icon(QPoint(0, 0), QSize(34, 17));
        QRect placed = icon;
        placed.moveCenter(centre);
        const QPoint probe = placed.topLeft() + QPoint(17, 8);
        EXPECT_EQ(shot.pixelColor(probe * shot.devicePixelRatio()),
                  sheet.pixelColor(expectedOffsets[row] + 17, 8))
            << row;
    }
}

}  // namespace
