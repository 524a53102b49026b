#include "app/QtServices.h"

#include <QApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QProcess>

#include "app/HelpViewer.h"

namespace vx::app {

QString DisplayText(const std::string& text) {
    QString s = QString::fromStdString(text);
    s.replace("\r\n", "\n");
    s.replace('\r', '\n');
    return s;
}

MsgResult QtMessageService::Show(const Message& message) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (message.icon) {
        case MsgIcon::None:
            icon = QMessageBox::NoIcon;
            break;
        case MsgIcon::Information:
            icon = QMessageBox::Information;
            break;
        case MsgIcon::Exclamation:
            icon = QMessageBox::Warning;
            break;
        case MsgIcon::Critical:
            icon = QMessageBox::Critical;
            break;
        case MsgIcon::Question:
            icon = QMessageBox::Question;
            break;
    }
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    switch (message.buttons) {
        case MsgButtons::Ok:
            buttons = QMessageBox::Ok;
            break;
        case MsgButtons::OkCancel:
            buttons = QMessageBox::Ok | QMessageBox::Cancel;
            break;
        case MsgButtons::YesNo:
            buttons = QMessageBox::Yes | QMessageBox::No;
            break;
    }
    QMessageBox box(icon, QString::fromStdString(message.title), DisplayText(message.text),
                    buttons);
    box.setTextFormat(Qt::PlainText);
    switch (box.exec()) {
        case QMessageBox::Cancel:
            return MsgResult::Cancel;
        case QMessageBox::Yes:
            return MsgResult::Yes;
        case QMessageBox::No:
            return MsgResult::No;
        default:
            return MsgResult::Ok;
    }
}

QtPointerService::~QtPointerService() {
    if (waiting_ && qApp) {
        QGuiApplication::restoreOverrideCursor();
    }
}

void QtPointerService::SetPointer(Pointer pointer) {
    const bool wait = pointer == Pointer::Hourglass;
    if (wait == waiting_) {
        return;
    }
    if (wait) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QGuiApplication::restoreOverrideCursor();
    }
    waiting_ = wait;
}

void QtBeepService::Beep() {
    QApplication::beep();
}

bool NoRegistry::GetKeyValue(RegistryRoot, const std::string&, const std::string&,
                             std::string& value) {
    value.clear();
    return false;
}

bool LocalProgramLauncher::FileExists(const std::string& path) {
    return QFileInfo(QString::fromStdString(path)).isFile();
}

bool LocalProgramLauncher::Start(const std::string& program) {
    if (program.empty()) {
        return false;
    }
    return QProcess::startDetached(QString::fromStdString(program), {});
}

#ifndef Q_OS_WIN
PlatformServiceSet MakePlatformServices(MessageService& messages) {
    PlatformServiceSet s;
    s.registry = std::make_unique<NoRegistry>();
    s.launcher = std::make_unique<LocalProgramLauncher>();
    s.help = std::make_unique<ChmHelpService>(messages);
    return s;
}
#endif
// On Windows, MakePlatformServices is defined beside the Win32 registry reader, program
// launcher and HTML help viewer.

}  // namespace vx::app
