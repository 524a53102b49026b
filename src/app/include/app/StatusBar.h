// The status bar with its three panels (state text, date, clock) and the progress bar
// that lies over one of its panels.
#pragma once

#include <QPointer>
#include <QRect>
#include <QStatusBar>
#include <QString>
#include <array>

class QLabel;
class QProgressBar;
class QTimer;

namespace vx::app {

// A status bar of three panels numbered from 1: panel 1 a text that takes the room the
// others leave, panel 2 the date, panel 3 the time. Panels 2 and 3 are one inch wide at
// the screen's resolution.
class PanelStatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit PanelStatusBar(QWidget* parent = nullptr);

    static constexpr int kPanels = 3;
    // The panel's rectangle in the status bar's coordinates; an empty one for a number
    // that is no panel.
    QRect PanelRect(int panel) const;
    QString PanelText(int panel) const;
    void SetPanelText(int panel, const QString& text);
    // A panel that no longer sizes itself keeps its width when the bar is resized.
    void SetPanelAutoSize(int panel, bool autoSize);
    int InchPixels() const;

signals:
    // The panels were laid out again (the bar was resized).
    void PanelsMoved();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void LayoutPanels();
    void UpdateClock();

    std::array<QLabel*, kPanels> panels_{};
    std::array<bool, kPanels> autoSize_{true, false, false};
    std::array<int, kPanels> fixedWidth_{};
    QTimer* clock_ = nullptr;
};

// Where the progress bar came from before it was put into the status bar.
struct ProgressBarPlacement {
    // The window that held the bar before; empty until the bar has been placed.
    QPointer<QWidget> ProgressBarHost;
    QPointer<QProgressBar> bar;
    QPointer<PanelStatusBar> statusBar;
    int panel = 0;
    int margin = 0;

    bool Placed() const { return !ProgressBarHost.isNull(); }
    // The bar's rectangle inside the status bar: the panel less the margin on every side,
    // from the top of the status bar.
    QRect BarRect() const;
};

// Puts the progress bar over one panel of the status bar with a margin on every side.
// A second call does nothing. The bar keeps covering the panel when the status bar is
// resized, and is shown and hidden with the status bar.
void PlaceProgressBar(ProgressBarPlacement& placement, QProgressBar& bar, PanelStatusBar& statusBar,
                      int panel, int margin);

// Gives the bar back to the window that held it before (at unload).
void GiveBackProgressBar(ProgressBarPlacement& placement);

}  // namespace vx::app
