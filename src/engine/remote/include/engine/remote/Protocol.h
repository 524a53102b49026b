// The wire format between the program and the CAD engine's own process.
//
// A connection carries frames: a 32-bit little-endian length, then that many bytes of
// message, never more than kMaxFrame. The client opens with Hello (its protocol version);
// the engine answers Welcome (its version, its process id and the handle of its
// application object) or closes the connection. Then the client sends Call messages
// and reads one Reply for each, in order; a Cancel may follow a Call that takes too long.
// A call that returns nothing may be sent without waiting for its reply (kNoWait): the
// client sends it with the next call that waits and reads all their replies then. When
// such a call fails, the engine runs none of the calls after it up to and including the
// next one that waits, and answers them Skipped: the program goes on as if the failed
// call had thrown where it was made. A call that returns an object may name the handle
// that its object is to get (from kFirstClientHandle on) and go without waiting too. A
// call asked ahead (kAhead), for an answer the program is likely to want next, neither
// fails the calls after it nor is run after an earlier failure. A call flagged kSpinning
// tells that the client looks for its replies without blocking for a moment.
//
//   Hello   : u8 type, u16 version
//   Welcome : u8 type, u16 version, i64 pid, u32 application handle
//   Call    : u8 type, u32 sequence, u32 handle, u16 method, u8 flags, u32 the handle
//             of the object it returns (0: the engine's choice), u32 n, n x u32 released
//             handles, u8 n, n x value
//   Cancel  : u8 type, u32 sequence
//   Reply   : u8 type, u32 sequence, u8 status, value (Ok) or string (an error), then
//             the plot and open records that the call added to the engine's journal,
//             then u8 1 and the open drawings (a handle list) after a call that opens
//             or closes one, else u8 0
//
// Objects are addressed by handles that the engine hands out per connection; a value is
// a tagged int32, bool, string, string list, handle or handle list. Plain C++: both ends
// share it.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <variant>
#include <vector>

#include "cad/Automation.h"
#include "engine/journal/PlotJournal.h"

