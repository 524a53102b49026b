// Runs over whole archives: list files, shards, the check before a run, joined reports and
// the bound PDF set of a run (its pages as pdfinfo sees them, its bookmarks as libqpdf reads
// them back).
#include <gmock/gmock.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFOutlineDocumentHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <fstream>
#include <memory>
#include <set>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "../engine/automation/EngineFixture.h"
#include "cli/DrawingList.h"
#include "cli/PdfSet.h"
#include "cli/ReportMerge.h"
#include "cli/RunJournal.h"

namespace vx::testing {
namespace {

QString Q(const fs::path& p) {
    return QString::fromStdString(p.string());
}

void Write(const fs::path& file, const QByteArray& bytes) {
    QFile f(Q(file));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

std::optional<QStringList> ReadList(QByteArray bytes, QString& error) {
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    return cli::ReadPathList(in, error);
}

TEST(PathList, SkipsCommentsAndBlankLinesAndRefusesWhatBreaksItsBounds) {
    const struct {
        QByteArray bytes;
        std::optional<QStringList> paths;
    } cases[] = {
        {"a.dwg\r\n# b.dwg\n\n  \n c d.dxf \nlast", QStringList{"a.dwg", " c d.dxf ", "last"}},
        {QByteArray(4096, 'x') + "\n", QStringList{QString(4096, 'x')}},
        {"ok\n" + QByteArray(4097, 'x'), std::nullopt},
        {QByteArray("a\0b\n", 4), std::nullopt},
        {QByteArray(cli::kMaxListBytes + 1, '\n'), std::nullopt},
    };
    for (const auto& c : cases) {
        QString error;
        EXPECT_EQ(ReadList(c.bytes, error), c.paths) << c.bytes.left(40).toStdString();
        EXPECT_EQ(error.isEmpty(), c.paths.has_value()) << error.toStdString();
    }
}

TEST(Shard, TakesKOfNFromOneAndAStableHash) {
    for (const char* bad : {"0/4", "5/4", "1/0", "4", "-1/4", "1/4/2", " 1/4", "a/b"}) {
        EXPECT_FALSE(cli::ParseShard(bad)) << bad;
    }
    const auto s = cli::ParseShard("4/4");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->index, 4);
    // FNV-1a 64: the published values; a changed hash would move drawings between shards
    // of runs made with different versions of the program.
    EXPECT_EQ(cli::PathHash(""), 0xcbf29ce484222325ULL);
    EXPECT_EQ(cli::PathHash("a"), 0xaf63dc4c8601ec8cULL);
    EXPECT_EQ(cli::PathHash("foobar"), 0x85944171f73967e8ULL);
    EXPECT_TRUE(cli::InShard("a", {1, 4}));  // the hash modulo N is K - 1
}

// The shards of a list, each listed in its own order, hold every drawing and every path
// not found exactly once.
TEST(Shard, PartitionsAListWhateverItsOrder) {
    QTemporaryDir temp;
    const fs::path root(temp.path().toStdString());
    QStringList listed;
    for (int i = 0; i < 40; ++i) {
        const fs::path file = root / ("d" + std::to_string(i) + ".dwg");
        if (i % 5 != 0) {
            Write(file, "x");
        }
        listed << Q(file);  // every fifth does not exist
    }
    for (int n : {1, 3, 7}) {
        std::multiset<std::string> seen;
        for (int k = 1; k <= n; ++k) {
            QStringList order = listed;
            std::rotate(order.begin(), order.begin() + k * 5, order.end());
            const auto l = cli::ListDrawings({}, order, "*.DWG", false, cli::Shard{k, n});
            for (const auto& d : l.drawings) {
                seen.insert(d.path + d.name);
            }
            seen.insert(l.notFound.begin(), l.notFound.end());
        }
        EXPECT_EQ(seen.size(), 40u) << n;
        EXPECT_EQ(std::set<std::string>(seen.begin(), seen.end()).size(), 40u) << n;
    }
}

QJsonObject Report(bool complete, QJsonArray drawings, const QString& paper = "A3",
                   const QString& shard = "") {
    return {{"complete", complete},
            {"search", QJsonObject{{"shard", shard}}},
            {"choices", QJsonObject{{"device", "PDF.pc3"}, {"paper", paper}}},
            {"summary", QJsonObject{{"seconds", complete ? 2.0 : 5.0}}},
            {"drawings", drawings}};
}
QJsonObject Drawing(const char* path, const char* result, int index = -1) {
    QJsonObject d{{"drawing", path}, {"result", result}};
    if (index >= 0) {
        d["index"] = index;
    }
    return d;
}

TEST(ReportMerge, JoinsShardsInListOrderEachDrawingOnceWithTheSummaryCountedAgain) {
    QString error;
    const auto merged = cli::MergeReports(
        {Report(true, {Drawing("/c", "failed", 2), Drawing("/a", "plotted", 0)}),
         Report(false, {Drawing("/b", "not found", 1), Drawing("/a", "failed", 0),
                        Drawing("/d", "plotted with warnings", 3), Drawing("/e", "skipped", 4)})},
        error);
    ASSERT_TRUE(merged) << error.toStdString();
    const QJsonObject& o = merged->report;
    QStringList order;
    for (const auto& d : o["drawings"].toArray()) {
        order << d.toObject()["drawing"].toString() + " " + d.toObject()["result"].toString();
    }
    EXPECT_EQ(order, (QStringList{"/a plotted", "/b not found", "/c failed",
                                  "/d plotted with warnings", "/e skipped"}));
    EXPECT_EQ(merged->duplicates, 1);
    EXPECT_FALSE(o["complete"].toBool());
    EXPECT_EQ(o["summary"].toObject(), (QJsonObject{{"drawings", 5},
                                                    {"plotted", 2},
                                                    {"with_warnings", 1},
                                                    {"skipped", 1},
                                                    {"failed", 2},
                                                    {"not_found", 1},
                                                    {"seconds", 5.0}}));

    // Without indexes the reports' own order stands; a shard without a report leaves the
    // whole incomplete; other choices or shard counts are not joined.
    const auto plain = cli::MergeReports({Report(true, {Drawing("/z", "plotted")}, "A3", "2/2"),
                                          Report(true, {Drawing("/y", "plotted")}, "A3", "1/2")},
                                         error);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->report["drawings"][0]["drawing"], "/z");
    EXPECT_TRUE(plain->report["complete"].toBool());
    const auto partial =
        cli::MergeReports({Report(true, {}, "A3", "1/3"), Report(true, {}, "A3", "3/3")}, error);
    ASSERT_TRUE(partial);
    EXPECT_EQ(partial->missingShards, QStringList{"2/3"});
    EXPECT_FALSE(partial->report["complete"].toBool());
    EXPECT_FALSE(cli::MergeReports({Report(true, {}), Report(true, {}, "A4")}, error));
    EXPECT_FALSE(
        cli::MergeReports({Report(true, {}, "A3", "1/2"), Report(true, {}, "A3", "2/3")}, error));
    EXPECT_FALSE(cli::MergeReports({QJsonObject{{"drawings", 1}}}, error));
}

// The report's text, its entries made once each, reads as the report's JSON: with indexes
// or without, and with the drawings done so far of a run under way.
TEST(PlotReport, TheTextWrittenIsTheReportsJson) {
    QTemporaryDir temp;
    const QString file = temp.path() + "/r.json";
    cli::RunReport report;
    report.device = "PDF.pc3";
    report.notFound = {"/gone.dwg"};
    report.merged = {{"pages", 1}};
    cli::DrawingReport a, b;
    a.drawing = "/a.dwg";
    a.result = cli::DrawingResult::Plotted;
    a.plots = {{"Model", "PDF.pc3", "A4", "m.ctb", "/a.pdf", true, "", {"note"}, 3, 2}};
    a.warnings = {"w \"quoted\"\nand broken"};
    b.drawing = "/b.dwg";
    b.result = cli::DrawingResult::Failed;
    const auto read = [&] {
        QFile f(file);
        f.open(QIODevice::ReadOnly);
        return QJsonDocument::fromJson(f.readAll()).object();
    };
    QString error;
    for (const std::map<std::string, qint64>& positions :
         {std::map<std::string, qint64>{}, {{"/a.dwg", 2}, {"/b.dwg", 0}, {"/gone.dwg", 1}}}) {
        report.positions = positions;
        report.drawings = {a, b};
        for (int write = 0; write < 2; ++write) {
            ASSERT_TRUE(cli::WriteReport(report, file, error)) << error.toStdString();
            EXPECT_EQ(read(), report.ToJson());
        }
        const std::vector<const cli::DrawingReport*> done{&b};
        ASSERT_TRUE(cli::WriteReport(report, file, error, &done));
        report.drawings = {b};
        EXPECT_EQ(read(), report.ToJson());
    }
}

struct CliRun {
    int status = -1;
    QByteArray out, err;
};

// The program itself, with a user of its own and no terminal; started, and then waited for.
std::unique_ptr<QProcess> CliStart(const fs::path& root, const QStringList& args) {
    auto cli = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", Q(root / "home"));
    env.insert("XDG_DATA_HOME", Q(root / "home/.local/share"));
    env.insert("XDG_CONFIG_HOME", Q(root / "home/.config"));
    cli->setProcessEnvironment(env);
    cli->start(VORMEX_PROGRAM_DIR "/vormex-cli", args);
    return cli;
}

CliRun Finished(QProcess& cli) {
    if (!cli.waitForFinished(120000)) {
        cli.kill();
        cli.waitForFinished();
    }
    return {cli.exitCode(), cli.readAllStandardOutput(), cli.readAllStandardError()};
}

CliRun Cli(const fs::path& root, const QStringList& args) {
    return Finished(*CliStart(root, args));
}

QJsonObject ReadJson(const fs::path& file) {
    QString error;
    return cli::ReadReport(Q(file), error).value_or(QJsonObject{});
}

std::vector<std::pair<QString, QString>> Results(const QJsonObject& report) {
    std::vector<std::pair<QString, QString>> r;
    for (const auto& d : report["drawings"].toArray()) {
        r.emplace_back(d.toObject()["drawing"].toString(), d.toObject()["result"].toString());
    }
    return r;
}

// How a sheet is written: as a simple writer writes it; with its paper and rotation given by
// the page tree's root; with its objects packed in object streams; or as written simply,
// then updated in place to take its paper from w x h.
enum class Form { Plain, Inherited, Packed, Updated };

// A PDF of `pages` pages of w x h points turned by `rotate` degrees, each with a line on it.
void WriteSheet(const fs::path& file, int w, int h, int rotate, int pages = 1,
                Form form = Form::Plain) {
    QPDF pdf;
    pdf.emptyPDF();
    const std::string box = "[0 0 " + std::to_string(w) + " " + std::to_string(h) + "]";
    const std::string turn = " /Rotate " + std::to_string(rotate);
    for (int i = 0; i < pages; ++i) {
        auto page = pdf.makeIndirectObject(QPDFObjectHandle::parse(
            "<< /Type /Page " +
            (form == Form::Inherited ? std::string() : "/MediaBox [0 0 9 9]" + turn) +
            " /Resources << >> >>"));
        page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, "0 0 m 10 10 l S"));
        QPDFPageDocumentHelper(pdf).addPage(page, false);
        if (form == Form::Plain || form == Form::Packed) {
            page.replaceKey("/MediaBox", QPDFObjectHandle::parse(box));
        }
    }
    if (form == Form::Inherited) {
        QPDFObjectHandle tree = pdf.getRoot().getKey("/Pages");
        tree.replaceKey("/MediaBox", QPDFObjectHandle::parse(box));
        tree.replaceKey("/Rotate", QPDFObjectHandle::newInteger(rotate));
    }
    QPDFWriter writer(pdf, file.c_str());
    writer.setObjectStreamMode(form == Form::Packed ? qpdf_o_generate : qpdf_o_disable);
    writer.write();
    if (form == Form::Updated) {
        // A second table after the first, whose pages take their paper from it.
        QPDF sheet;
        sheet.processFile(file.c_str());
        QByteArray update;
        const qint64 size = static_cast<qint64>(fs::file_size(file));
        QByteArray table = "xref\n0 1\n0000000000 65535 f \n";
        for (auto page : sheet.getAllPages()) {
            page.replaceKey("/MediaBox", QPDFObjectHandle::parse(box));
            table += QByteArray::number(page.getObjectID()) + " 1\n" +
                     QByteArray::number(size + update.size()).rightJustified(10, '0') +
                     " 00000 n \n";
            update += QByteArray::number(page.getObjectID()) + " 0 obj\n" +
                      page.shallowCopy().unparse().c_str() + "\nendobj\n";
        }
        std::ifstream in(file);
        std::string last, word;
        while (in >> word) {
            last = word == "%%EOF" ? last : word;
        }
        update += table + "trailer << /Size " +
                  QByteArray::number(sheet.getTrailer().getKey("/Size").getIntValue()) + " /Root " +
                  sheet.getRoot().unparse().c_str() + " /Prev " + last.c_str() +
                  " >>\nstartxref\n" + QByteArray::number(size + update.size()) + "\n%%EOF\n";
        QFile out(Q(file));
        ASSERT_TRUE(out.open(QIODevice::Append));
        out.write(update);
    }
}

