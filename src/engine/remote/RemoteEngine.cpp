#include "engine/remote/RemoteEngine.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <deque>
#include <filesystem>
#include <map>
#include <optional>
#include <thread>

#include "engine/journal/PlotJournal.h"
#include "engine/remote/ProcessControl.h"
#include "engine/remote/Protocol.h"

namespace vx::engine::remote {

namespace {

using namespace cad;

// The interrupts so far (CancelCalls), and their count at the last ClearCancel. Each
// session gives up one call for the interrupts it has not taken up yet, so that one
// interrupt stops the calls of every session of the process (the workers of a parallel
// run), each once.
std::atomic<std::uint32_t> cancels{0};
std::atomic<std::uint32_t> cancelsCleared{0};
std::atomic<int> longCallOverride{0};
std::atomic<std::uint64_t> roundTrips{0};
// The sessions of this process that are connected to an engine: with each engine busy
// while its session waits, a session looks for its answer without blocking only while
// the machine has a processor for each engine and each session besides.
std::atomic<unsigned> connectedSessions{0};

bool SpareProcessors() {
    static const unsigned processors = std::max(1u, std::thread::hardware_concurrency());
    return 2 * connectedSessions.load(std::memory_order_relaxed) <= processors;
}
static_assert(std::atomic<std::uint32_t>::is_always_lock_free);

// A call is given up on an interrupt only after it has run this long.
constexpr int kCancelAfterMs = 150;
// How long the engine has to answer a cancel before it is ended.
constexpr int kCancelGraceMs = 300;
constexpr int kSliceMs = 50;
// How long a reply is looked for before the session blocks: what the engine takes for a
// small drawing's plot.
constexpr std::chrono::microseconds kAnswerMoment{1000};
// Calls that do not wait are sent at the latest when they come to this many bytes.
constexpr std::size_t kMaxOutgoing = 64 * 1024;

constexpr char kEnded[] =
    "the CAD engine that held this object has ended; it was started again for the next "
    "drawing";
constexpr char kQuit[] = "The CAD engine has quit.";

std::string Doing(Method m, const std::string& label) {
    std::string text = std::string(" while ") + Activity(m);
    if (!label.empty()) {
        text += " " + label;
    }
    return text;
}

std::string FullName(const Handle& h) {
#ifdef _WIN32
    constexpr char kSeparator = '\\';
#else
    constexpr char kSeparator = '/';
#endif
    return h.path.empty() ? h.name : h.path + kSeparator + h.name;
}

// Calls that change nothing in the engine: answers kept from before them stay true.
bool ReadsOnly(Method m) {
    switch (m) {
        case Method::AppActiveDocument:
        case Method::AppDocuments:
        case Method::DocsCount:
        case Method::DocsItem:
        case Method::DocGetVariable:
        case Method::DocName:
        case Method::DocPath:
        case Method::DocActiveLayout:
        case Method::DocLayouts:
        case Method::DocModelSpace:
        case Method::DocPaperSpace:
        case Method::DocPlot:
        case Method::DocBlocks:
        case Method::LayoutsCount:
        case Method::LayoutsItem:
        case Method::LayoutsItemByName:
        case Method::LayoutsList:
        case Method::LayoutName:
        case Method::LayoutGetPlotDeviceNames:
        case Method::LayoutGetCanonicalMediaNames:
        case Method::LayoutGetPlotStyleTableNames:
        case Method::LayoutGetLocaleMediaName:
        case Method::LayoutGetLocaleMediaNames:
        case Method::LayoutStyleSheet:
        case Method::LayoutPlot:
        case Method::LayoutBlock:
        case Method::BlocksCount:
        case Method::BlocksItem:
        case Method::BlocksItemByName:
        case Method::BlocksList:
        case Method::BlockName:
        case Method::BlockIsXRef:
        case Method::BlockXRefDatabase:
        case Method::BlockPath:
        case Method::BlockCount:
        case Method::BlockLayout:
        case Method::BlockItem:
        case Method::DatabaseModelSpace:
        case Method::EntityObjectName:
            return true;
        default:
            return false;
    }
}

class Session;

// The blocks, layouts and active layout of the drawing opened last, asked with its open: the
// run looks at them next. True while no drawing is opened or closed.
struct OpenedAhead {
    std::uint64_t generation = 0;
    std::uint64_t epoch = 0;
    std::string file;
    Ref<AcadBlocks> blocks;
    Ref<AcadLayouts> layouts;
    Ref<AcadLayout> activeLayout;
};

// What the engine told of an object whose handle the program chose, with when the call
// that made it was sent.
struct Told {
    Handle handle;
    std::uint64_t epoch = 0;
    std::uint64_t styleSheetSets = 0;
};

// A handle that more than one proxy may serve: given back to the engine when the last of
// them and the list it came in are gone.
class HandleOwner {
public:
    HandleOwner(Session& s, std::uint64_t generation, std::uint32_t id)
        : session_(s), generation_(generation), id_(id) {}
    ~HandleOwner();
    HandleOwner(const HandleOwner&) = delete;
    HandleOwner& operator=(const HandleOwner&) = delete;

private:
    Session& session_;
    std::uint64_t generation_;
    std::uint32_t id_;
};

// The open drawings as the engine told them after the last call that opened or closed one:
// true while the epochs stay the same (the active one while the active epoch does).
struct OpenDrawings {
    std::uint64_t epoch = 0;
    std::uint64_t activeEpoch = 0;
    std::uint64_t changes = 0;
    HandleList list;
    std::vector<std::shared_ptr<HandleOwner>> owners;
    std::vector<std::weak_ptr<AcadDocument>> made;  // the proxies served so far
};

// The client's end of the connection to whichever engine serves it now. A new engine
// gives a new generation; objects of an earlier one fail.
class Session {
public:
    explicit Session(RemoteOptions options) : options_(std::move(options)) {
        if (options_.program.isEmpty()) {
            options_.program = DefaultEngineProgram();
        }
        if (options_.socketName.isEmpty()) {
            options_.socketName = DefaultSocketName(options_.program);
        }
        clock_.start();
    }
    ~Session() {
        // Calls that nobody waits for still reach the engine.
        if (socket_ && !outgoing_.empty()) {
            Send(outgoing_);
        }
        Drop();
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Connects to the engine that runs; false when none answers.
    bool Attach();
    // Whether an interrupt came that this session has not taken up; takes it up.
    bool TakeCancel() {
        const std::uint32_t count = cancels.load();
        if (count == cancelsTaken_ || count == cancelsCleared.load()) {
            return false;
        }
        cancelsTaken_ = count;
        return true;
    }
    // Starts an engine and connects to it.
    void Start();

    // A call and its answer. With `wait` false, a call that returns nothing goes out with
    // the next call that waits; should it fail, that call throws its error instead.
    // `chosen`: the handle that the object the call returns is to get.
    // With `ahead`, a failure of the call is no failure of the program's: its answer is
    // then empty.
    Value Call(std::uint64_t generation, std::uint32_t handle, Method m, std::vector<Value> args,
               const std::string& label, bool wait = true, std::uint32_t chosen = 0,
               bool ahead = false);
    // A call asked ahead without waiting; its answer, once read, is Answer(its number).
    std::uint32_t Ahead(std::uint64_t generation, std::uint32_t handle, Method m,
                        std::uint32_t chosen, const std::string& label) {
        Call(generation, handle, m, {}, label, false, chosen, true);
        return sequence_;
    }
    Value Answer(std::uint32_t sequence) {
        auto it = answers_.find(sequence);
        if (it == answers_.end()) {
            return {};
        }
        Value v = std::move(it->second);
        answers_.erase(it);
        return v;
    }
    // What the engine told of the object of a handle the program chose, once its call's
    // answer has been read; null before.
    const Told* ToldOf(std::uint32_t handle) const {
        auto it = told_.find(handle);
        return it == told_.end() ? nullptr : &it->second;
    }
    // The papers of a device as the engine last listed them, kept while this engine serves
    // and the devices are not listed again; null when not kept.
    const Strings* PapersOf(const std::string& device) const {
        auto it = papers_.find(device);
        return it == papers_.end() ? nullptr : &it->second;
    }
    void KeepPapers(const std::string& device, const Strings& papers) { papers_[device] = papers; }
    void ForgetPapers() { papers_.clear(); }
    // Changes with every device set on a layout.
    std::uint64_t DeviceSets() const { return deviceSets_; }
    void NoteDeviceSet() { ++deviceSets_; }
    // Changes with every plot style table set on a layout.
    std::uint64_t StyleSheetSets() const { return styleSheetSets_; }
    void NoteStyleSheetSet() { ++styleSheetSets_; }
    void NoteOpened(std::weak_ptr<OpenedAhead> opened) { opened_ = std::move(opened); }
    // The blocks and layouts asked with the open of `file`, while they are true.
    std::shared_ptr<OpenedAhead> OpenedAheadOf(const std::string& file) const {
        auto a = opened_.lock();
        return a && a->generation == generation_ && a->epoch == epoch_ && a->file == file ? a
                                                                                          : nullptr;
    }
    // A handle of the client's choice for an object to come.
    std::uint32_t ChooseHandle() {
        if (chosen_ == 0) {
            chosen_ = kFirstClientHandle;
        }
        return chosen_++;
    }
    // A call on the application object: a fresh engine when the last one ended.
    Value CallApplication(Method m, std::vector<Value> args, bool wait = true);
    void Release(std::uint64_t generation, std::uint32_t handle) {
        told_.erase(handle);
        if (generation == generation_ && socket_) {
            released_.push_back(handle);
        }
    }
    std::uint64_t Generation() const { return generation_; }
    // Changes with every call that may change which drawings are open, which layout of a
    // drawing is the active one or which blocks a drawing has.
    std::uint64_t Epoch() const { return epoch_; }
    // Changes with these and with every call that may change which drawing is active.
    std::uint64_t ActiveEpoch() const { return activeEpoch_; }
    // Changes with every call that may change something in the engine.
    std::uint64_t Changes() const { return changes_; }
    // The open drawings, while nothing may have changed them; null otherwise.
    OpenDrawings* Drawings() {
        return drawings_ && drawings_->epoch == epoch_ ? &*drawings_ : nullptr;
    }
    bool ActiveTold() const {
        return drawings_ && drawings_->activeEpoch == activeEpoch_ && drawings_->list.active >= 0;
    }
    // A drawing that was just activated is the active drawing, until the next change.
    void NoteActivated(std::weak_ptr<AcadDocument> doc, std::string label) {
        activated_ = {activeEpoch_, std::move(doc)};
        activatedLabel_ = std::move(label);
    }
    Ref<AcadDocument> Activated() const {
        return activated_.first == activeEpoch_ ? activated_.second.lock() : nullptr;
    }
    // A fresh engine when the last one ended; false after Quit.
    void Connect() {
        if (quit_) {
            throw CadError(kQuit);
        }
        if (!socket_) {
            Start();
        }
    }
    const automation::PlotJournal& Journal() const { return journal_; }
    // The record of the last plot call: what `call` added to the journal, if anything.
    template <class F>
    auto Plotting(F&& call) -> decltype(call()) {
        const std::size_t mark = journal_.Size();
        lastPlot_.reset();
        struct Note {
            Session& s;
            std::size_t mark;
            ~Note() {
                auto added = s.journal_.RecordsFrom(mark);
                if (!added.empty()) {
                    s.lastPlot_ = std::move(added.back());
                }
            }
        } note{*this, mark};
        return call();
    }
    const std::optional<automation::PlotRecord>& LastPlot() const { return lastPlot_; }

private:
    // A call sent, or to be sent, whose reply has not been read.
    struct Pending {
        std::uint32_t sequence;
        Method method;
        std::string label;
        qint64 sentAt;  // ms of clock_; -1 while still in outgoing_
        std::uint32_t chosen;
        bool ahead;
        std::uint64_t epoch;
        std::uint64_t styleSheetSets;
    };

    [[noreturn]] void Fail(const std::string& what, bool kill);
    void Drop();
    bool Send(const std::string& bytes);
    // Sends the calls collected in outgoing_.
    void Flush();
    // Reads the replies of every pending call; the last one's answer.
    Value Settle();
    void SetDrawings(HandleList list);
    int LimitSeconds(Method m) const;
    // Waits for the next message until `deadline` (ms of clock_); a cancel is taken up
    // only `since` + kCancelAfterMs on.
    enum class Wait { Message, Timeout, Closed, Cancelled };
    // `kind`: what is waited for (the method of the call that waits), to tell waits apart.
    Wait Receive(std::string& message, qint64 deadline, bool cancellable, qint64 since = 0,
                 std::size_t kind = 0);

    RemoteOptions options_;
    std::unique_ptr<QLocalSocket> socket_;
    FrameBuffer frames_;
    Spinner spinner_{kAnswerMoment};
    bool connected_ = false;
    qint64 pid_ = 0;
    std::uint64_t generation_ = 0;
    std::uint32_t sequence_ = 0;
    std::uint32_t chosen_ = 0;
    std::uint64_t epoch_ = 0;
    std::uint64_t activeEpoch_ = 0;
    std::uint64_t changes_ = 0;
    std::optional<OpenDrawings> drawings_;
    std::pair<std::uint64_t, std::weak_ptr<AcadDocument>> activated_;
    std::string activatedLabel_;
    std::vector<std::uint32_t> released_;
    bool quit_ = false;
    automation::PlotJournal journal_;
    std::optional<automation::PlotRecord> lastPlot_;
    QElapsedTimer clock_;
    // Calls not sent yet, the calls whose replies are still to be read, and when the last
    // reply came (a call's time limit counts from then or from its sending, the later).
    std::string outgoing_;
    std::deque<Pending> pending_;
    std::uint32_t cancelsTaken_ = 0;  // the interrupts this session has taken up
    qint64 lastReply_ = 0;
    std::map<std::uint32_t, Value> answers_;
    std::map<std::uint32_t, Told> told_;
    std::uint64_t styleSheetSets_ = 0;
    std::weak_ptr<OpenedAhead> opened_;
    std::map<std::string, Strings> papers_;
    std::uint64_t deviceSets_ = 0;
};

HandleOwner::~HandleOwner() {
    session_.Release(generation_, id_);
}

void Session::Drop() {
    if (std::exchange(connected_, false)) {
        connectedSessions.fetch_sub(1, std::memory_order_relaxed);
    }
    drawings_.reset();
    papers_.clear();
    if (socket_) {
        socket_->abort();
        socket_.reset();
    }
    frames_ = FrameBuffer();
    released_.clear();
    outgoing_.clear();
    pending_.clear();
    answers_.clear();
    told_.clear();
}

void Session::Fail(const std::string& what, bool kill) {
    if (kill) {
        KillProcess(pid_);
    }
    Drop();
    throw CadFailure(what);
}

bool Session::Send(const std::string& bytes) {
    socket_->write(bytes.data(), static_cast<qint64>(bytes.size()));
    // Written at once while the socket takes it, waited for only when it is full.
    socket_->flush();
    while (socket_->bytesToWrite() > 0) {
        if (!socket_->waitForBytesWritten(1000)) {
            return false;
        }
    }
    return true;
}

Session::Wait Session::Receive(std::string& message, qint64 deadline, bool cancellable,
                               qint64 since, std::size_t kind) {
    bool spun = false;
    for (;;) {
        if (frames_.Next(message)) {
            return Wait::Message;
        }
        const qint64 now = clock_.elapsed();
        if (now >= deadline) {
            return Wait::Timeout;
        }
        if (cancellable && now >= since + kCancelAfterMs && TakeCancel()) {
            return Wait::Cancelled;
        }
        if (socket_->state() != QLocalSocket::ConnectedState && socket_->bytesAvailable() == 0) {
            return Wait::Closed;
        }
        const int slice = static_cast<int>(std::min<qint64>(kSliceMs, deadline - now));
        bool ready = socket_->bytesAvailable() > 0;
        if (!ready && !spun && SpareProcessors()) {
            spun = true;
            ready = spinner_.Spin(kind, [&] { return socket_->waitForReadyRead(0); });
        }
        if (!ready) {
            ready = socket_->waitForReadyRead(slice);
        }
        if (ready) {
            const QByteArray bytes = socket_->readAll();
            frames_.Append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        } else if (socket_->state() != QLocalSocket::ConnectedState) {
            return Wait::Closed;
        }
    }
}

bool Session::Attach() {
    Drop();
    const std::string name = options_.socketName.toStdString();
#ifndef _WIN32
    if (!QFileInfo::exists(options_.socketName)) {
        return false;
    }
    if (!OwnedByThisUser(name)) {
        throw CadError("The CAD engine's socket " + name + " is not this user's.");
    }
#endif
    socket_ = std::make_unique<QLocalSocket>();
    socket_->connectToServer(options_.socketName);
    if (!socket_->waitForConnected(2000)) {
        Drop();
        return false;
    }
    Writer hello(MessageType::Hello);
    hello.U16(kProtocolVersion);
    std::string message;
    try {
        if (!Send(hello.Frame()) ||
            Receive(message, clock_.elapsed() + options_.limits.shortSeconds * 1000LL, false) !=
                Wait::Message) {
            Drop();
            return false;
        }
        Reader in(message);
        if (static_cast<MessageType>(in.U8()) != MessageType::Welcome ||
            in.U16() != kProtocolVersion) {
            Drop();
            throw CadError("The CAD engine that runs is of another version.");
        }
        pid_ = in.I64();
        in.U32();
    } catch (const ProtocolError&) {
        Drop();
        return false;
    }
    ++generation_;
    ++epoch_;
    ++activeEpoch_;
    quit_ = false;
    connected_ = true;
    connectedSessions.fetch_add(1, std::memory_order_relaxed);
    return true;
}

void Session::Start() {
    if (Attach()) {
        return;
    }
    if (!QFileInfo(options_.program).isExecutable()) {
        throw CadError("The CAD engine's program " + options_.program.toStdString() +
                       " was not found.");
    }
    std::vector<std::string> arguments{"--socket", options_.socketName.toStdString(), "--memory-mb",
                                       std::to_string(options_.memoryLimitMB)};
    for (const QString& a : options_.arguments) {
        arguments.push_back(a.toStdString());
    }
    std::string error;
    const std::int64_t pid = StartDetached(options_.program.toStdString(), arguments, error);
    if (pid == 0) {
        throw CadError("The CAD engine could not be started: " + error);
    }
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < options_.limits.startSeconds * 1000LL) {
        if (Attach()) {
            return;
        }
        if (!ProcessAlive(pid)) {
            // It may have found another engine on the socket and left it that one.
            if (Attach()) {
                return;
            }
            throw CadError("The CAD engine ended as it started.");
        }
        // An engine is ready in some tens of milliseconds: its socket is looked for every
        // quarter of a millisecond until then.
        QThread::usleep(clock.elapsed() < 500 ? 250 : 10000);
    }
    KillProcess(pid);
    throw CadError("The CAD engine did not start within " +
                   std::to_string(options_.limits.startSeconds) + " s.");
}

Value Session::CallApplication(Method m, std::vector<Value> args, bool wait) {
    Connect();
    // The application works on the drawing that was just activated: its failures name it.
    const std::string label = Activated() ? activatedLabel_ : std::string();
    Value v = Call(generation_, kApplicationHandle, m, std::move(args), label, wait);
    if (m == Method::AppQuit) {
        quit_ = true;
        Drop();
    }
    return v;
}

int Session::LimitSeconds(Method m) const {
    const int configured = IsLongCall(m) ? (longCallOverride > 0 ? longCallOverride.load()
                                                                 : options_.limits.longSeconds)
                                         : options_.limits.shortSeconds;
    return IsLongCall(m) ? configured : std::min(configured, options_.limits.longSeconds);
}

Value Session::Call(std::uint64_t generation, std::uint32_t handle, Method m,
                    std::vector<Value> args, const std::string& label, bool wait,
                    std::uint32_t chosen, bool ahead) {
    if (generation != generation_ || !socket_) {
        throw CadFailure(kEnded);
    }
    const std::uint32_t sequence = ++sequence_;
    if (!ReadsOnly(m)) {
        ++changes_;
    }
    switch (m) {
        case Method::DocsOpen:
        case Method::DocsAdd:
        case Method::DocClose:
        case Method::DocSetActiveLayout:
        case Method::BlockSetPath:
        case Method::BlockReload:
        case Method::AppQuit:
            ++epoch_;
            ++activeEpoch_;
            break;
        case Method::DocActivate:
            ++activeEpoch_;
            break;
        default:
            break;
    }
    Writer call(MessageType::Call);
    call.U32(sequence);
    call.U32(handle);
    call.U16(static_cast<std::uint16_t>(m));
    call.U8(static_cast<std::uint8_t>((wait ? 0 : kNoWait) | (ahead ? kAhead : 0) |
                                      (SpareProcessors() ? kSpinning : 0)));
    call.U32(chosen);
    call.U32(static_cast<std::uint32_t>(released_.size()));
    for (std::uint32_t id : released_) {
        call.U32(id);
    }
    call.U8(static_cast<std::uint8_t>(args.size()));
    for (const auto& a : args) {
        call.Val(a);
    }
    std::string frame;
    try {
        frame = call.Frame();
    } catch (const ProtocolError& e) {
        throw CadError(std::string("The call is too large for the CAD engine: ") + e.what());
    }
    released_.clear();
    outgoing_ += frame;
    pending_.push_back(Pending{sequence, m, label, -1, chosen, ahead, epoch_, styleSheetSets_});
    if (!wait) {
        // A long row of calls goes out without waiting for the one that ends it.
        if (outgoing_.size() > kMaxOutgoing) {
            Flush();
        }
        return {};
    }
    Flush();
    roundTrips.fetch_add(1, std::memory_order_relaxed);
    return Settle();
}

void Session::Flush() {
    if (outgoing_.empty()) {
        return;
    }
    if (!Send(outgoing_)) {
        Fail("the CAD engine crashed" + Doing(pending_.front().method, pending_.front().label),
             true);
    }
    outgoing_.clear();
    const qint64 now = clock_.elapsed();
    for (auto it = pending_.rbegin(); it != pending_.rend() && it->sentAt < 0; ++it) {
        it->sentAt = now;
    }
}

void Session::SetDrawings(HandleList list) {
    OpenDrawings d;
    d.epoch = epoch_;
    d.activeEpoch = activeEpoch_;
    d.changes = changes_;
    for (const auto& h : list.items) {
        d.owners.push_back(std::make_shared<HandleOwner>(*this, generation_, h.id));
    }
    d.made.resize(list.items.size());
    d.list = std::move(list);
    drawings_ = std::move(d);
}

Value Session::Settle() {
    // The first failure of a call that did not wait: the call that waits throws it.
    std::optional<std::string> failed;
    std::optional<HandleList> drawings;
    answers_.clear();
    for (;;) {
        // The engine runs the calls in order: the first pending one is the one under way.
        const Pending head = std::move(pending_.front());
        // What the engine was doing, for a failure's text.
        const auto doing = [&] { return Doing(head.method, head.label); };
        const int seconds = LimitSeconds(head.method);
        const qint64 start = std::max(head.sentAt, lastReply_);
        std::string message;
        switch (Receive(message, start + seconds * 1000LL, true, start,
                        static_cast<std::size_t>(pending_.back().method))) {
            case Wait::Message:
                break;
            case Wait::Timeout:
                Fail("the CAD engine stopped responding" + doing() + " (no answer within " +
                         std::to_string(seconds) + " s); it was ended",
                     true);
            case Wait::Closed:
                Fail("the CAD engine crashed" + doing(), true);
            case Wait::Cancelled: {
                Writer cancel(MessageType::Cancel);
                cancel.U32(head.sequence);
                Send(cancel.Frame());
                if (Receive(message, clock_.elapsed() + kCancelGraceMs, false) != Wait::Message) {
                    // The engine works on: it is ended. It holds drawings read-only, so
                    // nothing is lost.
                    Fail("the run was stopped" + doing(), true);
                }
                break;
            }
        }
        lastReply_ = clock_.elapsed();
        pending_.pop_front();

        Status status{};
        Value result;
        std::string error;
        try {
            Reader in(message);
            if (static_cast<MessageType>(in.U8()) != MessageType::Reply ||
                in.U32() != head.sequence) {
                throw ProtocolError("an answer to another call");
            }
            status = static_cast<Status>(in.U8());
            if (status == Status::Ok) {
                result = in.Val();
            } else {
                error = in.Str();
            }
            for (std::uint32_t i = 0, n = in.Count(38); i < n; ++i) {
                journal_.Add(in.Plot());
            }
            for (std::uint32_t i = 0, n = in.Count(13); i < n; ++i) {
                journal_.AddOpen(in.Open());
            }
            if (in.U8() != 0) {
                drawings = in.Objects();
                for (const auto& h : drawings->items) {
                    if (h.kind != Kind::Document) {
                        throw ProtocolError("a drawing of another kind");
                    }
                }
            }
        } catch (const ProtocolError& e) {
            Fail(std::string("the CAD engine gave an answer that makes no sense") + doing() + " (" +
                     e.what() + ")",
                 true);
        }
        if (status == Status::Ok && head.chosen != 0) {
            if (const auto* h = std::get_if<Handle>(&result); h && h->id == head.chosen) {
                told_[head.chosen] = Told{*h, head.epoch, head.styleSheetSets};
            }
        }
        if (head.ahead && (status == Status::CadError || status == Status::BadRequest)) {
            status = Status::Ok;
            result = {};
        }
        if (head.ahead && !pending_.empty()) {
            answers_[head.sequence] = std::move(result);
        }
        switch (status) {
            case Status::Ok:
                break;
            case Status::CadError:
                failed = failed.value_or(error);
                break;
            case Status::OutOfMemory:
                Fail("the CAD engine ran out of memory" + doing() + " (limit " +
                         std::to_string(options_.memoryLimitMB) + " MB)",
                     true);
            case Status::BadRequest:
                failed = failed.value_or("The CAD engine did not understand the call: " + error);
                break;
            case Status::Skipped:
                if (!failed) {
                    Fail("the CAD engine gave an answer that makes no sense" + doing() +
                             " (a call left undone)",
                         true);
                }
                break;
            default:
                Fail("the CAD engine gave an answer that makes no sense" + doing() +
                         " (an unknown status)",
                     true);
        }
        if (pending_.empty()) {
            if (drawings) {
                SetDrawings(std::move(*drawings));
            }
            if (failed) {
                throw CadError(*failed);
            }
            return result;
        }
    }
}

// --- the objects ---------------------------------------------------------------------

class Proxy {
public:
    Proxy(std::shared_ptr<Session> session, const Handle& h, std::string label)
        : session_(std::move(session)),
          generation_(session_->Generation()),
          id_(h.id),
          label_(std::move(label)) {}
    ~Proxy() {
        // Handle 0: an object told with another, of which the engine keeps nothing.
        if (!owner_ && id_ != 0) {
            session_->Release(generation_, id_);
        }
    }
    // The handle is another's to give back.
    void Share(std::shared_ptr<HandleOwner> owner) { owner_ = std::move(owner); }
    Proxy(const Proxy&) = delete;
    Proxy& operator=(const Proxy&) = delete;
    std::uint64_t Generation() const { return generation_; }
    std::uint32_t Id() const { return id_; }

protected:
    // What `fetch` gave while the session's epoch stays the same.
    template <class T, class F>
    T Kept(std::pair<std::uint64_t, T>& slot, F&& fetch) const {
        if (slot.first != session_->Epoch()) {
            slot.second = fetch();
            slot.first = session_->Epoch();
        }
        Alive();
        return slot.second;
    }
    template <class T, class F>
    T KeptItem(std::uint64_t& epoch, std::map<std::int32_t, T>& items, std::int32_t index,
               F&& fetch) const {
        if (epoch != session_->Epoch()) {
            items.clear();
            epoch = session_->Epoch();
        }
        auto it = items.find(index);
        if (it == items.end()) {
            it = items.emplace(index, fetch()).first;
        }
        Alive();
        return it->second;
    }
    void Alive() const {
        if (generation_ != session_->Generation()) {
            throw CadFailure(kEnded);
        }
    }
    Value Call(Method m, std::vector<Value> args = {}) const {
        return session_->Call(generation_, id_, m, std::move(args), label_);
    }
    // A call that returns nothing and fails, if ever, only where everything after it on
    // the same drawing would fail too: it goes out with the next call that waits.
    void Post(Method m, std::vector<Value> args = {}) const {
        session_->Call(generation_, id_, m, std::move(args), label_, false);
    }
    // The same for a call that returns an object which tells nothing of itself with its
    // handle and is there while the drawing is open: the object's handle is chosen here.
    template <class I>
    Ref<I> Promised(Method m, Kind kind) const;
    template <class T>
    T Get(Method m, std::vector<Value> args = {}) const {
        Value v = Call(m, std::move(args));
        if (auto* t = std::get_if<T>(&v)) {
            return std::move(*t);
        }
        throw CadError("The CAD engine answered with a value of another type.");
    }
    template <class I>
    Ref<I> Object(Method m, std::vector<Value> args = {}) const;
    // The items of a collection, asked all at once and kept while the epoch stays.
    template <class I>
    struct Listed {
        std::optional<std::uint64_t> epoch;
        std::int32_t count = 0;
        std::vector<Ref<I>> items;
        std::vector<Handle> blocks;
    };
    template <class I>
    const Listed<I>& List(Listed<I>& slot, Method m) const;
    // Fills `slot` with `list`, true from now.
    template <class I>
    void Fill(Listed<I>& slot, HandleList list) const;

