#pragma once

#include <QSettings>

// The program's per-user settings (a normal user may always write them). Every layer that
// keeps a setting opens them here, so that all settings live in one file.
inline QSettings settingsStore() {
    return QSettings(QSettings::UserScope, QStringLiteral("QL350"), QStringLiteral("QL350"));
}
