// The window program `vormex` on a real X display (Xvfb): on this platform the built-in
// engine serves "AutoCAD.Application", so the main window shows and no could-not-start
// message appears.
#include <gtest/gtest.h>

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <map>

namespace {

std::map<QString, QString> Findings(const QByteArray& output) {
    std::map<QString, QString> found;
    for (const QByteArray& line : output.split('\n')) {
        const int eq = line.indexOf('=');
        if (eq > 0) {
            found[QString::fromUtf8(line.left(eq))] = QString::fromUtf8(line.mid(eq + 1)).trimmed();
        }
    }
    return found;
}

TEST(EngineWindowProgram, StartsOnTheEngineAndShowsItsWindow) {
    for (const char* tool : {"xvfb-run", "xdotool", "Xvfb"}) {
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
    run.start("xvfb-run",
              {"-a", "-s", "-screen 0 1280x1024x24", "sh", VORMEX_X_SCRIPT, VORMEX_EXE});
    ASSERT_TRUE(run.waitForStarted());
    ASSERT_TRUE(run.waitForFinished(100000)) << "the run did not end";
    const QByteArray out = run.readAllStandardOutput();
    const auto found = Findings(out);
    auto at = [&found](const char* key) {
        auto it = found.find(key);
        return it == found.end() ? QString("<none>") : it->second;
    };
    const std::string report =
        (out + "\n--- stderr ---\n" + run.readAllStandardError()).toStdString();
    EXPECT_EQ(at("mainwindows"), "1") << report;
    EXPECT_EQ(at("boxes"), "0") << report;
    EXPECT_EQ(at("running"), "1") << report;
}

}  // namespace