// The bookmarks, "title page" each (pages from 1), a layout's indented under its drawing's.
QStringList Bookmarks(const fs::path& file) {
    QPDF pdf;
    pdf.processFile(file.c_str());
    const auto pages = pdf.getAllPages();
    const auto at = [&](QPDFOutlineObjectHelper& o) {
        for (std::size_t i = 0; i < pages.size(); ++i) {
            if (pages[i].getObjGen() == o.getDestPage().getObjGen()) {
                return QString::number(i + 1);
            }
        }
        return QString("none");
    };
    QStringList marks;
    QPDFOutlineDocumentHelper outlines(pdf);
    for (auto& drawing : outlines.getTopLevelOutlines()) {
        marks << QString::fromStdString(drawing.getTitle()) + " " + at(drawing);
        for (auto& layout : drawing.getKids()) {
            marks << "  " + QString::fromStdString(layout.getTitle()) + " " + at(layout);
        }
    }
    return marks;
}

QJsonObject Layout(const char* name, const fs::path& output, bool ok = true) {
    return {{"layout", name}, {"output", Q(output)}, {"ok", ok}};
}

// Two shards of a list with a comment and a missing drawing, joined, tell what one run
// over the whole list tells, in the list's order.
TEST(ArchiveRun, ShardsOfAListJoinedReportWhatOneRunReports) {
    QTemporaryDir temp;
    const fs::path root(temp.path().toStdString());
    for (const char* name : {"flange.dxf", "bracket-r12.dxf", "floor-plan.dxf"}) {
        fs::copy_file(kExamples / name, root / name);
    }
    const fs::path list = root / "list.txt";
    Write(list, QByteArray("# drawings\n") + Q(root / "flange.dxf").toUtf8() + "\n" +
                    Q(root / "gone.dxf").toUtf8() + "\n\n" + Q(root / "floor-plan.dxf").toUtf8() +
                    "\n" + Q(root / "bracket-r12.dxf").toUtf8() + "\n");
    const QStringList choices{"--device", "PDF.pc3", "--paper", "A4", "--style", "monochrome.ctb"};
    const auto plot = [&](const QStringList& more, const char* report) {
        return Cli(root,
                   QStringList{"plot", "--files-from", Q(list), "--report", Q(root / report)} +
                       choices + more);
    };
    const CliRun single = plot({"--merge", Q(root / "single.pdf")}, "single.json");
    EXPECT_EQ(single.status, 1) << single.err.toStdString();  // a drawing not found
    const QJsonObject whole = ReadJson(root / "single.json");
    const std::vector<std::pair<QString, QString>> expected{
        {Q(root / "flange.dxf"), "plotted"},
        {Q(root / "gone.dxf"), "not found"},
        {Q(root / "floor-plan.dxf"), "plotted"},
        {Q(root / "bracket-r12.dxf"), "plotted"}};
    EXPECT_EQ(Results(whole), expected);
    EXPECT_EQ(whole["summary"]["not_found"], 1);
    // One sheet per plotted drawing, in the list's order.
    const QStringList set{"flange.dxf 1", "  Model 1",         "floor-plan.dxf 2",
                          "  Model 2",    "bracket-r12.dxf 3", "  Model 3"};
    EXPECT_EQ(Bookmarks(root / "single.pdf"), set);
    EXPECT_EQ(whole["merged"]["pages"], 3);

    // The shards run side by side, as jobs on one machine do: each with an engine of its own.
    std::vector<std::unique_ptr<QProcess>> shards;
    for (const char* shard : {"1/2", "2/2"}) {
        shards.push_back(CliStart(
            root,
            QStringList{"plot", "--files-from", Q(list), "--report",
                        Q(root / (shard[0] == '1' ? "s1.json" : "s2.json")), "--shard", shard} +
                choices));
    }
    for (auto& shard : shards) {
        const CliRun r = Finished(*shard);
        EXPECT_THAT(r.status, ::testing::AnyOf(0, 1)) << r.err.toStdString();
    }
    const CliRun merge = Cli(root, {"report", "merge", Q(root / "s2.json"), Q(root / "s1.json"),
                                    "--out", Q(root / "all.json"), "--merge", Q(root / "all.pdf")});
    ASSERT_EQ(merge.status, 0) << merge.err.toStdString();
    const QJsonObject all = ReadJson(root / "all.json");
    EXPECT_EQ(Results(all), expected);
    EXPECT_TRUE(all["complete"].toBool());
    EXPECT_EQ(Bookmarks(root / "all.pdf"), set);
    EXPECT_EQ(all["merged"]["file"], Q(root / "all.pdf"));

    // Only PDF plot files can be bound, and the set never replaces what the run reads.
    for (const auto& [device, name] : {std::pair{"PDF.pc3", "list.txt"},
                                       {"PDF.pc3", "flange.dxf"},
                                       {"Some Printer", "p.pdf"},
                                       {"SVG.pc3", "p.pdf"}}) {
        const CliRun r = Cli(root, {"plot", "--files-from", Q(list), "--device", device, "--paper",
                                    "A4", "--style", "monochrome.ctb", "--merge", Q(root / name)});
        EXPECT_EQ(r.status, 2) << name << r.err.toStdString();
    }
    EXPECT_FALSE(fs::exists(root / "p.pdf"));
}

