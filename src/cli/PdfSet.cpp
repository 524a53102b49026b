#include "cli/PdfSet.h"

#include <qpdf/ClosedFileInputSource.hh>
#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <condition_variable>
#include <deque>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "files/AtomicFile.h"
#include "plot/PlotPaths.h"
#include "search/FileSystemPath.h"
#include "search/FolderListing.h"

namespace vx::cli {

namespace {

// What the sheets read whole into memory may hold together.
constexpr qint64 kHeldSheetBytes = qint64{256} << 20;

// QPDFWriter's output, gathered into large writes to the atomic file.
class AtomicPipeline : public Pipeline {
public:
    explicit AtomicPipeline(files::AtomicFile& file) : Pipeline("set", nullptr), file_(file) {
        buffer_.reserve(kChunk);
    }
    void write(unsigned char const* data, size_t len) override {
        buffer_.append(reinterpret_cast<const char*>(data), len);
        if (buffer_.size() >= kChunk) {
            Flush();
        }
    }
    void finish() override { Flush(); }

private:
    static constexpr std::size_t kChunk = std::size_t{1} << 20;
    void Flush() {
        file_.Write(buffer_);
        buffer_.clear();
    }
    files::AtomicFile& file_;
    std::string buffer_;
};

// Why a sheet's file cannot be bound; nothing when it can. `notPdf` when it is a file, but
// no PDF.
std::optional<QString> SheetProblem(const QString& file, bool& notPdf) {
    const auto status = search::StatusOf(file);
    if (!status) {
        return file + QStringLiteral(" cannot be read");
    }
    if (status->kind != search::EntryKind::File) {
        return file + QStringLiteral(" is not an ordinary file");
    }
    if (status->size > kMaxSheetBytes) {
        return file + QStringLiteral(" is larger than %1 MiB").arg(kMaxSheetBytes >> 20);
    }
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) {
        return file + QStringLiteral(": ") + in.errorString();
    }
    // A reader looks for the header within the first kilobyte.
    if (!in.read(1024).contains("%PDF-")) {
        notPdf = true;
        return file + QStringLiteral(" is not a PDF file");
    }
    return std::nullopt;
}

// Links `kids` as the outline items under `parent`, in order.
void LinkOutline(QPDFObjectHandle parent, const std::vector<QPDFObjectHandle>& kids, int count) {
    for (std::size_t i = 0; i < kids.size(); ++i) {
        QPDFObjectHandle kid = kids[i];
        kid.replaceKey("/Parent", parent);
        if (i > 0) {
            kid.replaceKey("/Prev", kids[i - 1]);
        }
        if (i + 1 < kids.size()) {
            kid.replaceKey("/Next", kids[i + 1]);
        }
    }
    if (!kids.empty()) {
        parent.replaceKey("/First", kids.front());
        parent.replaceKey("/Last", kids.back());
        parent.replaceKey("/Count", QPDFObjectHandle::newInteger(count));
    }
}

QPDFObjectHandle OutlineItem(QPDF& pdf, const QString& title, QPDFObjectHandle page) {
    QPDFObjectHandle item = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
    item.replaceKey("/Title", QPDFObjectHandle::newUnicodeString(title.toStdString()));
    item.replaceKey("/Dest", QPDFObjectHandle::newArray({page, QPDFObjectHandle::newName("/Fit")}));
    return item;
}

bool SameFile(const QString& a, const QString& b) {
    const auto sa = search::StatusOf(a);
    const auto sb = search::StatusOf(b);
    if (sa && sb) {
        return sa->identity == sb->identity;
    }
#ifdef _WIN32
    constexpr auto kCase = Qt::CaseInsensitive;
#else
    constexpr auto kCase = Qt::CaseSensitive;
#endif
    return QDir::cleanPath(QFileInfo(a).absoluteFilePath())
               .compare(QDir::cleanPath(QFileInfo(b).absoluteFilePath()), kCase) == 0;
}

}  // namespace

std::vector<SetDrawing> SetOfReport(const QJsonObject& report) {
    std::vector<SetDrawing> set;
    for (const QJsonValue& value : report["drawings"].toArray()) {
        const QJsonObject d = value.toObject();
        const QString result = d["result"].toString();
        SetDrawing drawing{d["drawing"].toString(), {}};
        const bool skipped = result == QLatin1String("skipped");
        if (!skipped && result != QLatin1String("plotted") &&
            result != QLatin1String("plotted with warnings")) {
            continue;
        }
        // A drawing a journal skipped brings the sheets of its last plot, in PDF only: a
        // retry of failures keeps what other choices left.
        const auto bound = [skipped](const QString& file) {
            return !file.isEmpty() &&
                   (!skipped || file.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive));
        };
        for (const QJsonValue& layout : d["layouts"].toArray()) {
            const QString output = layout["output"].toString();
            if (layout["ok"].toBool() && bound(output)) {
                drawing.sheets.emplace_back(layout["layout"].toString(), output);
            }
        }
        if (skipped && drawing.sheets.empty()) {
            // A journal of an older run names no layouts: each sheet is marked by its
            // file's name.
            for (const QJsonValue& output : d["outputs"].toArray()) {
                const QString file = output.toString();
                if (bound(file)) {
                    drawing.sheets.emplace_back(QFileInfo(file).completeBaseName(), file);
                }
            }
        }
        if (!drawing.sheets.empty()) {
            set.push_back(std::move(drawing));
        }
    }
    return set;
}

