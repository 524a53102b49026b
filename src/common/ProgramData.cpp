#include "common/ProgramData.h"

#include <QCoreApplication>
#include <QDir>

#ifndef VORMEX_DATA_FROM_PROGRAM
#error "the build gives the data folder's place relative to the programs"
#endif

namespace vx {

std::filesystem::path ProgramDataFolder(const std::filesystem::path& programFolder) {
#ifndef _WIN32
    const std::filesystem::path installed =
        (programFolder / VORMEX_DATA_FROM_PROGRAM).lexically_normal();
    std::error_code ec;
    if (std::filesystem::is_directory(installed, ec)) {
        return installed;
    }
#endif
    return programFolder;
}

std::filesystem::path ProgramDataFolder() {
    if (!QCoreApplication::instance()) {
        return {};
    }
    return ProgramDataFolder(QDir(QCoreApplication::applicationDirPath()).filesystemAbsolutePath());
}

}  // namespace vx
