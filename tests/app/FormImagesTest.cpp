// Each form renders, and every image its style sheets name is in the resource
// tree, decodes, and is what its name says (ffprobe as the judge).
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpression>
#include <memory>

#include "Command.h"
#include "TempDir.h"
#include "app/CustomSaveDialog.h"
#include "app/SettingsWidget.h"
#include "app/SpeedSlider.h"
#include "app/VolumeSlider.h"

namespace {

QStringList namedImages(QWidget& form) {
    QStringList images;
    QList<QWidget*> widgets = form.findChildren<QWidget*>();
    widgets.prepend(&form);
    const QRegularExpression url(R"(url\((:/image/[^)]+)\))");
    for (QWidget* w : widgets)
        for (auto it = url.globalMatch(w->styleSheet()); it.hasNext();)
            images << it.next().captured(1);
    images.sort();
    images.removeDuplicates();
    return images;
}

TEST(FormImagesTest, FormsRenderWithEveryNamedImage) {
    struct Form {
        const char* name;
        std::unique_ptr<QWidget> widget;
        QStringList images;
    } forms[] = {
        {"SpeedSlider",
         std::make_unique<SpeedSlider>(),
         {":/image/ThumbVer.bmp", ":/image/ThumbVer_active.bmp", ":/image/wnd_speed.jpg"}},
        {"VolumeSlider",
         std::make_unique<VolumeSlider>(),
         {":/image/btn_sound_close.jpg", ":/image/btn_sound_open.jpg", ":/image/mp_thumb.bmp",
          ":/image/mp_thumb_active.bmp"}},
        {"SettingsWidget",
         std::make_unique<SettingsWidget>(),
         {":/image/OpenFile1.jpg", ":/image/OpenFile2.JPG", ":/image/OpenFile3.JPG"}},
        {"CustomSaveDialog", std::make_unique<CustomSaveDialog>(QVector<QString>(12), 0), {}},
    };
    const QString shots = QDir::currentPath() + "/screenshots";
    QDir().mkpath(shots);
    testsupport::TempDir copies;
    for (Form& form : forms) {
        SCOPED_TRACE(form.name);
        EXPECT_EQ(namedImages(*form.widget), form.images);
        form.widget->show();
        const QString png = shots + "/" + form.name + ".png";
        ASSERT_TRUE(form.widget->grab().save(png));
        EXPECT_FALSE(QPixmap(png).isNull());
        for (const QString& image : form.images) {
            const QPixmap pixmap(image);
            ASSERT_FALSE(pixmap.isNull()) << image.toStdString();
            const std::string copy = copies.file(QFileInfo(image).fileName().toStdString());
            ASSERT_TRUE(QFile::copy(image, QString::fromStdString(copy)));
            const auto probe = testsupport::ffprobe(
                {"-show_entries", "stream=codec_name,width,height", "-of", "csv=p=0"}, copy);
            const QString codec = image.endsWith(".bmp") ? "bmp" : "mjpeg";
            EXPECT_EQ(QString::fromStdString(probe.out).trimmed(),
                      QString("%1,%2,%3").arg(codec).arg(pixmap.width()).arg(pixmap.height()));
        }
    }
    // The mute button's checked look.
    auto* mute = forms[1].widget->findChild<QPushButton*>("pushButton_icon");
    mute->click();
    EXPECT_TRUE(forms[1].widget->grab().save(shots + "/VolumeSlider-muted.png"));
}

}  // namespace
