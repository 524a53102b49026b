// The plot device, paper and plot style table lists and the plot choices they set.
#pragma once

#include <cstdint>
#include <string>

#include "cad/CadConnection.h"

namespace vx::plot {

// An editable drop-down list as the rules see it.
class ChoiceList {
public:
    virtual ~ChoiceList() = default;
    virtual void Clear() = 0;
    // Setting the text raises the list's change event, as a user's edit does.
    virtual void SetText(const std::string& text) = 0;
    virtual std::string Text() const = 0;
    virtual void AddItem(const std::string& item) = 0;
    virtual int ListCount() const = 0;
    virtual std::string List(int index) const = 0;
};

// The plot choices of the main window, read by the plot runs.
struct PlotChoices {
    std::string StrPrinter;
    std::string StrPaper;
    std::string StrCTB;
    std::int16_t NumOfCopies = 0;
};

inline constexpr char kSelectPrinter[] = "Select a Printer";
inline constexpr char kSelectPaper[] = "Select a Paper";
inline constexpr char kSelectStyleTable[] = "Select Plot Style Table";
inline constexpr char kPaperSeparator[] = "  , ";
// Only the first positions of the CAD application's paper name array are listed.
inline constexpr int kPaperPositions = 30;

class PlotLists {
public:
    PlotLists(cad::CadConnection& connection, PlotChoices& choices);

    void FillPlotLists(ChoiceList& printers, ChoiceList& papers, ChoiceList& styles);
    void FillPaperList(ChoiceList& papers);

    // The list handlers; each list's change, click and key-down events call the same.
    void PrinterListEvent(const ChoiceList& printers, ChoiceList& papers);
    void PaperListEvent(const ChoiceList& papers);
    void StyleListEvent(const ChoiceList& styles);

    std::string PaperExclusions;

private:
    cad::Ref<cad::AcadLayout> ModelLayout();
    void AddFixedPapers(ChoiceList& papers, const char* const (&names)[4]);
    void FilterPapers(cad::AcadLayout& layout, const cad::Strings& names, ChoiceList& papers);

    cad::CadConnection& connection_;
    PlotChoices& choices_;
};

}  // namespace vx::plot
