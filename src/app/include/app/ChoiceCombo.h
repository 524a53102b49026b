// An editable QComboBox as the plot-choice rules see a drop-down list, and the three
// events the window passes on: change, click and key-down.
#pragma once

#include <QObject>
#include <functional>

#include "plot/PlotLists.h"

class QComboBox;

namespace vx::app {

class ComboChoiceList : public QObject, public plot::ChoiceList {
    Q_OBJECT
public:
    // The three handlers run on the list's change (any change of its text, also by the
    // program), click (an entry chosen from the list) and key-down (any key, before the
    // key takes effect) events.
    struct Handlers {
        std::function<void()> change;
        std::function<void()> click;
        std::function<void()> keyDown;
    };
    ComboChoiceList(QComboBox& combo, Handlers handlers);

    void Clear() override;
    // Raises the change event, also when the text stays the same.
    void SetText(const std::string& text) override;
    std::string Text() const override;
    // Adds an entry without touching the text that stands in the list.
    void AddItem(const std::string& item) override;
    int ListCount() const override;
    std::string List(int index) const override;

    QComboBox& Combo() const { return combo_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QComboBox& combo_;
    Handlers handlers_;
};

}  // namespace vx::app
