// Settings that cannot be saved are a failure with the file's name, never a silent loss.
#include <gtest/gtest.h>

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include "app/Settings.h"

namespace {

TEST(SettingsSave, AStoreThatCannotBeWrittenSaysSoWithItsFile) {
    QTemporaryDir dir;
    QFile blocker(dir.filePath("not-a-folder"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const struct {
        QString file;
        bool saved;
    } cases[] = {{dir.filePath("Vormex.conf"), true},
                 {dir.filePath("not-a-folder/Vormex.conf"), false}};
    for (const auto& c : cases) {
        vx::app::QSettingsStore store(std::make_unique<QSettings>(c.file, QSettings::IniFormat));
        store.Save("CadPrinter", "PDF.pc3");
        try {
            store.Flush();
            EXPECT_TRUE(c.saved) << c.file.toStdString();
            EXPECT_EQ(QSettings(c.file, QSettings::IniFormat).value("Settings/CadPrinter"),
                      "PDF.pc3");
        } catch (const std::runtime_error& e) {
            EXPECT_FALSE(c.saved) << e.what();
            EXPECT_NE(std::string(e.what()).find("not-a-folder/Vormex.conf"), std::string::npos);
        }
    }
}

}  // namespace