// However its sheets were written; a sheet bound twice has pages of its own each time.
TEST(PdfSet, BindsThePlottedSheetsInReportOrderWithTheirPapersAndBookmarks) {
    QTemporaryDir temp;
    const fs::path root(temp.path().toStdString());
    const struct {
        const char* file;
        int w, h, rotate, pages;
        Form form;
    } sheets[] = {{"b.pdf", 842, 595, 0, 1, Form::Plain},        // A4 landscape
                  {"b-L2.pdf", 1191, 842, 90, 2, Form::Packed},  // A3, turned, two pages
                  {"a.pdf", 612, 792, 270, 1, Form::Inherited},  // Letter
                  {"c.pdf", 100, 100, 0, 1, Form::Plain},        // of a drawing that failed
                  {"d.pdf", 420, 297, 180, 2, Form::Updated}};
    for (const auto& s : sheets) {
        WriteSheet(root / s.file, s.w, s.h, s.rotate, s.pages, s.form);
    }
    const auto drawing = [&](const char* name, const char* result, QJsonArray layouts) {
        return QJsonObject{{"drawing", Q(root / name)}, {"result", result}, {"layouts", layouts}};
    };
    const QJsonArray drawings{
        drawing("b.dwg", "plotted with warnings",
                {Layout("L1", root / "b.pdf"), Layout("L3", root / "c.pdf", false),
                 Layout("L2", root / "b-L2.pdf")}),
        drawing("c.dwg", "failed", {Layout("Model", root / "c.pdf")}),
        drawing("a.dwg", "plotted", {Layout("Model", root / "a.pdf")}),
        drawing("d.dwg", "plotted", {Layout("Model", root / "d.pdf")}),
        drawing("e.dwg", "plotted", {Layout("Model", root / "b.pdf")})};
    const fs::path set = root / "set.pdf";
    const cli::SetResult r = cli::WritePdfSet(cli::SetOfReport({{"drawings", drawings}}), Q(set));
    ASSERT_TRUE(r.error.isEmpty()) << r.error.toStdString();
    EXPECT_EQ(std::tie(r.drawings, r.sheets, r.pages), std::make_tuple(4, 5, 7));
    EXPECT_EQ(Bookmarks(set), (QStringList{"b.dwg 1", "  L1 1", "  L2 2", "a.dwg 4", "  Model 4",
                                           "d.dwg 5", "  Model 5", "e.dwg 7", "  Model 7"}));

    const QString pdfinfo = QStandardPaths::findExecutable("pdfinfo");
    if (pdfinfo.isEmpty()) {
        GTEST_SKIP() << "no pdfinfo (poppler-utils)";
    }
    QProcess info;
    info.start(pdfinfo, {"-f", "1", "-l", "99", Q(set)});
    ASSERT_TRUE(info.waitForFinished(60000));
    const QString text = info.readAllStandardOutput();
    QStringList seen, expected;  // "w x h rotation" of each page
    const QRegularExpression line(R"(Page +(\d+) size: +(\S+ x \S+) pts.*\nPage +\1 rot: +(\d+))");
    for (auto m = line.globalMatch(text); m.hasNext();) {
        const auto page = m.next();
        seen << page.captured(2) + " " + page.captured(3);
    }
    for (const int s : {0, 1, 1, 2, 4, 4, 0}) {  // the sheet of each page of the set
        expected << QString("%1 x %2 %3").arg(sheets[s].w).arg(sheets[s].h).arg(sheets[s].rotate);
    }
    EXPECT_EQ(seen, expected) << text.toStdString();
}

