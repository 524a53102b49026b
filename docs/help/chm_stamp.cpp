// Zeroes the two time fields that chmcmd writes into a compiled help file, so that the
// same pages give the same bytes: the ITSF header's time stamp (4 bytes at 0x10) and the
// data of the "#SYSTEM" record with code 10. Then checks that the file still reads.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/ChmFile.h"

namespace {

int Fail(const std::string& what) {
    std::fprintf(stderr, "chm_stamp: %s\n", what.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        return Fail("usage: chm_stamp <file.chm>");
    }
    const std::string path = argv[1];
    std::vector<char> bytes;
    {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            return Fail("cannot read " + path);
        }
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    if (bytes.size() < 0x14 || std::memcmp(bytes.data(), "ITSF", 4) != 0) {
        return Fail(path + " is no compiled help file");
    }

    // The #SYSTEM object is stored uncompressed: find its bytes in the file.
    std::vector<char> system;
    std::size_t timeAt = 0;
    std::size_t timeLength = 0;
    {
        auto chm = vx::app::ChmFile::Open(path);
        if (!chm) {
            return Fail("chmlib cannot open " + path);
        }
        auto raw = chm->Read("/#SYSTEM");
        if (!raw) {
            return Fail(path + " has no #SYSTEM object");
        }
        system.assign(raw->begin(), raw->end());
        for (const auto& record : chm->SystemRecords()) {
            if (record.code == 10) {
                timeAt = record.offset;
                timeLength = record.data.size();
            }
        }
    }
    std::memset(bytes.data() + 0x10, 0, 4);
    if (timeLength > 0) {
        auto at = std::search(bytes.begin(), bytes.end(), system.begin(), system.end());
        if (at == bytes.end()) {
            return Fail("the #SYSTEM object is not stored as it stands in " + path);
        }
        if (std::search(at + 1, bytes.end(), system.begin(), system.end()) != bytes.end()) {
            return Fail("the #SYSTEM object occurs twice in " + path);
        }
        std::memset(&*at + timeAt, 0, timeLength);
    }
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            return Fail("cannot write " + path);
        }
    }
    auto check = vx::app::ChmFile::Open(path);
    if (!check || !check->Read(check->DefaultTopic())) {
        return Fail(path + " no longer reads after stamping");
    }
    return 0;
}
