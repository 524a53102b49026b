// Readable Qt values in test failure messages, and a double click as the user makes it.
#pragma once

#include <QString>
#include <QStringList>
#include <QTest>
#include <ostream>

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList& l, std::ostream* os) {
    *os << '{';
    for (qsizetype i = 0; i < l.size(); ++i) {
        *os << (i ? ", \"" : "\"") << l[i].toStdString() << '"';
    }
    *os << '}';
}

// A real double click: press, release, double-click press, release.
inline void DoubleClick(QWidget* w, QPoint at) {
    QTest::mouseClick(w, Qt::LeftButton, {}, at);
    QTest::mouseDClick(w, Qt::LeftButton, {}, at);
    QTest::mouseRelease(w, Qt::LeftButton, {}, at);
}