// Nothing is written, and no sheet touched, when one sheet cannot be bound or the set would
// take a sheet's place.
// A PDF of the objects `objects` (numbered from 1, the first the catalog) and their table.
QByteArray RawPdf(const std::vector<QByteArray>& objects) {
    QByteArray pdf = "%PDF-1.4\n", table = "0000000000 65535 f \n";
    for (std::size_t i = 0; i < objects.size(); ++i) {
        table += QByteArray::number(pdf.size()).rightJustified(10, '0') + " 00000 n \n";
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    return pdf + "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n" + table +
           "trailer << /Size " + QByteArray::number(objects.size() + 1) +
           " /Root 1 0 R >>\nstartxref\n" + QByteArray::number(pdf.size()) + "\n%%EOF\n";
}

TEST(PdfSet, WritesNothingWhenASheetCannotBeBound) {
    QTemporaryDir temp;
    const fs::path root(temp.path().toStdString());
    WriteSheet(root / "ok.pdf", 100, 100, 0);
    Write(root / "sheet.svg", "<svg/>");
    fs::create_directory(root / "folder.pdf");
    QFile ok(Q(root / "ok.pdf"));
    ASSERT_TRUE(ok.open(QIODevice::ReadOnly));
    Write(root / "cut.pdf", ok.read(ok.size() / 2));
    const QByteArray catalog = "<< /Type /Catalog /Pages 2 0 R >>";
    Write(root / "loop.pdf", RawPdf({catalog, "<< /Type /Pages /Kids [2 0 R] /Count 1 >>"}));
    // Refused by what the open file shows: too large (sparse, never read) or a pipe that
    // no one writes to (never waited on).
    fs::copy_file(root / "ok.pdf", root / "big.pdf");
    fs::resize_file(root / "big.pdf", static_cast<std::uintmax_t>(cli::kMaxSheetBytes) + 1);
#ifndef _WIN32
    ASSERT_EQ(mkfifo((root / "pipe.pdf").c_str(), 0600), 0);
#endif
    const struct {
        fs::path sheet, target;
        bool notPdf;
    } cases[] = {{root / "sheet.svg", root / "set.pdf", true},
                 {root / "folder.pdf", root / "set.pdf", false},
                 {root / "gone.pdf", root / "set.pdf", false},
                 {root / "cut.pdf", root / "set.pdf", false},
                 {root / "loop.pdf", root / "set.pdf", false},
                 {root / "big.pdf", root / "set.pdf", false},
#ifndef _WIN32
                 {root / "pipe.pdf", root / "set.pdf", false},
#endif
                 {root / "ok.pdf", root / "ok.pdf", false}};
    const auto before = fs::file_size(root / "ok.pdf");
    const auto files = std::distance(fs::directory_iterator(root), fs::directory_iterator());
    for (const auto& c : cases) {
        const cli::SetResult r = cli::WritePdfSet(
            {{"d.dwg", {{"Model", Q(root / "ok.pdf")}}}, {"e.dwg", {{"Model", Q(c.sheet)}}}},
            Q(c.target));
        EXPECT_FALSE(r.error.isEmpty()) << c.sheet;
        EXPECT_EQ(r.notPdf, c.notPdf) << c.sheet;
        // Neither the set nor what was written of it before the failing sheet stays.
        EXPECT_EQ(std::distance(fs::directory_iterator(root), fs::directory_iterator()), files)
            << c.sheet;
        EXPECT_EQ(fs::file_size(root / "ok.pdf"), before) << c.sheet;
    }
}

// A drawing with each kind of problem; each is found, and only its own.
TEST(ArchiveCheck, NamesEachProblemOfADrawing) {
    QTemporaryDir temp;
    const fs::path root(temp.path().toStdString());
    const QByteArray line = "0\nLINE\n8\n0\n10\n0\n20\n0\n11\n10\n21\n10\n";
    const auto dxf = [](const QByteArray& tables, const QByteArray& blocks,
                        const QByteArray& entities) {
        return "0\nSECTION\n2\nTABLES\n" + tables + "0\nENDSEC\n0\nSECTION\n2\nBLOCKS\n" + blocks +
               "0\nENDSEC\n0\nSECTION\n2\nENTITIES\n" + entities + "0\nENDSEC\n0\nEOF\n";
    };
    const struct {
        const char* name;
        QByteArray content;
        const char* problem;  // the field that tells it; none for a drawing ready to plot
    } cases[] = {
        {"ready.dxf", dxf("", "", line), nullptr},
        {"empty.dxf", dxf("", "", ""), "nothing_to_plot"},
        {"xref.dxf",
         dxf("",
             // A name no other test writes: the search climbs to the shared temporary
             // folder, where a test running beside this one may have a grid.dxf.
             "0\nBLOCK\n8\n0\n2\nGRID\n70\n4\n10\n0\n20\n0\n3\nGRID\n1\n/nowhere/"
             "never-written-grid.dxf\n0\nENDBLK\n",
             line + "0\nINSERT\n8\n0\n2\nGRID\n10\n0\n20\n0\n"),
         "missing_xrefs"},
        {"font.dxf",
         dxf("0\nTABLE\n2\nSTYLE\n0\nSTYLE\n2\nODD\n70\n0\n40\n0\n3\nno-such-font.shx\n0\nENDTAB\n",
             "", "0\nTEXT\n8\n0\n10\n0\n20\n0\n40\n1\n1\nhi\n7\nODD\n"),
         "substituted_fonts"},
        {"unknown.dxf", dxf("", "", line + "0\nACME_WIDGET\n8\n0\n10\n0\n20\n0\n"), "not_drawn"},
    };
    QByteArray list;
    for (const auto& c : cases) {
        Write(root / c.name, c.content);
        list += Q(root / c.name).toUtf8() + "\n";
    }
    Write(root / "list.txt", list + Q(root / "gone.dxf").toUtf8() + "\n");
    const CliRun r = Cli(root, {"check", "--files-from", Q(root / "list.txt"), "--json"});
    EXPECT_EQ(r.status, 1) << r.err.toStdString();
    const QJsonArray drawings = QJsonDocument::fromJson(r.out).object()["drawings"].toArray();
    ASSERT_EQ(drawings.size(), std::size(cases) + 1) << r.out.toStdString() << r.err.toStdString();
    const auto flagged = [](const QJsonValue& v) {
        return v.isBool()    ? v.toBool()
               : v.isArray() ? !v.toArray().isEmpty()
                             : !v.toObject().isEmpty();
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const QJsonObject d = drawings[static_cast<qsizetype>(i)].toObject();
        EXPECT_EQ(d["ok"].toBool(), cases[i].problem == nullptr) << cases[i].name;
        EXPECT_TRUE(d["opened"].toBool()) << cases[i].name;
        for (const char* field :
             {"nothing_to_plot", "missing_xrefs", "substituted_fonts", "not_drawn"}) {
            EXPECT_EQ(flagged(d[field]), cases[i].problem && QByteArray(cases[i].problem) == field)
                << cases[i].name << ' ' << field;
        }
    }
    EXPECT_FALSE(drawings.last()["found"].toBool());

    // A paper the device does not offer.
    const CliRun paper = Cli(root, {"check", Q(root / "ready.dxf"), "--device", "PDF.pc3",
                                    "--paper", "no-such-paper", "--json"});
    EXPECT_EQ(paper.status, 1) << paper.err.toStdString();
    EXPECT_FALSE(QJsonDocument::fromJson(paper.out)["drawings"][0]["paper_offered"].toBool(true));
}

// A drawing with one line, ending at x = `end`, and an external reference to `xref`.
QByteArray Dxf(int end, const QByteArray& xref = {}) {
    QByteArray blocks, insert;
    if (!xref.isEmpty()) {
        blocks =
            "0\nBLOCK\n8\n0\n2\nGRID\n70\n4\n10\n0\n20\n0\n3\nGRID\n1\n" + xref + "\n0\nENDBLK\n";
        insert = "0\nINSERT\n8\n0\n2\nGRID\n10\n0\n20\n0\n";
    }
    return "0\nSECTION\n2\nBLOCKS\n" + blocks + "0\nENDSEC\n0\nSECTION\n2\nENTITIES\n" +
           "0\nLINE\n8\n0\n10\n0\n20\n0\n11\n" + QByteArray::number(end) + "\n21\n10\n" + insert +
           "0\nENDSEC\n0\nEOF\n";
}

// The result each drawing's line gives, by file name.
std::map<QString, QString> LineResults(const QByteArray& out) {
    std::map<QString, QString> results;
    for (const QByteArray& line : out.split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() >= 2) {
            results[QFileInfo(fields[0]).fileName()] = fields[1];
        }
    }
    return results;
}

