// Input as the user makes it, for the widget tests.
#pragma once

#include <QTest>

// A real double click: press, release, double-click press, release.
inline void DoubleClick(QWidget* w, QPoint at) {
    QTest::mouseClick(w, Qt::LeftButton, {}, at);
    QTest::mouseDClick(w, Qt::LeftButton, {}, at);
    QTest::mouseRelease(w, Qt::LeftButton, {}, at);
}
