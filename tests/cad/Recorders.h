// Recorders for what the connection and the list rules show or change.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "cad/CadConnection.h"
#include "plot/PlotLists.h"

namespace vx::testing {

class RecordingMessages : public MessageService {
public:
    MsgResult Show(const Message& m) override {
        shown.push_back(m);
        return MsgResult::Ok;
    }
    std::vector<Message> shown;
};

class RecordingConnectionHost : public cad::ConnectionHost {
public:
    void SetStatus(const std::string& text) override { events.push_back("Status: " + text); }
    void HideMainWindow() override { events.push_back("Hide"); }
    void ShowMainWindow() override { events.push_back("Show"); }
    void EndProgram() override { events.push_back("End"); }
    std::vector<std::string> events;
};

// A drop-down list whose text changes raise the change event, as the window's do.
class FakeChoiceList : public plot::ChoiceList {
public:
    void Clear() override { items.clear(); }
    void SetText(const std::string& t) override {
        text = t;
        if (onChange) {
            onChange();
        }
    }
    std::string Text() const override { return text; }
    void AddItem(const std::string& item) override { items.push_back(item); }
    int ListCount() const override { return static_cast<int>(items.size()); }
    std::string List(int i) const override { return items.at(static_cast<std::size_t>(i)); }

    std::string text;
    std::vector<std::string> items;
    std::function<void()> onChange;
};

}  // namespace vx::testing
