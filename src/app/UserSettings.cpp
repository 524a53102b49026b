// The user's settings store, apart from the window's settings: the back ends read it too.
#include <QSettings>

#include "Settings.h"

namespace vx::app {

std::unique_ptr<QSettings> OpenUserSettings() {
#ifdef Q_OS_WIN
    return std::make_unique<QSettings>(
        QStringLiteral("HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Vormex"),
        QSettings::NativeFormat);
#else
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QString(kProgramTitle), QString(kProgramTitle));
#endif
}

}  // namespace vx::app
