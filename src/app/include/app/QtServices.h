// The window program's implementations of the user and platform services.
#pragma once

#include <QString>
#include <memory>

#include "app/PlatformServices.h"
#include "ui/UserServices.h"

class QWidget;

namespace vx::app {

// A modal QMessageBox with the message's icon, buttons, title and text.
class QtMessageService : public MessageService {
public:
    MsgResult Show(const Message& message) override;
};

// The hourglass as the application's override cursor.
class QtPointerService : public PointerService {
public:
    ~QtPointerService() override;
    void SetPointer(Pointer pointer) override;

private:
    bool waiting_ = false;
};

class QtBeepService : public BeepService {
public:
    void Beep() override;
};

// A system without the Windows registry: no value can be read.
class NoRegistry : public RegistryReader {
public:
    bool GetKeyValue(RegistryRoot root, const std::string& keyName, const std::string& valueName,
                     std::string& value) override;
};

// Starts programs as detached processes.
class LocalProgramLauncher : public ProgramLauncher {
public:
    bool FileExists(const std::string& path) override;
    bool Start(const std::string& program) override;
};

// The registry reader, program launcher and help viewer of this platform. On Windows the
// registry, the launcher and the system's HTML help viewer come from the Windows
// services; elsewhere there is no registry and help is shown by our own viewer.
struct PlatformServiceSet {
    std::unique_ptr<RegistryReader> registry;
    std::unique_ptr<ProgramLauncher> launcher;
    std::unique_ptr<HelpService> help;
};
PlatformServiceSet MakePlatformServices(MessageService& messages);

// Text for a message box or label: the CR LF line breaks of status texts as line breaks.
QString DisplayText(const std::string& text);

}  // namespace vx::app
