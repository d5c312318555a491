#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QSettings>
#include <QTimer>

// Each case starts from an empty store of the application's identity.
class AppTest : public ::testing::Test {
protected:
    void SetUp() override {
        QCoreApplication::setOrganizationName("BRAVELO");
        QCoreApplication::setApplicationName("Ordavex");
        QSettings().clear();
    }
    static QStringList storedKeys() { return QSettings().allKeys(); }
    static QVariant stored(const QString& key) { return QSettings().value(key); }
};

// Answers every message box that opens while it lives with one button, and
// records "title|text" of each.
class MessageBoxAnswer {
public:
    explicit MessageBoxAnswer(QMessageBox::StandardButton button) {
        QObject::connect(&timer, &QTimer::timeout, [this, button] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            seen << box->windowTitle() + "|" + box->text();
            box->button(button)->click();
        });
        timer.start(5);
    }
    QStringList seen;

private:
    QTimer timer;
};
