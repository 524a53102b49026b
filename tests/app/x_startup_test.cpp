// The window program without a CAD back end, on a real X display (Xvfb): exactly one
// message box titled "Coult not start AutoCAD", then the program ends and the settings
// file has been written.
#include <gtest/gtest.h>
#include <QDir>
#include <QProcess>
#include <QSettings>
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

TEST(WindowProgramOnX, WithoutABackEndShowsOneMessageAndEndsWithTheSettingsWritten) {
    for (const char* tool : {"xvfb-run", "xdotool", "Xvfb"}) {
        if (QStandardPaths::findExecutable(tool).isEmpty()) {
            GTEST_SKIP() << tool << " is not installed (scripts/install-deps --test)";
        }
    }
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QT_QPA_PLATFORM");  // the real X display
    env.remove("DISPLAY");
    env.insert("HOME", home.path());
    env.insert("XDG_CONFIG_HOME", home.filePath(".config"));
    QProcess run;
    run.setProcessEnvironment(env);
    run.setProcessChannelMode(QProcess::SeparateChannels);
    run.start("xvfb-run",
              {"-a", "-s", "-screen 0 1280x1024x24", "sh", VORMEX_X_SCRIPT, VORMEX_NOBACKEND_EXE});
    ASSERT_TRUE(run.waitForStarted());
    ASSERT_TRUE(run.waitForFinished(100000)) << "the run did not end";
    const QByteArray out = run.readAllStandardOutput();
    const QByteArray err = run.readAllStandardError();
    const auto found = Findings(out);
    auto at = [&found](const char* key) {
        auto it = found.find(key);
        return it == found.end() ? QString("<none>") : it->second;
    };
    const std::string report = (out + "\n--- stderr ---\n" + err).toStdString();
    EXPECT_EQ(at("boxes"), "1") << report;
    EXPECT_EQ(at("mainwindows"), "0") << report;
    EXPECT_EQ(at("laterboxes"), "0") << report;
    EXPECT_EQ(at("ended"), "1") << report;
    EXPECT_EQ(at("exit"), "0") << report;

    const QString file = home.filePath(".config/Vormex/Vormex.conf");
    ASSERT_TRUE(QFile::exists(file)) << report;
    QSettings s(file, QSettings::IniFormat);
    EXPECT_EQ(s.value("Settings/MainLeft").toString(), "1000");
    EXPECT_EQ(s.value("Settings/MainTop").toString(), "1000");
    EXPECT_EQ(s.value("Settings/CadPaper").toString(), "0");
    EXPECT_EQ(s.value("Settings/CadPrinter").toString(), "0");
    EXPECT_EQ(s.value("Settings/CadCTB").toString(), "0");
}

}  // namespace