    std::shared_ptr<Session> session_;
    std::uint64_t generation_;
    std::uint32_t id_;
    std::string label_;
    std::shared_ptr<HandleOwner> owner_;
};

template <class I>
Ref<I> MakeProxy(const std::shared_ptr<Session>& s, const Handle& h, const std::string& label);

template <class I>
Ref<I> Proxy::Promised(Method m, Kind kind) const {
    Handle h;
    h.kind = kind;
    h.id = session_->ChooseHandle();
    session_->Call(generation_, id_, m, {}, label_, false, h.id);
    return MakeProxy<I>(session_, h, label_);
}

template <class I>
auto Proxy::List(Listed<I>& slot, Method m) const -> const Listed<I>& {
    if (slot.epoch != session_->Epoch()) {
        Value v = Call(m);
        auto* list = std::get_if<HandleList>(&v);
        if (!list) {
            throw CadError("The CAD engine answered with a value of another type.");
        }
        Fill(slot, std::move(*list));
    }
    Alive();
    return slot;
}

template <class I>
void Proxy::Fill(Listed<I>& slot, HandleList list) const {
    Listed<I> fresh;
    fresh.count = list.count;
    fresh.blocks = std::move(list.blocks);
    for (const auto& h : list.items) {
        fresh.items.push_back(MakeProxy<I>(session_, h, label_));
    }
    fresh.epoch = session_->Epoch();
    slot = std::move(fresh);
}

template <class I>
Ref<I> Proxy::Object(Method m, std::vector<Value> args) const {
    Value v = Call(m, std::move(args));
    if (std::holds_alternative<std::monostate>(v)) {
        return nullptr;
    }
    const auto* h = std::get_if<Handle>(&v);
    if (!h) {
        throw CadError("The CAD engine answered with a value of another type.");
    }
    return MakeProxy<I>(session_, *h, label_);
}

// The proxy of an open drawing that the engine told after a call that opened or closed one.
Ref<AcadDocument> DrawingAt(const std::shared_ptr<Session>& s, OpenDrawings& d, std::size_t i);

// The count and the items are those the engine told with its last answer that opened or
// closed a drawing, else kept while no drawing is opened, added or closed.
class RemoteDocuments : public AcadDocuments, public Proxy {
public:
    using Proxy::Proxy;
    std::int32_t Count() override {
        Alive();
        if (const auto* told = session_->Drawings()) {
            return told->list.count;
        }
        return Kept(count_, [&] { return Get<std::int32_t>(Method::DocsCount); });
    }
    Ref<AcadDocument> Item(std::int32_t index) override {
        Alive();
        auto* told = session_->Drawings();
        if (told && index >= 0 && static_cast<std::size_t>(index) < told->list.items.size()) {
            return DrawingAt(session_, *told, static_cast<std::size_t>(index));
        }
        return KeptItem(itemsEpoch_, items_, index,
                        [&] { return Object<AcadDocument>(Method::DocsItem, {index}); });
    }
    Ref<AcadDocument> Add() override { return Object<AcadDocument>(Method::DocsAdd); }
    // The drawing's blocks and layouts are asked with it, without a wait of their own.
    Ref<AcadDocument> Open(const std::string& path, bool readOnly) override;

private:
    std::shared_ptr<OpenedAhead> opened_;
    std::pair<std::uint64_t, std::int32_t> count_{0, 0};
    std::uint64_t itemsEpoch_ = 0;
    std::map<std::int32_t, Ref<AcadDocument>> items_;
};

class RemoteDocument : public AcadDocument,
                       public Proxy,
                       public std::enable_shared_from_this<RemoteDocument> {
public:
    RemoteDocument(std::shared_ptr<Session> s, const Handle& h, std::string label)
        : Proxy(std::move(s), h, std::move(label)),
          name_(h.name),
          path_(h.path),
          dbmod_((h.flags & kDrawingFacts) != 0 ? std::optional(h.number) : std::nullopt),
          toldAt_(session_->Changes()) {}
    // What came with the handle was true when the engine had made that many changes.
    void ToldAt(std::uint64_t changes) { toldAt_ = changes; }
    // DBMOD, as told with the handle while nothing may have changed the drawing.
    std::int32_t GetVariable(const std::string& name) override {
        if (dbmod_ && !closed_ && toldAt_ == session_->Changes() && IsDbmod(name)) {
            Alive();
            return *dbmod_;
        }
        return Get<std::int32_t>(Method::DocGetVariable, {name});
    }
    void SetVariable(const std::string& name, std::int32_t value) override {
        Call(Method::DocSetVariable, {name, value});
    }
    void Close(bool saveChanges) override {
        closed_ = true;
        Call(Method::DocClose, {saveChanges});
    }
    // A drawing's name and folder came with its handle; a closed one asks the engine.
    std::string Name() override {
        return closed_ ? Get<std::string>(Method::DocName) : (Alive(), name_);
    }
    std::string Path() override {
        return closed_ ? Get<std::string>(Method::DocPath) : (Alive(), path_);
    }
    void Regen(std::int32_t which) override { Post(Method::DocRegen, {which}); }
    // Only a drawing that is no longer open fails to become active, and every call on it
    // after that fails too: the activation goes with the next call that waits.
    void Activate() override {
        Post(Method::DocActivate);
        session_->NoteActivated(weak_from_this(), label_);
    }
    Ref<AcadLayout> ActiveLayout() override {
        if (!activeLayout_ || activeLayoutEpoch_ != session_->Epoch() || closed_) {
            const auto ahead = closed_ ? nullptr : session_->OpenedAheadOf(label_);
            activeLayout_ = ahead && ahead->activeLayout
                                ? ahead->activeLayout
                                : Promised<AcadLayout>(Method::DocActiveLayout, Kind::Layout);
            activeLayoutEpoch_ = session_->Epoch();
        }
        Alive();
        return activeLayout_;
    }
    void SetActiveLayout(const Ref<AcadLayout>& layout) override;
    // The layouts object, like the blocks one, serves while the drawing is open.
    Ref<AcadLayouts> Layouts() override {
        if (!layouts_) {
            const auto ahead = session_->OpenedAheadOf(label_);
            layouts_ = ahead && ahead->layouts
                           ? ahead->layouts
                           : Promised<AcadLayouts>(Method::DocLayouts, Kind::Layouts);
        }
        Alive();
        return layouts_;
    }
    Ref<AcadBlock> ModelSpace() override { return Object<AcadBlock>(Method::DocModelSpace); }
    Ref<AcadBlock> PaperSpace() override { return Object<AcadBlock>(Method::DocPaperSpace); }
    // The plot object carries no state of its own: one serves while the drawing is open.
    Ref<AcadPlot> Plot() override {
        if (!plot_ || plotEpoch_ != session_->Epoch()) {
            plot_ = Promised<AcadPlot>(Method::DocPlot, Kind::Plot);
            plotEpoch_ = session_->Epoch();
        }
        Alive();
        return plot_;
    }
    // The warnings of the drawing's last open, from the journal that came back with it.
    Strings ReadWarnings() override {
        Alive();
        const std::string file = (std::filesystem::path(path_) / name_).string();
        // Asked as each drawing is opened: its open is the newest, found at once.
        const auto open = session_->Journal().LastOpenOf(file);
        return open ? open->warnings : Strings{};
    }
    Ref<AcadBlocks> Blocks() override {
        if (!blocks_) {
            const auto ahead = session_->OpenedAheadOf(label_);
            blocks_ = ahead && ahead->blocks
                          ? ahead->blocks
                          : Promised<AcadBlocks>(Method::DocBlocks, Kind::Blocks);
        }
        Alive();
        return blocks_;
    }

private:
    static bool IsDbmod(const std::string& name) {
        static constexpr char kDbmod[] = "DBMOD";
        return name.size() == 5 && std::equal(name.begin(), name.end(), kDbmod, [](char a, char b) {
                   return (a >= 'a' && a <= 'z' ? static_cast<char>(a - 'a' + 'A') : a) == b;
               });
    }

    Ref<AcadBlocks> blocks_;
    Ref<AcadLayouts> layouts_;
    std::string name_, path_;
    std::optional<std::int32_t> dbmod_;
    std::uint64_t toldAt_;
    bool closed_ = false;
    // The active layout as last asked, while nothing may have changed it.
    Ref<AcadLayout> activeLayout_;
    std::uint64_t activeLayoutEpoch_ = 0;
    Ref<AcadPlot> plot_;
    std::uint64_t plotEpoch_ = 0;
};

// The count and the items, asked at once, are kept while nothing changes the drawings.
class RemoteLayouts : public AcadLayouts, public Proxy {
public:
    using Proxy::Proxy;
    std::int32_t Count() override { return WithBlocks().count; }
    Ref<AcadLayout> Item(std::int32_t index) override {
        const auto& listed = WithBlocks();
        if (index >= 0 && static_cast<std::size_t>(index) < listed.items.size()) {
            return listed.items[static_cast<std::size_t>(index)];
        }
        return Object<AcadLayout>(Method::LayoutsItem, {index});
    }
    Ref<AcadLayout> Item(const std::string& name) override {
        return Object<AcadLayout>(Method::LayoutsItemByName, {name});
    }

