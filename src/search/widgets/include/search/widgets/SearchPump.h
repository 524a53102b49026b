// Keeps the window alive while a search runs on the user-interface thread: pending events
// are processed (so the window paints and the action button can be clicked), while every
// other control ignores input and the window cannot be closed until the search ends.
//
// The window's SearchHost::KeepAlive() calls Pump(); input is only ever dispatched inside
// Pump() during a search, so filtering there is enough.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>

class QWidget;

namespace vx::search {

class SearchPump : public QObject {
    Q_OBJECT
public:
    // `actionButton` is the one control that takes input during a search.
    explicit SearchPump(QWidget* actionButton, QObject* parent = nullptr);

    // Processes pending events at most every `interval` milliseconds (the first call
    // always does).
    void Pump();
    void SetInterval(int milliseconds) { interval_ = milliseconds; }

    // Whether `event` for `receiver` is withheld during a pump.
    bool Withholds(QObject* receiver, QEvent* event) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> button_;
    QElapsedTimer since_;
    int interval_ = 15;
    bool pumping_ = false;
};

}  // namespace vx::search
