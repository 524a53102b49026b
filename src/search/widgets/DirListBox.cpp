#include "search/widgets/DirListBox.h"

#include <QFileIconProvider>
#include <QKeyEvent>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include "search/FileSystemPath.h"
#include "search/FolderListing.h"

namespace vx::search {

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kLevelRole = Qt::UserRole + 1;

// Indents each entry by its level in the tree.
class LevelDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem o(option);
        o.rect.adjust(index.data(kLevelRole).toInt() * DirListBox::kIndent, 0, 0, 0);
        QStyledItemDelegate::paint(painter, o, index);
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize s = QStyledItemDelegate::sizeHint(option, index);
        s.rwidth() += index.data(kLevelRole).toInt() * DirListBox::kIndent;
        return s;
    }
};

// The folder's ancestors from the root down, the folder last.
QStringList Chain(const QString& folder) {
    QStringList chain;
    QString current = folder;
    while (!current.isEmpty()) {
        chain.prepend(current);
        const qsizetype cut = current.lastIndexOf(NativeSeparator());
        if (cut < 0 || current.size() == cut + 1) {
            break;  // a root
        }
        QString parent = current.left(cut);
        if (parent.isEmpty() || parent.endsWith(QLatin1Char(':'))) {
            parent += NativeSeparator();
        }
        current = parent;
    }
    return chain;
}

QString LastName(const QString& folder) {
    const qsizetype cut = folder.lastIndexOf(NativeSeparator());
    if (cut < 0 || cut == folder.size() - 1) {
        return folder;  // a root shows as itself
    }
    return folder.mid(cut + 1);
}

}  // namespace

DirListBox::DirListBox(QWidget* parent) : QListWidget(parent) {
    setItemDelegate(new LevelDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setUniformItemSizes(true);
    setToolTip(QStringLiteral("Directory List - double click to select"));
    connect(this, &QListWidget::itemDoubleClicked, this, &DirListBox::Open);
    connect(this, &QListWidget::itemClicked, this, [this] { emit Click(); });
}

bool DirListBox::SetPath(const QString& folder) {
    const QString normal = NormalizeFolderPath(folder);
    if (normal.isEmpty() || !IsFolder(normal)) {
        return false;
    }
    if (normal == path_) {
        return true;
    }
    path_ = normal;
    Fill();
    emit Change();
    return true;
}

QString DirListBox::EntryPath(int row) const {
    const QListWidgetItem* it = item(row);
    return it ? it->data(kPathRole).toString() : QString();
}

void DirListBox::Fill() {
    clear();
    static const QFileIconProvider icons;
    const QIcon folderIcon = icons.icon(QFileIconProvider::Folder);
    const QStringList chain = Chain(path_);
    int level = 0;
    for (const QString& folder : chain) {
        auto* it = new QListWidgetItem(folderIcon, LastName(folder), this);
        it->setData(kPathRole, folder);
        it->setData(kLevelRole, level++);
    }
    FolderListing listing(path_);
    std::vector<const DirEntry*> subfolders;
    for (const DirEntry& e : listing.Entries()) {
        if (e.hidden || e.kind == EntryKind::File || e.kind == EntryKind::Other) {
            continue;
        }
        if (e.kind == EntryKind::Unknown) {
            const auto status = listing.Status(e);
            if (!status || status->kind != EntryKind::Folder) {
                continue;
            }
        }
        subfolders.push_back(&e);
    }
    SortForListing(subfolders);
    for (const DirEntry* e : subfolders) {
        auto* it = new QListWidgetItem(folderIcon, e->name, this);
        it->setData(kPathRole, AddBackslash(path_) + e->name);
        it->setData(kLevelRole, level);
    }
    setCurrentRow(static_cast<int>(chain.size()) - 1);
}

void DirListBox::Open(QListWidgetItem* item) {
    if (item) {
        SetPath(item->data(kPathRole).toString());
    }
}

void DirListBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        Open(currentItem());
        return;
    }
    QListWidget::keyPressEvent(event);
}

void DirListBox::SetHorizontalExtent(int pixels) {
    extent_ = std::max(0, pixels);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    updateGeometries();
}

void DirListBox::updateGeometries() {
    QListWidget::updateGeometries();
    // The extent widens the scrollable area beyond the entries' own width.
    QScrollBar* bar = horizontalScrollBar();
    const int needed = extent_ - viewport()->width();
    if (needed > bar->maximum()) {
        bar->setRange(0, needed);
    }
}

}  // namespace vx::search
