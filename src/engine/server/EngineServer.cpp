#include "engine/server/EngineServer.h"

#include <QCoreApplication>
#include <QLocalSocket>
#include <algorithm>
#include <new>
#include <string_view>
#include <utility>

namespace vx::engine::remote {

namespace {

using namespace cad;

constexpr int kDefaultIdleMs = 10000;
// Replies are held no longer than this before a call begins: the client's clock for the
// call under way runs from the last reply it read.
constexpr qint64 kHoldMs = 20;
// How long the only client's next call is looked for after the replies went, before the
// event loop waits for it: the client takes some tens of microseconds between calls, a
// few hundred between drawings.
constexpr std::chrono::microseconds kCallMoment{500};
// Serving one client call after call, the engine lets its event loop run at least this
// often: another program attaching, the idle timer and signals are not kept waiting.
constexpr auto kLoopTurn = std::chrono::milliseconds(10);

template <class T>
const T& Arg(const std::vector<Value>& args, std::size_t i) {
    if (i >= args.size() || !std::holds_alternative<T>(args[i])) {
        throw ProtocolError("a call with the wrong arguments");
    }
    return std::get<T>(args[i]);
}

std::int32_t Int(const std::vector<Value>& a, std::size_t i) {
    return Arg<std::int32_t>(a, i);
}
bool Bool(const std::vector<Value>& a, std::size_t i) {
    return Arg<bool>(a, i);
}
const std::string& Text(const std::vector<Value>& a, std::size_t i) {
    return Arg<std::string>(a, i);
}

// A collection's count and its first items, up to the first that cannot be had (the
// client asks for that one itself and gets its failure).
template <class F>
HandleList List(std::int32_t count, F&& item) {
    HandleList list;
    list.count = count;
    const auto n = std::min<std::int64_t>(count, static_cast<std::int64_t>(kMaxListed));
    for (std::int32_t i = 0; i < n; ++i) {
        Value v;
        if (!TryStep([&] { v = item(i); }) || !std::holds_alternative<Handle>(v)) {
            break;
        }
        list.items.push_back(std::get<Handle>(std::move(v)));
    }
    return list;
}

// The object names of a block's first entities up to the first that is no viewport: the
// client looks at them to tell whether a sheet is blank.
void TellEntities(AcadBlock& block, Handle& h) {
    if ((h.flags & kBlockFacts) == 0) {
        return;
    }
    TryStep([&] {
        Strings names;
        const auto n =
            std::min<std::int64_t>(h.number, static_cast<std::int64_t>(kMaxToldEntities));
        for (std::int32_t i = 0; i < n; ++i) {
            auto entity = block.Item(i);
            if (!entity) {
                return;
            }
            names.push_back(entity->ObjectName());
            if (names.back() != kViewportObject) {
                break;
            }
        }
        h.entities = std::move(names);
        h.flags |= kBlockEntities;
    });
}

// The calls after which the client is told the open drawings.
bool ChangesDrawings(Method m) {
    return m == Method::DocsOpen || m == Method::DocsAdd || m == Method::DocClose;
}

}  // namespace

EngineServer::EngineServer(std::shared_ptr<cad::AutomationClass> engine, QObject* parent)
    : QObject(parent),
      engine_(std::move(engine)),
      app_(engine_->CreateObject()),
      journal_(automation::JournalOf(app_)),
      spinner_(kCallMoment) {
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, &EngineServer::Accept);
    idle_.setSingleShot(true);
    idle_.setInterval(kDefaultIdleMs);
    connect(&idle_, &QTimer::timeout, this, [this] {
        if (clients_.empty()) {
            End();
        }
    });
    idle_.start();
}

EngineServer::~EngineServer() = default;

bool EngineServer::Listen(const QString& name, QString& error) {
    if (!server_.listen(name)) {
        // A socket file left behind by an engine that died: nobody answers on it.
        QLocalSocket probe;
        probe.connectToServer(name);
        if (probe.waitForConnected(500)) {
            error = QStringLiteral("another engine serves ") + name;
            return false;
        }
        QLocalServer::removeServer(name);
        if (!server_.listen(name)) {
            error = server_.errorString();
            return false;
        }
    }
    return true;
}

