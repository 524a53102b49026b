#include "files/AppendFile.h"

#include "files/AtomicFilePlatform.h"

namespace vx::files {

AppendFile::AppendFile(const std::filesystem::path& file) : handle_(platform::kNoHandle) {
    if (file.empty() || !file.has_filename()) {
        error_ = "no file name";
        return;
    }
    error_ = platform::OpenForAppend(file, handle_);
}

AppendFile::~AppendFile() {
    platform::Close(handle_);
}

bool AppendFile::Append(std::string_view bytes) {
    if (handle_ == platform::kNoHandle) {
        return false;
    }
    error_ = platform::WriteAll(handle_, bytes.data(), bytes.size());
    if (error_.empty()) {
        error_ = platform::Sync(handle_);
    }
    return error_.empty();
}

}  // namespace vx::files
