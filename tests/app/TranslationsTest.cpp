// The compiled translations in the resource tree: each file holds exactly the
// translated messages (read back by Qt's own lconvert), QTranslator finds
// them, and every text the windows pass to tr() is one of them (lupdate over
// the sources), so a source text that drifts from the translations fails.
#include <gtest/gtest.h>

#include <QFile>
#include <QMap>
#include <QSet>
#include <QTranslator>
#include <QXmlStreamReader>
#include <iterator>

#include "Command.h"
#include "TempDir.h"
#include "TestData.h"
#include "resources/OrdavexResources.h"

namespace {

using Messages = QMap<QString, QSet<QString>>;  // context -> source texts

// What the Chinese, Japanese and Russian files carry: per context its count
// and its source texts, joined by "|".
const struct {
    const char* context;
    int count;
    const char* sources;
} kTables[] = {
    {"Widget", 22,
     "Ordavex Video PlayBack System |Open File|Map|Language|stop|forwards/pause|step|second play|"
     "previous page|next page|single window|four windows|eight windows|nine windows|"
     "twelve windows|full screen|snapshot|settings|Chinese|English|Japanese|Russian"},
    {"SettingsWidget", 22,
     "Seetings|Snapshot Path|Open map offset|Enable map track playback|channel1|channel2|"
     "channel3|channel4|channel5|channel6|channel7|channel8|Mirror|Google Map|Badidu Map|OS Map|"
     "Bing Map|OK|Cancel|ReStart|Restart Player to take it effect now?|"
     "Select snapshot directory of photo"},
    {"CustomSearchList", 16,
     "Date|Time|Duration|Channel|RecType|Path|StartTime|EndTime|CarNum|Manual|Alarm|Search|"
     "Backup|property|Open Directory|select back up path"},
    {"PropertyWidget", 9,
     "Property|File Type:|File Size:|Duration:|Bitrate:|Bitrate:    |Frame rate:|Resolution:|"
     "File Path:"},
    {"CopyFileS", 4, "save path error!|copy file failed!|Forced shutdown!|Thread has exited!"},
    {"CopyMessageDialog", 3, "Back up File|Cancel|copy succeed!"},
    {"SpeedSlider", 1, "play speed"},
};

QSet<QString> split(const char* joined) {
    const QStringList list = QString(joined).split('|');
    return QSet<QString>(list.begin(), list.end());
}

// Texts of the translated contexts that stay English in every language.
const Messages kUntranslated = {
    {"Widget",
     split("backwards/pause|SetCutPoint|DelCutPoint|SaveVideo|Save Video|Need more cut point")}};

// Sorted and joined, so a failure shows which texts differ.
std::string listed(const QSet<QString>& texts) {
    QStringList list = texts.values();
    list.sort();
    return list.join(" | ").toStdString();
}

QString qmPath(const QString& locale) {
    initOrdavexResources();
    return ":/language/translation_" + locale + ".qm";
}

Messages readTs(const std::string& path) {
    QFile file(QString::fromStdString(path));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path;
    QXmlStreamReader xml(&file);
    Messages out;
    QString context;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("name"))
            context = xml.readElementText();
        else if (xml.name() == QLatin1String("source"))
            out[context].insert(xml.readElementText());
    }
    EXPECT_FALSE(xml.hasError()) << path << ": " << xml.errorString().toStdString();
    return out;
}

// The messages a compiled file holds, as lconvert reads them back.
Messages messagesOf(const QString& locale) {
    testsupport::TempDir dir;
    const std::string qm = dir.file("t.qm"), ts = dir.file("t.ts");
    EXPECT_TRUE(QFile::copy(qmPath(locale), QString::fromStdString(qm)));
    EXPECT_EQ(testsupport::runCommand({ORDAVEX_LCONVERT, "-i", qm, "-of", "ts", "-o", ts}).exitCode,
              0);
    return readTs(ts);
}

class Translations : public ::testing::TestWithParam<const char*> {};

TEST_P(Translations, FileHoldsExactlyTheTranslatedMessages) {
    const QString locale = GetParam();
    const bool english = locale == "en_US";
    QTranslator translator;
    ASSERT_TRUE(translator.load(qmPath(locale)));
    EXPECT_EQ(translator.isEmpty(), english);
    const Messages held = messagesOf(locale);
    EXPECT_EQ(held.size(), english ? 0 : int(std::size(kTables)));
    for (const auto& t : kTables) {
        const QSet<QString> sources = split(t.sources);
        EXPECT_EQ(sources.size(), t.count) << "table of " << t.context;
        if (english)
            continue;
        EXPECT_EQ(listed(held.value(t.context)), listed(sources)) << t.context;
        for (const QString& source : sources)
            EXPECT_FALSE(translator.translate(t.context, qPrintable(source)).isEmpty())
                << GetParam() << " " << t.context << " " << source.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Languages, Translations,
                         ::testing::Values("zh_CN", "en_US", "ja_JP", "ru_RU"));

TEST(TranslationSamples, ReadBackThroughQTranslator) {
    // An empty result means the source text is shown.
    const struct {
        const char *locale, *context, *source, *text;
    } cases[] = {
        {"ja_JP", "Widget", "stop", "ストップ"},
        {"ja_JP", "Widget", "backwards/pause", ""},
        {"zh_CN", "Widget", "Map", "地图"},
        {"ru_RU", "Widget", "Russian", "Русский язык"},
        {"ru_RU", "Widget", "eight windows", "Восемь окон"},
        {"en_US", "Widget", "stop", ""},
        {"zh_CN", "PropertyWidget", "Bitrate:    ", "码率：    "},
        {"zh_CN", "PropertyWidget", "Bitrate:", "码率："},
        {"ru_RU", "SettingsWidget", "channel3", "Канал 3"},
        {"ru_RU", "CopyMessageDialog", "Cancel", "Отмена"},
        {"ja_JP", "SpeedSlider", "play speed", "再生速度"},
        {"ja_JP", "VolumeSlider", "Volume Control", ""},
    };
    for (const auto& c : cases) {
        QTranslator translator;
        ASSERT_TRUE(translator.load(qmPath(c.locale)));
        EXPECT_EQ(translator.translate(c.context, c.source), QString::fromUtf8(c.text))
            << c.locale << " " << c.context << " " << c.source;
    }
}

TEST(TranslationSources, EveryTextTheWindowsTranslateIsCarried) {
    const std::string root = testsupport::sourceDir();
    testsupport::TempDir dir;
    const std::string ts = dir.file("code.ts");
    ASSERT_EQ(
        testsupport::runCommand({ORDAVEX_LUPDATE, "-silent", "-no-obsolete", "-extensions", "cpp,h",
                                 "-I", root, root + "/app", root + "/browser", "-ts", ts})
            .exitCode,
        0);
    const Messages code = readTs(ts);
    for (const auto& t : kTables) {
        EXPECT_TRUE(t.context == QString("Widget") || code.contains(t.context)) << t.context;
        const QSet<QString> carried = split(t.sources) + kUntranslated.value(t.context);
        for (const QString& source : code.value(t.context))
            EXPECT_TRUE(carried.contains(source))
                << t.context << ": \"" << source.toStdString() << "\"";
    }
}

}  // namespace
