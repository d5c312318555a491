// The shared name rules the engine and the clip cutter use: the start time
// of a path and clip names, in several time zones.
#include <gtest/gtest.h>

#include "TimeZone.h"
#include "engine/RecordingName.h"

namespace {

const QString kReference =
    "20190221173817_NM_0035719_0001085396_1920_1080_25_04194304_0006666666666666_01_1711280006_"
    "00_642_0000000_V02_000_E08_0.avi";
const QString kTail = "_NM_0035719_0001085396_1920_1080_25_04194304_0006666666666666_01_x.avi";

QString text(const QDateTime& start) {
    return start.isValid() ? start.toString("yyyy-MM-dd HH:mm:ss") : "invalid";
}

TEST(RecordingNameTest, StartOfAPath) {
    const std::pair<QString, const char*> cases[] = {
        {"/rec/a_b/" + kReference, "2019-02-21 17:38:17"},
        {"C:\\rec\\x_y\\20230102030405" + kTail, "2023-01-02 03:04:05"},
        {"D:\\rec/mixed\\20230102030405", "2023-01-02 03:04:05"},
        {"/rec/20190331023000" + kTail, "2019-03-31 02:30:00"},  // skipped in Berlin
        {"/rec/+0190221173817" + kTail, "invalid"},
        {"/rec/2019022117381" + kTail, "invalid"},
        {"/rec/20190221173817x" + kTail, "invalid"},
        {"", "invalid"}};
    for (const char* zone : kTestZones) {
        ScopedTimeZone tz(zone);
        for (const auto& [path, start] : cases)
            EXPECT_EQ(text(RecordingName::StartOf(path)), start) << zone << qPrintable(path);
    }
}

struct ClipCase {
    QString source;
    qint64 beginMs;
    qint64 lengthMs;
    qint64 size;
    QString clip;
};

TEST(RecordingNameTest, ClipNames) {
    const QString rest = "_1920_1080_25_04194304_0006666666666666_01_x.avi";
    const ClipCase cases[] = {
        // 65 s to 95 s: start plus 1 min 5 s, the length padded to 7 digits.
        {kReference, 65000, 30000, 0,
         "20190221173922_NM_0030000_0000000000_1920_1080_25_04194304_0006666666666666_01_"
         "1711280006_00_642_0000000_V02_000_E08_0.avi"},
        {"20190221173817" + kTail, 999, 10000000, 1085396,
         "20190221173817_NM_10000000_0001085396" + rest},
        {"20191231235959" + kTail, 1000, 12345, 12345678901,
         "20200101000000_NM_0012345_12345678901" + rest},
        // Wall-clock arithmetic: across the hour that Berlin and New York skip.
        {"20190331013000" + kTail, 3600000, 1, 0, "20190331023000_NM_0000001_0000000000" + rest},
        {"20190310013000" + kTail, 3600000, 1, 0, "20190310023000_NM_0000001_0000000000" + rest},
        {"20191027020000" + kTail, 3600000, 1, 0, "20191027030000_NM_0000001_0000000000" + rest},
        // No start to move: field 0 is kept; too few fields: no name.
        {"20191321173817" + kTail, 5000, 1, 0, "20191321173817_NM_0000001_0000000000" + rest},
        {"a_b_c", 0, 1, 0, ""}};
    for (const char* zone : kTestZones) {
        ScopedTimeZone tz(zone);
        for (const ClipCase& c : cases)
            EXPECT_EQ(RecordingName::ClipName(c.source, c.beginMs, c.lengthMs, c.size), c.clip)
                << zone << qPrintable(c.source);
    }
    EXPECT_EQ(RecordingName::WithLengthAndSize("/a_b/c_d_e_f_g", 30000, 1085396),
              "/a_b/c_d_0030000_0001085396_g");
    EXPECT_EQ(RecordingName::ClipName("/a_b/" + kReference, 0, 1, 2).left(15), "20190221173817_");
    EXPECT_EQ(RecordingName::WithLengthAndSize("a_b_c", 1, 1), "");
}

}  // namespace
