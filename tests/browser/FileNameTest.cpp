// The listing rules and the fields of a name, through the recording list's
// parse, in several time zones.
#include <gtest/gtest.h>

#include <QStringList>
#include <numeric>

#include "RecordingNames.h"
#include "TimeZone.h"
#include "browser/CustomSearchList.h"

namespace {

// The reference name with field `field` replaced by text.
QString withField(int field, const QString& text) {
    QStringList fields = RecordingName().name().split('_');
    fields[field] = text;
    return fields.join('_');
}

// What the parse read for one field, as text; "-" when the file is not listed.
QString parsed(const QString& name, int field) {
    ItemData item;
    if (!CustomSearchList::parseAVIFileName(name, item))
        return "-";
    const int entry = item.hasPropertyEntry() ? item.channel - 1 : -1;
    const auto own = [&](const int* values) {
        return entry < 0 ? QString("none") : QString::number(values[entry]);
    };
    switch (field) {
        case 0:
            return item.startTime.isValid() ? item.startTime.toString("yyyy-MM-dd HH:mm:ss")
                                            : "invalid";
        case 1:
            return QString::number(item.recType);
        case 2:
            return QString::number(item.duration.msecsSinceStartOfDay());
        case 3:
            return QString::number(item.fileSize);
        case 4:
            return own(item.width);
        case 5:
            return own(item.height);
        case 6:
            return own(item.frameRate);
        case 7:
            return own(item.bitrate);
        case 8:
            return item.carNumber;
        default:  // the channel, and the sum of all width entries
            return QString("%1 w%2")
                .arg(item.channel)
                .arg(std::accumulate(item.width, item.width + ItemData::kPropertyChannels, 0));
    }
}

struct FieldCase {
    int field;
    const char* text;
    const char* parsed;
};

// clang-format off
const FieldCase kFieldCases[] = {
    // The reference name, field by field.
    {0, "20190221173817", "2019-02-21 17:38:17"}, {1, "NM", "8"}, {2, "0035719", "35719"},
    {3, "0001085396", "1085396"}, {4, "1920", "1920"}, {5, "1080", "1080"}, {6, "25", "25"},
    {7, "04194304", "4194304"}, {8, "0006666666666666", "6666666666666"}, {9, "01", "1 w1920"},
    // Sizes: the lower bound, 64-bit sizes kept whole, anything else rejected.
    {3, "0000015359", "-"}, {3, "0000015360", "15360"}, {3, "4294967296", "4294967296"},
    {3, "99999999999999999999", "-"}, {3, "-000020000", "-"}, {3, "00000x5360", "-"},
    {3, "", "-"},
    // Types: case-sensitive, whole codes only.
    {1, "TI", "4"}, {1, "MO", "2"}, {1, "nm", "0"}, {1, "XX", "0"}, {1, "", "0"}, {1, "NMX", "0"},
    // Only channels 1 to 8 have entries; numbers that do not convert are 0.
    {9, "00", "0 w0"}, {9, "08", "8 w1920"}, {9, "09", "9 w0"}, {9, "12", "12 w0"},
    {4, "", "0"}, {7, "x", "0"}, {2, "", "0"},
    {8, "0000", "0000"}, {8, "0000000000000012", "12"}, {8, "0102", "102"}, {8, "A0B", "A0B"},
    // Starts: exactly yyyyMMddHHmmss and a real date-time, else listed without
    // one; an hour that local clocks skip is kept as the name says.
    {0, "20190331023000", "2019-03-31 02:30:00"}, {0, "20190310023000", "2019-03-10 02:30:00"},
    {0, "20191321173817", "invalid"}, {0, "20190230173817", "invalid"},
    {0, "20190221243817", "invalid"}, {0, "20190221176017", "invalid"},
    {0, "2019022117381", "invalid"}, {0, "201902211738170", "invalid"},
    {0, "2019O221173817", "invalid"}, {0, "", "invalid"}, {0, "00000221173817", "invalid"},
    {0, "+0190221173817", "invalid"}};
// clang-format on

TEST(FileNameTest, FieldsInEveryZone) {
    for (const char* zone : kTestZones) {
        ScopedTimeZone tz(zone);
        for (const FieldCase& c : kFieldCases)
            EXPECT_EQ(parsed(withField(c.field, c.text), c.field), c.parsed)
                << zone << " field " << c.field << " " << c.text;
    }
}

TEST(FileNameTest, EveryAlarmCodeHasTheAlarmBit) {
    const QStringList codes =
        QString(
            "SP GS TP A1 A2 A3 A4 A5 A6 A7 A8 BT RD AC DC TA TG IP TL TR CP B1 B2 B3 B4 B5 B6 B7 "
            "B8 FT DS ND SM CA PB CR SK OS SC RA RN SE GE RM YW AF NK L2 OT LT OR LR OD CD SA P1 "
            "P2 P3 P4 NB SG CG CO EF")
            .split(' ');
    ASSERT_EQ(codes.size(), 64);
    for (const QString& code : codes)
        EXPECT_EQ(parsed(withField(1, code), 1), "1") << qPrintable(code);
}

// A long name whose long last field leaves `fields` fields.
QString fewFields(int fields) {
    QStringList parts;
    for (int i = 0; i < fields - 1; ++i)
        parts << "0000020000";  // a valid size wherever it lands
    parts << QString(120, '1') + ".avi";
    return parts.join('_');
}

TEST(FileNameTest, LengthAndFieldCount) {
    const std::pair<QString, bool> cases[] = {{RecordingName().nameOfLength(107), false},
                                              {RecordingName().nameOfLength(108), true},
                                              {fewFields(9), false},
                                              {fewFields(10), true},
                                              {QString(130, 'a') + ".avi", false}};
    for (const auto& [name, listed] : cases)
        EXPECT_EQ(parsed(name, 3) != "-", listed) << qPrintable(name);
}

}  // namespace
