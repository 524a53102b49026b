#include "SearchStandIns.h"

#include <QDir>

namespace vx::app {

DirListStandIn::DirListStandIn(QWidget* parent)
    : QListWidget(parent), path_(QDir::toNativeSeparators(QDir::currentPath())) {
    Refill();
    connect(this, &QListWidget::itemClicked, this, &DirListStandIn::Click);
    connect(this, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        SetPath(QDir::toNativeSeparators(
            QDir::cleanPath(QDir(QDir::fromNativeSeparators(path_)).filePath(item->text()))));
    });
}

void DirListStandIn::SetPath(const QString& path) {
    // A folder is the same with or without its trailing separator.
    const QString folder =
        QDir::toNativeSeparators(QDir::cleanPath(QDir::fromNativeSeparators(path)));
    if (folder == path_) {
        return;
    }
    path_ = folder;
    Refill();
    emit Change();
}

void DirListStandIn::Refill() {
    clear();
    QDir dir(QDir::fromNativeSeparators(path_));
    addItem("..");
    addItems(dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase));
}

}  // namespace vx::app
