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
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

constexpr char kInfoKey[] = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO : PATH";
constexpr char kLocationKey[] = "SOFTWARE\\Microsoft\\Shared Tools Location : MSINFO";

TEST(AboutTexts, TitleVersionAndDescription) {
    const AboutTexts t = MakeAboutTexts("Vormex", 1, 0, 2);
    EXPECT_EQ(t.caption, "About Vormex");
    EXPECT_EQ(t.title.substr(0, t.title.find('\n')), "Vormex - AutoCAD Sheafrun Utility");
    EXPECT_NE(t.title.find('\n'), std::string::npos);
    EXPECT_GT(t.title.size(), t.title.find('\n') + 1);  // a legal notice on the second line
    EXPECT_EQ(t.version, "Version 1.0.02");
    EXPECT_EQ(t.description, "This application Opens and Prints Autocad Drawings in Batch Mode.");
    EXPECT_FALSE(t.warning.empty());
    EXPECT_EQ(VersionText(3, 12, 0), "3.12.00");
    EXPECT_EQ(VersionText(1, 0, 123), "1.0.123");
}

struct SysInfoTest : ::testing::Test {
    vx::testing::FakeRegistry registry;
    vx::testing::RecordingLauncher launcher;
    vx::testing::RecordingMessages messages;

    void Run() { StartSysInfo(registry, launcher, messages, "Vormex"); }
    void ExpectUnavailable() {
        ASSERT_EQ(messages.shown.size(), 1u);
        const Message& m = messages.shown[0];
        EXPECT_EQ(m.text, "System Information Is Unavailable At This Time");
        EXPECT_EQ(m.title, "Vormex");
        EXPECT_EQ(m.icon, MsgIcon::None);
        EXPECT_EQ(m.buttons, MsgButtons::Ok);
    }
};

TEST_F(SysInfoTest, NeitherValuePresentShowsTheMessageAndStartsNothing) {
    Run();
    ExpectUnavailable();
    EXPECT_THAT(registry.lookups,
                ElementsAre("HKLM\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO : PATH",
                            "HKLM\\SOFTWARE\\Microsoft\\Shared Tools Location : MSINFO"));
    EXPECT_THAT(launcher.calls, IsEmpty());
}

TEST_F(SysInfoTest, TheFirstValueIsStartedWithoutAFileCheck) {
    registry.values[kInfoKey] = "C:\\Program Files\\Common Files\\msinfo32.exe";
    Run();
    EXPECT_THAT(messages.shown, IsEmpty());
    EXPECT_THAT(launcher.calls,
                ElementsAre("Start(C:\\Program Files\\Common Files\\msinfo32.exe)"));
    EXPECT_EQ(registry.lookups.size(), 1u);
}

TEST_F(SysInfoTest, TheFirstValuePresentButItsStartFailingShowsTheMessage) {
    registry.values[kInfoKey] = "C:\\gone\\msinfo32.exe";
    registry.values[kLocationKey] = "C:\\Tools";
    launcher.files["C:\\Tools\\MSINFO32.EXE"] = true;
    launcher.startSucceeds = false;
    Run();
    ExpectUnavailable();
    EXPECT_THAT(launcher.calls, ElementsAre("Start(C:\\gone\\msinfo32.exe)"));
}

TEST_F(SysInfoTest, OnlyTheSecondValueWithoutTheFileShowsTheMessage) {
    registry.values[kLocationKey] = "C:\\Tools";
    Run();
    ExpectUnavailable();
    EXPECT_THAT(launcher.calls, ElementsAre("FileExists(C:\\Tools\\MSINFO32.EXE)"));
}

TEST_F(SysInfoTest, OnlyTheSecondValueWithTheFileStartsIt) {
    registry.values[kLocationKey] = "C:\\Tools";
    launcher.files["C:\\Tools\\MSINFO32.EXE"] = true;
    Run();
    EXPECT_THAT(messages.shown, IsEmpty());
    EXPECT_THAT(launcher.calls, ElementsAre("FileExists(C:\\Tools\\MSINFO32.EXE)",
                                            "Start(C:\\Tools\\MSINFO32.EXE)"));
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
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "System Information Is Unavailable At This Time");
    EXPECT_THAT(launcher.calls, IsEmpty());

    QPointer<frmAbout> alive(about);
    QTest::mouseClick(about->cmdOK, Qt::LeftButton);
    EXPECT_FALSE(about->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(alive.isNull());  // unloaded
}

}  // namespace
