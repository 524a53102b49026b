// Where `vormex-cli plot --output-dir DIR [--name TEMPLATE]` writes its plot files.
//
// A template holds text and the fields {drawing} (the drawing's file name less its
// extension), {layout} (the layout's name; "Model" for model space), {folder} (the
// drawing's folder relative to the folder argument it was found under; empty for a drawing
// named on its own or in a list file), {device} (less ".pc3"), {paper} (as chosen) and
// {date} (the run's date, yyyy-MM-dd). Without a template a model-space plot is named
// "{drawing}" and a layout's "{drawing}-{layout}".
//
// A "/" or "\" of the template makes a folder below DIR, and so do the separators of
// {folder}; no other field's value does: its separators become "_", and so do the
// characters no file name may hold, in every part. A template that is absolute, climbs
// out with "..", or ends with a separator is refused; a folder that leads out of DIR
// through a link refuses the plot. Folders are made as needed. The plot file is the name
// with ".plt" added, which the CAD application replaces with its format's extension.
//
// In one run no two plots get the same name, and none gets the name of a file the run
// reads or writes besides its plots (the list file, the report, the plot style table,
// references found elsewhere): names are compared less their extension and ignoring
// letter case, so whatever extension the format adds. A drawing file (.dwg, .dxf, .dwt,
// .dws) blocks no name: a plot file ends with its format's extension. A name taken gets
// "-2", "-3"... and the renaming is told for the drawing. Safe to call from several
// threads.
//
// Plots named side by side (--jobs N) get the names a run of one job gives, whichever
// finishes first: each drawing of such a run is begun with its place in the run's order,
// and a plot of a drawing waits while a drawing before it that is still under way could
// ask for the same name (its names are compared with the plot's, each field of a layout
// matching any text), until that drawing is ended.
#pragma once

#include <QString>
#include <QStringList>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace vx::cli {

class OutputNames {
public:
    // The run's fields.
    struct RunFields {
        std::string device, paper;
        QString date;  // yyyy-MM-dd
    };

    // Makes DIR when it is not there. Nothing, with `error` set, when DIR cannot be the
    // output folder or the template cannot name a file inside it; an empty template gives
    // the defaults.
    static std::unique_ptr<OutputNames> Make(const QString& dir, const QString& nameTemplate,
                                             RunFields fields, QString& error);

    // `root`: the folder `drawing` was found under (both file-system paths).
    void AddRoot(const std::string& drawing, const std::string& root);
    // A file the run reads or writes besides its plots.
    void AddRead(const std::string& path);

    // The plot file of `drawing`'s `layout` ("" for model space), to hand to the CAD
    // application. Throws plot::PlotFileRefused when it would lie outside DIR or its folder
    // cannot be made.
    // `place`: the drawing's place in the run's order, when it was begun.
    std::string Name(const std::string& drawing, const std::string& layout,
                     std::optional<std::size_t> place = std::nullopt);
    // The drawing at `place` (0 first) is under way: with `layouts`, its layouts may be
    // plotted. Drawings are begun in the run's order, each before any later one names a
    // plot.
    void BeginDrawing(std::size_t place, const std::string& drawing, bool layouts);
    // The drawing at `place` names no more plots: those after it stop waiting for it.
    void EndDrawing(std::size_t place);
    // The renamings of `drawing`'s plots so far.
    std::vector<std::string> RenamedOf(const std::string& drawing) const;

    const QString& Folder() const { return dir_; }
    // The template of model-space plots, or of layouts'.
    const QString& Template(bool layouts) const { return layouts ? layoutText_ : modelText_; }

private:
    enum class Field { Text, Drawing, Layout, Folder, Device, Paper, Date };
    struct Piece {
        Field field = Field::Text;
        QString text;
    };
    using Pieces = std::vector<Piece>;

    OutputNames() = default;
    static std::optional<Pieces> Parse(const QString& nameTemplate, QString& error);
    // The parts of a plot's name below DIR, the file's stem last, made safe; a layout of
    // kAnyText stays a field that matches any text.
    QStringList Parts(const std::string& drawing, const QString& layout) const;
    // Whether a drawing before `place` that is still under way may ask for `wanted`
    // (folder/stem below DIR, as MatchForm gives it). Under the lock.
    bool EarlierMayAsk(std::size_t place, const QString& wanted) const;

    struct Under {
        enum class State { NotBegun, Naming, Ended } state = State::NotBegun;
        std::vector<QString> forms;  // the names it may ask for, kAnyText for any text
    };

    QString dir_;           // absolute, "/"-separated
    QString canonicalDir_;  // links resolved
    Pieces model_, layout_;
    QString modelText_, layoutText_;
    RunFields fields_;

    mutable std::mutex mutex_;
    std::map<std::string, QString> roots_;
    std::set<QString> read_;   // folder/stem, case-folded
    std::set<QString> taken_;  // folder/stem, case-folded
    std::map<std::string, std::vector<std::string>> renamed_;
    std::map<QString, int> nextNumber_;  // per name, the number to try first
    // The drawings of a run side by side, by place in the run; those before `settled_`
    // are ended.
    std::vector<Under> under_;
    std::size_t settled_ = 0;
    std::condition_variable ended_;
};

}  // namespace vx::cli
