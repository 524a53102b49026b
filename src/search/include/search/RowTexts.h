// The texts of a drawing list row that are made from a file's properties: its size, its
// time of last change and its type.
#pragma once

#include <QDateTime>
#include <QHash>
#include <QLocale>
#include <QMimeDatabase>
#include <QString>
#include <cstdint>

namespace vx::search {

// The size in KB: bytes / 1024 rounded to one decimal place (ties to the even digit),
// without trailing zeros or thousands separators, with the locale's decimal separator,
// then " KB": 256 bytes give "0.2 KB", 1536 "1.5 KB", 1048576 "1024 KB".
QString SizeText(std::int64_t bytes, const QLocale& locale);

// A point in time as the user's short date, a space and the long time (seconds, no time
// zone); only the date when the time is exactly midnight.
class DateTexts {
public:
    explicit DateTexts(const QLocale& locale);
    QString Text(const QDateTime& time) const;
    // `secondsSince1970` (UTC) in local time.
    QString Text(std::int64_t secondsSince1970) const;

private:
    QLocale locale_;
    QString dateFormat_;
    QString timeFormat_;
};

// The long time format of the locale without its time zone part.
QString LongTimeWithoutZone(const QLocale& locale);

// The description of a file's type, taken from its extension only (the file's content is
// never read): the type database's description, or "<EXT> File" for an extension it
// does not know, or "File" for a name without one. Remembered per extension.
class FileTypeNames {
public:
    QString Describe(const QString& fileName);

private:
    QMimeDatabase mime_;
    QHash<QString, QString> byExtension_;
};

}  // namespace vx::search
