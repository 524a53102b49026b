#include "Main.h"

#include <QApplication>
#include <QSessionManager>

#include <QSettings>
#include "Form1.h"
#include "QtServices.h"

#include "Settings.h"

namespace vx::app {

bool Main(Form1& form) {
    form.Form_Load();
    if (form.Ended()) {
        return false;
    }
    form.show();
    // The drawing search embeds the folder tree into form.PicBrowse here, starting at
    // the file system's root (connected with the real folder tree).
    return !form.Ended();
}

int RunProgram(QApplication& app, const cad::ClassRegistry& classes) {
    QSettingsStore settings(OpenUserSettings());
    QtMessageService messages;
    QtPointerService pointer;
    QtBeepService beep;
    PlatformServiceSet platform = MakePlatformServices(messages);
    ShellServices services{messages,
                           pointer,
                           beep,
                           *platform.help,
                           *platform.registry,
                           *platform.launcher,
                           settings,
                           classes,
                           QApplication::applicationDirPath()};
    Form1 form(services);
    if (!Main(form)) {
        return 0;
    }
    // The system's shutdown or log-off closes the window like its close box, so that the
    // drawings are closed and the settings saved.
#if QT_CONFIG(sessionmanager)
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form,
                     [&form](QSessionManager&) { form.close(); });
#endif
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &form, [&form] { form.close(); });
    return app.exec();
}

}  // namespace vx::app