namespace vx::engine::remote {

inline constexpr std::uint16_t kProtocolVersion = 5;
inline constexpr std::uint32_t kMaxFrame = 16u << 20;
inline constexpr std::uint32_t kApplicationHandle = 1;
// The handles that the client chooses; the engine counts its own up from 2.
inline constexpr std::uint32_t kFirstClientHandle = 0x80000000u;

enum class MessageType : std::uint8_t { Hello = 1, Call = 2, Cancel = 3, Welcome = 4, Reply = 5 };

enum class Status : std::uint8_t {
    Ok = 0,
    CadError = 1,
    OutOfMemory = 2,
    BadRequest = 3,
    Skipped = 4  // not run: an earlier call sent without waiting failed
};

// The flags of a call.
inline constexpr std::uint8_t kNoWait = 1;
inline constexpr std::uint8_t kAhead = 2;
// The client looks for its replies a moment before it blocks (it has a processor to spare
// for that): the engine may look for the client's next call likewise.
inline constexpr std::uint8_t kSpinning = 4;

// The object kinds of the automation model.
enum class Kind : std::uint8_t {
    Application = 1,
    Documents,
    Document,
    Layouts,
    Layout,
    Plot,
    Blocks,
    Block,
    Database,
    Entity
};

// A handle with what the engine tells of the object at once. Never changing while the
// object lives: a drawing's name and folder; a block's name and whether it is an external
// reference (kBlockFacts set); a layout's name (kLayoutFacts); an entity's object name
// (kEntityFacts). True when the handle was given, until the program changes the drawing
// (`number`, `path` of a layout, `entities`): a block's count of entities (kBlockFacts), a
// drawing's DBMOD (kDrawingFacts), a layout's plot style table (kLayoutFacts), the object
// names of a block's first entities up to the first that is no viewport (kBlockEntities,
// at most kMaxToldEntities).
struct Handle {
    Kind kind = Kind::Application;
    std::uint32_t id = 0;
    std::string name, path;
    std::uint8_t flags = 0;
    std::int32_t number = 0;
    cad::Strings entities;  // on the wire only with kBlockEntities
};
inline constexpr std::uint8_t kBlockFacts = 1;
inline constexpr std::uint8_t kBlockIsXRef = 2;
inline constexpr std::uint8_t kLayoutFacts = 4;
inline constexpr std::uint8_t kEntityFacts = 8;
inline constexpr std::uint8_t kDrawingFacts = 16;
inline constexpr std::uint8_t kBlockEntities = 32;
inline constexpr std::size_t kMaxToldEntities = 64;

// The items of a collection at once: its count, the first items (at most kMaxListed), for
// the open drawings the index of the active one among them (-1: not told), for layouts the
// block of each item (none, or one per item; id 0: not told).
struct HandleList {
    std::int32_t count = 0;
    std::vector<Handle> items;
    std::int32_t active = -1;
    std::vector<Handle> blocks;
};
inline constexpr std::size_t kMaxListed = 4096;

using Value =
    std::variant<std::monostate, std::int32_t, bool, std::string, cad::Strings, Handle, HandleList>;

// Every member of the automation interface, one number each.
enum class Method : std::uint16_t {
    AppSetVisible = 1,
    AppActiveDocument,
    AppDocuments,
    AppZoomExtents,
    AppQuit,
    DocsCount,
    DocsItem,
    DocsAdd,
    DocsOpen,
    DocGetVariable,
    DocSetVariable,
    DocClose,
    DocName,
    DocPath,
    DocRegen,
    DocActivate,
    DocActiveLayout,
    DocSetActiveLayout,
    DocLayouts,
    DocModelSpace,
    DocPaperSpace,
    DocPlot,
    DocBlocks,
    LayoutsCount,
    LayoutsItem,
    LayoutsItemByName,
    LayoutName,
    LayoutRefreshPlotDeviceInfo,
    LayoutGetPlotDeviceNames,
    LayoutGetCanonicalMediaNames,
    LayoutGetPlotStyleTableNames,
    LayoutGetLocaleMediaName,
    LayoutSetConfigName,
    LayoutSetCanonicalMediaName,
    LayoutSetPlotWithPlotStyles,
    LayoutStyleSheet,
    LayoutSetStyleSheet,
    LayoutSetPlotType,
    LayoutSetStandardScale,
    LayoutSetUseStandardScale,
    LayoutSetPlotRotation,
    LayoutSetCenterPlot,
    LayoutZoomExtents,
    LayoutPlot,
    PlotSetQuietErrorMode,
    PlotSetNumberOfCopies,
    PlotToFile,
    PlotToDevice,
    BlocksCount,
    BlocksItem,
    BlocksItemByName,
    BlockName,
    BlockIsXRef,
    BlockXRefDatabase,
    BlockPath,
    BlockSetPath,
    BlockReload,
    BlockCount,
    BlockLayout,
    DatabaseModelSpace,
    LayoutBlock,
    BlockItem,
    EntityObjectName,
    LayoutsList,                // a layouts collection's items: a HandleList
    BlocksList,                 // a blocks collection's items: a HandleList
    LayoutGetLocaleMediaNames,  // GetLocaleMediaName of each of a list of papers
    Last = LayoutGetLocaleMediaNames
};

// Calls that read or plot a drawing and get the long time limit.
bool IsLongCall(Method m);
// What the engine was doing, for a failure's description: "opening", "plotting", ...
const char* Activity(Method m);

class ProtocolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Builds a message, after room for its frame's length.
class Writer {
public:
    explicit Writer(MessageType type) {
        bytes_.reserve(64);
        bytes_.assign(4, '\0');
        U8(static_cast<std::uint8_t>(type));
    }
    void U8(std::uint8_t v) { bytes_.push_back(static_cast<char>(v)); }
    void U16(std::uint16_t v) { Put(v, 2); }
    void U32(std::uint32_t v) { Put(v, 4); }
    void I64(std::int64_t v) { Put(static_cast<std::uint64_t>(v), 8); }
    void Str(const std::string& s);
    void List(const cad::Strings& list);
    void Val(const Value& v);
    void Object(const Handle& h);
    void Objects(const HandleList& list);
    void Plot(const automation::PlotRecord& r);
    void Open(const automation::OpenRecord& r);
    // The frame: length and message; the writer is empty afterwards. Throws
    // ProtocolError beyond kMaxFrame.
    std::string Frame();

private:
    // Little-endian, the low `n` bytes of `v`.
    void Put(std::uint64_t v, int n) {
        char b[8];
        for (int i = 0; i < n; ++i) {
            b[i] = static_cast<char>(v >> (8 * i));
        }
        bytes_.append(b, static_cast<std::size_t>(n));
    }
    std::string bytes_;
};

// Reads a message; every read past its end throws ProtocolError.
class Reader {
public:
    explicit Reader(const std::string& message) : p_(message.data()), end_(p_ + message.size()) {}
    std::uint8_t U8() { return Byte(Take(1), 0); }
    std::uint16_t U16() {
        const char* p = Take(2);
        return static_cast<std::uint16_t>(Byte(p, 0) | Byte(p, 1) << 8);
    }
    std::uint32_t U32() {
        const char* p = Take(4);
        return Byte(p, 0) | Byte(p, 1) << 8 | Byte(p, 2) << 16 |
               static_cast<std::uint32_t>(Byte(p, 3)) << 24;
    }
    std::int64_t I64();
    std::string Str();
    cad::Strings List();
    Value Val();
    Handle Object();
    HandleList Objects();
    automation::PlotRecord Plot();
    automation::OpenRecord Open();
    // A count of items that take at least `each` bytes: never more than the rest holds.
    std::uint32_t Count(std::size_t each);
    bool AtEnd() const { return p_ == end_; }

private:
    static std::uint8_t Byte(const char* p, int i) { return static_cast<std::uint8_t>(p[i]); }
    const char* Take(std::size_t n) {
        if (static_cast<std::size_t>(end_ - p_) < n) {
            CutShort();
        }
        const char* at = p_;
        p_ += n;
        return at;
    }
    [[noreturn]] static void CutShort();
    const char* p_;
    const char* end_;
};

// Collects frames from a byte stream.
class FrameBuffer {
public:
    void Append(const char* data, std::size_t size);
    // The next whole message, or false. Throws ProtocolError for an oversized frame.
    bool Next(std::string& message);

private:
    std::string buffer_;
    std::size_t start_ = 0;  // where the messages not taken yet begin
};

// Waiting for the other side by asking again for a moment before the process blocks.
// Each side mostly answers the other within microseconds, while waking a process that
// blocked takes tens of microseconds (on virtual machines many times what the answer
// itself costs): a side that expects an answer soon asks for it again and again, giving
// the processor to anything else that is ready to run in between, and blocks only when
// the moment has passed. Waits are told apart by kind (what is waited for). A moment that
// passed in vain (the answer takes long) makes the next waits of its kind block at once:
// twice as many after each such wait, up to kMostBlocked; an answer that comes within the
// moment ends that. The processor given away for longer than kShared is a mishap in one
// wait (an interrupt, the host of a virtual machine taking it): the wait asks on, though
// a second time ends its moment in vain. In two waits of a kind in a row, even with their
// answers in time, it tells that the other side needs this one's processor (both run on
// one), where blocking hands it over sooner: it counts as a moment in vain.
//
// `Time` gives now() and yield(): the system's clock and scheduler (SystemTime), or a
// test's.
struct SystemTime {
    using Clock = std::chrono::steady_clock;
    static Clock::time_point now() { return Clock::now(); }
    static void yield() { std::this_thread::yield(); }
};

template <class Time>
class BasicSpinner {
public:
    static constexpr int kMostBlocked = 256;
    static constexpr std::chrono::microseconds kShared{30};
    explicit BasicSpinner(std::chrono::microseconds moment) : moment_(moment) {}

