// vormex-cli plot reports only what the automation interface tells it: the same drawings
// plotted on the built-in engine and on the recording test double, scripted to give the
// engine's answers, give the same report.
#include <gmock/gmock.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "../engine/automation/EngineFixture.h"
#include "CliRunner.h"
#include "FakeCad.h"
#include "cli/PlotCommand.h"

namespace vx::testing {
namespace {

struct CliBackEnds : EngineModel {
    // The report of a run over `work`, without its times, with the exit status.
    QJsonObject Report(const cad::ClassRegistry& on) {
        const QString file = QString::fromStdString((work / "../r.json").string());
        const CliResult run = Capture([&](cli::CommandIo& io) {
            return cli::RunPlot({QString::fromStdString(work.string()), "gone.dxf", "--pattern",
                                 "*.dxf", "--device", "PDF.pc3", "--paper", "A4", "--style",
                                 "monochrome.ctb", "--report", file},
                                io, on);
        });
        QFile f(file);
        f.open(QIODevice::ReadOnly);
        QJsonObject r = QJsonDocument::fromJson(f.readAll()).object();
        QJsonArray drawings = r["drawings"].toArray();
        for (auto d : drawings) {
            QJsonObject o = d.toObject();
            o.remove("seconds");
            d = o;
        }
        r["drawings"] = drawings;
        QJsonObject summary = r["summary"].toObject();
        summary.remove("seconds");
        r["summary"] = summary;
        r["status"] = run.status;
        return r;
    }
};

TEST_F(CliBackEnds, TheReportIsTheSameOnTheEngineAndOnTheDoubleGivingItsAnswers) {
    const std::string flange = [] {
        QFile f(QString::fromStdString((kExamples / "flange.dxf").string()));
        f.open(QIODevice::ReadOnly);
        return f.readAll().toStdString();
    }();
    const std::pair<const char*, std::string> files[] = {
        {"empty.dxf", "0\nSECTION\n2\nENTITIES\n0\nENDSEC\n0\nEOF\n"},  // a blank page
        {"cut.dxf", flange.substr(0, flange.rfind('\n', flange.rfind("EOF") - 2) + 1)},
        {"junk.dxf", "0\nSECTION\n2\nENTITIES\n0\nLINE\n10\nnot a number\n"}};
    for (const auto& [name, content] : files) {
        QFile f(QString::fromStdString((work / name).string()));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content.data(), static_cast<qint64>(content.size()));
    }
    fs::copy_file(kExamples / "site-layouts.dxf", work / "site-layouts.dxf");
    const QJsonObject engine = Report(registry);
    ASSERT_EQ(engine["drawings"].toArray().size(), 5);

    // The double says of each drawing and plot what the engine said.
    cad::ClassRegistry doubled;  // outlives the double, which leaves it when it goes
    fake::FakeCad cad;
    cad.Devices({"None", "PDF.pc3"}).Styles({"monochrome.ctb"});
    // Each drawing's one plot (a file plot that went through), and its fonts.
    std::map<std::string, QJsonObject> plots, fonts;
    for (const auto& value : engine["drawings"].toArray()) {
        const QJsonObject d = value.toObject();
        const std::string path = d["drawing"].toString().toStdString();
        const std::string reason = d["reason"].toString().toStdString();
        if (d["result"] == "not opened") {
            cad.Drawing(path).Unopenable(reason);
            continue;
        }
        fake::Strings notes, damage;
        const std::string name = fs::path(path).filename().string();
        fonts[name] = d;
        for (const auto& layout : d["layouts"].toArray()) {
            const QJsonObject l = layout.toObject();
            plots[name] = l;
            for (const auto& n : l["notes"].toArray()) {
                notes.push_back(n.toString().toStdString());
            }
        }
        for (const auto& w : d["warnings"].toArray()) {
            if (std::find(notes.begin(), notes.end(), w.toString().toStdString()) == notes.end()) {
                damage.push_back(w.toString().toStdString());
            }
        }
        cad.Drawing(path).ReadWarnings(damage);
    }
    cad.Outcomes([&](const fake::PlotJob& job, cad::PlotOutcome& o) {
        const QJsonObject l = plots[job.document];
        auto text = [&](const char* key) { return l[key].toString().toStdString(); };
        o.layout = text("layout");
        o.device = text("device");
        o.paper = text("paper");
        o.styleTable = text("style_table");
        o.outputFile = text("output");
        o.ok = l["ok"].toBool();
        o.error = text("error");
        for (const auto& n : l["notes"].toArray()) {
            o.notes.push_back(n.toString().toStdString());
        }
        o.blank = l["drawn"].toInteger() == 0;
        for (const auto& value : fonts[job.document]["substituted_fonts"].toArray()) {
            const QJsonObject f = value.toObject();
            o.fonts.push_back({f["font"].toString().toStdString(),
                               f["used"].toString().toStdString(),
                               f["reason"].toString().toStdString()});
        }
        o.entities = l["entities"].toInteger();
        o.drawn = l["drawn"].toInteger();
    });
    cad.RegisterIn(doubled);
    EXPECT_EQ(Report(doubled), engine);
}

}  // namespace
}  // namespace vx::testing
