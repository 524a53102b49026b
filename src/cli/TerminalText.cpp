#include "cli/TerminalText.h"

#include <QFileDevice>
#include <QIODevice>

#include "search/FileSystemPath.h"

namespace vx::cli {

void WriteExact(QTextStream& out, const QString& text) {
    if (QIODevice* device = out.device()) {
        out.flush();
        const std::string bytes = search::ToFileSystemPath(text);
        device->write(bytes.data(), static_cast<qint64>(bytes.size()));
    } else {
        out << text;
    }
}

void FlushNow(QTextStream& out) {
    out.flush();
    if (auto* file = qobject_cast<QFileDevice*>(out.device())) {
        file->flush();
    }
}

QString Field(QString text) {
    text.replace(QLatin1Char('\t'), QLatin1String("\\t"));
    text.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    text.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    return text;
}

}  // namespace vx::cli