TEST(RunJournal, TheLastRecordCountsTornLinesArePassedOverAndTheNextRecordStartsALine) {
    QTemporaryDir temp;
    const fs::path root(temp.path().toStdString());
    const cli::JournalChoices choices{"PDF.pc3", "A4", "monochrome.ctb", false, 0, {}};
    const auto line = [&](const char* drawing, bool done) {
        cli::JournalRecord r{drawing, "", done, choices, {}, {}, {}, {}};
        return QJsonDocument(r.ToJson()).toJson(QJsonDocument::Compact) + "\n";
    };
    Write(root / "j", line("/a", true) + line("/b", true) + "{\"drawing\": 1}\n" +
                          line("/a", false) + line("/c", true).left(40));
    QString error;
    auto journal = cli::RunJournal::Open(Q(root / "j"), error);
    ASSERT_TRUE(journal) << error.toStdString();
    EXPECT_FALSE(journal->Last("/a")->done);
    EXPECT_TRUE(journal->Last("/b")->done);
    EXPECT_FALSE(journal->Last("/c"));
    EXPECT_EQ(journal->UnreadLines(), 2);
    cli::DrawingReport d;
    d.drawing = "/d";
    d.result = cli::DrawingResult::Plotted;
    ASSERT_TRUE(journal->Record(d, choices, error)) << error.toStdString();
    journal = cli::RunJournal::Open(Q(root / "j"), error);
    ASSERT_TRUE(journal) << error.toStdString();
    EXPECT_TRUE(journal->Last("/d").value_or(cli::JournalRecord{}).done);
    EXPECT_EQ(journal->UnreadLines(), 2);

    fs::create_directory(root / "folder");
    std::vector<const char*> refused{"folder"};
#ifndef _WIN32
    fs::create_symlink(root / "j", root / "link");
    refused.push_back("link");
#endif
    for (const char* name : refused) {
        EXPECT_FALSE(cli::RunJournal::Open(Q(root / name), error)) << name;
    }
}