void EngineServer::SetIdleLimit(int milliseconds) {
    idle_.setInterval(milliseconds);
    if (clients_.empty()) {
        idle_.start();
    }
}

void EngineServer::Accept() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        if (ending_) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        idle_.stop();
        auto client = std::make_unique<Client>();
        client->socket = socket;
        Client* c = client.get();
        clients_[socket] = std::move(client);
        connect(socket, &QLocalSocket::readyRead, this, [this, c] { Read(*c); });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] { Gone(socket); });
        if (socket->bytesAvailable() > 0) {
            Read(*c);
        }
    }
}

void EngineServer::Gone(QLocalSocket* socket) {
    auto it = clients_.find(socket);
    if (it == clients_.end()) {
        return;
    }
    clients_.erase(it);
    socket->deleteLater();
    CheckEnd();
}

void EngineServer::End() {
    ending_ = true;
    server_.close();
    emit finished();
}

void EngineServer::CheckEnd() {
    if (!clients_.empty() || ending_) {
        return;
    }
    if (quitRequested_) {
        try {
            app_->Quit();
        } catch (const CadError&) {
        }
        End();
    } else {
        idle_.start();
    }
}

void EngineServer::Read(Client& client) {
    QLocalSocket* socket = client.socket;
    // A wait below may tell of the socket's data again: the read under way takes it.
    if (reading_ == socket) {
        return;
    }
    struct Reading {
        QLocalSocket*& now;
        QLocalSocket* const outer;
        ~Reading() { now = outer; }
    } reading{reading_, std::exchange(reading_, socket)};
    const auto turnEnds = std::chrono::steady_clock::now() + kLoopTurn;
    std::string message;
    try {
        for (;;) {
            const QByteArray bytes = socket->readAll();
            client.frames.Append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
            // Calls sent together are served in order; none after one that ended the
            // engine.
            while (!ending_ && clients_.count(socket) && client.frames.Next(message)) {
                Serve(client, message);
            }
            if (!clients_.count(socket)) {
                break;
            }
            SendReplies(client);
            // The client's next call mostly follows at once: while it is the only client
            // and looks for its own replies so, it is looked for a moment before the event
            // loop waits (everything read is served by then, so the loop misses no data).
            // A client that goes during the moment is gone when the wait returns.
            if (ending_ || clients_.size() != 1 || !client.spinning ||
                std::chrono::steady_clock::now() > turnEnds) {
                break;
            }
            if (!spinner_.Spin(0, [&] { return socket->waitForReadyRead(0); }) ||
                !clients_.count(socket)) {
                break;
            }
        }
    } catch (const ProtocolError&) {
        // A client that speaks nonsense is dropped; the others go on.
        socket->abort();
    }
}

void EngineServer::SendReplies(Client& client) {
    if (client.replies.empty()) {
        return;
    }
    client.socket->write(client.replies.data(), static_cast<qint64>(client.replies.size()));
    client.socket->flush();
    client.replies.clear();
}

