#include "search/widgets/DwgThumbnail.h"

#include <QPainter>

#include "search/widgets/DrawingListView.h"

namespace vx::search {

DwgThumbnail::DwgThumbnail(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setMinimumSize(16, 16);
}

void DwgThumbnail::SetDwgFileName(const QString& fullPath) {
    fileName_ = fullPath;
    image_ = QImage();
    outcome_ = PreviewOutcome::NoPreview;
    if (!fullPath.isEmpty()) {
        DrawingPreview preview = ReadDrawingPreview(fullPath);
        outcome_ = preview.outcome;
        image_ = std::move(preview.image);
    }
    update();
}

QRect FitInto(const QSize& imageSize, const QRect& area) {
    if (imageSize.isEmpty() || area.isEmpty()) {
        return {};
    }
    const QSize scaled = imageSize.scaled(area.size(), Qt::KeepAspectRatio);
    const QPoint topLeft(area.x() + (area.width() - scaled.width()) / 2,
                         area.y() + (area.height() - scaled.height()) / 2);
    return QRect(topLeft, scaled);
}

void DwgThumbnail::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    if (image_.isNull()) {
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(FitInto(image_.size(), contentsRect()), image_);
}

void PreviewRefresh(const DrawingListView& list, DwgThumbnail& thumbnail) {
    thumbnail.SetDwgFileName(QString());
    thumbnail.setToolTip(QString());
    const int row = list.SelectedItem();
    if (row < 0) {
        return;
    }
    const QString path = list.Model().Row(row).FullPath();
    thumbnail.SetDwgFileName(path);
    thumbnail.setToolTip(list.Model().Row(list.SelectedItem()).FullPath());
}

}  // namespace vx::search
