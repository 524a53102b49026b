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
using ::testing::IsEmpty;

namespace {

constexpr char kInfoKey[] = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO : PATH";
constexpr char kLocationKey[] = "SOFTWARE\\Microsoft\\Shared Tools Location : MSINFO";

// Caption, title, version and description as shown: the About window's test.
TEST(AboutTexts, ALegalNoticeAndAWarningAndTheVersionsDigits) {
    const AboutTexts t = MakeAboutTexts("Vormex", 1, 0, 2);
    EXPECT_NE(t.title.find('\n'), std::string::npos);
    EXPECT_GT(t.title.size(), t.title.find('\n') + 1);  // a legal notice on the second line
    EXPECT_FALSE(t.warning.empty());
    EXPECT_EQ(VersionText(3, 12, 0), "3.12.00");
    EXPECT_EQ(VersionText(1, 0, 123), "1.0.123");
}

// The system information program: the first registry value is started as it stands; the
// second names a folder that must hold MSINFO32.EXE. Any other outcome is one message.
TEST(SysInfo, TriesTheTwoRegistryValuesInTurn) {
    const std::string gone = "C:\\gone\\msinfo32.exe";
    const std::string tools = "C:\\Tools\\MSINFO32.EXE";
    const std::string first = std::string("HKLM\\") + kInfoKey;
    const std::string second = std::string("HKLM\\") + kLocationKey;
    const QStringList unavailable = {"Vormex||System Information Is Unavailable At This Time"};
    struct Case {
        const char* info;  // the first value, or nullptr
        bool location;     // the second value names C:\Tools
        bool fileThere;
        bool startSucceeds;
        std::vector<std::string> calls;
        QStringList shown;
    };
    const std::vector<Case> cases = {
        {nullptr, false, false, true, {}, unavailable},
        {gone.c_str(), true, true, true, {"Start(" + gone + ")"}, {}},
        {gone.c_str(), true, true, false, {"Start(" + gone + ")"}, unavailable},
        {nullptr, true, false, true, {"FileExists(" + tools + ")"}, unavailable},
        {nullptr, true, true, true, {"FileExists(" + tools + ")", "Start(" + tools + ")"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.calls));
        vx::testing::FakeRegistry registry;
        vx::testing::RecordingLauncher launcher;
        vx::testing::RecordingMessages messages;
        if (c.info) {
            registry.values[kInfoKey] = c.info;
        }
        if (c.location) {
            registry.values[kLocationKey] = "C:\\Tools";
        }
        if (c.fileThere) {
            launcher.files[tools] = true;
        }
        launcher.startSucceeds = c.startSucceeds;
        StartSysInfo(registry, launcher, messages, "Vormex");
        EXPECT_EQ(launcher.calls, c.calls);
        // The second value is read only when the first is missing.
        const std::vector<std::string> lookups =
            c.info ? std::vector{first} : std::vector{first, second};
        EXPECT_EQ(registry.lookups, lookups);
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
    EXPECT_FALSE(about->isModal());

    QTest::mouseClick(about->cmdSysInfo, Qt::LeftButton);
    EXPECT_EQ(vx::testing::Shown(messages),
              QStringList({"Vormex||System Information Is Unavailable At This Time"}));
    EXPECT_THAT(launcher.calls, IsEmpty());

    QPointer<frmAbout> alive(about);
    QTest::mouseClick(about->cmdOK, Qt::LeftButton);
    EXPECT_FALSE(about->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(alive.isNull());  // unloaded
}

}  // namespace
