#include <windows.h>

#include <QProcess>
#include <QStringList>
#include <cwctype>
#include <vector>

#include "engine/remote/ProcessControl.h"

namespace vx::engine::remote {

std::int64_t StartDetached(const std::string& program, const std::vector<std::string>& arguments,
                           std::string& error) {
    QProcess process;
    process.setProgram(QString::fromStdString(program));
    QStringList list;
    for (const auto& a : arguments) {
        list.push_back(QString::fromStdString(a));
    }
    process.setArguments(list);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    qint64 pid = 0;
    if (!process.startDetached(&pid)) {
        error = process.errorString().toStdString();
        return 0;
    }
    return pid;
}

bool KillProcess(std::int64_t pid) {
    HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(pid));
    if (!process) {
        return false;
    }
    const bool ok = TerminateProcess(process, 1) != 0;
    CloseHandle(process);
    return ok;
}

bool ProcessAlive(std::int64_t pid) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    if (!process) {
        return false;
    }
    const bool alive = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return alive;
}

void KeepFreedMemory() {
    // The process heap keeps freed blocks for reuse by itself.
}

bool LimitOwnMemory(std::uint64_t bytes, std::string& error) {
    // A job object of its own with a memory limit; the handle stays open for the
    // process's life, which keeps the job.
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (!job) {
        error = "no job object";
        return false;
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION info{};
    info.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_PROCESS_MEMORY;
    info.ProcessMemoryLimit = static_cast<SIZE_T>(bytes);
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &info, sizeof info) ||
        !AssignProcessToJobObject(job, GetCurrentProcess())) {
        error = "the memory limit could not be set (error " + std::to_string(GetLastError()) + ")";
        CloseHandle(job);
        return false;
    }
    return true;
}

std::string UserTag() {
    std::vector<wchar_t> name(257);
    DWORD size = static_cast<DWORD>(name.size());
    if (!GetUserNameW(name.data(), &size)) {
        return "user";
    }
    // Pipe names are case-insensitive; the name is hashed into something plain.
    std::uint32_t hash = 2166136261u;
    for (DWORD i = 0; i + 1 < size; ++i) {
        hash = (hash ^ static_cast<std::uint32_t>(towlower(name[i]))) * 16777619u;
    }
    return std::to_string(hash);
}

bool OwnedByThisUser(const std::string&) {
    return true;
}

}  // namespace vx::engine::remote
