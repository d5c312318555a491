// A language whose translation cannot be loaded leaves the one in force.
#include <QToolButton>

#include "AppTest.h"
#include "app/Widget.h"

// The resource macros name functions outside any namespace.
static void dropTranslations() {
    Q_CLEANUP_RESOURCE(language);
}
static void restoreTranslations() {
    Q_INIT_RESOURCE(language);
}

namespace {

TEST_F(AppTest, AFailedLanguageSwitchKeepsTheLanguageInForce) {
    QSettings().setValue("/Widget/Language", 2);
    QSettings().setValue("/SettingsWidget/MapType", 3);
    Widget window;
    const QToolButton* stop = child<QToolButton>(window, "toolButton_stop");
    ASSERT_EQ(stop->toolTip(), QString("ストップ"));

    dropTranslations();
    window.changeToRussian();
    restoreTranslations();
    EXPECT_EQ(stop->toolTip(), QString("ストップ"));
    EXPECT_EQ(QCoreApplication::translate("Widget", "stop"), QString("ストップ"));
    EXPECT_EQ(stored("/Widget/Language").toInt(), 2);

    window.changeToRussian();
    EXPECT_EQ(stop->toolTip(), QString("Остановить"));
    EXPECT_EQ(stored("/Widget/Language").toInt(), 3);
}

}  // namespace
