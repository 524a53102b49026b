// DwgThumbnail1: shows the preview image stored in a drawing file, scaled to fit.
#pragma once

#include <QFrame>
#include <QImage>

#include "search/DrawingPreview.h"

namespace vx::search {

class DrawingListView;

class DwgThumbnail : public QFrame {
    Q_OBJECT
public:
    explicit DwgThumbnail(QWidget* parent = nullptr);

    // A drawing's full path: its stored preview is shown, or nothing when it has none
    // (or is no drawing, or cannot be read). The empty text shows nothing.
    void SetDwgFileName(const QString& fullPath);
    const QString& DwgFileName() const { return fileName_; }

    // What the last SetDwgFileName found.
    PreviewOutcome Outcome() const { return outcome_; }
    const QImage& Image() const { return image_; }

    QSize sizeHint() const override { return {193, 105}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString fileName_;
    QImage image_;
    PreviewOutcome outcome_ = PreviewOutcome::NoPreview;
};

// The rectangle an image of `imageSize` takes when scaled to fit into `area`, keeping its
// proportions, centred.
QRect FitInto(const QSize& imageSize, const QRect& area);

// The preview refresh of the list's click and Up/Down keys: the preview and its tool tip
// are emptied, then set to the focused row's drawing (Path followed by File Name); with
// no focused row they stay empty.
void PreviewRefresh(const DrawingListView& list, DwgThumbnail& thumbnail);

}  // namespace vx::search
