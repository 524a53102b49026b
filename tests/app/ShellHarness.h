// Recorders of the shell's services and a harness that builds the main window on them,
// with a settings file in a temporary folder and the CAD test double.
#pragma once

#include <QDir>
#include <QEvent>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "../cad/Recorders.h"
#include "FakeCad.h"
#include "app/Form1.h"
#include "app/PlatformServices.h"
#include "app/Settings.h"

// Readable failure messages for Qt's texts.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace vx::testing {

// Counts the times a widget was shown.
class ShowCount : public QObject {
public:
    explicit ShowCount(QObject& watched) { watched.installEventFilter(this); }
    int shows = 0;

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        shows += e->type() == QEvent::Show;
        return false;
    }
};

class RecordingPointer : public PointerService {
public:
    void SetPointer(Pointer p) override { pointers.push_back(p); }
    std::vector<Pointer> pointers;
};

class RecordingBeep : public BeepService {
public:
    void Beep() override { ++beeps; }
    int beeps = 0;
};

class RecordingHelp : public app::HelpService {
public:
    void DisplayTopic(std::uintptr_t, const std::string& file) override {
        calls.push_back("DisplayTopic(" + file + ")");
    }
    void CloseAll() override { calls.push_back("CloseAll()"); }
    std::vector<std::string> calls;
};

// A registry holding the values it was given; every lookup is recorded.
class FakeRegistry : public app::RegistryReader {
public:
    bool GetKeyValue(app::RegistryRoot root, const std::string& key, const std::string& name,
                     std::string& value) override {
        lookups.push_back(
            std::string(root == app::RegistryRoot::LocalMachine ? "HKLM\\" : "HKCU\\") + key +
            " : " + name);
        auto it = values.find(key + " : " + name);
        if (it == values.end()) {
            value.clear();
            return false;
        }
        value = it->second;
        return true;
    }
    std::map<std::string, std::string> values;
    std::vector<std::string> lookups;
};

class RecordingLauncher : public app::ProgramLauncher {
public:
    bool FileExists(const std::string& path) override {
        calls.push_back("FileExists(" + path + ")");
        return files.count(path) > 0;
    }
    bool Start(const std::string& program) override {
        calls.push_back("Start(" + program + ")");
        return startSucceeds;
    }
    std::map<std::string, bool> files;
    bool startSucceeds = true;
    std::vector<std::string> calls;
};

// The settings file of a test, in a folder of its own.
class TempSettings {
public:
    TempSettings() : path_(dir_.filePath("Vormex.conf")) { Reopen(); }
    app::SettingsStore& Store() { return *store_; }
    // Stores a value as a previous run would have left it.
    void Put(const QString& key, const QString& value) {
        QSettings s(path_, QSettings::IniFormat);
        s.setValue(QString("Settings/") + key, value);
        s.sync();
        Reopen();
    }
    // "key=value|..." for the keys given, as stored now ("<missing>" when not stored).
    QString Stored(std::initializer_list<const char*> keys) const {
        QSettings s(path_, QSettings::IniFormat);
        QStringList out;
        for (const char* k : keys) {
            out << QString(k) + "=" + s.value(QString("Settings/") + k, "<missing>").toString();
        }
        return out.join('|');
    }

private:
    void Reopen() {
        store_ = std::make_unique<app::QSettingsStore>(
            std::make_unique<QSettings>(path_, QSettings::IniFormat));
    }
    QTemporaryDir dir_;
    QString path_;
    std::unique_ptr<app::QSettingsStore> store_;
};

// The boxes shown, one "title|icon|text" each, with the buttons unless just OK.
inline QStringList Shown(const RecordingMessages& m) {
    static const char* const icons[] = {"", "Information", "Exclamation", "Critical", "Question"};
    QStringList out;
    for (const auto& x : m.shown) {
        out << QString::fromStdString(x.title) + "|" + icons[int(x.icon)] + "|" +
                   QString::fromStdString(x.text) +
                   (x.buttons == MsgButtons::Ok ? ""
                                                : "|buttons " + QString::number(int(x.buttons)));
    }
    return out;
}

struct ShellHarness {
    ShellHarness() {
        QDir().mkpath(programDir.path() + "/bin");
        programFolder = programDir.path() + "/bin";
    }

    // The main window on the recorders; the CAD double serves it unless `noBackEnd`.
    app::Form1& MakeForm(bool noBackEnd = false) {
        if (!noBackEnd) {
            cad.RegisterIn(classes);
        }
        services = std::make_unique<app::ShellServices>(
            app::ShellServices{messages, pointer, beep, help, registry, launcher, settings.Store(),
                               classes, programFolder});
        form = std::make_unique<app::Form1>(*services);
        return *form;
    }

    QTemporaryDir programDir;
    QString programFolder;
    TempSettings settings;
    RecordingMessages messages;
    RecordingPointer pointer;
    RecordingBeep beep;
    RecordingHelp help;
    FakeRegistry registry;
    RecordingLauncher launcher;
    cad::ClassRegistry classes;
    fake::FakeCad cad;
    std::unique_ptr<app::ShellServices> services;
    std::unique_ptr<app::Form1> form;
};

}  // namespace vx::testing