QJsonObject SetResult::ToJson(const QString& target) const {
    return {{"file", QFileInfo(target).absoluteFilePath()},
            {"drawings", drawings},
            {"sheets", sheets},
            {"pages", pages},
            {"seconds", static_cast<double>(qRound64(seconds * 1000.0)) / 1000.0}};
}

struct PdfSetBinder::Impl {
    Impl() {
        out.setSuppressWarnings(true);
        out.emptyPDF();
    }

    // A sheet's pages, copied into the set (not yet among its pages), or why it cannot be
    // bound.
    struct Sheet {
        std::vector<QPDFObjectHandle> pages;
        std::optional<QString> problem;
        bool notPdf = false;
    };

    // Reads `file` and copies its pages into the set. The pages copied read their contents
    // from their sheet when the set is written: a sheet is read whole, in one call, while
    // the sheets held so stay within kHeldSheetBytes; the others are read from their
    // files, each open only while it is read, so that a set of thousands of sheets needs
    // no more file handles than one.
    Sheet Copy(const QString& file) {
        Sheet sheet;
        if ((sheet.problem = SheetProblem(file, sheet.notPdf))) {
            return sheet;
        }
        try {
            auto source = std::make_unique<QPDF>();
            source->setSuppressWarnings(true);
            source->setAttemptRecovery(false);
            const std::string name = search::ToFileSystemPath(file);
            std::shared_ptr<ClosedFileInputSource> input;
            QFile in(file);
            if (heldBytes + in.size() <= kHeldSheetBytes && in.open(QIODevice::ReadOnly)) {
                held.push_back(in.read(std::min(in.size(), kMaxSheetBytes)));
                heldBytes += held.back().size();
                source->processMemoryFile(name.c_str(), held.back().constData(),
                                          static_cast<std::size_t>(held.back().size()));
            } else {
                input = std::make_shared<ClosedFileInputSource>(name.c_str());
                input->stayOpen(true);
                source->processInputSource(input);
            }
            for (const auto& page : QPDFPageDocumentHelper(*source).getAllPages()) {
                sheet.pages.push_back(out.copyForeignObject(page.getObjectHandle()));
            }
            if (input) {
                input->stayOpen(false);
            }
            sources.push_back(std::move(source));
        } catch (const std::exception& e) {
            sheet.pages.clear();
            sheet.problem = QString::fromStdString(e.what());
        }
        return sheet;
    }

    void Work() {
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [&] { return !queue.empty() || closing; });
            if (queue.empty() || abandon) {
                return;
            }
            const QString file = queue.front();
            queue.pop_front();
            lock.unlock();
            Sheet sheet = Copy(file);
            lock.lock();
            sheets.insert_or_assign(file, std::move(sheet));
        }
    }

    // Lets the thread finish the sheets added (or, abandoning, the one under way).
    void Close(bool abandoning) {
        {
            const std::lock_guard lock(mutex);
            closing = true;
            abandon = abandoning;
        }
        wake.notify_all();
        if (thread.joinable()) {
            thread.join();
        }
    }

    QPDF out;
    std::vector<std::unique_ptr<QPDF>> sources;
    std::vector<QByteArray> held;
    qint64 heldBytes = 0;

    std::mutex mutex;
    std::condition_variable wake;
    std::deque<QString> queue;
    bool closing = false, abandon = false;
    std::map<QString, Sheet> sheets;
    std::thread thread;
};

PdfSetBinder::PdfSetBinder() : impl_(std::make_unique<Impl>()) {}

PdfSetBinder::~PdfSetBinder() {
    impl_->Close(true);
}

void PdfSetBinder::Add(const QString& file) {
    {
        const std::lock_guard lock(impl_->mutex);
        if (impl_->closing) {
            return;
        }
        impl_->queue.push_back(file);
        if (!impl_->thread.joinable()) {
            impl_->thread = std::thread([this] { impl_->Work(); });
        }
    }
    impl_->wake.notify_one();
}

