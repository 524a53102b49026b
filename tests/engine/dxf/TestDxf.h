// A small writer of DXF files for tests: groups in, ASCII DXF out, and the
// helpers the engine tests share (reading testdata, temporary folders).
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/dxf/DxfReader.h"

namespace vx::test {

class TestDxf {
public:
    TestDxf& G(int code, std::string value) {
        groups_.emplace_back(code, std::move(value));
        return *this;
    }
    TestDxf& G(int code, double v) {
        std::ostringstream s;
        s.precision(17);
        s << v;
        return G(code, s.str());
    }
    TestDxf& G(int code, int v) { return G(code, std::to_string(v)); }
    TestDxf& G(int code, const char* v) { return G(code, std::string(v)); }
    TestDxf& Point(int code, double x, double y, double z = 0) {
        return G(code, x).G(code + 10, y).G(code + 20, z);
    }
    // Groups as one line of text, "code value|code value|...". A point code (10..18,
    // 110..112, 210) with a value "x,y[,z]" stands for its x, y and z groups.
    TestDxf& Groups(std::string_view text) {
        while (!text.empty()) {
            const std::size_t bar = text.find('|');
            const std::string_view item = text.substr(0, bar);
            text = bar == std::string_view::npos ? std::string_view{} : text.substr(bar + 1);
            const std::size_t space = item.find(' ');
            const int code = std::stoi(std::string(item.substr(0, space)));
            const std::string value(space == std::string_view::npos ? std::string_view{}
                                                                    : item.substr(space + 1));
            const bool point =
                (code >= 10 && code <= 18) || (code >= 110 && code <= 112) || code == 210;
            if (!point || value.find(',') == std::string::npos) {
                G(code, value);
                continue;
            }
            std::istringstream in(value);
            std::string x, y, z;
            std::getline(in, x, ',');
            std::getline(in, y, ',');
            std::getline(in, z, ',');
            G(code, x).G(code + 10, y).G(code + 20, z.empty() ? "0" : z);
        }
        return *this;
    }
    TestDxf& Section(const char* name) { return G(0, "SECTION").G(2, name); }
    TestDxf& EndSection() { return G(0, "ENDSEC"); }
    TestDxf& Header(const char* version, const char* codePage = "ANSI_1252") {
        return Section("HEADER")
            .G(9, "$ACADVER")
            .G(1, version)
            .G(9, "$DWGCODEPAGE")
            .G(3, codePage)
            .EndSection();
    }
    TestDxf& Eof() { return G(0, "EOF"); }

    std::string Ascii() const {
        std::string s;
        for (const auto& [c, v] : groups_) {
            s += std::to_string(c) + "\n" + v + "\n";
        }
        return s;
    }

private:
    std::vector<std::pair<int, std::string>> groups_;
};

inline std::filesystem::path TestData() {
    return std::filesystem::path(VORMEX_TESTDATA_DIR);
}

inline std::string ReadBytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void WriteBytes(const std::filesystem::path& p, const std::string& bytes) {
    std::filesystem::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary);
    out << bytes;
}

// A test name from a file's stem: letters and digits, the rest '_'.
inline std::string StemName(const std::filesystem::path& file) {
    std::string n = file.stem().string();
    for (char& c : n) {
        c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    }
    return n;
}

// The testdata file's bytes; skips the test when the shared testdata are absent.
#define VX_TESTDATA_OR_SKIP(rel, bytesVar)                      \
    const auto bytesVar##Path = ::vx::test::TestData() / (rel); \
    if (!std::filesystem::exists(bytesVar##Path)) {             \
        GTEST_SKIP() << "testdata absent: " << bytesVar##Path;  \
    }                                                           \
    const std::string bytesVar = ::vx::test::ReadBytes(bytesVar##Path)

// A fresh folder under the system's temporary folder, removed at the end.
class TempDir {
public:
    TempDir() {
        auto base = std::filesystem::temp_directory_path();
        for (int i = 0;; ++i) {
            path_ = base / ("vormex-test-" +
                            std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                            "-" + std::to_string(reinterpret_cast<std::uintptr_t>(this)) + "-" +
                            std::to_string(i));
            if (std::filesystem::create_directories(path_)) {
                break;
            }
        }
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace vx::test
