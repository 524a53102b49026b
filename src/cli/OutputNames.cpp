#include "cli/OutputNames.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include "plot/PlotService.h"
#include "search/FileSystemPath.h"

namespace vx::cli {

namespace {

constexpr qsizetype kMaxTemplate = 1024;
// A part of a name at most this many bytes (UTF-8), leaving room for a number and the
// extension within the 255 that file systems allow.
constexpr qsizetype kMaxPartBytes = 200;

QString Text(const std::string& path) {
    return QDir::fromNativeSeparators(search::FromFileSystemPath(path));
}

bool IsSeparator(QChar c) {
    return c == QLatin1Char('/') || c == QLatin1Char('\\');
}

// A field's value as one part of a name: its separators become "_".
QString OnePart(QString value) {
    for (QChar& c : value) {
        if (IsSeparator(c)) {
            c = QLatin1Char('_');
        }
    }
    return value;
}

bool IsReserved(const QString& part) {
    static const QRegularExpression reserved(
        QStringLiteral("^(con|prn|aux|nul|com[1-9]|lpt[1-9])$"),
        QRegularExpression::CaseInsensitiveOption);
    return reserved.match(part.section(QLatin1Char('.'), 0, 0).trimmed()).hasMatch();
}

// One part of a path made a name every file system takes: no character that Windows
// refuses, no name of dots only, no device name, not too long; a folder's part does not
// end with a dot or a blank, which Windows would drop.
QString SafePart(QString part, bool folder) {
    for (QChar& c : part) {
        if (c.unicode() < 0x20 || QStringLiteral(":*?\"<>|").contains(c)) {
            c = QLatin1Char('_');
        }
    }
    if (part.count(QLatin1Char('.')) == part.size()) {
        part.fill(QLatin1Char('_'));
    }
    if (IsReserved(part)) {
        part.prepend(QLatin1Char('_'));
    }
    while (part.toUtf8().size() > kMaxPartBytes) {
        part.chop(part.size() >= 2 && part.back().isLowSurrogate() ? 2 : 1);
    }
    if (folder && (part.endsWith(QLatin1Char('.')) || part.endsWith(QLatin1Char(' ')))) {
        part.back() = QLatin1Char('_');
    }
    return part;
}

bool Inside(const QString& folder, const QString& dir) {
    return folder == dir ||
           folder.startsWith(dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/'));
}

QString Canonical(const QString& folder) {
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(QFileInfo(folder).absoluteFilePath()) : canonical;
}

QString Key(const QString& folder, const QString& stem) {
    return (folder + QLatin1Char('/') + stem).toCaseFolded();
}

// Stands for a layout's name among the names a drawing may ask for: any text.
constexpr QChar kAnyText(0xE000);

// A name below DIR as names are compared while drawings wait for each other: case-folded,
// each part without the "_" a made-safe part may begin with, so that a reserved name made
// safe still meets the field that made it.
QString MatchForm(const QStringList& parts) {
    QStringList folded;
    for (const QString& part : parts) {
        qsizetype lead = 0;
        while (lead < part.size() && part[lead] == QLatin1Char('_')) {
            ++lead;
        }
        folded << part.mid(lead).toCaseFolded();
    }
    return folded.join(QLatin1Char('/'));
}

// Whether `text` is one of the names `form` stands for, each kAnyText of it any text.
bool Matches(QStringView form, QStringView text) {
    qsizetype f = 0, t = 0, star = -1, resume = 0;
    while (t < text.size()) {
        if (f < form.size() && form[f] == kAnyText) {
            star = f++;
            resume = t;
        } else if (f < form.size() && form[f] == text[t]) {
            ++f;
            ++t;
        } else if (star >= 0) {
            f = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (f < form.size() && form[f] == kAnyText) {
        ++f;
    }
    return f == form.size();
}

}  // namespace

std::optional<OutputNames::Pieces> OutputNames::Parse(const QString& nameTemplate, QString& error) {
    static const std::map<QString, Field> fields{
        {QStringLiteral("drawing"), Field::Drawing}, {QStringLiteral("layout"), Field::Layout},
        {QStringLiteral("folder"), Field::Folder},   {QStringLiteral("device"), Field::Device},
        {QStringLiteral("paper"), Field::Paper},     {QStringLiteral("date"), Field::Date}};
    const QString quoted = QLatin1Char('"') + nameTemplate + QLatin1Char('"');
    if (nameTemplate.size() > kMaxTemplate) {
        error = QStringLiteral("the name template is longer than %1 characters").arg(kMaxTemplate);
        return std::nullopt;
    }
    Pieces pieces;
    QString sample;  // the names the template makes, with every field one plain part
    for (qsizetype i = 0; i < nameTemplate.size(); ++i) {
        const QChar c = nameTemplate[i];
        if (c == QLatin1Char('{')) {
            const qsizetype end = nameTemplate.indexOf(QLatin1Char('}'), i);
            const auto field = fields.find(nameTemplate.mid(i + 1, end - i - 1));
            if (end < 0 || field == fields.end()) {
                error = QStringLiteral(
                            "the name template %1 has a field other than {drawing}, "
                            "{layout}, {folder}, {device}, {paper} and {date}")
                            .arg(quoted);
                return std::nullopt;
            }
            pieces.push_back({field->second, {}});
            sample += QLatin1Char('x');
            i = end;
        } else if (c == QLatin1Char('}')) {
            error =
                QStringLiteral("the name template %1 has a \"}\" that ends no field").arg(quoted);
            return std::nullopt;
        } else {
            const QChar literal = IsSeparator(c) ? QLatin1Char('/') : c;
            if (pieces.empty() || pieces.back().field != Field::Text) {
                pieces.push_back({Field::Text, {}});
            }
            pieces.back().text += literal;
            sample += literal;
        }
    }
    const bool drive = sample.size() >= 2 && sample[1] == QLatin1Char(':');
    if (sample.isEmpty() || sample.startsWith(QLatin1Char('/')) || drive) {
        error = QStringLiteral("the name template %1 must name a file inside the output folder")
                    .arg(quoted);
        return std::nullopt;
    }
    if (sample.endsWith(QLatin1Char('/'))) {
        error =
            QStringLiteral("the name template %1 ends with a folder, not a file name").arg(quoted);
        return std::nullopt;
    }
    if (sample.split(QLatin1Char('/')).contains(QStringLiteral(".."))) {
        error = QStringLiteral("the name template %1 climbs out of the output folder with \"..\"")
                    .arg(quoted);
        return std::nullopt;
    }
    return pieces;
}

std::unique_ptr<OutputNames> OutputNames::Make(const QString& dir, const QString& nameTemplate,
                                               RunFields fields, QString& error) {
    std::unique_ptr<OutputNames> names(new OutputNames);
    names->modelText_ = nameTemplate.isEmpty() ? QStringLiteral("{drawing}") : nameTemplate;
    names->layoutText_ =
        nameTemplate.isEmpty() ? QStringLiteral("{drawing}-{layout}") : nameTemplate;
    auto model = Parse(names->modelText_, error);
    auto layout = Parse(names->layoutText_, error);
    if (!model || !layout) {
        return nullptr;
    }
    names->model_ = std::move(*model);
    names->layout_ = std::move(*layout);
    if (dir.isEmpty()) {
        error = QStringLiteral("--output-dir needs a folder");
        return nullptr;
    }
    const QFileInfo info(dir);
    if (info.exists() && !info.isDir()) {
        error = dir + QStringLiteral(" is not a folder");
        return nullptr;
    }
    if (!QDir().mkpath(dir)) {
        error = QStringLiteral("the output folder ") + dir + QStringLiteral(" cannot be made");
        return nullptr;
    }
    names->dir_ = QDir::cleanPath(QDir::fromNativeSeparators(info.absoluteFilePath()));
    names->canonicalDir_ = Canonical(names->dir_);
    names->fields_ = std::move(fields);
    return names;
}

void OutputNames::AddRoot(const std::string& drawing, const std::string& root) {
    const std::lock_guard lock(mutex_);
    roots_.emplace(drawing, QDir::cleanPath(Text(root)));
}

void OutputNames::AddRead(const std::string& path) {
    const QFileInfo file(Text(path));
    static const QStringList drawings{QStringLiteral("dwg"), QStringLiteral("dxf"),
                                      QStringLiteral("dwt"), QStringLiteral("dws")};
    if (path.empty() || drawings.contains(file.suffix(), Qt::CaseInsensitive)) {
        return;
    }
    const QString key = Key(Canonical(file.absolutePath()), file.completeBaseName());
    const std::lock_guard lock(mutex_);
    read_.insert(key);
}

QStringList OutputNames::Parts(const std::string& drawing, const QString& layout) const {
    const QFileInfo file(Text(drawing));
    QString folderField;
    {
        const std::lock_guard lock(mutex_);
        const auto root = roots_.find(drawing);
        if (root != roots_.end()) {
            folderField = QDir(root->second).relativeFilePath(file.absolutePath());
        }
    }
    if (folderField == QStringLiteral(".") || folderField.startsWith(QStringLiteral(".."))) {
        folderField.clear();
    }
    QString name;
    for (const Piece& p : layout.isEmpty() ? model_ : layout_) {
        switch (p.field) {
            case Field::Text:
                name += p.text;
                break;
            case Field::Drawing:
                name += OnePart(file.completeBaseName());
                break;
            case Field::Layout:
                name += OnePart(layout.isEmpty() ? QStringLiteral("Model") : layout);
                break;
            case Field::Folder:
                name += folderField;
                break;
            case Field::Device: {
                QString device = OnePart(QString::fromStdString(fields_.device));
                if (device.endsWith(QStringLiteral(".pc3"), Qt::CaseInsensitive)) {
                    device.chop(4);
                }
                name += device;
                break;
            }
            case Field::Paper:
                name += OnePart(QString::fromStdString(fields_.paper));
                break;
            case Field::Date:
                name += OnePart(fields_.date);
                break;
        }
    }
    QStringList parts;
    for (const QString& part : name.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part != QStringLiteral(".")) {
            parts << part;
        }
    }
    if (parts.isEmpty()) {
        parts << QStringLiteral("_");
    }
    for (qsizetype i = 0; i < parts.size(); ++i) {
        // A part cut to length may lose its field, and then matches anything.
        const bool cut = parts[i].contains(kAnyText) && parts[i].toUtf8().size() > kMaxPartBytes;
        parts[i] = cut ? QString(kAnyText) : SafePart(parts[i], i + 1 < parts.size());
    }
    return parts;
}

std::string OutputNames::Name(const std::string& drawing, const std::string& layout,
                              std::optional<std::size_t> place) {
    QStringList parts = Parts(drawing, QString::fromStdString(layout));
    const QString wanted = place ? MatchForm(parts) : QString();
    const QString stem = parts.takeLast();
    const QString folder = parts.isEmpty() ? dir_ : dir_ + QLatin1Char('/') + parts.join('/');
    if (!QDir().mkpath(folder)) {
        throw plot::PlotFileRefused("The folder " + search::ToFileSystemPath(folder) +
                                    " for the plot file cannot be made.");
    }
    const QString canonical = Canonical(folder);
    if (!Inside(canonical, canonicalDir_)) {
        throw plot::PlotFileRefused("The folder " + search::ToFileSystemPath(folder) +
                                    " leads out of the output folder; no plot file is written "
                                    "there.");
    }
    const QString relative = parts.isEmpty() ? QString() : parts.join('/') + QLatin1Char('/');
    std::unique_lock lock(mutex_);
    if (place) {
        ended_.wait(lock, [&] { return !EarlierMayAsk(*place, wanted); });
    }
    const QString key = Key(canonical, stem);
    QString given = stem;
    if (taken_.contains(key) || read_.contains(key)) {
        // The numbers below the next one to try are all taken.
        int& next = nextNumber_[key];
        for (int n = std::max(next, 2);; ++n) {
            given = stem + QLatin1Char('-') + QString::number(n);
            if (!taken_.contains(Key(canonical, given)) && !read_.contains(Key(canonical, given))) {
                next = n + 1;
                break;
            }
        }
    }
    taken_.insert(Key(canonical, given));
    if (given != stem) {
        renamed_[drawing].push_back(
            search::ToFileSystemPath(QStringLiteral("plot file name %1%2 was taken: named %1%3")
                                         .arg(QDir::toNativeSeparators(relative), stem, given)));
    }
    return search::ToFileSystemPath(
        QDir::toNativeSeparators(folder + QLatin1Char('/') + given + QStringLiteral(".plt")));
}

void OutputNames::BeginDrawing(std::size_t place, const std::string& drawing, bool layouts) {
    Under under{Under::State::Naming, {MatchForm(Parts(drawing, {}))}};
    if (layouts) {
        under.forms.push_back(MatchForm(Parts(drawing, QString(kAnyText))));
    }
    const std::lock_guard lock(mutex_);
    if (under_.size() <= place) {
        under_.resize(place + 1);
    }
    under_[place] = std::move(under);
}

void OutputNames::EndDrawing(std::size_t place) {
    {
        const std::lock_guard lock(mutex_);
        if (place >= under_.size()) {
            return;
        }
        under_[place] = {Under::State::Ended, {}};
        while (settled_ < under_.size() && under_[settled_].state == Under::State::Ended) {
            ++settled_;
        }
    }
    ended_.notify_all();
}

bool OutputNames::EarlierMayAsk(std::size_t place, const QString& wanted) const {
    // A name that ends with a number may be another's, numbered.
    static const QRegularExpression numbered(QStringLiteral("-[0-9]+$"));
    const QString unnumbered = QString(wanted).remove(numbered);
    for (std::size_t q = settled_; q < place && q < under_.size(); ++q) {
        if (under_[q].state != Under::State::Naming) {
            continue;
        }
        for (const QString& form : under_[q].forms) {
            if (Matches(form, wanted) || Matches(form, unnumbered)) {
                return true;
            }
        }
    }
    return false;
}

std::vector<std::string> OutputNames::RenamedOf(const std::string& drawing) const {
    const std::lock_guard lock(mutex_);
    const auto it = renamed_.find(drawing);
    return it == renamed_.end() ? std::vector<std::string>{} : it->second;
}

}  // namespace vx::cli
