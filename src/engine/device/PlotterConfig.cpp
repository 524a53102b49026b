#include "engine/device/PlotterConfig.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "engine/Strings.h"

namespace vx::engine::device {

namespace {

constexpr std::size_t kMaxFileBytes = 1u << 20;

std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) {
        s.remove_prefix(1);
    }
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) {
        s.remove_suffix(1);
    }
    return s;
}

std::vector<std::string> Words(std::string_view s) {
    std::vector<std::string> words;
    std::istringstream in{std::string(s)};
    for (std::string w; in >> w;) {
        words.push_back(w);
    }
    return words;
}

bool ToDouble(const std::string& s, double& v) {
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return ec == std::errc() && end == s.data() + s.size() && std::isfinite(v);
}

bool ToInt(const std::string& s, int& v) {
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return ec == std::errc() && end == s.data() + s.size();
}

std::string Fixed(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", v);
    return buf;
}

}  // namespace

const char* DriverName(Driver driver) {
    switch (driver) {
        case Driver::Pdf:
            return "pdf";
        case Driver::Svg:
            return "svg";
        case Driver::Png:
            return "png";
        case Driver::Hpgl:
            break;
    }
    return "hpgl";
}

// The driver's name, but HP-GL/2 files end in ".plt".
std::string DefaultExtension(Driver driver) {
    return driver == Driver::Hpgl ? "plt" : DriverName(driver);
}

PlotterConfig ParsePlotterConfig(std::string_view text, std::string_view fileName) {
    PlotterConfig config;
    bool haveFormat = false;
    bool haveDriver = false;
    page::Margins margins;
    int lineNo = 0;
    const auto fail = [&](const std::string& what) {
        throw DeviceError("The plotter configuration \"" + std::string(fileName) +
                          "\" cannot be used: " + what + ".");
    };
    const auto failAt = [&](const std::string& what) {
        fail("line " + std::to_string(lineNo) + " " + what);
    };
    const auto readMargins = [&](const std::vector<std::string>& w, std::size_t from) {
        if (w.size() != from + 4) {
            failAt("needs four margins (left bottom right top, mm)");
        }
        double v[4];
        for (int i = 0; i < 4; ++i) {
            if (!ToDouble(w[from + static_cast<std::size_t>(i)], v[i]) || v[i] < 0 || v[i] > 1000) {
                failAt("has the margin \"" + w[from + static_cast<std::size_t>(i)] +
                       "\", not a size in mm");
            }
        }
        return page::Margins{v[0], v[1], v[2], v[3]};
    };

    std::size_t start = 0;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        start = 3;  // a byte order mark
    }
    while (start <= text.size()) {
        const std::size_t end = text.find('\n', start);
        const std::string_view raw = text.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        start = end == std::string_view::npos ? text.size() + 1 : end + 1;
        ++lineNo;
        const std::string_view line = Trim(raw);
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string_view::npos) {
            failAt("is not \"key = value\"");
        }
        const std::string key = Lower(Trim(line.substr(0, eq)));
        const std::string value(Trim(line.substr(eq + 1)));
        if (!haveFormat) {
            if (key != "format" ||
                Words(value) != std::vector<std::string>{"vormex-plotter", "1"}) {
                fail("it does not begin with \"format = vormex-plotter 1\"");
            }
            haveFormat = true;
            continue;
        }
        if (key == "driver") {
            const std::string d = Lower(value);
            if (d == "pdf") {
                config.driver = Driver::Pdf;
            } else if (d == "svg") {
                config.driver = Driver::Svg;
            } else if (d == "png") {
                config.driver = Driver::Png;
            } else if (d == "hpgl") {
                config.driver = Driver::Hpgl;
            } else {
                failAt("names the unknown driver \"" + value + "\"");
            }
            haveDriver = true;
        } else if (key == "description") {
            config.description = value;
        } else if (key == "resolution") {
            if (!ToInt(value, config.resolution) || config.resolution < 10 ||
                config.resolution > 2400) {
                failAt("has the resolution \"" + value + "\" (10 to 2400 dots per inch)");
            }
        } else if (key == "extension") {
            std::string ext = value;
            if (!ext.empty() && ext.front() == '.') {
                ext.erase(0, 1);
            }
            if (ext.empty() || ext.find_first_of("/\\. ") != std::string::npos) {
                failAt("has the extension \"" + value + "\"");
            }
            config.extension = ext;
        } else if (key == "margins") {
            margins = readMargins(Words(value), 0);
        } else if (key == "paper") {
            const std::vector<std::string> w = Words(value);
            if (w.empty()) {
                failAt("names no paper");
            }
            auto media = page::ParseMediaName(w[0]);
            if (!media) {
                failAt("names the paper \"" + w[0] + "\", which gives no size");
            }
            media->margins = margins;
            if (w.size() > 1) {
                if (Lower(w[1]) != "margins") {
                    failAt("has \"" + w[1] + "\" after the paper name");
                }
                media->margins = readMargins(w, 2);
            }
            if (media->PrintableArea().Width() <= 0 || media->PrintableArea().Height() <= 0) {
                failAt("gives the paper " + w[0] + " margins that leave nothing to print on");
            }
            for (const page::Media& m : config.papers) {
                if (m.canonicalName == media->canonicalName) {
                    failAt("lists the paper " + w[0] + " a second time");
                }
            }
            config.papers.push_back(*media);
        } else if (key == "default") {
            config.defaultPaper = value;
        } else if (key == "pen") {
            const std::vector<std::string> w = Words(value);
            PenDefinition pen;
            unsigned rgb = 0;
            const bool colourOk =
                w.size() == 3 && w[1].size() == 7 && w[1][0] == '#' &&
                std::from_chars(w[1].data() + 1, w[1].data() + 7, rgb, 16).ptr == w[1].data() + 7;
            if (w.size() != 3 || !ToInt(w[0], pen.number) || pen.number < 1 || pen.number > 255 ||
                !colourOk || !ToDouble(w[2], pen.widthMm) || pen.widthMm < 0 || pen.widthMm > 20) {
                failAt("is not \"pen = <1-255> #rrggbb <width mm>\"");
            }
            pen.color = {static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                         static_cast<std::uint8_t>(rgb)};
            for (const PenDefinition& p : config.pens) {
                if (p.number == pen.number) {
                    failAt("defines pen " + w[0] + " a second time");
                }
            }
            config.pens.push_back(pen);
        } else if (key == "format") {
            failAt("repeats the format");
        } else {
            failAt("has the unknown key \"" + key + "\"");
        }
    }
    if (!haveFormat) {
        fail("it is empty");
    }
    if (!haveDriver) {
        fail("it names no driver");
    }
    if (config.papers.empty()) {
        fail("it lists no paper");
    }
    if (config.defaultPaper.empty()) {
        config.defaultPaper = config.papers.front().canonicalName;
    } else if (std::none_of(config.papers.begin(), config.papers.end(), [&](const page::Media& m) {
                   return m.canonicalName == config.defaultPaper;
               })) {
        fail("its default paper " + config.defaultPaper + " is not in its paper list");
    }
    if (config.extension.empty()) {
        config.extension = DefaultExtension(config.driver);
    }
    return config;
}

