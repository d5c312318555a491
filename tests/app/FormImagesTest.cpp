// Each form renders to a PNG in the build folder, and every image its style
// sheets name loads and is what its name says (ffprobe as the judge).
#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpression>
#include <memory>

#include "AppTest.h"
#include "Command.h"
#include "TempDir.h"
#include "app/CustomSaveDialog.h"
#include "app/SettingsWidget.h"
#include "app/SpeedSlider.h"
#include "app/VolumeSlider.h"

namespace {

QStringList namedImages(QWidget& form) {
    QStringList images;
    const QRegularExpression url(R"(url\((:/image/[^)]+)\))");
    QList<QWidget*> widgets = form.findChildren<QWidget*>() << &form;
    for (QWidget* w : widgets)
        for (auto it = url.globalMatch(w->styleSheet()); it.hasNext();)
            images << it.next().captured(1);
    images.sort();
    return images;
}

TEST(FormImagesTest, FormsRenderWithEveryNamedImage) {
    auto volume = std::make_unique<VolumeSlider>();
    child<QPushButton>(*volume, "pushButton_icon")->click();  // the muted look
    // clang-format off
    struct Form { const char* name; std::unique_ptr<QWidget> widget; QStringList images; } forms[] = {
        {"SpeedSlider", std::make_unique<SpeedSlider>(),
         {":/image/ThumbVer.bmp", ":/image/ThumbVer_active.bmp", ":/image/wnd_speed.jpg"}},
        {"VolumeSlider", std::move(volume), {":/image/btn_sound_close.jpg",
         ":/image/btn_sound_open.jpg", ":/image/mp_thumb.bmp", ":/image/mp_thumb_active.bmp"}},
        {"SettingsWidget", std::make_unique<SettingsWidget>(),
         {":/image/OpenFile1.jpg", ":/image/OpenFile2.JPG", ":/image/OpenFile3.JPG"}},
        {"CustomSaveDialog", std::make_unique<CustomSaveDialog>(QVector<QString>(12), 0), {}}};
    // clang-format on
    QDir().mkpath("screenshots");
    testsupport::TempDir copies;
    for (Form& form : forms) {
        EXPECT_EQ(namedImages(*form.widget), form.images) << form.name;
        form.widget->show();
        const QString png = QString("screenshots/%1.png").arg(form.name);
        ASSERT_TRUE(form.widget->grab().save(png));
        EXPECT_FALSE(QPixmap(png).isNull());
        for (const QString& image : form.images) {
            const QPixmap pixmap(image);
            ASSERT_FALSE(pixmap.isNull()) << image.toStdString();
            const std::string copy = copies.file(image.mid(8).toStdString());
            ASSERT_TRUE(QFile::copy(image, QString::fromStdString(copy)));
            const auto probe = testsupport::ffprobe(
                {"-show_entries", "stream=codec_name,width,height", "-of", "csv=p=0"}, copy);
            EXPECT_EQ(QString::fromStdString(probe.out).trimmed(),
                      QString("%1,%2,%3")
                          .arg(image.endsWith(".bmp") ? "bmp" : "mjpeg")
                          .arg(pixmap.width())
                          .arg(pixmap.height()));
        }
    }
}

}  // namespace
