// The file-name parser over generated names.
#include <gtest/gtest.h>

#include <QStringList>
#include <vector>

#include "RecordingNames.h"
#include "browser/CustomSearchList.h"

namespace {

bool parse(const QString& name, ItemData& item) {
    return CustomSearchList::parseAVIFileName(name, item);
}

TEST(FileNameTest, ReferenceName) {
    const QString name = RecordingName().name();
    ASSERT_EQ(name.size(), 122);
    ItemData item;
    ASSERT_TRUE(parse(name, item));
    EXPECT_EQ(item.startTime, QDateTime(QDate(2019, 2, 21), QTime(17, 38, 17), Qt::LocalTime));
    EXPECT_EQ(item.recType, 8);
    EXPECT_EQ(item.duration, QTime(0, 0, 35, 719));
    EXPECT_EQ(item.fileSize, 1085396);
    EXPECT_EQ(item.channel, 1);
    EXPECT_EQ(item.width[0], 1920);
    EXPECT_EQ(item.height[0], 1080);
    EXPECT_EQ(item.frameRate[0], 25);
    EXPECT_EQ(item.bitrate[0], 4194304);
    EXPECT_EQ(item.carNumber, "6666666666666");
    EXPECT_TRUE(item.filePath.isEmpty());
}

struct Acceptance {
    const char* what;
    QString name;
    bool listed;
};

class AcceptanceTest : public ::testing::TestWithParam<Acceptance> {};

TEST_P(AcceptanceTest, ListedOrNot) {
    ItemData item;
    EXPECT_EQ(parse(GetParam().name, item), GetParam().listed) << qPrintable(GetParam().name);
}

RecordingName withSize(const char* size) {
    RecordingName name;
    name.size = size;
    return name;
}

// A long name whose long field 8 leaves fewer than ten fields.
QString fewFields(int fields) {
    QStringList parts;
    for (int i = 0; i < fields - 1; ++i)
        parts << "0000020000";  // a valid size wherever it lands
    parts << QString(120, '1') + ".avi";
    return parts.join('_');
}

INSTANTIATE_TEST_SUITE_P(
    Names, AcceptanceTest,
    ::testing::Values(Acceptance{"length 107", RecordingName().nameOfLength(107), false},
                      Acceptance{"length 108", RecordingName().nameOfLength(108), true},
                      Acceptance{"size 15359", withSize("0000015359").name(), false},
                      Acceptance{"size 15360", withSize("0000015360").name(), true},
                      Acceptance{"size 2^31", withSize("2147483648").name(), true},
                      Acceptance{"size 2^32", withSize("4294967296").name(), true},
                      Acceptance{"size too large", withSize("99999999999999999999").name(), false},
                      Acceptance{"size negative", withSize("-000020000").name(), false},
                      Acceptance{"size not decimal", withSize("00000x5360").name(), false},
                      Acceptance{"size empty", withSize("").name(), false},
                      Acceptance{"9 fields", fewFields(9), false},
                      Acceptance{"10 fields", fewFields(10), true},
                      Acceptance{"1 field", QString(130, 'a') + ".avi", false}),
    [](const auto& info) {
        QString n = info.param.what;
        return n.replace(' ', '_').replace('^', '_').toStdString();
    });

TEST(FileNameTest, LargeSizesAreKeptWhole) {
    ItemData item;
    ASSERT_TRUE(parse(withSize("4294967296").name(), item));
    EXPECT_EQ(item.fileSize, Q_INT64_C(4294967296));
}

struct RecType {
    const char* code;
    int bit;
};

class RecTypeTest : public ::testing::TestWithParam<RecType> {};

TEST_P(RecTypeTest, EveryCodeHasItsBitAndUnknownOnesNone) {
    RecordingName name;
    name.type = GetParam().code;
    ItemData item;
    ASSERT_TRUE(parse(name.name(), item));
    EXPECT_EQ(item.recType, GetParam().bit);
}

std::vector<RecType> recTypes() {
    std::vector<RecType> types = {{"NM", 8}, {"TI", 4}, {"MO", 2},  {"nm", 0},
                                  {"XX", 0}, {"", 0},   {"NMX", 0}, {"N", 0}};
    for (const char* alarm :
         {"SP", "GS", "TP", "A1", "A2", "A3", "A4", "A5", "A6", "A7", "A8", "BT", "RD",
          "AC", "DC", "TA", "TG", "IP", "TL", "TR", "CP", "B1", "B2", "B3", "B4", "B5",
          "B6", "B7", "B8", "FT", "DS", "ND", "SM", "CA", "PB", "CR", "SK", "OS", "SC",
          "RA", "RN", "SE", "GE", "RM", "YW", "AF", "NK", "L2", "OT", "LT", "OR", "LR",
          "OD", "CD", "SA", "P1", "P2", "P3", "P4", "NB", "SG", "CG", "CO", "EF"})
        types.push_back({alarm, 1});
    return types;
}

INSTANTIATE_TEST_SUITE_P(Codes, RecTypeTest, ::testing::ValuesIn(recTypes()));

TEST(FileNameTest, EmptyFieldsConvertToZero) {
    RecordingName name;
    name.duration = name.width = name.height = name.frameRate = name.bitrate = name.car = "";
    ItemData item;
    ASSERT_TRUE(parse(name.nameOfLength(110), item));
    EXPECT_EQ(item.duration, QTime(0, 0));
    EXPECT_EQ(item.width[0], 0);
    EXPECT_EQ(item.height[0], 0);
    EXPECT_EQ(item.frameRate[0], 0);
    EXPECT_EQ(item.bitrate[0], 0);
    EXPECT_EQ(item.carNumber, "");
}

class ChannelTest : public ::testing::TestWithParam<int> {};

TEST_P(ChannelTest, OnlyChannelsOneToEightFillTheirEntry) {
    const int channel = GetParam();
    RecordingName name;
    name.channel = QString("%1").arg(channel, 2, 10, QChar('0'));
    ItemData item;
    ASSERT_TRUE(parse(name.name(), item));
    EXPECT_EQ(item.channel, channel);
    for (int entry = 0; entry < ItemData::kPropertyChannels; ++entry) {
        const bool own = entry == channel - 1;
        EXPECT_EQ(item.width[entry], own ? 1920 : 0) << entry;
        EXPECT_EQ(item.height[entry], own ? 1080 : 0) << entry;
        EXPECT_EQ(item.frameRate[entry], own ? 25 : 0) << entry;
        EXPECT_EQ(item.bitrate[entry], own ? 4194304 : 0) << entry;
    }
}

INSTANTIATE_TEST_SUITE_P(Channels, ChannelTest, ::testing::Values(0, 1, 8, 9, 12, 13));

struct Car {
    const char* field;
    const char* number;
};

class CarNumberTest : public ::testing::TestWithParam<Car> {};

TEST_P(CarNumberTest, LeadingZerosGo) {
    RecordingName name;
    name.car = GetParam().field;
    ItemData item;
    ASSERT_TRUE(parse(name.name(), item));
    EXPECT_EQ(item.carNumber, GetParam().number);
}

INSTANTIATE_TEST_SUITE_P(Cars, CarNumberTest,
                         ::testing::Values(Car{"0000", "0000"}, Car{"0012", "12"},
                                           Car{"0000000000000000", "0000000000000000"},
                                           Car{"0000000000000012", "12"}, Car{"0102", "102"},
                                           Car{"A0B", "A0B"}));

class StartTest : public ::testing::TestWithParam<const char*> {};

TEST_P(StartTest, InvalidStartIsListedWithoutTime) {
    RecordingName name;
    name.start = GetParam();
    ItemData item;
    ASSERT_TRUE(parse(name.name(), item));
    EXPECT_FALSE(item.startTime.isValid());
}

INSTANTIATE_TEST_SUITE_P(Starts, StartTest,
                         ::testing::Values("20191321173817", "20190230173817", "20190221243817",
                                           "20190221176017", "2019022117381", "201902211738170",
                                           "2019O221173817", "", "00000221173817",
                                           "+0190221173817"));

}  // namespace
