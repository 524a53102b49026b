// The CAD engine's side of the connection: serves one engine application to the clients
// of a local socket, one call at a time, each client with its own handles. The replies to
// the calls that came together go out together: once a call that waits has run, when no
// whole call is left to serve, before a call begins once they are held for a moment, and
// before a call that may take long begins, unless the client would time and blame it as
// the first of them (a call that may take long, of the same activity). A short call that
// hangs at once after a long one is thus given the long one's limit and description.
//
// The process ends (the server emits finished) when its last client has gone after one
// of them called Quit, when no client has been connected for a while, or when a call ran
// out of memory (after its reply).
#pragma once

#include <QElapsedTimer>
#include <QLocalServer>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <variant>

#include "cad/ClassRegistry.h"
#include "engine/remote/Protocol.h"

class QLocalSocket;

namespace vx::engine::remote {

class EngineServer : public QObject {
    Q_OBJECT
public:
    // `engine` serves the application; the server starts it at once.
    explicit EngineServer(std::shared_ptr<cad::AutomationClass> engine, QObject* parent = nullptr);
    ~EngineServer() override;

    // Listens on `name` (a path on POSIX, a pipe name on Windows), for this user only.
    bool Listen(const QString& name, QString& error);
    // How long the engine waits without any client before it ends.
    void SetIdleLimit(int milliseconds);
    // Runs before every call (the test build uses it to misbehave on given drawings).
    std::function<void(Method, const std::vector<Value>&)> beforeCall;

signals:
    void finished();

private:
    using Object = std::variant<cad::Ref<cad::AcadApplication>, cad::Ref<cad::AcadDocuments>,
                                cad::Ref<cad::AcadDocument>, cad::Ref<cad::AcadLayouts>,
                                cad::Ref<cad::AcadLayout>, cad::Ref<cad::AcadPlot>,
                                cad::Ref<cad::AcadBlocks>, cad::Ref<cad::AcadBlock>,
                                cad::Ref<cad::AcadDatabase>, cad::Ref<cad::AcadEntity>>;
    struct Client {
        QLocalSocket* socket = nullptr;
        FrameBuffer frames;
        bool greeted = false;
        std::map<std::uint32_t, Object> objects;
        std::uint32_t next = kApplicationHandle + 1;
        // A call sent without waiting failed: the calls up to the next one that waits
        // are not run.
        bool skipping = false;
        // The client looks for its replies a moment before it blocks (its last call
        // said so).
        bool spinning = false;
        // The handle that the client chose for the object of the call under way, or 0.
        std::uint32_t chosen = 0;
        // Replies not written yet, the method of the first of them and since when they
        // are held.
        std::string replies;
        Method heldMethod = Method::AppSetVisible;
        QElapsedTimer held;
    };

    void Accept();
    void Read(Client& client);
    void Gone(QLocalSocket* socket);
    void Serve(Client& client, const std::string& message);
    Status Run(Client& client, std::uint32_t handle, Method method, const std::vector<Value>& args,
               Value& result, std::string& error);
    // Answers a call, with the journal records it added (those from `plots` and `opens`)
    // and the open drawings when they are given.
    void Reply(Client& client, std::uint32_t sequence, Status status, const Value& result,
               const std::string& error, std::size_t plots, std::size_t opens,
               const std::optional<HandleList>& drawings);
    Value Dispatch(Client& client, std::uint32_t handle, Method method,
                   const std::vector<Value>& args);
    // A handle for `object`, with what the client is told of it at once.
    template <class T>
    Value Put(Client& client, Kind kind, cad::Ref<T> object);
    // The open drawings and the active one, with a handle each; nothing when they cannot
    // be had.
    std::optional<HandleList> OpenDrawings(Client& client);
    // Writes the replies collected for `client`.
    void SendReplies(Client& client);
    void CheckEnd();
    // No more clients: the socket goes at once, the process when its event loop ends.
    void End();

    std::shared_ptr<cad::AutomationClass> engine_;
    cad::Ref<cad::AcadApplication> app_;
    // The application's journal of plots and opens (none for an engine without one).
    const automation::PlotJournal* journal_;
    QLocalServer server_;
    QTimer idle_;
    std::map<QLocalSocket*, std::unique_ptr<Client>> clients_;
    bool quitRequested_ = false;
    bool ending_ = false;
    // The socket whose data is being read, and how the next call of the only client is
    // waited for.
    QLocalSocket* reading_ = nullptr;
    Spinner spinner_;
};

}  // namespace vx::engine::remote
