// The container of a DWG file: where its sections are and their bytes, whatever the
// version's layout — section locators (R13–R2000), the masked header, page map and
// section map of compressed pages (R2004, R2010 and later), or the Reed–Solomon coded
// pages with their own compression (R2007). Internal to the DWG reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/db/Database.h"

namespace vx::engine::dwg {

// One section's bytes: a view into the file, or decompressed pages held here.
struct Section {
    std::vector<std::uint8_t> storage;
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    bool present = false;

    void Own(std::vector<std::uint8_t> bytes) {
        storage = std::move(bytes);
        data = storage.data();
        size = storage.size();
        present = true;
    }
};

struct DwgFile {
    std::string versionText;  // "AC1015"
    int version = 0;          // 1015
    int maintenance = 0;      // maintenance release of the format
    int codePage = 0;         // the file header's code page number
    Section header;           // header variables
    Section classes;
    Section handles;  // object map
    Section objects;  // R13–R2000: the whole file (the map holds file offsets)
    Section templ;    // the template section (measurement system); optional
    std::vector<db::Diagnostic> warnings;
};

// Finds the sections of `bytes` (a whole DWG file of a version from R13 to 2018). Throws
// DwgError with a description of the damage when the file's layout cannot be read.
DwgFile OpenDwgFile(std::string_view bytes);

// The $DWGCODEPAGE name of a file header code page number ("ANSI_1252" for 30); empty
// for an unknown number.
std::string CodePageName(int number);

}  // namespace vx::engine::dwg
