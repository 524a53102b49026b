#include "cli/CadSession.h"

#include <QRegularExpression>
#include <QStringList>
#include <vector>

#include "backends/BackEnds.h"
#include "plot/PlotLists.h"

namespace vx::cli {

namespace {

// A drop-down list that only keeps its entries; its text is the placeholder.
class EntryList : public plot::ChoiceList {
public:
    void Clear() override { items.clear(); }
    void SetText(const std::string& text) override { text_ = text; }
    std::string Text() const override { return text_; }
    void AddItem(const std::string& item) override { items.push_back(item); }
    int ListCount() const override { return static_cast<int>(items.size()); }
    std::string List(int index) const override { return items.at(static_cast<std::size_t>(index)); }
    std::vector<std::string> items;

private:
    std::string text_;
};

}  // namespace

// Each run of vormex-cli starts a CAD engine of its own and quits it at the end: runs side by
// side (shards, jobs) or beside the window never share one, so none closes another's
// drawings.
const cad::ClassRegistry& ProgramBackEnds() {
    return backends::ProgramBackEnds({}, backends::EngineSharing::Own);
}

QString TerminalLines(const std::string& text) {
    QStringList lines;
    for (const QString& line :
         QString::fromStdString(text).split(QRegularExpression(QStringLiteral("\r\n|\r|\n")))) {
        if (!line.trimmed().isEmpty()) {
            lines << line.trimmed();
        }
    }
    return lines.join(QLatin1Char('\n'));
}

CadSession::CadSession(CommandIo& io, const cad::ClassRegistry& registry, QString command)
    : io_(io), command_(std::move(command)), connection_(*this, *this, registry) {}

CadSession::~CadSession() {
    Finish();
}

bool CadSession::Connect() {
    try {
        connection_.EnsureConnected();
        return true;
    } catch (const cad::ProgramEnded&) {
        return false;
    }
}

void CadSession::SetStatus(const std::string& text) {
    if (showStatus) {
        io_.err << TerminalLines(text) << '\n';
        io_.err.flush();
    }
}

MsgResult CadSession::Show(const Message& message) {
    io_.err << "vormex-cli " << command_ << ": " << TerminalLines(message.title) << ": "
            << TerminalLines(message.text).replace(QLatin1Char('\n'), QLatin1Char(' ')) << '\n';
    io_.err.flush();
    return MsgResult::Ok;
}

cad::Ref<cad::AcadDocument> CadSession::OwnDrawing() {
    connection_.EnsureConnected();
    auto app = connection_.CadApp->Application();
    auto docs = app->Documents();
    if (docs->Count() > 0) {
        auto active = app->ActiveDocument();
        if (connection_.OpenedHere(*active)) {
            return active;
        }
    }
    auto doc = docs->Add();
    connection_.NoteOpenedHere(*doc);
    doc->Activate();
    return doc;
}

cad::Ref<cad::AcadLayout> CadSession::ModelLayout() {
    auto layout = OwnDrawing()->ModelSpace()->Layout();
    layout->RefreshPlotDeviceInfo();
    return layout;
}

CadSession::Lists CadSession::FillLists() {
    OwnDrawing();
    plot::PlotChoices choices;
    plot::PlotLists lists(connection_, choices);
    EntryList printers, papers, styles;
    lists.FillPlotLists(printers, papers, styles);
    return {printers.items, papers.items, styles.items};
}

std::vector<std::string> CadSession::FillPaperList() {
    OwnDrawing();
    plot::PlotChoices choices;
    plot::PlotLists lists(connection_, choices);
    EntryList papers;
    lists.FillPaperList(papers);
    return papers.items;
}

void CadSession::Finish() {
    if (finished_ || !connection_.CadApp) {
        return;
    }
    finished_ = true;
    // Only what this session opened: a CAD application the user runs keeps the drawings.
    try {
        auto docs = connection_.CadApp->Application()->Documents();
        std::vector<cad::Ref<cad::AcadDocument>> mine;
        for (std::int32_t i = 0, n = docs->Count(); i < n; ++i) {
            auto doc = docs->Item(i);
            if (connection_.OpenedHere(*doc)) {
                mine.push_back(doc);
            }
        }
        for (auto& doc : mine) {
            connection_.CloseWithoutSaving(*doc);
        }
    } catch (const cad::CadError& e) {
        io_.err << "vormex-cli " << command_ << ": " << QString::fromStdString(e.Description())
                << '\n';
    }
    if (connection_.CadStartedHere) {
        connection_.QuitCad();
    }
}

}  // namespace vx::cli