// One journal through a series of runs, each after a change: what changed is plotted again,
// the rest skipped.
TEST(JournalRun, SkipsWhatStandsAndPlotsAgainWhatChanged) {
    QTemporaryDir temp;
    const fs::path root(temp.path().toStdString());
    Write(root / "grid.dxf", Dxf(5));
    Write(root / "a.dxf", Dxf(10, "grid.dxf"));
    Write(root / "b.dxf", Dxf(20));
    const QStringList plot{"plot",           Q(root / "a.dxf"), Q(root / "b.dxf"),
                           "--device",       "PDF.pc3",         "--style",
                           "monochrome.ctb", "--journal",       Q(root / "j.jsonl")};
    const QString plotted = "plotted", unchanged = "skipped (unchanged)";
    const struct {
        const char* change;
        std::function<void()> make;
        QStringList more;
        QString a, b;  // the start of each drawing's result
    } cases[] = {
        {"none: the first run", [] {}, {}, plotted, plotted},
        {"none", [] {}, {}, unchanged, unchanged},
        {"a drawing", [&] { Write(root / "b.dxf", Dxf(30)); }, {}, unchanged, plotted},
        {"a reference", [&] { Write(root / "grid.dxf", Dxf(6)); }, {}, plotted, unchanged},
        {"an output", [&] { fs::remove(root / "b.pdf"); }, {}, unchanged, plotted},
        {"a drawing spoilt",
         [&] { Write(root / "b.dxf", "no drawing"); },
         {},
         unchanged,
         "not opened"},
        {"none, failures retried",
         [] {},
         {"--retry-failed"},
         "skipped (not failed before)",
         "not opened"},
        {"the drawing mended, failures retried",
         [&] { Write(root / "b.dxf", Dxf(40)); },
         {"--retry-failed"},
         "skipped (not failed before)",
         plotted},
        {"the paper", [] {}, {"--paper", "A3"}, plotted, plotted},
        {"the output folder",
         [] {},
         {"--paper", "A3", "--output-dir", Q(root / "out")},
         plotted,
         plotted},
        // Nothing plotted again, yet the set holds every drawing's sheet.
        {"none, bound",
         [] {},
         {"--paper", "A3", "--output-dir", Q(root / "out"), "--merge", Q(root / "set.pdf")},
         unchanged,
         unchanged},
    };
    for (const auto& c : cases) {
        c.make();
        const QStringList paper =
            c.more.contains("--paper") ? QStringList{} : QStringList{"--paper", "A4"};
        const CliRun r = Cli(root, plot + paper + c.more);
        const auto results = LineResults(r.out);
        EXPECT_TRUE(results.at("a.dxf").startsWith(c.a)) << c.change << ": " << r.out.toStdString();
        EXPECT_TRUE(results.at("b.dxf").startsWith(c.b)) << c.change << ": " << r.out.toStdString();
        EXPECT_EQ(r.status, QString(c.b).startsWith("not") ? 1 : 0) << c.change;
    }
    // The bookmarks of a fresh run's set; a journal of older runs, which names no layouts,
    // marks each sheet by its file's name.
    EXPECT_EQ(Bookmarks(root / "set.pdf"),
              (QStringList{"a.dxf 1", "  Model 1", "b.dxf 2", "  Model 2"}));
    QFile journal(Q(root / "j.jsonl"));
    ASSERT_TRUE(journal.open(QIODevice::ReadWrite));
    QByteArray older;
    for (const QByteArray& line : journal.readAll().split('\n')) {
        QJsonObject o = QJsonDocument::fromJson(line).object();
        o.remove("sheets");
        older +=
            o.isEmpty() ? QByteArray() : QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
    }
    journal.resize(0);
    journal.seek(0);
    journal.write(older);
    journal.close();
    EXPECT_EQ(Cli(root, plot + cases[std::size(cases) - 1].more).status, 0);
    EXPECT_EQ(Bookmarks(root / "set.pdf"), (QStringList{"a.dxf 1", "  a 1", "b.dxf 2", "  b 2"}));
}