PlotterConfig ReadPlotterConfig(const std::filesystem::path& file) {
    const std::string name = file.filename().string();
    std::error_code ec;
    const auto size = std::filesystem::file_size(file, ec);
    if (ec || size > kMaxFileBytes) {
        throw DeviceError("The plotter configuration \"" + name + "\" cannot be read" +
                          (ec ? ": " + ec.message() : std::string(": it is too large")) + ".");
    }
    std::ifstream in(file, std::ios::binary);
    std::string text(static_cast<std::size_t>(size), '\0');
    if (!in || !in.read(text.data(), static_cast<std::streamsize>(text.size()))) {
        throw DeviceError("The plotter configuration \"" + name + "\" cannot be read.");
    }
    return ParsePlotterConfig(text, name);
}

std::string PlotterConfigText(const PlotterConfig& c) {
    std::string out = "format = vormex-plotter 1\n";
    out += std::string("driver = ") + DriverName(c.driver) + "\n";
    if (!c.description.empty()) {
        out += "description = " + c.description + "\n";
    }
    if (c.driver == Driver::Png) {
        out += "resolution = " + std::to_string(c.resolution) + "\n";
    }
    if (!c.extension.empty() && c.extension != DefaultExtension(c.driver)) {
        out += "extension = " + c.extension + "\n";
    }
    for (const page::Media& m : c.papers) {
        out += "paper = " + m.canonicalName;
        if (m.margins != page::Margins{}) {
            out += " margins " + Fixed(m.margins.left) + " " + Fixed(m.margins.bottom) + " " +
                   Fixed(m.margins.right) + " " + Fixed(m.margins.top);
        }
        out += "\n";
    }
    if (!c.defaultPaper.empty()) {
        out += "default = " + c.defaultPaper + "\n";
    }
    for (const PenDefinition& p : c.pens) {
        char colour[8];
        std::snprintf(colour, sizeof colour, "#%02x%02x%02x", p.color.r, p.color.g, p.color.b);
        out += "pen = " + std::to_string(p.number) + " " + colour + " " + Fixed(p.widthMm) + "\n";
    }
    return out;
}

}  // namespace vx::engine::device