    void Tell(HandleList list) { Fill(listed_, std::move(list)); }

private:
    // The layouts, each told its block.
    const Listed<AcadLayout>& WithBlocks();

    Listed<AcadLayout> listed_;
};

class RemoteLayout : public AcadLayout, public Proxy {
public:
    RemoteLayout(std::shared_ptr<Session> s, const Handle& h, std::string label)
        : Proxy(std::move(s), h, std::move(label)),
          name_((h.flags & kLayoutFacts) != 0 ? std::optional(h.name) : std::nullopt),
          nameEpoch_(session_->Epoch()) {
        if ((h.flags & kLayoutFacts) != 0) {
            styleSheet_ = Told{h, nameEpoch_, session_->StyleSheetSets()};
        }
    }
    // A layout's name came with its handle; once its drawing may be closed, it is asked.
    std::string Name() override {
        return name_ && nameEpoch_ == session_->Epoch() ? (Alive(), *name_)
                                                        : Get<std::string>(Method::LayoutName);
    }
    void RefreshPlotDeviceInfo() override { Post(Method::LayoutRefreshPlotDeviceInfo); }
    // Listing the devices again reads their papers again too.
    Strings GetPlotDeviceNames() override {
        session_->ForgetPapers();
        return Get<Strings>(Method::LayoutGetPlotDeviceNames);
    }
    // A device's papers stay the same while its configuration does: those of the device
    // that was set on this layout are asked once per engine.
    Strings GetCanonicalMediaNames() override {
        // The device set last, as long as no other was set since on any layout.
        const bool known = device_ && deviceSet_ == session_->DeviceSets();
        const Strings* kept = known ? session_->PapersOf(*device_) : nullptr;
        Strings papers =
            kept ? (Alive(), *kept) : Get<Strings>(Method::LayoutGetCanonicalMediaNames);
        if (known && !kept) {
            session_->KeepPapers(*device_, papers);
        }
        papers_ = papers;
        papersAt_ = session_->Changes();
        localeNames_.clear();
        return papers;
    }
    Strings GetPlotStyleTableNames() override {
        return Get<Strings>(Method::LayoutGetPlotStyleTableNames);
    }
    // The locale names of the papers last listed are asked all at once, at the first.
    std::string GetLocaleMediaName(const std::string& canonicalName) override {
        if (papersAt_ == session_->Changes() && papers_.size() <= kMaxListed &&
            std::find(papers_.begin(), papers_.end(), canonicalName) != papers_.end()) {
            if (localeNames_.empty()) {
                Value v = session_->Call(generation_, id_, Method::LayoutGetLocaleMediaNames,
                                         {papers_}, label_, true, 0, true);
                if (const auto* names = std::get_if<Strings>(&v);
                    names && names->size() == papers_.size()) {
                    for (std::size_t i = 0; i < names->size(); ++i) {
                        localeNames_.emplace(papers_[i], (*names)[i]);
                    }
                }
            }
            if (auto it = localeNames_.find(canonicalName); it != localeNames_.end()) {
                return it->second;
            }
        }
        return Get<std::string>(Method::LayoutGetLocaleMediaName, {canonicalName});
    }
    void SetConfigName(const std::string& device) override {
        session_->NoteDeviceSet();
        Post(Method::LayoutSetConfigName, {device});
        device_ = device;
        deviceSet_ = session_->DeviceSets();
    }
    void SetCanonicalMediaName(const std::string& name) override {
        Post(Method::LayoutSetCanonicalMediaName, {name});
    }
    void SetPlotWithPlotStyles(bool value) override {
        Post(Method::LayoutSetPlotWithPlotStyles, {value});
    }
    // The plot style table as told with the handle (or with the answer of the call that
    // made it), while no table is set on any layout.
    std::string StyleSheet() override {
        if (!styleSheet_) {
            if (const Told* told = session_->ToldOf(id_);
                told && (told->handle.flags & kLayoutFacts) != 0) {
                styleSheet_ = *told;
            }
        }
        if (styleSheet_ && styleSheet_->epoch == session_->Epoch() &&
            styleSheet_->styleSheetSets == session_->StyleSheetSets()) {
            Alive();
            return styleSheet_->handle.path;
        }
        return Get<std::string>(Method::LayoutStyleSheet);
    }
    void SetStyleSheet(const std::string& name) override {
        session_->NoteStyleSheetSet();
        Post(Method::LayoutSetStyleSheet, {name});
    }
    void SetPlotType(std::int32_t type) override { Post(Method::LayoutSetPlotType, {type}); }
    void SetStandardScale(std::int32_t scale) override {
        Post(Method::LayoutSetStandardScale, {scale});
    }
    void SetUseStandardScale(bool value) override {
        Post(Method::LayoutSetUseStandardScale, {value});
    }
    void SetPlotRotation(std::int32_t rotation) override {
        Post(Method::LayoutSetPlotRotation, {rotation});
    }
    void SetCenterPlot(bool value) override { Post(Method::LayoutSetCenterPlot, {value}); }
    void ZoomExtents() override { Post(Method::LayoutZoomExtents); }
    Ref<AcadPlot> Plot() override { return Promised<AcadPlot>(Method::LayoutPlot, Kind::Plot); }
    // The block that came with the layout's handle, while no reference is reloaded or moved.
    Ref<AcadBlock> Block() override {
        if (block_ && blockEpoch_ == session_->Epoch()) {
            Alive();
            return block_;
        }
        return Object<AcadBlock>(Method::LayoutBlock);
    }
    void TellBlock(const Handle& h) {
        block_ = MakeProxy<AcadBlock>(session_, h, label_);
        blockEpoch_ = session_->Epoch();
    }

private:
    std::optional<std::string> name_;
    std::uint64_t nameEpoch_;
    std::optional<Told> styleSheet_;
    // The device set on the layout through this proxy, if any.
    std::optional<std::string> device_;
    std::uint64_t deviceSet_ = 0;
    Strings papers_;
    std::optional<std::uint64_t> papersAt_;
    std::map<std::string, std::string> localeNames_;
    Ref<AcadBlock> block_;
    std::uint64_t blockEpoch_ = 0;
};

auto RemoteLayouts::WithBlocks() -> const Listed<AcadLayout>& {
    auto& listed = List(listed_, Method::LayoutsList);
    if (!listed.blocks.empty()) {
        for (std::size_t i = 0; i < listed.items.size() && i < listed.blocks.size(); ++i) {
            if (listed.blocks[i].id != 0) {
                static_cast<RemoteLayout&>(*listed.items[i]).TellBlock(listed.blocks[i]);
            }
        }
        listed_.blocks.clear();
    }
    return listed;
}

void RemoteDocument::SetActiveLayout(const Ref<AcadLayout>& layout) {
    const auto* remote = dynamic_cast<const RemoteLayout*>(layout.get());
    if (!remote) {
        throw CadError("The layout belongs to another CAD application.");
    }
    if (remote->Generation() != generation_) {
        throw CadFailure(kEnded);
    }
    Handle h;
    h.kind = Kind::Layout;
    h.id = remote->Id();
    Call(Method::DocSetActiveLayout, {h});
}

class RemotePlot : public AcadPlot, public Proxy {
public:
    using Proxy::Proxy;
    void SetQuietErrorMode(bool quiet) override { Post(Method::PlotSetQuietErrorMode, {quiet}); }
    void SetNumberOfCopies(std::int32_t copies) override {
        Post(Method::PlotSetNumberOfCopies, {copies});
    }
    bool PlotToFile(const std::string& fileName, const std::string& configName) override {
        return session_->Plotting([&] {
            return Get<bool>(Method::PlotToFile, {fileName, configName});
        });
    }
    bool PlotToDevice() override {
        return session_->Plotting([&] { return Get<bool>(Method::PlotToDevice); });
    }
    // The engine's journal comes back with every answer: the outcome is known here.
    std::optional<cad::PlotOutcome> LastOutcome() override {
        Alive();
        const auto& last = session_->LastPlot();
        return last ? std::optional(automation::OutcomeOf(*last)) : std::nullopt;
    }
};

// The count and the items, asked at once, are kept while no reference is reloaded or
// moved.
class RemoteBlocks : public AcadBlocks, public Proxy {
public:
    using Proxy::Proxy;
    std::int32_t Count() override { return List(listed_, Method::BlocksList).count; }
    Ref<AcadBlock> Item(std::int32_t index) override {
        const auto& listed = List(listed_, Method::BlocksList);
        if (index >= 0 && static_cast<std::size_t>(index) < listed.items.size()) {
            return listed.items[static_cast<std::size_t>(index)];
        }
        return Object<AcadBlock>(Method::BlocksItem, {index});
    }
    Ref<AcadBlock> Item(const std::string& name) override {
        return Object<AcadBlock>(Method::BlocksItemByName, {name});
    }

