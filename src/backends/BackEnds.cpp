#include "backends/BackEnds.h"

#include <QCoreApplication>
#include <QSettings>
#include <mutex>

#include "cad/ClassRegistry.h"
#include "common/UserSettings.h"
#include "engine/remote/RemoteEngine.h"

#ifdef _WIN32
#include "cad/com/ComBackEnd.h"
#endif

namespace vx::backends {

namespace {

// A whole number of the user's settings within [low, high]; `fallback` otherwise.
int SettingOr(const QSettings& settings, const char* key, int fallback, int low, int high) {
    bool ok = false;
    const int value =
        settings.value(QString(engine::remote::kSettingsGroup) + '/' + key).toString().toInt(&ok);
    return ok && value >= low && value <= high ? value : fallback;
}

}  // namespace

engine::remote::RemoteOptions EngineProcessOptions(EngineSharing sharing) {
    engine::remote::RemoteOptions o;
    if (sharing == EngineSharing::Own) {
        // The shared socket's name with this process's number: unique while it runs, and
        // the engine ends by itself when no program has talked to it for a while.
        o.socketName = engine::remote::DefaultSocketName(engine::remote::DefaultEngineProgram()) +
                       QStringLiteral("-%1").arg(QCoreApplication::applicationPid());
    }
    const auto settings = OpenUserSettings();
    o.limits.longSeconds =
        SettingOr(*settings, engine::remote::kKeyLongCallSeconds, o.limits.longSeconds, 1, 86400);
    o.limits.shortSeconds =
        SettingOr(*settings, engine::remote::kKeyShortCallSeconds, o.limits.shortSeconds, 1, 86400);
    o.memoryLimitMB =
        static_cast<std::uint64_t>(SettingOr(*settings, engine::remote::kKeyMemoryLimitMB,
                                             static_cast<int>(o.memoryLimitMB), 256, 1 << 20));
    return o;
}

void RegisterBackEnds(cad::ClassRegistry& registry, const InProcessEngine& inProcess,
                      EngineSharing sharing) {
    // On Windows an installed AutoCAD serves the class through COM; where COM cannot (no
    // AutoCAD on this machine, or no Windows at all) the built-in CAD engine serves it, in
    // a process of its own that a drawing cannot take down with the program (or in this
    // one with VORMEX_ENGINE=inprocess, in a program that links the engine).
#ifdef _WIN32
    if (cad::com::RegisterComBackEnd(registry)) {
        return;
    }
#endif
    if (inProcess && qEnvironmentVariable("VORMEX_ENGINE") == QLatin1String("inprocess")) {
        inProcess(registry);
    } else {
        engine::remote::RegisterRemoteEngine(registry, EngineProcessOptions(sharing));
    }
}

std::unique_ptr<cad::ClassRegistry> SideBySideBackEnds(int session) {
    auto registry = std::make_unique<cad::ClassRegistry>();
#ifdef _WIN32
    if (cad::com::RegisterComBackEnd(*registry)) {
        return nullptr;
    }
#endif
    engine::remote::RemoteOptions o = EngineProcessOptions(EngineSharing::Own);
    o.socketName += QStringLiteral("-%1").arg(session);
    engine::remote::RegisterRemoteEngine(*registry, o);
    return registry;
}

cad::ClassRegistry& ProgramBackEnds(const InProcessEngine& inProcess, EngineSharing sharing) {
    static std::once_flag registered;
    std::call_once(registered,
                   [&] { RegisterBackEnds(cad::ClassRegistry::Default(), inProcess, sharing); });
    return cad::ClassRegistry::Default();
}

}  // namespace vx::backends
