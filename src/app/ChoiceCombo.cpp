#include "app/ChoiceCombo.h"

#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QSignalBlocker>

namespace vx::app {

ComboChoiceList::ComboChoiceList(QComboBox& combo, Handlers handlers)
    : combo_(combo), handlers_(std::move(handlers)) {
    combo_.setEditable(true);
    combo_.setInsertPolicy(QComboBox::NoInsert);
    connect(&combo_, &QComboBox::editTextChanged, this, [this] {
        if (handlers_.change) {
            handlers_.change();
        }
    });
    connect(&combo_, &QComboBox::activated, this, [this] {
        if (handlers_.click) {
            handlers_.click();
        }
    });
    // The typing goes to the box's line edit, which has the focus for the box.
    combo_.lineEdit()->installEventFilter(this);
}

bool ComboChoiceList::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched == combo_.lineEdit() && handlers_.keyDown) {
        handlers_.keyDown();
    }
    return QObject::eventFilter(watched, event);
}

void ComboChoiceList::Clear() {
    const QSignalBlocker block(combo_);
    combo_.clear();
}

void ComboChoiceList::SetText(const std::string& text) {
    const QString t = QString::fromStdString(text);
    if (combo_.currentText() == t) {
        if (handlers_.change) {
            handlers_.change();
        }
        return;
    }
    combo_.setEditText(t);
}

std::string ComboChoiceList::Text() const {
    return combo_.currentText().toStdString();
}

void ComboChoiceList::AddItem(const std::string& item) {
    // Adding the first entry would make it the current one and replace the text.
    const QSignalBlocker block(combo_);
    const QString text = combo_.currentText();
    combo_.addItem(QString::fromStdString(item));
    if (combo_.currentText() != text) {
        combo_.setCurrentIndex(-1);
        combo_.setEditText(text);
    }
}

int ComboChoiceList::ListCount() const {
    return combo_.count();
}

std::string ComboChoiceList::List(int index) const {
    return combo_.itemText(index).toStdString();
}

}  // namespace vx::app