void EngineServer::Serve(Client& client, const std::string& message) {
    Reader in(message);
    const auto type = static_cast<MessageType>(in.U8());
    if (!client.greeted) {
        if (type != MessageType::Hello || in.U16() != kProtocolVersion) {
            throw ProtocolError("no greeting of this version");
        }
        client.greeted = true;
        client.objects[kApplicationHandle] = app_;
        Writer out(MessageType::Welcome);
        out.U16(kProtocolVersion);
        out.I64(QCoreApplication::applicationPid());
        out.U32(kApplicationHandle);
        client.replies += out.Frame();
        SendReplies(client);
        return;
    }
    if (type == MessageType::Cancel) {
        // Calls run one at a time: a cancel that is read here came after its call's reply.
        return;
    }
    if (type != MessageType::Call) {
        throw ProtocolError("an unknown message");
    }
    const std::uint32_t sequence = in.U32();
    const std::uint32_t handle = in.U32();
    const std::uint16_t method = in.U16();
    const std::uint8_t flags = in.U8();
    const bool waits = (flags & kNoWait) == 0;
    const std::uint32_t chosen = in.U32();
    if (chosen != 0 && (chosen < kFirstClientHandle || client.objects.count(chosen))) {
        throw ProtocolError("a handle that cannot be given");
    }
    for (std::uint32_t i = 0, n = in.Count(4); i < n; ++i) {
        const std::uint32_t released = in.U32();
        if (released != kApplicationHandle) {
            client.objects.erase(released);
        }
    }
    std::vector<Value> args(in.U8());
    for (auto& a : args) {
        a = in.Val();
    }
    if (method < 1 || method > static_cast<std::uint16_t>(Method::Last)) {
        throw ProtocolError("an unknown method");
    }
    const auto m = static_cast<Method>(method);
    // The client times the call under way from the last reply it read, with the limit and
    // the description of the first call it has no reply to: a call that may take long is
    // not to be timed as a short one, nor blamed on another activity, and no call loses
    // more than a moment of its time to the calls before it.
    if (!client.replies.empty() &&
        ((IsLongCall(m) && (!IsLongCall(client.heldMethod) ||
                            std::string_view(Activity(m)) != Activity(client.heldMethod))) ||
         client.held.elapsed() > kHoldMs)) {
        SendReplies(client);
    }
    if (client.replies.empty()) {
        client.heldMethod = m;
        client.held.start();
    }

    const auto* journal = journal_;
    const std::size_t plots = journal ? journal->Size() : 0;
    const std::size_t opens = journal ? journal->OpenCount() : 0;
    Status status = Status::Ok;
    Value result;
    std::string error;
    if (client.skipping) {
        status = Status::Skipped;
        client.skipping = !waits;
    } else {
        client.chosen = chosen;
        status = Run(client, handle, static_cast<Method>(method), args, result, error);
        client.chosen = 0;
        client.skipping = !waits && status != Status::Ok && (flags & kAhead) == 0;
        client.spinning = (flags & kSpinning) != 0;
    }
    std::optional<HandleList> drawings;
    if (status != Status::Skipped && status != Status::OutOfMemory &&
        ChangesDrawings(static_cast<Method>(method))) {
        drawings = OpenDrawings(client);
    }
    Reply(client, sequence, status, result, error, plots, opens, drawings);
    if (waits) {
        SendReplies(client);
    }
}

std::optional<HandleList> EngineServer::OpenDrawings(Client& client) {
    std::optional<HandleList> list;
    TryStep([&] {
        auto docs = app_->Documents();
        HandleList l = List(docs->Count(), [&](std::int32_t i) {
            return Put(client, Kind::Document, docs->Item(i));
        });
        // The active drawing by its name and folder, when no other open drawing has both.
        if (auto active = app_->ActiveDocument()) {
            const std::string name = active->Name();
            const std::string path = active->Path();
            for (std::size_t i = 0; i < l.items.size(); ++i) {
                if (l.items[i].name == name && l.items[i].path == path) {
                    l.active = l.active == -1 ? static_cast<std::int32_t>(i) : -2;
                }
            }
            l.active = std::max(l.active, -1);
        }
        list = std::move(l);
    });
    return list;
}

Status EngineServer::Run(Client& client, std::uint32_t handle, Method method,
                         const std::vector<Value>& args, Value& result, std::string& error) {
    Status status = Status::Ok;
    try {
        if (beforeCall) {
            beforeCall(method, args);
        }
        result = Dispatch(client, handle, method, args);
    } catch (const CadError& e) {
        status = Status::CadError;
        error = e.Description();
        // The engine turns what the standard library throws into its own error: an
        // allocation beyond the memory limit is still that.
        if (error == std::bad_alloc().what()) {
            status = Status::OutOfMemory;
        }
    } catch (const ProtocolError& e) {
        status = Status::BadRequest;
        error = e.what();
    } catch (const std::bad_alloc&) {
        status = Status::OutOfMemory;
        error = "out of memory";
    }
    return status;
}

