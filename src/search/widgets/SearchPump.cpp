#include "search/widgets/SearchPump.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

namespace vx::search {

SearchPump::SearchPump(QWidget* actionButton, QObject* parent)
    : QObject(parent), button_(actionButton) {}

void SearchPump::Pump() {
    if (pumping_ || (since_.isValid() && since_.elapsed() < interval_)) {
        return;
    }
    since_.start();
    pumping_ = true;
    QCoreApplication::instance()->installEventFilter(this);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    QCoreApplication::instance()->removeEventFilter(this);
    pumping_ = false;
}

namespace {

bool IsInput(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
        case QEvent::InputMethod:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonDblClick:
            return true;
        default:
            return false;
    }
}

}  // namespace

bool SearchPump::Withholds(QObject* receiver, QEvent* event) const {
    if (event->type() == QEvent::Close) {
        // Closing the window in the middle of a search would unload it under the search.
        auto* w = qobject_cast<QWidget*>(receiver);
        return w && w->isWindow();
    }
    if (!IsInput(event->type())) {
        return false;
    }
    auto* w = qobject_cast<QWidget*>(receiver);
    if (button_ && w && (w == button_ || button_->isAncestorOf(w))) {
        return false;
    }
    // Window-system objects (QWindow) pass the input on to their widgets, which are
    // filtered themselves; shortcuts reach actions and widgets directly.
    return w != nullptr || event->type() == QEvent::Shortcut;
}

bool SearchPump::eventFilter(QObject* watched, QEvent* event) {
    if (Withholds(watched, event)) {
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace vx::search
