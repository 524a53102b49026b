#include "cli/DrawingList.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cstdio>

#include "cli/TerminalSearchHost.h"
#include "search/FileSystemPath.h"
#include "search/FolderListing.h"

namespace vx::cli {

std::optional<QStringList> ReadPathList(QIODevice& in, QString& error) {
    // Read in pieces, so that a list that never ends (a pipe, a device) stops at the bound.
    QByteArray bytes;
    while (true) {
        const QByteArray piece = in.read(qint64{1} << 20);
        if (piece.isEmpty()) {
            break;
        }
        bytes += piece;
        if (bytes.size() > kMaxListBytes) {
            error = QStringLiteral("the list is larger than %1 MiB").arg(kMaxListBytes >> 20);
            return std::nullopt;
        }
    }
    QStringList paths;
    qsizetype start = 0;
    for (int number = 1; start < bytes.size(); ++number) {
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0) {
            end = bytes.size();
        }
        QByteArray line = bytes.mid(start, end - start);
        start = end + 1;
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        if (line.size() > kMaxLineBytes) {
            error =
                QStringLiteral("line %1 is longer than %2 bytes").arg(number).arg(kMaxLineBytes);
            return std::nullopt;
        }
        if (line.contains('\0')) {
            error = QStringLiteral("line %1 holds a NUL byte").arg(number);
            return std::nullopt;
        }
        if (line.trimmed().isEmpty() || line.startsWith('#')) {
            continue;
        }
        paths << search::FromFileSystemPath(
            std::string_view(line.constData(), static_cast<std::size_t>(line.size())));
    }
    return paths;
}

std::optional<QStringList> ListedPaths(const QString& filesFrom, const char* command,
                                       CommandIo& io) {
    if (filesFrom.isNull()) {
        return QStringList{};
    }
    QString problem;
    auto paths = ReadPathList(filesFrom, problem);
    if (!paths) {
        io.err << "vormex-cli " << command << ": the list " << filesFrom
               << " cannot be read: " << problem << '\n';
    }
    return paths;
}

std::optional<QStringList> ReadPathList(const QString& file, QString& error) {
    QFile in;
    const bool opened = file == QLatin1String("-")
                            ? in.open(stdin, QIODevice::ReadOnly)
                            : (in.setFileName(file), in.open(QIODevice::ReadOnly));
    if (!opened) {
        error = in.errorString();
        return std::nullopt;
    }
    return ReadPathList(in, error);
}

std::optional<Shard> ParseShard(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^([0-9]{1,7})/([0-9]{1,7})$"));
    const auto match = form.match(text);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    const Shard s{match.captured(1).toInt(), match.captured(2).toInt()};
    if (s.count < 1 || s.count > 1'000'000 || s.index < 1 || s.index > s.count) {
        return std::nullopt;
    }
    return s;
}

std::uint64_t PathHash(std::string_view path) {
    std::uint64_t h = 0xcbf29ce484222325ULL;
    for (const char c : path) {
        h ^= static_cast<unsigned char>(c);
        h *= 0x100000001b3ULL;
    }
    return h;
}

bool InShard(std::string_view path, Shard shard) {
    return PathHash(path) % static_cast<std::uint64_t>(shard.count) ==
           static_cast<std::uint64_t>(shard.index - 1);
}

DrawingListing ListDrawings(const QStringList& arguments, const QStringList& listed,
                            const QString& pattern, bool recursive,
                            const std::optional<Shard>& shard) {
    DrawingListing l;
    auto& rows = l.drawings;
    qint64 next = 0;
    const QStringList inputs = arguments + listed;
    for (qsizetype i = 0; i < inputs.size(); ++i) {
        const QString& input = inputs[i];
        // A drawing named on the command line that is not there stays in the list: the
        // run reports it as not opened, as the window's would.
        if (i >= arguments.size() && !QFileInfo::exists(input)) {
            l.notFound.push_back(search::ToFileSystemPath(QFileInfo(input).absoluteFilePath()));
            l.positions.emplace(l.notFound.back(), next++);
            continue;
        }
        const std::size_t first = rows.size();
        const QString folder = search::NormalizeFolderPath(input);
        if (search::IsFolder(folder)) {
            if (l.firstFolder.isEmpty()) {
                l.firstFolder = folder;
            }
            const std::string root = search::ToFileSystemPath(folder);
            TerminalSearchHost host(folder, pattern, recursive,
                                    [&rows, &root](const search::DrawingRow& row) {
                                        rows.push_back({search::ToFileSystemPath(row.FileName),
                                                        search::ToFileSystemPath(row.Path), root});
                                    });
            host.FindFiles();
        } else {
            const QFileInfo file(input);
            const QString path =
                search::AddBackslash(search::NormalizeFolderPath(file.absolutePath()));
            rows.push_back({search::ToFileSystemPath(file.fileName()),
                            search::ToFileSystemPath(path), search::ToFileSystemPath(path)});
        }
        for (std::size_t r = first; r < rows.size(); ++r) {
            l.positions.emplace(rows[r].path + rows[r].name, next++);
        }
    }
    if (shard) {
        std::erase_if(rows, [&](const auto& row) { return !InShard(row.path + row.name, *shard); });
        std::erase_if(l.notFound, [&](const auto& path) { return !InShard(path, *shard); });
    }
    return l;
}

}  // namespace vx::cli