// A run killed at several points, each time resumed with the same journal, plots each
// drawing once: every drawing done before a kill is skipped by the next run, the journal
// holds one plotted record per drawing, and the outputs are whole and those recorded.
TEST(JournalRun, KilledAtSeveralPointsAndResumedPlotsEachDrawingOnce) {
    QTemporaryDir temp;
    const fs::path root(temp.path().toStdString());
    std::vector<std::string> drawings;
    for (int i = 0; i < 8; ++i) {
        drawings.push_back((root / ("d" + std::to_string(i) + ".dxf")).string());
        Write(drawings.back(), Dxf(10 + i));
    }
    const QString journalFile = Q(root / "j.jsonl");
    const QStringList plot{"plot",     Q(root),          "--pattern", "*.dxf",
                           "--device", "PDF.pc3",        "--paper",   "A4",
                           "--style",  "monochrome.ctb", "--journal", journalFile};
    const auto recorded = [&] {
        QString error;
        const auto journal = cli::RunJournal::Open(journalFile, error);
        std::set<std::string> done;
        for (const auto& d : drawings) {
            if (journal && journal->Last(d).value_or(cli::JournalRecord{}).done) {
                done.insert(d);
            }
        }
        return done;
    };
    std::set<std::string> before;
    // Killed once the run has printed this many "plotted" lines; then run to its end.
    for (const int killAfter : {2, 0, 1, 3, -1}) {
        auto cli = CliStart(root, plot);
        ASSERT_TRUE(cli->waitForStarted());
        QByteArray out;
        while (killAfter >= 0 && out.count("\tplotted") < killAfter &&
               cli->waitForReadyRead(60000)) {
            out += cli->readAllStandardOutput();
        }
        if (killAfter >= 0) {
            cli->kill();
        }
        const CliRun r = Finished(*cli);
        out += r.out;
        const auto results = LineResults(out);
        for (const auto& d : before) {
            const QString name = QString::fromStdString(fs::path(d).filename().string());
            // A run killed before it printed anything says nothing of it.
            const QString result = results.count(name) ? results.at(name) : QString();
            EXPECT_TRUE(result == "skipped (unchanged)" || (result.isEmpty() && killAfter >= 0))
                << name.toStdString() << ": " << result.toStdString() << ", killed at "
                << killAfter;
        }
        if (killAfter < 0) {
            EXPECT_EQ(r.status, 0) << r.err.toStdString();
        }
        before = recorded();
    }
    EXPECT_EQ(before.size(), drawings.size());

    QFile journal(journalFile);
    ASSERT_TRUE(journal.open(QIODevice::ReadOnly));
    std::map<QString, int> plotted;
    for (const QByteArray& line : journal.readAll().split('\n')) {
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        plotted[o["drawing"].toString()] += o["done"].toBool() ? 1 : 0;
    }
    QString error;
    const auto last = cli::RunJournal::Open(journalFile, error);
    ASSERT_TRUE(last);
    for (const auto& d : drawings) {
        EXPECT_EQ(plotted[Q(d)], 1) << d;
        const fs::path pdf = fs::path(d).replace_extension(".pdf");
        QFile f(Q(pdf));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << pdf;
        const QByteArray bytes = f.readAll();
        EXPECT_TRUE(bytes.startsWith("%PDF-") && bytes.trimmed().endsWith("%%EOF")) << pdf;
        const auto outputs = last->Last(d).value_or(cli::JournalRecord{}).outputs;
        ASSERT_EQ(outputs.size(), 1u) << d;
        EXPECT_TRUE(cli::FactsOf(pdf.string()).SameContent(outputs[0])) << pdf;
    }
}

}  // namespace
}  // namespace vx::testing