    void Tell(HandleList list) { Fill(listed_, std::move(list)); }

private:
    Listed<AcadBlock> listed_;
};

class RemoteBlock : public AcadBlock, public Proxy {
public:
    RemoteBlock(std::shared_ptr<Session> s, const Handle& h, std::string label)
        : Proxy(std::move(s), h, std::move(label)),
          facts_((h.flags & kBlockFacts) != 0),
          name_(h.name),
          xref_((h.flags & kBlockIsXRef) != 0),
          count_(h.number),
          entities_((h.flags & kBlockEntities) != 0 ? h.entities : Strings{}),
          toldIn_(session_->Epoch()) {}
    // A block's name and kind came with its handle.
    std::string Name() override {
        return facts_ ? (Alive(), name_) : Get<std::string>(Method::BlockName);
    }
    bool IsXRef() override { return facts_ ? (Alive(), xref_) : Get<bool>(Method::BlockIsXRef); }
    Ref<AcadDatabase> XRefDatabase() override {
        return Object<AcadDatabase>(Method::BlockXRefDatabase);
    }
    std::string Path() override { return Get<std::string>(Method::BlockPath); }
    void SetPath(const std::string& path) override { Call(Method::BlockSetPath, {path}); }
    void Reload() override { Call(Method::BlockReload); }
    // Its count of entities too, while no reference is reloaded or moved.
    std::int32_t Count() override {
        return facts_ && toldIn_ == session_->Epoch() ? (Alive(), count_)
                                                      : Get<std::int32_t>(Method::BlockCount);
    }
    Ref<AcadLayout> Layout() override { return Object<AcadLayout>(Method::BlockLayout); }
    // Its first entities, as far as their names came with the handle.
    Ref<AcadEntity> Item(std::int32_t index) override {
        if (index >= 0 && static_cast<std::size_t>(index) < entities_.size() &&
            toldIn_ == session_->Epoch()) {
            Alive();
            Handle h;
            h.kind = Kind::Entity;
            h.name = entities_[static_cast<std::size_t>(index)];
            h.flags = kEntityFacts;
            return MakeProxy<AcadEntity>(session_, h, label_);
        }
        return Object<AcadEntity>(Method::BlockItem, {index});
    }

private:
    bool facts_;
    std::string name_;
    bool xref_;
    std::int32_t count_;
    Strings entities_;
    std::uint64_t toldIn_;
};

class RemoteDatabase : public AcadDatabase, public Proxy {
public:
    using Proxy::Proxy;
    Ref<AcadBlock> ModelSpace() override { return Object<AcadBlock>(Method::DatabaseModelSpace); }
};

// An entity is what it was when its block was asked for it; its name came with its handle.
class RemoteEntity : public AcadEntity, public Proxy {
public:
    RemoteEntity(std::shared_ptr<Session> s, const Handle& h, std::string label)
        : Proxy(std::move(s), h, std::move(label)),
          name_((h.flags & kEntityFacts) != 0 ? std::optional(h.name) : std::nullopt) {}
    std::string ObjectName() override {
        return name_ ? (Alive(), *name_) : Get<std::string>(Method::EntityObjectName);
    }

private:
    std::optional<std::string> name_;
};

template <class I, class P>
Ref<I> Make(const std::shared_ptr<Session>& s, const Handle& h, Kind kind,
            const std::string& label) {
    if (h.kind != kind) {
        throw CadError("The CAD engine answered with an object of another kind.");
    }
    return std::make_shared<P>(s, h, label);
}

template <class I>
Ref<I> MakeProxy(const std::shared_ptr<Session>& s, const Handle& h, const std::string& label) {
    if constexpr (std::is_same_v<I, AcadDocuments>) {
        return Make<I, RemoteDocuments>(s, h, Kind::Documents, label);
    } else if constexpr (std::is_same_v<I, AcadDocument>) {
        // Everything reached from a drawing names that drawing in its failures.
        return Make<I, RemoteDocument>(s, h, Kind::Document, FullName(h));
    } else if constexpr (std::is_same_v<I, AcadLayouts>) {
        return Make<I, RemoteLayouts>(s, h, Kind::Layouts, label);
    } else if constexpr (std::is_same_v<I, AcadLayout>) {
        return Make<I, RemoteLayout>(s, h, Kind::Layout, label);
    } else if constexpr (std::is_same_v<I, AcadPlot>) {
        return Make<I, RemotePlot>(s, h, Kind::Plot, label);
    } else if constexpr (std::is_same_v<I, AcadBlocks>) {
        return Make<I, RemoteBlocks>(s, h, Kind::Blocks, label);
    } else if constexpr (std::is_same_v<I, AcadBlock>) {
        return Make<I, RemoteBlock>(s, h, Kind::Block, label);
    } else if constexpr (std::is_same_v<I, AcadEntity>) {
        return Make<I, RemoteEntity>(s, h, Kind::Entity, label);
    } else {
        static_assert(std::is_same_v<I, AcadDatabase>);
        return Make<I, RemoteDatabase>(s, h, Kind::Database, label);
    }
}

Ref<AcadDocument> DrawingAt(const std::shared_ptr<Session>& s, OpenDrawings& d, std::size_t i) {
    if (auto made = d.made[i].lock()) {
        return made;
    }
    const Handle& h = d.list.items[i];
    auto doc = std::make_shared<RemoteDocument>(s, h, FullName(h));
    doc->Share(d.owners[i]);
    doc->ToldAt(d.changes);
    d.made[i] = doc;
    return doc;
}

Ref<AcadDocument> RemoteDocuments::Open(const std::string& path, bool readOnly) {
    Session& s = *session_;
    const std::uint32_t doc = s.ChooseHandle();
    const std::uint32_t blocks = s.ChooseHandle();
    const std::uint32_t layouts = s.ChooseHandle();
    const std::uint32_t active = s.ChooseHandle();
    s.Call(generation_, id_, Method::DocsOpen, {path, readOnly}, path, false, doc);
    s.Ahead(generation_, doc, Method::DocBlocks, blocks, path);
    const std::uint32_t blockList = s.Ahead(generation_, blocks, Method::BlocksList, 0, path);
    s.Ahead(generation_, doc, Method::DocActiveLayout, active, path);
    s.Ahead(generation_, doc, Method::DocLayouts, layouts, path);
    // The open's failure, if any, is thrown here.
    Value layoutList = s.Call(generation_, layouts, Method::LayoutsList, {}, path, true, 0, true);
    const Told* told = s.ToldOf(doc);
    if (!told || told->handle.kind != Kind::Document) {
        s.Release(generation_, doc);
        s.Release(generation_, blocks);
        s.Release(generation_, layouts);
        s.Release(generation_, active);
        throw CadError("The CAD engine answered with a value of another type.");
    }
    auto opened = MakeProxy<AcadDocument>(session_, told->handle, path);
    auto ahead = std::make_shared<OpenedAhead>();
    ahead->generation = generation_;
    ahead->epoch = s.Epoch();
    ahead->file = FullName(told->handle);
    // They serve the proxies of this drawing that its name and folder tell apart: none
    // while another copy of the file is open.
    const OpenDrawings* open = s.Drawings();
    const bool alone =
        open && std::count_if(open->list.items.begin(), open->list.items.end(),
                              [&](const Handle& h) { return FullName(h) == ahead->file; }) == 1;
    if (auto* list = std::get_if<HandleList>(&layoutList)) {
        Handle h;
        h.kind = Kind::Layouts;
        h.id = layouts;
        auto made = MakeProxy<AcadLayouts>(session_, h, ahead->file);
        static_cast<RemoteLayouts&>(*made).Tell(std::move(*list));
        ahead->layouts = std::move(made);
    } else {
        s.Release(generation_, layouts);
    }
    if (const Told* layout = s.ToldOf(active); layout && layout->handle.kind == Kind::Layout) {
        ahead->activeLayout = MakeProxy<AcadLayout>(session_, layout->handle, ahead->file);
    } else {
        s.Release(generation_, active);
    }
    Value blockValue = s.Answer(blockList);
    if (auto* list = std::get_if<HandleList>(&blockValue)) {
        Handle h;
        h.kind = Kind::Blocks;
        h.id = blocks;
        auto made = MakeProxy<AcadBlocks>(session_, h, ahead->file);
        static_cast<RemoteBlocks&>(*made).Tell(std::move(*list));
        ahead->blocks = std::move(made);
    } else {
        s.Release(generation_, blocks);
    }
    if (alone) {
        opened_ = ahead;
        s.NoteOpened(ahead);
    }
    return opened;
}

class RemoteApplication : public AcadApplication,
                          public automation::JournalHolder,
                          public std::enable_shared_from_this<RemoteApplication> {
public:
    explicit RemoteApplication(std::shared_ptr<Session> session) : session_(std::move(session)) {}
    void SetVisible(bool visible) override {
        session_->CallApplication(Method::AppSetVisible, {visible});
    }
    Ref<AcadApplication> Application() override { return shared_from_this(); }
    // The active drawing as last asked, while nothing may have changed it; the collection
    // of drawings of this engine.
    Ref<AcadDocument> ActiveDocument() override {
        session_->Connect();
        if (!active_ || activeKey_ != Key()) {
            active_ = session_->Activated();
            auto* told = session_->Drawings();
            if (!active_ && told && session_->ActiveTold()) {
                active_ = DrawingAt(session_, *told, static_cast<std::size_t>(told->list.active));
            }
            if (!active_) {
                active_ = Object<AcadDocument>(Method::AppActiveDocument);
            }
            activeKey_ = Key();
        }
        return active_;
    }
    Ref<AcadDocuments> Documents() override {
        session_->Connect();
        if (!documents_ || documentsGeneration_ != session_->Generation()) {
            documents_ = Object<AcadDocuments>(Method::AppDocuments);
            documentsGeneration_ = session_->Generation();
        }
        return documents_;
    }
    void ZoomExtents() override { session_->CallApplication(Method::AppZoomExtents, {}, false); }
    void Quit() override { session_->CallApplication(Method::AppQuit, {}); }
    const automation::PlotJournal& Journal() const override { return session_->Journal(); }

private:
    template <class I>
    Ref<I> Object(Method m) {
        Value v = session_->CallApplication(m, {});
        const auto* h = std::get_if<Handle>(&v);
        if (!h) {
            throw CadError("The CAD engine answered with a value of another type.");
        }
        return MakeProxy<I>(session_, *h, {});
    }
    std::pair<std::uint64_t, std::uint64_t> Key() const {
        return {session_->Generation(), session_->ActiveEpoch()};
    }

    std::shared_ptr<Session> session_;
    Ref<AcadDocument> active_;
    std::pair<std::uint64_t, std::uint64_t> activeKey_;
    Ref<AcadDocuments> documents_;
    std::uint64_t documentsGeneration_ = 0;
};

}  // namespace

QString DefaultEngineProgram() {
#ifdef _WIN32
    return QCoreApplication::applicationDirPath() + QStringLiteral("/vormex-engine.exe");
#else
    return QCoreApplication::applicationDirPath() + QStringLiteral("/vormex-engine");
#endif
}

QString DefaultSocketName(const QString& program) {
    const QString installation = QFileInfo(program).absoluteFilePath() + QLatin1Char('\n') +
                                 QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    const QString tag =
        QString::fromLatin1(
            QCryptographicHash::hash(installation.toUtf8(), QCryptographicHash::Sha256).toHex())
            .left(12);
    const QString name =
        QStringLiteral("vormex-engine-%1-%2").arg(QString::fromStdString(UserTag()), tag);
#ifdef _WIN32
    return name;
#else
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) {
        folder = QDir::tempPath();
    }
    return folder + QLatin1Char('/') + name;
#endif
}

