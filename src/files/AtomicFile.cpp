#include "files/AtomicFile.h"

#include "files/AtomicFilePlatform.h"

namespace vx::files {

AtomicFile::AtomicFile(std::filesystem::path target)
    : target_(std::move(target)), handle_(platform::kNoHandle) {
    if (target_.empty() || !target_.has_filename()) {
        Fail("no file name");
        return;
    }
    std::string problem = platform::CheckTarget(target_);
    if (problem.empty()) {
        problem = platform::CreateTemp(target_, handle_, temp_);
    }
    if (!problem.empty()) {
        Fail(problem);
    }
}

AtomicFile::~AtomicFile() {
    Discard();
}

void AtomicFile::Fail(const std::string& reason) {
    if (error_.empty()) {
        error_ = reason.empty() ? std::string("unknown error") : reason;
    }
    platform::Close(handle_);
    if (!temp_.empty()) {
        platform::Remove(temp_);
        temp_.clear();
    }
}

bool AtomicFile::Write(std::string_view bytes) {
    if (!Ok() || committed_) {
        return false;
    }
    if (bytes.empty()) {
        return true;
    }
    const std::string problem = platform::WriteAll(handle_, bytes.data(), bytes.size());
    if (!problem.empty()) {
        Fail(problem);
        return false;
    }
    size_ += static_cast<std::int64_t>(bytes.size());
    return true;
}

bool AtomicFile::Commit() {
    if (committed_) {
        return true;
    }
    if (!Ok()) {
        return false;
    }
    std::string problem = platform::SyncAndClose(handle_);
    if (problem.empty()) {
        problem = platform::Replace(temp_, target_);
    }
    if (!problem.empty()) {
        Fail(problem);
        return false;
    }
    temp_.clear();
    committed_ = true;
    return true;
}

void AtomicFile::Discard() {
    if (committed_) {
        return;
    }
    platform::Close(handle_);
    if (!temp_.empty()) {
        platform::Remove(temp_);
        temp_.clear();
    }
    if (error_.empty()) {
        error_ = "the write was abandoned";
    }
}

bool WriteFileAtomically(const std::filesystem::path& target, std::string_view bytes,
                         std::string& error) {
    AtomicFile file(target);
    if (file.Write(bytes) && file.Commit()) {
        return true;
    }
    error = file.Error();
    return false;
}

}  // namespace vx::files
