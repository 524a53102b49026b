// A one-line label that shows a text too long for it cut at its end with an ellipsis,
// and the whole text as its tool tip while it is cut.
#pragma once

#include <QLabel>

namespace vx::app {

class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

    // The text as the label shows it at its present width.
    QString ShownText() const;
    bool Elided() const { return ShownText() != text(); }

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace vx::app
