// The window program without a CAD back end, on a real X display (Xvfb): exactly one
// message box titled "Coult not start AutoCAD", then the program ends and the settings
// file has been written.
#include <gtest/gtest.h>
#include <QDir>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

TEST(WindowProgramOnX, WithoutABackEndShowsOneMessageAndEndsWithTheSettingsWritten) {
    for (const char* tool : {"Xvfb", "xdotool"}) {
        if (QStandardPaths::findExecutable(tool).isEmpty()) {
            GTEST_SKIP() << tool << " is not installed (scripts/install-deps --test)";
        }
    }
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QT_QPA_PLATFORM");  // the real X display
    env.remove("DISPLAY");
    env.insert("HOME", home.path());
    env.insert("XDG_CONFIG_HOME", home.filePath(".config"));
    QProcess run;
    run.setProcessEnvironment(env);
    run.start("sh", {VORMEX_XVFB_EXEC, "sh", VORMEX_X_SCRIPT, VORMEX_NOBACKEND_EXE});
    ASSERT_TRUE(run.waitForStarted());
    ASSERT_TRUE(run.waitForFinished(100000)) << "the run did not end";
    const QByteArray out = run.readAllStandardOutput();
    // The script reports key=value lines; these are the ones that matter.
    QStringList seen;
    for (const QByteArray& line : out.split('\n')) {
        for (const char* key : {"boxes=", "mainwindows=", "laterboxes=", "ended=", "exit="}) {
            if (line.startsWith(key)) {
                seen << QString::fromUtf8(line).trimmed();
            }
        }
    }
    EXPECT_EQ(seen.join(' '), "boxes=1 mainwindows=0 laterboxes=0 ended=1 exit=0")
        << (out + "\n--- stderr ---\n" + run.readAllStandardError()).toStdString();

    // The settings file is where the program keeps it (the values: the start-up test).
    const QSettings s(home.filePath(".config/Vormex/Vormex.conf"), QSettings::IniFormat);
    EXPECT_EQ(s.value("Settings/CadPrinter").toString(), "0");
}

}  // namespace
