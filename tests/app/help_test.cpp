// The built help file and the help viewer.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "ShellHarness.h"
#include "app/ChmFile.h"
#include "app/HelpViewer.h"
#include "app/Main.h"

using namespace vx;
using namespace vx::app;
using ::testing::IsEmpty;

namespace {

const std::string kHelpFile = std::string(VORMEX_PROGRAM_DIR) + "/help.chm";

std::string Text(const std::vector<std::uint8_t>& bytes) {
    return {bytes.begin(), bytes.end()};
}

TEST(HelpFile, HoldsEveryPageOfTheHelpFolderAndItsDefaultTopic) {
    auto chm = ChmFile::Open(kHelpFile);
    ASSERT_TRUE(chm) << kHelpFile;
    EXPECT_EQ(chm->DefaultTopic(), "/index.html");
    EXPECT_EQ(chm->Title(), "Vormex Help");
    const QDir pages(QString(VORMEX_SOURCE_DIR) + "/docs/help");
    const QStringList names = pages.entryList({"*.html", "*.css"}, QDir::Files);
    ASSERT_GE(names.size(), 6);
    for (const QString& name : names) {
        QFile source(pages.filePath(name));
        ASSERT_TRUE(source.open(QIODevice::ReadOnly));
        auto stored = chm->Read("/" + name.toStdString());
        ASSERT_TRUE(stored) << name.toStdString();
        EXPECT_EQ(Text(*stored), source.readAll().toStdString()) << name.toStdString();
    }
    // Letter case is ignored, a missing leading slash is added, unknown paths are absent.
    EXPECT_TRUE(chm->Read("INDEX.HTML"));
    EXPECT_FALSE(chm->Read("/nothere.html"));
    EXPECT_FALSE(chm->Read(""));
}

TEST(HelpFile, AMissingOrForeignFileDoesNotOpen) {
    QTemporaryDir dir;
    EXPECT_FALSE(ChmFile::Open(dir.filePath("help.chm").toStdString()));
    for (const QByteArray& content : {QByteArray(4096, 'x'), QByteArray()}) {
        QFile file(dir.filePath("foreign.chm"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
        file.close();
        EXPECT_FALSE(ChmFile::Open(file.fileName().toStdString())) << content.size();
    }
}

struct ViewerTest : ::testing::Test {
    vx::testing::RecordingMessages messages;
    ChmHelpService help{messages};
};

TEST_F(ViewerTest, ShowsTheDefaultTopicAndFollowsLinksInsideTheFile) {
    help.DisplayTopic(0, kHelpFile);
    ASSERT_EQ(help.Windows().size(), 1u);
    HelpWindow* w = help.Windows().front();
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->windowTitle(), "Vormex Help");
    EXPECT_TRUE(w->Browser()->toPlainText().contains("Vormex plots many CAD drawings"));
    // A link of the page, as a click follows it: resolved against the page's address.
    w->Browser()->setSource(QUrl("folders.html"));
    EXPECT_TRUE(w->Browser()->toPlainText().contains("Include Sub Directories"));
    EXPECT_TRUE(w->Browser()->isBackwardAvailable());
    // A page the file does not hold leaves nothing to show, and nothing breaks.
    EXPECT_FALSE(w->Browser()
                     ->loadResource(QTextDocument::HtmlResource, QUrl("chm:///nothere.html"))
                     .isValid());
    EXPECT_FALSE(w->Browser()
                     ->loadResource(QTextDocument::HtmlResource, QUrl("file:///etc/hostname"))
                     .isValid());
    EXPECT_THAT(messages.shown, IsEmpty());
}

TEST_F(ViewerTest, TheSameFileAgainReusesItsWindowAndCloseAllClosesEveryWindow) {
    help.DisplayTopic(0, kHelpFile);
    help.Windows().front()->Browser()->setSource(QUrl("list.html"));
    help.DisplayTopic(0, kHelpFile);
    ASSERT_EQ(help.Windows().size(), 1u);
    EXPECT_EQ(help.Windows().front()->Browser()->source().path(), "/index.html");
    EXPECT_TRUE(help.Windows().front()->Browser()->toPlainText().contains("Vormex plots many"));
    QPointer<HelpWindow> w = help.Windows().front();
    help.CloseAll();
    EXPECT_TRUE(w.isNull() || !w->isVisible());
    EXPECT_TRUE(help.Windows().empty());
}

TEST_F(ViewerTest, AMissingHelpFileGivesTheViewersOwnMessageAndNoWindow) {
    QTemporaryDir dir;
    const std::string missing = dir.filePath("help.chm").toStdString();
    help.DisplayTopic(0, missing);
    EXPECT_TRUE(help.Windows().empty());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].title + "|" + messages.shown[0].text,
              "Vormex Help|Cannot open the help file:\r\n" + missing);
}

TEST(HelpFromTheWindow, TheHelpMenuOpensTheFileBesideTheProgramAndCloseClosesIt) {
    vx::testing::ShellHarness h;
    h.programFolder = VORMEX_PROGRAM_DIR;
    ChmHelpService viewer(h.messages);
    h.cad.Devices({"None"});
    h.cad.RegisterIn(h.classes);
    ShellServices services{h.messages, h.pointer,          h.beep,    viewer,         h.registry,
                           h.launcher, h.settings.Store(), h.classes, h.programFolder};
    Form1 f(services);
    ASSERT_TRUE(Main(f));
    f.HelpMain->trigger();
    ASSERT_EQ(viewer.Windows().size(), 1u);
    QPointer<HelpWindow> w = viewer.Windows().front();
    EXPECT_EQ(w->parentWidget(), &f);
    EXPECT_TRUE(w->isVisible());
    f.close();
    EXPECT_TRUE(w.isNull() || !w->isVisible());
    EXPECT_THAT(h.messages.shown, IsEmpty());
}

}  // namespace
