// Where a plot file goes.
//
// - A name with a folder is taken as it is (a Windows path mapped onto the native form);
//   a name without one lands beside the drawing, never in the process's current folder.
// - The file keeps the name it was given, but a ".plt" name (any letter case) takes the
//   format's own extension unless the device writes HP-GL/2, whose files are .plt files.
// - A drawing never overwrites a plot file it wrote itself: a second plot to the same name
//   (one per layout) gets the layout's name added ("site-Details A4.pdf"), and a number
//   after that if needed. Nor does it overwrite one that another drawing's plot wrote in
//   the same session ("plan.dxf" and "plan.dwg" both plotting to "plan.plt"): its own file
//   gets its drawing's file name added ("plan-plan.dwg.pdf").
// - A plot to a device that writes files, without a file name, is named after the drawing
//   with the format's extension, beside it.
#pragma once

#include <filesystem>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>

#include "engine/device/PlotterConfig.h"

namespace vx::engine::automation {

// The format's extension, without the dot.
std::string FormatExtension(const device::PlotterConfig& config);

// The file for `given`; throws device::DeviceError for an empty name, or a relative one
// when the drawing has no folder.
std::filesystem::path PlotFilePath(std::string_view given,
                                   const std::filesystem::path& drawingFolder,
                                   const device::PlotterConfig& config);

// The file of a device plot of drawing `drawingName` (in `drawingFolder`).
std::filesystem::path DevicePlotFilePath(const std::string& drawingName,
                                         const std::filesystem::path& drawingFolder,
                                         const device::PlotterConfig& config);

// `file`, or with the layout's name (and then a number) added when `written` holds it.
std::filesystem::path DistinctPlotFile(const std::filesystem::path& file, const std::string& layout,
                                       const std::set<std::filesystem::path>& written);

// `file` with the drawing's file name added ("plan-plan.dwg.pdf"), for a plot file that a
// plot of another drawing wrote earlier in the session.
std::filesystem::path PlotFileOfDrawing(const std::filesystem::path& file,
                                        const std::string& drawingName);

// A layout name made safe for a file name: separators and control characters become "_".
std::string FileSafe(std::string_view name);

}  // namespace vx::engine::automation
