// The About box's texts and the system information lookup.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "ShellHarness.h"
#include "app/About.h"
#include "app/QtServices.h"

using namespace vx;
using namespace vx::app;

namespace {

// The system information program: the first registry value is started as it stands; the
// second names a folder that must hold MSINFO32.EXE. Any other outcome is one message.
TEST(SysInfo, TriesTheTwoRegistryValuesInTurn) {
    const std::string gone = "C:\\gone\\msinfo32.exe";
    const std::string tools = "C:\\Tools\\MSINFO32.EXE";
    const QStringList unavailable = {"Vormex||System Information Is Unavailable At This Time"};
    struct Case {
        const char* info;  // the first value, or nullptr
        bool fileThere;
        bool startSucceeds;
        std::vector<std::string> calls;
        QStringList shown;
    };
    const std::vector<Case> cases = {
        {gone.c_str(), true, false, {"Start(" + gone + ")"}, unavailable},
        {nullptr, false, true, {"FileExists(" + tools + ")"}, unavailable},
        {nullptr, true, true, {"FileExists(" + tools + ")", "Start(" + tools + ")"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.calls));
        vx::testing::FakeRegistry registry;
        vx::testing::RecordingLauncher launcher;
        vx::testing::RecordingMessages messages;
        if (c.info) {
            registry.values["SOFTWARE\\Microsoft\\Shared Tools\\MSINFO : PATH"] = c.info;
        }
        registry.values["SOFTWARE\\Microsoft\\Shared Tools Location : MSINFO"] = "C:\\Tools";
        if (c.fileThere) {
            launcher.files[tools] = true;
        }
        launcher.startSucceeds = c.startSucceeds;
        StartSysInfo(registry, launcher, messages, "Vormex");
        EXPECT_EQ(launcher.calls, c.calls);
        EXPECT_EQ(vx::testing::Shown(messages), c.shown);
    }
}

TEST(AboutWindow, ShowsItsTextsAndItsButtonsWork) {
    NoRegistry registry;  // what the program uses off Windows
    vx::testing::RecordingLauncher launcher;
    vx::testing::RecordingMessages messages;
    auto* about = new frmAbout(registry, launcher, messages);
    about->show();
    EXPECT_EQ(about->windowTitle(), "About Vormex");
    EXPECT_EQ(about->lblVersion->text(), "Version 1.0.02");
    EXPECT_TRUE(about->lblTitle->text().startsWith("Vormex - AutoCAD Sheafrun Utility\n"));
    EXPECT_EQ(about->lblDescription->text(),
              "This application Opens and Prints Autocad Drawings in Batch Mode.");
    EXPECT_EQ(about->cmdOK->text(), "OK");
    EXPECT_EQ(about->cmdSysInfo->text(), "&System Info...");
    EXPECT_FALSE(about->Image1->pixmap().isNull());

    QTest::mouseClick(about->cmdSysInfo, Qt::LeftButton);
    EXPECT_EQ(vx::testing::Shown(messages),
              QStringList({"Vormex||System Information Is Unavailable At This Time"}));

    QPointer<frmAbout> alive(about);
    QTest::mouseClick(about->cmdOK, Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(alive.isNull());  // unloaded
}

}  // namespace
