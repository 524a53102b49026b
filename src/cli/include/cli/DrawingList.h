// Drawing lists given in a file, and the shards of a drawing list.
//
// A list file holds one path a line (a drawing or a folder, as on the command line); blank
// lines and lines that begin with '#' are skipped, a CR before the line end is dropped.
// The file comes from elsewhere, so it is bounded: at most kMaxListBytes, lines of at
// most kMaxLineBytes.
//
// A shard K/N of a list holds the drawings whose path hashes to K - 1 modulo N, the hash
// being FNV-1a 64 of the path's bytes as the report gives them. The hash depends on the
// path alone: N runs given the same drawings, in any order, on any machine, plot each of
// them exactly once. K counts from 1 to N, as the task ids of a job array started with
// --array=1-N do.
#pragma once

#include <QIODevice>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/Command.h"

namespace vx::cli {

inline constexpr qint64 kMaxListBytes = qint64{64} << 20;
inline constexpr qint64 kMaxLineBytes = 4096;

// The paths of a list file; "-" reads standard input. Nothing, with `error` set, when the
// file cannot be read or breaks a bound.
std::optional<QStringList> ReadPathList(const QString& file, QString& error);
std::optional<QStringList> ReadPathList(QIODevice& in, QString& error);
// The paths of a command's `--files-from` list (none without the option); nothing, after
// saying why on standard error, when the list cannot be read.
std::optional<QStringList> ListedPaths(const QString& filesFrom, const char* command,
                                       CommandIo& io);

struct Shard {
    int index = 1;  // 1 to count
    int count = 1;
};

// "K/N" with 1 <= K <= N <= 1000000; nothing for any other text.
std::optional<Shard> ParseShard(const QString& text);

std::uint64_t PathHash(std::string_view path);
bool InShard(std::string_view path, Shard shard);

// The drawing list of a command: each folder searched as the window's search starter
// does, each file a row of its own; the list file's paths after the command line's.
struct DrawingListing {
    struct Drawing {
        std::string name;  // file name
        std::string path;  // folder, ending with a separator
        std::string root;  // the folder searched that found it; its own for a file
    };
    std::vector<Drawing> drawings;
    // The list file's paths that do not exist, made absolute.
    std::vector<std::string> notFound;
    // Each drawing's place in the whole list (before the shard), by its full path.
    std::map<std::string, qint64> positions;
    QString firstFolder;  // the first folder searched
};

// `shard`, when given, keeps the drawings (and the paths not found) of that shard only.
DrawingListing ListDrawings(const QStringList& arguments, const QStringList& listed,
                            const QString& pattern, bool recursive,
                            const std::optional<Shard>& shard);

}  // namespace vx::cli
