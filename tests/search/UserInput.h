// Input as the user makes it, for the widget tests: sent at once, or queued as the window
// system delivers it while a busy window lets events through only now and then.
#pragma once

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTest>

// A real double click: press, release, double-click press, release.
inline void DoubleClick(QWidget* w, QPoint at) {
    QTest::mouseClick(w, Qt::LeftButton, {}, at);
    QTest::mouseDClick(w, Qt::LeftButton, {}, at);
    QTest::mouseRelease(w, Qt::LeftButton, {}, at);
}

// A click, queued: press and release.
inline void PostClick(QWidget* w, Qt::MouseButton button = Qt::LeftButton,
                      QPoint at = QPoint(-1, -1)) {
    if (at == QPoint(-1, -1)) {
        at = w->rect().center();
    }
    const QPointF local(at);
    const QPointF global(w->mapToGlobal(at));
    QCoreApplication::postEvent(w, new QMouseEvent(QEvent::MouseButtonPress, local, global, button,
                                                   button, Qt::NoModifier));
    QCoreApplication::postEvent(w, new QMouseEvent(QEvent::MouseButtonRelease, local, global,
                                                   button, Qt::NoButton, Qt::NoModifier));
}

// A typed key, queued.
inline void PostKey(QWidget* w, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                    const QString& text = QString()) {
    QCoreApplication::postEvent(w, new QKeyEvent(QEvent::KeyPress, key, modifiers, text));
    QCoreApplication::postEvent(w, new QKeyEvent(QEvent::KeyRelease, key, modifiers, text));
}
