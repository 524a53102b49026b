// What the rules show the user, behind small interfaces: the window implements them
// with real widgets, tests with recorders. Standard C++ only.
#pragma once

#include <string>

namespace vx {

enum class MsgIcon { None, Information, Exclamation, Critical, Question };
enum class MsgButtons { Ok, OkCancel, YesNo };
enum class MsgResult { Ok, Cancel, Yes, No };

struct Message {
    MsgIcon icon = MsgIcon::None;
    MsgButtons buttons = MsgButtons::Ok;
    std::string title;
    std::string text;
};

class MessageService {
public:
    virtual ~MessageService() = default;
    // Shows a modal message box and returns the button the user chose.
    virtual MsgResult Show(const Message& message) = 0;
};

// The window's mouse pointer, by the values the program uses.
enum class Pointer { Default = 0, Hourglass = 11 };

class PointerService {
public:
    virtual ~PointerService() = default;
    virtual void SetPointer(Pointer pointer) = 0;
};

class BeepService {
public:
    virtual ~BeepService() = default;
    virtual void Beep() = 0;
};

// CR LF, as the status texts are built.
inline constexpr char kCrLf[] = "\r\n";

}  // namespace vx
