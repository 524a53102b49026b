#include "app/StatusBar.h"

#include <QDate>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QTime>
#include <QTimer>

namespace vx::app {

namespace {
bool IsPanel(int panel) {
    return panel >= 1 && panel <= PanelStatusBar::kPanels;
}
}  // namespace

PanelStatusBar::PanelStatusBar(QWidget* parent) : QStatusBar(parent) {
    setObjectName("sbStatusBar");
    setSizeGripEnabled(false);
    for (int i = 0; i < kPanels; ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(QString("sbStatusBarPanel%1").arg(i + 1));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setTextFormat(Qt::PlainText);
        label->setIndent(2);
        panels_[static_cast<std::size_t>(i)] = label;
    }
    panels_[0]->setText("Status");
    panels_[2]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    fixedWidth_[1] = fixedWidth_[2] = InchPixels();
    clock_ = new QTimer(this);
    connect(clock_, &QTimer::timeout, this, &PanelStatusBar::UpdateClock);
    clock_->start(1000);
    UpdateClock();
}

int PanelStatusBar::InchPixels() const {
    return logicalDpiX();
}

QRect PanelStatusBar::PanelRect(int panel) const {
    if (!IsPanel(panel)) {
        return {};
    }
    return panels_[static_cast<std::size_t>(panel - 1)]->geometry();
}

QString PanelStatusBar::PanelText(int panel) const {
    return IsPanel(panel) ? panels_[static_cast<std::size_t>(panel - 1)]->text() : QString();
}

void PanelStatusBar::SetPanelText(int panel, const QString& text) {
    if (IsPanel(panel)) {
        panels_[static_cast<std::size_t>(panel - 1)]->setText(text);
    }
}

void PanelStatusBar::SetPanelAutoSize(int panel, bool autoSize) {
    if (!IsPanel(panel)) {
        return;
    }
    const auto i = static_cast<std::size_t>(panel - 1);
    if (!autoSize && autoSize_[i]) {
        fixedWidth_[i] = panels_[i]->width();
    }
    autoSize_[i] = autoSize;
    LayoutPanels();
}

void PanelStatusBar::LayoutPanels() {
    // Fixed panels keep their width; the room that is left goes to the sizing panels.
    const int gap = 2;
    const int h = std::max(0, height() - 2);
    int fixed = 0;
    int sizing = 0;
    for (std::size_t i = 0; i < panels_.size(); ++i) {
        if (autoSize_[i]) {
            ++sizing;
        } else {
            fixed += fixedWidth_[i];
        }
    }
    const int room = std::max(0, width() - fixed - gap * kPanels);
    int x = 0;
    for (std::size_t i = 0; i < panels_.size(); ++i) {
        const int w = autoSize_[i] ? room / std::max(1, sizing) : fixedWidth_[i];
        panels_[i]->setGeometry(x, 1, w, h);
        x += w + gap;
    }
    emit PanelsMoved();
}

void PanelStatusBar::resizeEvent(QResizeEvent* event) {
    QStatusBar::resizeEvent(event);
    LayoutPanels();
}

void PanelStatusBar::showEvent(QShowEvent* event) {
    QStatusBar::showEvent(event);
    LayoutPanels();
}

void PanelStatusBar::UpdateClock() {
    const QLocale locale;
    panels_[1]->setText(locale.toString(QDate::currentDate(), QLocale::ShortFormat));
    panels_[2]->setText(locale.toString(QTime::currentTime(), QLocale::ShortFormat));
}

QRect ProgressBarPlacement::BarRect() const {
    if (!statusBar) {
        return {};
    }
    const QRect p = statusBar->PanelRect(panel);
    return {p.left() + margin, margin, p.width() - 2 * margin, statusBar->height() - 2 * margin};
}

void PlaceProgressBar(ProgressBarPlacement& placement, QProgressBar& bar, PanelStatusBar& statusBar,
                      int panel, int margin) {
    if (placement.Placed()) {
        return;
    }
    placement.ProgressBarHost = bar.parentWidget();
    placement.bar = &bar;
    placement.statusBar = &statusBar;
    placement.panel = panel;
    placement.margin = margin;

    bar.hide();
    bar.setParent(&statusBar);
    bar.setTextVisible(false);
    bar.setGeometry(placement.BarRect());
    bar.show();
    bar.raise();
    statusBar.SetPanelAutoSize(panel, false);

    // Follow the panel when the status bar is laid out again.
    QObject::connect(&statusBar, &PanelStatusBar::PanelsMoved, &bar, [&placement] {
        if (placement.bar && placement.bar->parentWidget() == placement.statusBar) {
            placement.bar->setGeometry(placement.BarRect());
        }
    });
}

void GiveBackProgressBar(ProgressBarPlacement& placement) {
    if (!placement.Placed() || !placement.bar) {
        return;
    }
    QObject::disconnect(placement.statusBar, nullptr, placement.bar, nullptr);
    placement.bar->hide();
    placement.bar->setParent(placement.ProgressBarHost);
    placement.ProgressBarHost.clear();
}

}  // namespace vx::app