    // Asks `ready` until it is true (true) or the moment has passed (false); asks once
    // while waits of `kind` block at once. After false the caller blocks.
    template <class F>
    bool Spin(std::size_t kind, F&& ready) {
        Kind& k = Of(kind);
        if (moment_.count() <= 0 || k.blockNext > 0) {
            k.blockNext = std::max(0, k.blockNext - 1);
            return ready();
        }
        const auto end = Time::now() + moment_;
        bool away = false;  // the processor was given away long in this wait
        bool came = false;
        do {
            if (ready()) {
                came = true;
                break;
            }
            const auto before = Time::now();
            Time::yield();
            if (Time::now() - before > kShared) {
                if (ready()) {
                    came = true;
                    away = true;
                    break;
                }
                if (std::exchange(away, true)) {
                    break;
                }
            }
        } while (Time::now() < end);
        const bool awayBefore = std::exchange(k.away, away);
        if (came && !(away && awayBefore)) {
            k.blocked = 0;
            return true;
        }
        k.blocked = std::min(kMostBlocked, std::max(1, 2 * k.blocked));
        k.blockNext = k.blocked;
        return came;
    }

private:
    struct Kind {
        int blocked = 0;    // how many waits a moment in vain makes block at once
        int blockNext = 0;  // how many of the next waits still do
        bool away = false;  // the last wait that asked gave the processor away long
    };
    Kind& Of(std::size_t kind) {
        if (kind >= kinds_.size()) {
            kinds_.resize(kind + 1);
        }
        return kinds_[kind];
    }

    std::chrono::microseconds moment_;
    std::vector<Kind> kinds_;
};
using Spinner = BasicSpinner<SystemTime>;

}  // namespace vx::engine::remote
