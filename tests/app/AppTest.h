#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QSettings>
#include <QTimer>

// Before the application object: the main window's map view (WebEngine)
// wants shared GL contexts, and Mesa under Xvfb is no GPU.
inline const bool kWebEngineSetUp = [] {
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    return true;
}();

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

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

template <typename T>
T* child(const QObject& parent, const QString& name) {
    return parent.findChild<T*>(name);
}

// While it lives, answers every message box with button and keeps "title|text" of each.
struct MessageBoxAnswer {
    explicit MessageBoxAnswer(QMessageBox::StandardButton button) {
        QObject::connect(&timer, &QTimer::timeout, [this, button] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                seen << box->windowTitle() + "|" + box->text();
                box->button(button)->click();
            }
        });
        timer.start(5);
    }
    QStringList seen;
    QTimer timer;
};
