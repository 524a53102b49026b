#include "plot/PlotChoiceCheck.h"

namespace vx::plot {

namespace {

bool Contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

// The lists show prompts containing "Select" until the user picks an entry.
bool Unmade(const std::string& choice) {
    return choice.empty() || Contains(choice, "Select");
}

Message Info(const char* title, const char* text) {
    Message m;
    m.icon = MsgIcon::Information;
    m.buttons = MsgButtons::Ok;
    m.title = title;
    m.text = text;
    return m;
}

}  // namespace

std::optional<Message> UnmadePlotChoice(const plot::PlotChoices& choices) {
    if (Unmade(choices.StrPrinter) || choices.StrPrinter == "None") {
        return Info("Printer Not Selected", "Please Select a Printer before printing");
    }
    if (Unmade(choices.StrPaper)) {
        return Info("Paper Not Selected", "Please Select a Paper Size before Ploting");
    }
    if (Unmade(choices.StrCTB)) {
        return Info("Plot Style Table Not Selected",
                    "Please Select a Plot Style Table before printing");
    }
    return std::nullopt;
}

bool CheckPlotChoices(const plot::PlotChoices& choices, MessageService& messages) {
    if (auto message = UnmadePlotChoice(choices)) {
        messages.Show(*message);
        return false;
    }
    return true;
}

}  // namespace vx::plot