void EngineServer::Reply(Client& client, std::uint32_t sequence, Status status, const Value& result,
                         const std::string& error, std::size_t plots, std::size_t opens,
                         const std::optional<HandleList>& drawings) {
    const auto* journal = journal_;
    Writer out(MessageType::Reply);
    out.U32(sequence);
    out.U8(static_cast<std::uint8_t>(status));
    if (status == Status::Ok) {
        out.Val(result);
    } else {
        out.Str(error);
    }
    const auto newPlots =
        journal ? journal->RecordsFrom(plots) : std::vector<automation::PlotRecord>{};
    const auto newOpens =
        journal ? journal->OpensFrom(opens) : std::vector<automation::OpenRecord>{};
    out.U32(static_cast<std::uint32_t>(newPlots.size()));
    for (const auto& r : newPlots) {
        out.Plot(r);
    }
    out.U32(static_cast<std::uint32_t>(newOpens.size()));
    for (const auto& r : newOpens) {
        out.Open(r);
    }
    out.U8(drawings ? 1 : 0);
    if (drawings) {
        out.Objects(*drawings);
    }
    client.replies += out.Frame();
    if (status == Status::OutOfMemory) {
        // Whatever the call left half made is not worth trusting: the next call starts a
        // fresh engine.
        SendReplies(client);
        client.socket->waitForBytesWritten(1000);
        End();
    }
}

template <class T>
Value EngineServer::Put(Client& client, Kind kind, Ref<T> object) {
    if (!object) {
        if (client.chosen != 0) {
            throw CadError("The CAD engine has no such object.");
        }
        return std::monostate{};
    }
    Handle h;
    h.kind = kind;
    h.id = client.chosen != 0 ? std::exchange(client.chosen, 0) : client.next++;
    // Asked once here rather than by a call each: the client asks them often.
    if constexpr (std::is_same_v<T, AcadDocument>) {
        TryStep([&] {
            h.name = object->Name();
            h.path = object->Path();
        });
        TryStep([&] {
            h.number = object->GetVariable("DBMOD");
            h.flags = kDrawingFacts;
        });
    } else if constexpr (std::is_same_v<T, AcadBlock>) {
        TryStep([&] {
            const bool xref = object->IsXRef();
            h.name = object->Name();
            h.number = object->Count();
            h.flags = static_cast<std::uint8_t>(kBlockFacts | (xref ? kBlockIsXRef : 0));
        });
    } else if constexpr (std::is_same_v<T, AcadLayout>) {
        TryStep([&] {
            h.name = object->Name();
            h.path = object->StyleSheet();
            h.flags = kLayoutFacts;
        });
    } else if constexpr (std::is_same_v<T, AcadEntity>) {
        TryStep([&] {
            h.name = object->ObjectName();
            h.flags = kEntityFacts;
        });
    }
    client.objects[h.id] = std::move(object);
    return h;
}

