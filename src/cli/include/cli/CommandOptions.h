// The options of a command's arguments: flags ("--name"), options with a value ("--name
// VALUE" or "--name=VALUE"), and the rest, which are drawings or folders ("--" ends the
// options; what follows it is taken as it is, even when it begins with "-").
#pragma once

#include <QStringList>
#include <initializer_list>
#include <optional>
#include <utility>

namespace vx::cli {

using FlagOptions = std::initializer_list<std::pair<const char*, bool*>>;
using ValuedOptions = std::initializer_list<std::pair<const char*, QString*>>;

// Reads `args` into the options' targets and `inputs`; a message when they are not usable.
inline std::optional<QString> ReadOptions(const QStringList& args, FlagOptions flags,
                                          ValuedOptions valued, QStringList& inputs) {
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--")) {
            inputs += args.mid(i + 1);
            break;
        }
        bool matched = false;
        for (const auto& [name, target] : flags) {
            if (arg == QLatin1String(name)) {
                *target = matched = true;
            }
        }
        for (const auto& [name, target] : valued) {
            const QString option = QLatin1String(name);
            if (arg == option) {
                if (i + 1 >= args.size()) {
                    return option + QStringLiteral(" needs a value");
                }
                *target = args[++i];
                matched = true;
            } else if (arg.startsWith(option + QLatin1Char('='))) {
                *target = arg.mid(option.size() + 1);
                matched = true;
            }
        }
        if (matched) {
            continue;
        }
        if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            return QStringLiteral("unknown option ") + arg;
        }
        inputs << arg;
    }
    return std::nullopt;
}

}  // namespace vx::cli
