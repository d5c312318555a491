// Names as bytes: every byte string survives decoding and encoding.
#include <gtest/gtest.h>

#include <QFile>
#include <QRandomGenerator>
#include "engine/FileNameCodec.h"

namespace {

class FileNameCodecTest : public ::testing::Test {
protected:
    void SetUp() override { FileNameCodec::Install(); }
};

TEST_F(FileNameCodecTest, EveryByteStringComesBackAsItWas) {
    const QByteArray rows[] = {
        "caf\xe9",            // Latin-1
        "\xc3\xa9t\xc3\xa9",  // UTF-8 "été"
        "\xed\xb3\xa9",       // a surrogate written as UTF-8: not valid
        "\xc0\xaf",           // overlong "/"
        "\xf4\x90\x80\x80",   // beyond U+10FFFF
        "\xe2\x82",           // cut short at the end
        "\xf0\x9f\x98\x80",   // outside the basic plane
        "\x80\xbf\xfe\xff",
    };
    for (const QByteArray& bytes : rows)
        EXPECT_EQ(QFile::encodeName(QFile::decodeName(bytes)), bytes) << bytes.toHex().data();
    QRandomGenerator random(7);
    for (int n = 0; n < 2000; ++n) {
        QByteArray bytes(int(random.bounded(12)) + 1, '\0');
        for (char& c : bytes)
            c = char(random.bounded(1, 256));
        ASSERT_EQ(QFile::encodeName(QFile::decodeName(bytes)), bytes) << bytes.toHex().data();
    }
}

TEST_F(FileNameCodecTest, ValidUtf8ReadsAsUtf8AndRawBytesShowAsReplacement) {
    const QByteArray text = "\xc3\xa9t\xc3\xa9 \xf0\x9f\x98\x80 /a_b.avi";
    EXPECT_EQ(QFile::decodeName(text), QString::fromUtf8(text));
    EXPECT_EQ(QString::fromUtf8(text).toLocal8Bit(), text);
    EXPECT_FALSE(FileNameCodec::HasRawBytes(QFile::decodeName(text)));
    const QString latin = QFile::decodeName("/caf\xe9/x.avi");
    EXPECT_TRUE(FileNameCodec::HasRawBytes(latin));
    EXPECT_EQ(FileNameCodec::Displayed(latin), QString::fromUtf8("/caf\xef\xbf\xbd/x.avi"));
}

}  // namespace
