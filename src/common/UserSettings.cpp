#include "common/UserSettings.h"

#include <QSettings>

namespace vx {

std::unique_ptr<QSettings> OpenUserSettings() {
#ifdef Q_OS_WIN
    return std::make_unique<QSettings>(
        QStringLiteral("HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Vormex"),
        QSettings::NativeFormat);
#else
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("Vormex"), QStringLiteral("Vormex"));
#endif
}

}  // namespace vx