SetResult PdfSetBinder::Write(const std::vector<SetDrawing>& set, const QString& target) {
    SetResult r;
    QElapsedTimer clock;
    clock.start();
    Impl& b = *impl_;
    b.Close(false);
    if (set.empty()) {
        return r;
    }
    for (const SetDrawing& d : set) {
        for (const auto& [layout, file] : d.sheets) {
            if (SameFile(target, file)) {
                r.error = target + QStringLiteral(" is one of the plot files");
                return r;
            }
            auto sheet = b.sheets.find(file);
            if (sheet == b.sheets.end()) {
                sheet = b.sheets.emplace(file, b.Copy(file)).first;
            }
            if (sheet->second.problem) {
                r.error = *sheet->second.problem;
                r.notPdf = sheet->second.notPdf;
                return r;
            }
        }
    }
    try {
        QPDF& out = b.out;
        QPDFPageDocumentHelper pages(out);
        struct Placed {
            QString title;
            std::size_t page;  // the first page of the sheet in the set
        };
        std::vector<std::pair<QString, std::vector<Placed>>> marks;
        std::size_t pageCount = 0;
        int sheets = 0;
        for (const SetDrawing& d : set) {
            std::vector<Placed> layouts;
            for (const auto& [layout, file] : d.sheets) {
                const std::vector<QPDFObjectHandle>& sheetPages = b.sheets.at(file).pages;
                // A sheet bound twice: its pages again, as copies of their own.
                for (const auto& page : sheetPages) {
                    pages.addPage(QPDFPageObjectHelper(page), false);
                }
                if (!sheetPages.empty()) {
                    layouts.push_back({layout, pageCount});
                    pageCount += sheetPages.size();
                    ++sheets;
                }
            }
            if (!layouts.empty()) {
                marks.emplace_back(QFileInfo(d.drawing).fileName(), std::move(layouts));
            }
        }
        if (pageCount == 0) {
            return r;
        }
        const std::vector<QPDFObjectHandle> all = out.getAllPages();
        QPDFObjectHandle outlines = out.makeIndirectObject(QPDFObjectHandle::newDictionary());
        outlines.replaceKey("/Type", QPDFObjectHandle::newName("/Outlines"));
        std::vector<QPDFObjectHandle> drawingItems;
        int visible = 0;
        for (const auto& [title, layouts] : marks) {
            QPDFObjectHandle item = OutlineItem(out, title, all[layouts.front().page]);
            std::vector<QPDFObjectHandle> layoutItems;
            for (const Placed& p : layouts) {
                layoutItems.push_back(OutlineItem(out, p.title, all[p.page]));
            }
            LinkOutline(item, layoutItems, static_cast<int>(layoutItems.size()));
            visible += 1 + static_cast<int>(layoutItems.size());
            drawingItems.push_back(item);
        }
        LinkOutline(outlines, drawingItems, visible);
        QPDFObjectHandle root = out.getRoot();
        root.replaceKey("/Outlines", outlines);
        root.replaceKey("/PageMode", QPDFObjectHandle::newName("/UseOutlines"));

        files::AtomicFile file(plot::FsPath(search::ToFileSystemPath(target)));
        if (!file.Ok()) {
            r.error = target + QStringLiteral(": ") + QString::fromStdString(file.Error());
            return r;
        }
        AtomicPipeline pipe(file);
        QPDFWriter writer(out);
        writer.setOutputPipeline(&pipe);
        // The pages' streams are copied as they are: neither decoded nor compressed again.
        writer.setDecodeLevel(qpdf_dl_none);
        writer.setCompressStreams(false);
        writer.setObjectStreamMode(qpdf_o_disable);
        writer.write();
        if (!file.Commit()) {
            r.error = target + QStringLiteral(": ") + QString::fromStdString(file.Error());
            return r;
        }
        r.drawings = static_cast<int>(marks.size());
        r.sheets = sheets;
        r.pages = static_cast<int>(pageCount);
    } catch (const std::exception& e) {
        r.error = QString::fromStdString(e.what());
    }
    r.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    return r;
}

SetResult WritePdfSet(const std::vector<SetDrawing>& set, const QString& target) {
    return PdfSetBinder().Write(set, target);
}

int BindSetOfReport(QJsonObject& report, const QString& target, QTextStream& err,
                    const QString& who, PdfSetBinder* binder) {
    const std::vector<SetDrawing> set = SetOfReport(report);
    const SetResult r = binder ? binder->Write(set, target) : WritePdfSet(set, target);
    if (!r.error.isEmpty()) {
        err << who << ": the PDF set " << target << " was not written: " << r.error << '\n';
        return r.notPdf ? 2 : 1;
    }
    if (r.pages == 0) {
        err << who << ": no sheet was plotted to PDF: the PDF set " << target
            << " was not written\n";
        return 0;
    }
    report["merged"] = r.ToJson(target);
    err << who << ": " << target << ": " << r.pages << (r.pages == 1 ? " page" : " pages") << " of "
        << r.drawings << (r.drawings == 1 ? " drawing" : " drawings") << '\n';
    return 0;
}

bool DeviceWritesFiles(const QString& device) {
    return device.endsWith(QLatin1String("pc3"));
}

std::optional<QString> SetNameProblem(const QString& target, const QStringList& taken) {
    if (target.isEmpty()) {
        return QStringLiteral("no file name for the PDF set");
    }
    if (QFileInfo(target).isDir()) {
        return target + QStringLiteral(" is a folder");
    }
    if (!QFileInfo(QFileInfo(target).absolutePath()).isDir()) {
        return QStringLiteral("no folder for ") + target;
    }
    for (const QString& file : taken) {
        if (SameFile(target, file)) {
            return target + QStringLiteral(" would replace ") + file;
        }
    }
    return std::nullopt;
}

}  // namespace vx::cli