RemoteEngineClass::RemoteEngineClass(RemoteOptions options) : options_(std::move(options)) {}

cad::Ref<cad::AcadApplication> RemoteEngineClass::GetActiveObject() {
    auto session = std::make_shared<Session>(options_);
    if (!session->Attach()) {
        throw CadError("The CAD engine is not running.");
    }
    return std::make_shared<RemoteApplication>(session);
}

cad::Ref<cad::AcadApplication> RemoteEngineClass::CreateObject() {
    auto session = std::make_shared<Session>(options_);
    session->Start();
    return std::make_shared<RemoteApplication>(session);
}

std::shared_ptr<RemoteEngineClass> RegisterRemoteEngine(cad::ClassRegistry& registry,
                                                        RemoteOptions options) {
    auto cls = std::make_shared<RemoteEngineClass>(std::move(options));
    registry.Register(cad::kCadClassName, cls);
    return cls;
}

void CancelCalls() {
    cancels.fetch_add(1);
}

void ClearCancel() {
    cancelsCleared.store(cancels.load());
}

void SetLongCallLimit(int seconds) {
    longCallOverride.store(seconds > 0 ? seconds : 0);
}

std::uint64_t RoundTrips() {
    return roundTrips.load(std::memory_order_relaxed);
}

}  // namespace vx::engine::remote
