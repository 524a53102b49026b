// vormex-engine: the built-in CAD engine in a process of its own, serving the program
// over a local socket (see RemoteEngine.h).
//
//   vormex-engine --socket NAME [--memory-mb N] [--program-dir DIR --user-dir DIR]
//                 [--no-printers] [--idle-ms N]
#include <QGuiApplication>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "engine/automation/Engine.h"
#include "engine/remote/ProcessControl.h"
#include "engine/server/EngineServer.h"

#ifdef VORMEX_ENGINE_FAULTS
#include <QFileInfo>
#include <QThread>
#include <cstring>
#include <vector>
#endif

namespace {

using namespace vx::engine;

#ifdef VORMEX_ENGINE_FAULTS
// Test builds only: a drawing whose name starts with "crash-", "hang-" or "flood-" makes
// the engine crash, hang or use up its memory when it is opened.
void Misbehave(remote::Method m, const std::vector<remote::Value>& args) {
    if (m != remote::Method::DocsOpen || args.empty() ||
        !std::holds_alternative<std::string>(args[0])) {
        return;
    }
    const QString name =
        QFileInfo(QString::fromStdString(std::get<std::string>(args[0]))).fileName();
    if (name.startsWith(QLatin1String("crash-"))) {
        std::abort();
    }
    if (name.startsWith(QLatin1String("hang-"))) {
        for (;;) {
            QThread::sleep(1);
        }
    }
    if (name.startsWith(QLatin1String("flood-"))) {
        std::vector<std::unique_ptr<char[]>> blocks;
        for (int i = 0; i < 1024; ++i) {  // at most 64 GB: the limit comes long before
            blocks.emplace_back(new char[64u << 20]);
            std::memset(blocks.back().get(), 1, 64u << 20);
        }
    }
}
#endif

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // Qt's own event loop rather than GLib's: the engine waits for nothing but its socket,
    // and every call it serves passes through the loop, at a third of the system calls.
    if (qEnvironmentVariableIsEmpty("QT_NO_GLIB")) {
        qputenv("QT_NO_GLIB", "1");
    }
    QString socket;
    std::uint64_t memoryMB = 0;
    int idleMs = 0;
    automation::EngineOptions options;
    QString programDir, userDir;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        const bool hasValue = i + 1 < argc;
        if (arg == "--socket" && hasValue) {
            socket = QString::fromLocal8Bit(argv[++i]);
        } else if (arg == "--memory-mb" && hasValue) {
            memoryMB = QByteArray(argv[++i]).toULongLong();
        } else if (arg == "--idle-ms" && hasValue) {
            idleMs = QByteArray(argv[++i]).toInt();
        } else if (arg == "--program-dir" && hasValue) {
            programDir = QString::fromLocal8Bit(argv[++i]);
        } else if (arg == "--user-dir" && hasValue) {
            userDir = QString::fromLocal8Bit(argv[++i]);
        } else if (arg == "--no-printers") {
            options.noPrinters = true;
        } else {
            std::fprintf(stderr, "vormex-engine: unknown argument %s\n", argv[i]);
            return 2;
        }
    }
    if (socket.isEmpty()) {
        std::fprintf(stderr, "vormex-engine: no --socket given\n");
        return 2;
    }
    remote::KeepFreedMemory();
#ifdef VORMEX_SANITIZED
    // A build with the sanitizers (for tests) reserves terabytes of address space for
    // their bookkeeping: no limit of the process's memory can hold it.
    memoryMB = 0;
#endif
    if (memoryMB > 0) {
        std::string error;
        if (!remote::LimitOwnMemory(memoryMB << 20, error)) {
            std::fprintf(stderr, "vormex-engine: no memory limit: %s\n", error.c_str());
            return 1;
        }
    }
    if (!programDir.isEmpty() && !userDir.isEmpty()) {
        options.folders = device::EngineFolders{programDir.toStdString(), userDir.toStdString()};
    }

    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);
    // The window program's name: its folders for the user's plotters, tables and fonts.
    QCoreApplication::setApplicationName(QStringLiteral("vormex"));

    remote::EngineServer server(std::make_shared<automation::EngineClass>(options));
#ifdef VORMEX_ENGINE_FAULTS
    server.beforeCall = Misbehave;
#endif
    if (idleMs > 0) {
        server.SetIdleLimit(idleMs);
    }
    QString error;
    if (!server.Listen(socket, error)) {
        std::fprintf(stderr, "vormex-engine: %s\n", qPrintable(error));
        return 1;
    }
    QObject::connect(&server, &remote::EngineServer::finished, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    const int status = QCoreApplication::exec();
    // The socket is closed and every drawing let go: tearing down the libraries (fonts,
    // platform) would only take time from the program's next engine.
    std::fflush(nullptr);
    std::_Exit(status);
}
