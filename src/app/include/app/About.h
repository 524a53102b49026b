// The About box: the program's title, version and description, and a button that
// starts the system information program.
#pragma once

#include <QDialog>
#include <string>

#include "app/PlatformServices.h"
#include "ui/UserServices.h"

class QLabel;
class QPushButton;

namespace vx::app {

struct AboutTexts {
    std::string caption;
    std::string title;
    std::string version;
    std::string description;
    std::string warning;
};

// The texts of the About box for a program title and version numbers.
AboutTexts MakeAboutTexts(const std::string& programTitle, int major, int minor, int revision);
// "1.0.02": the revision with at least two digits.
std::string VersionText(int major, int minor, int revision);

inline constexpr char kSysInfoUnavailable[] = "System Information Is Unavailable At This Time";

// Starts the system information program that the registry names: first the program of
// "SOFTWARE\Microsoft\Shared Tools\MSINFO" value "PATH"; else MSINFO32.EXE in the folder of
// "SOFTWARE\Microsoft\Shared Tools Location" value "MSINFO" when that file exists.
// When neither is found, or starting fails, shows the message that it is unavailable.
void StartSysInfo(RegistryReader& registry, ProgramLauncher& launcher, MessageService& messages,
                  const std::string& programTitle);

// The About window, modeless.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    frmAbout(RegistryReader& registry, ProgramLauncher& launcher, MessageService& messages,
             QWidget* parent = nullptr);

    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblDescription = nullptr;
    QLabel* lblWarning = nullptr;
    QLabel* Image1 = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdSysInfo = nullptr;

public slots:
    void cmdOK_Click();
    void cmdSysInfo_Click();

private:
    void Form_Load();

    RegistryReader& registry_;
    ProgramLauncher& launcher_;
    MessageService& messages_;
};

// The program's picture, drawn at the given size.
QPixmap ProgramPicture(int size);

}  // namespace vx::app
