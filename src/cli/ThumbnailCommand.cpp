// vormex-cli thumbnail DRAWING OUT.png: the preview image stored in a drawing, as PNG.
#include <QBuffer>

#include "cli/Command.h"
#include "files/AtomicFile.h"
#include "plot/PlotPaths.h"
#include "search/DrawingPreview.h"
#include "search/FileSystemPath.h"
#include "search/FolderListing.h"

namespace vx::cli {

namespace {

constexpr char kUsage[] = "DRAWING OUT.png";

constexpr char kHelp[] =
    R"(Writes the preview image stored in DRAWING, a DWG or DXF file, to OUT.png, whole or not
at all; the drawing itself is never written. Fails when the drawing holds no preview.
)";

int RunThumbnail(const QStringList& args, CommandIo& io) {
    if (args.size() != 2 || args[0].isEmpty() || args[1].isEmpty()) {
        io.err << "usage: vormex-cli thumbnail " << kUsage << '\n';
        return 2;
    }
    const QString& drawing = args[0];
    const QString& target = args[1];

    // The drawing is never written, not even by a slip of the arguments.
    const auto drawingStatus = search::StatusOf(drawing);
    const auto targetStatus = search::StatusOf(target);
    if (drawingStatus && targetStatus && drawingStatus->identity == targetStatus->identity) {
        io.err << "vormex-cli thumbnail: " << target << " is the drawing itself\n";
        return 2;
    }

    const search::DrawingPreview preview = search::ReadDrawingPreview(drawing);
    if (preview.outcome != search::PreviewOutcome::Image) {
        io.err << "vormex-cli thumbnail: " << drawing << ": ";
        switch (preview.outcome) {
            case search::PreviewOutcome::NoPreview:
                io.err << "no preview image: ";
                break;
            case search::PreviewOutcome::Damaged:
                io.err << "damaged preview: ";
                break;
            case search::PreviewOutcome::NotDrawing:
                io.err << "not a drawing: ";
                break;
            default:
                io.err << "cannot read it: ";
                break;
        }
        io.err << preview.detail << '\n';
        return 1;
    }

    // A stored PNG is written as it is; a bitmap is converted.
    QByteArray png = preview.format == search::PreviewFormat::Png ? preview.encoded : QByteArray();
    if (png.isEmpty()) {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!preview.image.save(&buffer, "PNG")) {
            io.err << "vormex-cli thumbnail: the preview cannot be converted to PNG\n";
            return 1;
        }
    }
    std::string error;
    if (!files::WriteFileAtomically(
            plot::FsPath(search::ToFileSystemPath(target)),
            std::string_view(png.constData(), static_cast<std::size_t>(png.size())), error)) {
        io.err << "vormex-cli thumbnail: cannot write " << target << ": "
               << QString::fromStdString(error) << '\n';
        return 1;
    }
    return 0;
}

}  // namespace

extern const Command kThumbnailCommand;
const Command kThumbnailCommand{"thumbnail",
                                kUsage,
                                "write the preview image stored in a DWG or DXF drawing as a "
                                "PNG file",
                                false,
                                &RunThumbnail,
                                kHelp};

}  // namespace vx::cli
