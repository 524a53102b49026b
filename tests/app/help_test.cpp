// The built help file and the help viewer.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "ShellHarness.h"
#include "app/ChmFile.h"
#include "app/HelpViewer.h"

using namespace vx;
using namespace vx::app;
using ::testing::IsEmpty;

namespace {

const std::string kHelpFile = std::string(VORMEX_PROGRAM_DIR) + "/help.chm";

TEST(HelpFile, HoldsEveryPageOfTheHelpFolderAndForeignFilesDoNotOpen) {
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
        EXPECT_EQ(std::string(stored->begin(), stored->end()), source.readAll().toStdString());
    }
    // Letter case is ignored and a missing leading slash is added.
    EXPECT_TRUE(chm->Read("INDEX.HTML"));

    QTemporaryDir dir;
    QFile file(dir.filePath("foreign.chm"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'x'));
    file.close();
    EXPECT_FALSE(ChmFile::Open(file.fileName().toStdString()));
}

struct ViewerTest : ::testing::Test {
    vx::testing::RecordingMessages messages;
    ChmHelpService help{messages};
};

TEST_F(ViewerTest, ShowsTheDefaultTopicFollowsLinksInsideTheFileAndReusesItsWindow) {
    help.DisplayTopic(0, kHelpFile);
    ASSERT_EQ(help.Windows().size(), 1u);
    HelpWindow* w = help.Windows().front();
    EXPECT_EQ(w->windowTitle(), "Vormex Help");
    // A link of the page, as a click follows it: resolved against the page's address.
    w->Browser()->setSource(QUrl("folders.html"));
    EXPECT_TRUE(w->Browser()->toPlainText().contains("Include Sub Directories"));
    // Only pages inside the file load.
    EXPECT_FALSE(w->Browser()
                     ->loadResource(QTextDocument::HtmlResource, QUrl("file:///etc/hostname"))
                     .isValid());
    help.DisplayTopic(0, kHelpFile);
    ASSERT_EQ(help.Windows().size(), 1u);
    EXPECT_TRUE(help.Windows().front()->Browser()->toPlainText().contains("Vormex plots many"));
    EXPECT_THAT(messages.shown, IsEmpty());
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

}  // namespace
