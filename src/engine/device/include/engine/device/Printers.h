// The system's printers as plot devices.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/page/Media.h"

namespace vx::engine::device {

// What the device registry needs to know of the system's printers; tests supply their own.
class PrinterCatalog {
public:
    virtual ~PrinterCatalog() = default;
    virtual std::vector<std::string> Names() = 0;
    // The printer's papers as canonical media names with their sizes (margins may be left
    // at zero here); empty for an unknown printer.
    virtual std::vector<page::Media> Papers(const std::string& printer) = 0;
    // The paper the printer is set to use, if it says.
    virtual std::optional<std::string> DefaultPaper(const std::string& printer) = 0;
    // The unprintable margins of one paper on that printer.
    virtual page::Margins Margins(const std::string& printer, const page::Media& paper) = 0;
};

// The printers Qt's print support knows (through CUPS on Debian).
std::shared_ptr<PrinterCatalog> SystemPrinters();

// A canonical media name for a paper a printer reports by key (its PPD name such as "A4",
// "Letter", "Tabloid") or display name and size: the standard paper's name when the key or
// the size is one (ISO_A4_(210.00_x_297.00_MM), Letter_(8.50_x_11.00_Inches)), else a name
// of the field's form made from the printer's own name and size.
page::Media PrinterMedia(const std::string& key, const std::string& displayName, double widthMm,
                         double heightMm, bool definedInInches);

}  // namespace vx::engine::device
