#include "search/RowTexts.h"

namespace vx::search {

QString SizeText(std::int64_t bytes, const QLocale& locale) {
    if (bytes < 0) {
        bytes = 0;
    }
    // Tenths of a KB, rounded half to even, in exact integer arithmetic (bytes / 1024 is
    // always a binary fraction, so this is what rounding the quotient gives).
    const std::int64_t scaled = bytes * 10;  // no overflow below 2^59 bytes
    std::int64_t tenths = scaled / 1024;
    const std::int64_t rest = scaled % 1024;
    if (rest > 512 || (rest == 512 && (tenths % 2) != 0)) {
        ++tenths;
    }
    QString text = QString::number(tenths / 10);
    if (tenths % 10 != 0) {
        text += locale.decimalPoint();
        text += QChar(u'0' + char16_t(tenths % 10));
    }
    return text + QStringLiteral(" KB");
}

QString LongTimeWithoutZone(const QLocale& locale) {
    const QString format = locale.timeFormat(QLocale::LongFormat);
    // Drop every unquoted run of 't' (the zone) with the blanks before it.
    QString out;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            out += c;
            continue;
        }
        if (!quoted && c == QLatin1Char('t')) {
            while (!out.isEmpty() && out.back().isSpace()) {
                out.chop(1);
            }
            continue;
        }
        out += c;
    }
    return out.trimmed();
}

DateTexts::DateTexts(const QLocale& locale)
    : locale_(locale),
      dateFormat_(locale.dateFormat(QLocale::ShortFormat)),
      timeFormat_(LongTimeWithoutZone(locale)) {}

QString DateTexts::Text(const QDateTime& time) const {
    const QDateTime local = time.toLocalTime();
    const QTime t = local.time();
    const QString date = locale_.toString(local.date(), dateFormat_);
    if (t.hour() == 0 && t.minute() == 0 && t.second() == 0) {
        return date;
    }
    return date + QLatin1Char(' ') + locale_.toString(t, timeFormat_);
}

QString DateTexts::Text(std::int64_t secondsSince1970) const {
    return Text(QDateTime::fromSecsSinceEpoch(secondsSince1970));
}

QString FileTypeNames::Describe(const QString& fileName) {
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot < 0 ? QString() : fileName.mid(dot + 1).toLower();
    const auto known = byExtension_.constFind(extension);
    if (known != byExtension_.cend()) {
        return *known;
    }
    QString text;
    if (extension.isEmpty()) {
        text = QStringLiteral("File");
    } else {
        const QList<QMimeType> types = mime_.mimeTypesForFileName(QStringLiteral("x.") + extension);
        if (!types.isEmpty() && !types.first().comment().isEmpty()) {
            text = types.first().comment();
        } else {
            text = fileName.mid(dot + 1).toUpper() + QStringLiteral(" File");
        }
    }
    byExtension_.insert(extension, text);
    return text;
}

}  // namespace vx::search