Value EngineServer::Dispatch(Client& client, std::uint32_t handle, Method m,
                             const std::vector<Value>& a) {
    auto it = client.objects.find(handle);
    if (it == client.objects.end()) {
        throw CadError("The object is no longer available in the CAD engine.");
    }
    const Object& target = it->second;
    auto as = [&]<class T>(T*) -> T& {
        const auto* ref = std::get_if<Ref<T>>(&target);
        if (!ref || !*ref) {
            throw ProtocolError("a call on an object of another kind");
        }
        return **ref;
    };
    auto put = [&]<class T>(Kind kind, Ref<T> object) {
        return Put(client, kind, std::move(object));
    };
    AcadApplication* const app = nullptr;
    AcadDocuments* const docs = nullptr;
    AcadDocument* const doc = nullptr;
    AcadLayouts* const layouts = nullptr;
    AcadLayout* const layout = nullptr;
    AcadPlot* const plot = nullptr;
    AcadBlocks* const blocks = nullptr;
    AcadBlock* const block = nullptr;
    AcadDatabase* const database = nullptr;
    AcadEntity* const entity = nullptr;

    switch (m) {
        case Method::AppSetVisible:
            as(app).SetVisible(Bool(a, 0));
            return {};
        case Method::AppActiveDocument:
            return put(Kind::Document, as(app).ActiveDocument());
        case Method::AppDocuments:
            return put(Kind::Documents, as(app).Documents());
        case Method::AppZoomExtents:
            as(app).ZoomExtents();
            return {};
        case Method::AppQuit:
            as(app);
            quitRequested_ = true;
            if (clients_.size() <= 1) {
                app_->Quit();
                // A program that comes now starts an engine of its own.
                server_.close();
            }
            return {};
        case Method::DocsCount:
            return as(docs).Count();
        case Method::DocsItem:
            return put(Kind::Document, as(docs).Item(Int(a, 0)));
        case Method::DocsAdd:
            return put(Kind::Document, as(docs).Add());
        case Method::DocsOpen:
            return put(Kind::Document, as(docs).Open(Text(a, 0), Bool(a, 1)));
        case Method::DocGetVariable:
            return as(doc).GetVariable(Text(a, 0));
        case Method::DocSetVariable:
            as(doc).SetVariable(Text(a, 0), Int(a, 1));
            return {};
        case Method::DocClose:
            as(doc).Close(Bool(a, 0));
            return {};
        case Method::DocName:
            return as(doc).Name();
        case Method::DocPath:
            return as(doc).Path();
        case Method::DocRegen:
            as(doc).Regen(Int(a, 0));
            return {};
        case Method::DocActivate:
            as(doc).Activate();
            return {};
        case Method::DocActiveLayout:
            return put(Kind::Layout, as(doc).ActiveLayout());
        case Method::DocSetActiveLayout: {
            auto other = client.objects.find(Arg<Handle>(a, 0).id);
            const auto* ref = other == client.objects.end()
                                  ? nullptr
                                  : std::get_if<Ref<AcadLayout>>(&other->second);
            if (!ref) {
                throw CadError("The layout is no longer available in the CAD engine.");
            }
            as(doc).SetActiveLayout(*ref);
            return {};
        }
        case Method::DocLayouts:
            return put(Kind::Layouts, as(doc).Layouts());
        case Method::DocModelSpace:
            return put(Kind::Block, as(doc).ModelSpace());
        case Method::DocPaperSpace:
            return put(Kind::Block, as(doc).PaperSpace());
        case Method::DocPlot:
            return put(Kind::Plot, as(doc).Plot());
        case Method::DocBlocks:
            return put(Kind::Blocks, as(doc).Blocks());
        case Method::LayoutsCount:
            return as(layouts).Count();
        case Method::LayoutsItem:
            return put(Kind::Layout, as(layouts).Item(Int(a, 0)));
        case Method::LayoutsItemByName:
            return put(Kind::Layout, as(layouts).Item(Text(a, 0)));
        case Method::LayoutName:
            return as(layout).Name();
        case Method::LayoutRefreshPlotDeviceInfo:
            as(layout).RefreshPlotDeviceInfo();
            return {};
        case Method::LayoutGetPlotDeviceNames:
            return as(layout).GetPlotDeviceNames();
        case Method::LayoutGetCanonicalMediaNames:
            return as(layout).GetCanonicalMediaNames();
        case Method::LayoutGetPlotStyleTableNames:
            return as(layout).GetPlotStyleTableNames();
        case Method::LayoutGetLocaleMediaName:
            return as(layout).GetLocaleMediaName(Text(a, 0));
        case Method::LayoutSetConfigName:
            as(layout).SetConfigName(Text(a, 0));
            return {};
        case Method::LayoutSetCanonicalMediaName:
            as(layout).SetCanonicalMediaName(Text(a, 0));
            return {};
        case Method::LayoutSetPlotWithPlotStyles:
            as(layout).SetPlotWithPlotStyles(Bool(a, 0));
            return {};
        case Method::LayoutStyleSheet:
            return as(layout).StyleSheet();
        case Method::LayoutSetStyleSheet:
            as(layout).SetStyleSheet(Text(a, 0));
            return {};
        case Method::LayoutSetPlotType:
            as(layout).SetPlotType(Int(a, 0));
            return {};
        case Method::LayoutSetStandardScale:
            as(layout).SetStandardScale(Int(a, 0));
            return {};
        case Method::LayoutSetUseStandardScale:
            as(layout).SetUseStandardScale(Bool(a, 0));
            return {};
        case Method::LayoutSetPlotRotation:
            as(layout).SetPlotRotation(Int(a, 0));
            return {};
        case Method::LayoutSetCenterPlot:
            as(layout).SetCenterPlot(Bool(a, 0));
            return {};
        case Method::LayoutZoomExtents:
            as(layout).ZoomExtents();
            return {};
        case Method::LayoutPlot:
            return put(Kind::Plot, as(layout).Plot());
        case Method::PlotSetQuietErrorMode:
            as(plot).SetQuietErrorMode(Bool(a, 0));
            return {};
        case Method::PlotSetNumberOfCopies:
            as(plot).SetNumberOfCopies(Int(a, 0));
            return {};
        case Method::PlotToFile:
            return as(plot).PlotToFile(Text(a, 0), Text(a, 1));
        case Method::PlotToDevice:
            return as(plot).PlotToDevice();
        case Method::BlocksCount:
            return as(blocks).Count();
        case Method::BlocksItem:
            return put(Kind::Block, as(blocks).Item(Int(a, 0)));
        case Method::BlocksItemByName:
            return put(Kind::Block, as(blocks).Item(Text(a, 0)));
        case Method::BlockName:
            return as(block).Name();
        case Method::BlockIsXRef:
            return as(block).IsXRef();
        case Method::BlockXRefDatabase:
            return put(Kind::Database, as(block).XRefDatabase());
        case Method::BlockPath:
            return as(block).Path();
        case Method::BlockSetPath:
            as(block).SetPath(Text(a, 0));
            return {};
        case Method::BlockReload:
            as(block).Reload();
            return {};
        case Method::BlockCount:
            return as(block).Count();
        case Method::BlockLayout:
            return put(Kind::Layout, as(block).Layout());
        case Method::DatabaseModelSpace:
            return put(Kind::Block, as(database).ModelSpace());
        case Method::LayoutBlock:
            return put(Kind::Block, as(layout).Block());
        case Method::BlockItem:
            return put(Kind::Entity, as(block).Item(Int(a, 0)));
        case Method::EntityObjectName:
            return as(entity).ObjectName();
        case Method::LayoutsList: {
            // Each layout with its block: the client looks into it next.
            auto& c = as(layouts);
            std::vector<Handle> theirBlocks;
            HandleList list = List(c.Count(), [&](std::int32_t i) {
                auto item = c.Item(i);
                Value itsBlock;
                TryStep([&] {
                    auto layoutBlock = item->Block();
                    itsBlock = put(Kind::Block, layoutBlock);
                    if (auto* h = std::get_if<Handle>(&itsBlock)) {
                        TellEntities(*layoutBlock, *h);
                    }
                });
                const auto* h = std::get_if<Handle>(&itsBlock);
                theirBlocks.push_back(h ? *h : Handle{});
                return put(Kind::Layout, std::move(item));
            });
            theirBlocks.resize(list.items.size());
            list.blocks = std::move(theirBlocks);
            return list;
        }
        case Method::LayoutGetLocaleMediaNames: {
            auto& l = as(layout);
            const auto& papers = Arg<Strings>(a, 0);
            if (papers.size() > kMaxListed) {
                throw ProtocolError("too many papers");
            }
            Strings names;
            for (const auto& paper : papers) {
                names.push_back(l.GetLocaleMediaName(paper));
            }
            return names;
        }
        case Method::BlocksList: {
            auto& c = as(blocks);
            return List(c.Count(), [&](std::int32_t i) { return put(Kind::Block, c.Item(i)); });
        }
    }
    throw ProtocolError("an unknown method");
}

}  // namespace vx::engine::remote
