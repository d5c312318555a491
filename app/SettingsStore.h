#pragma once

#include <QSettings>

// The application's settings store: QSettings with no arguments, so the
// organisation and application names that main sets choose the file; values
// are read and written as UTF-8.
class SettingsStore : public QSettings {
public:
    SettingsStore() { setIniCodec("utf-8"); }
};
