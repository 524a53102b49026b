// The window program `vormex` on a real X display (Xvfb): on this platform the built-in
// engine serves "AutoCAD.Application", so the main window shows and no could-not-start
// message appears.
#include <gtest/gtest.h>

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

TEST(EngineWindowProgram, StartsOnTheEngineAndShowsItsWindow) {
    for (const char* tool : {"Xvfb", "xdotool"}) {
        if (QStandardPaths::findExecutable(tool).isEmpty()) {
            GTEST_SKIP() << tool << " is not installed (scripts/install-deps --test)";
        }
    }
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QT_QPA_PLATFORM");
    env.remove("DISPLAY");
    env.insert("HOME", home.path());
    env.insert("XDG_CONFIG_HOME", home.filePath(".config"));
    env.insert("XDG_DATA_HOME", home.filePath(".local/share"));
    QProcess run;
    run.setProcessEnvironment(env);
    run.start("sh", {VORMEX_XVFB_EXEC, "sh", VORMEX_X_SCRIPT, VORMEX_EXE});
    ASSERT_TRUE(run.waitForStarted());
    ASSERT_TRUE(run.waitForFinished(100000)) << "the run did not end";
    // The script reports "key=value" lines.
    const QString out = QString::fromUtf8(run.readAllStandardOutput());
    const QStringList lines = out.split('\n', Qt::SkipEmptyParts);
    for (const char* finding : {"mainwindows=1", "boxes=0", "running=1"}) {
        EXPECT_TRUE(lines.contains(finding)) << finding << " not in:\n"
                                             << out.toStdString() << "--- stderr ---\n"
                                             << run.readAllStandardError().toStdString();
    }
}

}  // namespace
