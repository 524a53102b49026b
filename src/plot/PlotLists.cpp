#include "plot/PlotLists.h"

namespace vx::plot {

using cad::AcadLayout;
using cad::CadConnection;
using cad::Ref;
using cad::Strings;

PlotLists::PlotLists(CadConnection& connection, PlotChoices& choices)
    : connection_(connection), choices_(choices) {}

Ref<AcadLayout> PlotLists::ModelLayout() {
    connection_.EnsureConnected();
    auto app = connection_.CadApp->Application();
    auto docs = app->Documents();
    if (docs->Count() == 0) {
        auto doc = docs->Add();
        if (doc) {
            connection_.NoteOpenedHere(*doc);
        }
    }
    auto layout = app->ActiveDocument()->ModelSpace()->Layout();
    layout->RefreshPlotDeviceInfo();
    return layout;
}

void PlotLists::AddFixedPapers(ChoiceList& papers, const char* const (&names)[4]) {
    for (const char* name : names) {
        papers.AddItem(name);
    }
    PaperExclusions = papers.List(0) + kPaperSeparator + papers.List(1) + kPaperSeparator +
                      papers.List(2) + kPaperSeparator + papers.List(3);
}

void PlotLists::FilterPapers(AcadLayout& layout, const Strings& names, ChoiceList& papers) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string& name = names[i];
        layout.GetLocaleMediaName(name);
        if (i > static_cast<std::size_t>(kPaperPositions)) {
            break;
        }
        if (i < static_cast<std::size_t>(kPaperPositions) && name.find('A') != std::string::npos &&
            PaperExclusions.find(name) == std::string::npos) {
            papers.AddItem(name);
        }
    }
}

void PlotLists::FillPlotLists(ChoiceList& printers, ChoiceList& papers, ChoiceList& styles) {
    auto layout = ModelLayout();

    Strings devices = layout->GetPlotDeviceNames();
    printers.Clear();
    printers.SetText(kSelectPrinter);
    for (const auto& d : devices) {
        printers.AddItem(d);
    }

    Strings media = layout->GetCanonicalMediaNames();
    papers.Clear();
    papers.SetText(kSelectPaper);
    static const char* const kFixed[4] = {"A0", "A1", "A3", "A4"};
    AddFixedPapers(papers, kFixed);
    FilterPapers(*layout, media, papers);

    Strings tables = layout->GetPlotStyleTableNames();
    styles.Clear();
    styles.SetText(kSelectStyleTable);
    for (const auto& t : tables) {
        styles.AddItem(t);
    }
}

void PlotLists::FillPaperList(ChoiceList& papers) {
    auto layout = ModelLayout();
    Strings media = layout->GetCanonicalMediaNames();
    papers.Clear();
    papers.SetText(kSelectPaper);
    static const char* const kFixed[4] = {"A0", "A1", "A4", "A3"};
    AddFixedPapers(papers, kFixed);
    FilterPapers(*layout, media, papers);
}

void PlotLists::PrinterListEvent(const ChoiceList& printers, ChoiceList& papers) {
    choices_.StrPrinter = printers.Text();
    if (choices_.StrPrinter.find(kSelectPrinter) == std::string::npos) {
        FillPaperList(papers);
    }
}

void PlotLists::PaperListEvent(const ChoiceList& papers) {
    choices_.StrPaper = papers.Text();
}

void PlotLists::StyleListEvent(const ChoiceList& styles) {
    choices_.StrCTB = styles.Text();
}

}  // namespace vx::plot
