#include "app/Settings.h"

#include <QSettings>
#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "plot/PlotLists.h"

namespace vx::app {

QSettingsStore::QSettingsStore(std::unique_ptr<QSettings> settings)
    : settings_(std::move(settings)) {}

QSettingsStore::~QSettingsStore() = default;

std::optional<QString> QSettingsStore::Get(const QString& key) const {
    const QString path = QString(kSettingsSection) + '/' + key;
    if (!settings_->contains(path)) {
        return std::nullopt;
    }
    return settings_->value(path).toString();
}

void QSettingsStore::Save(const QString& key, const QString& value) {
    settings_->setValue(QString(kSettingsSection) + '/' + key, value);
}

void QSettingsStore::Flush() {
    settings_->sync();
    if (settings_->status() != QSettings::NoError) {
        throw std::runtime_error("The settings could not be saved to " +
                                 settings_->fileName().toStdString() +
                                 (settings_->status() == QSettings::AccessError
                                      ? ": it cannot be written."
                                      : ": it is not in a form Vormex reads."));
    }
}

QString QSettingsStore::FileName() const {
    return settings_->fileName();
}

std::optional<float> ParseTwips(const QString& text) {
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value) || std::fabs(value) > std::numeric_limits<float>::max()) {
        return std::nullopt;
    }
    return static_cast<float>(value);
}

int TwipsToPixels(float twips) {
    // Far-away positions are clamped; they are pulled back onto a screen afterwards.
    const double pixels = std::round(static_cast<double>(twips) / kTwipsPerPixel);
    const double limit = 1e6;
    return static_cast<int>(std::clamp(pixels, -limit, limit));
}

float PixelsToTwips(int pixels) {
    return static_cast<float>(pixels) * kTwipsPerPixel;
}

QString TwipsText(float twips) {
    return QString::number(static_cast<double>(twips), 'g',
                           std::numeric_limits<float>::digits10 + 1);
}

LoadedSettings ReadSettings(const SettingsStore& store) {
    LoadedSettings s;
    if (auto v = store.Get(kKeyMainLeft)) {
        s.leftTwips = ParseTwips(*v).value_or(kDefaultPositionTwips);
    }
    if (auto v = store.Get(kKeyMainTop)) {
        s.topTwips = ParseTwips(*v).value_or(kDefaultPositionTwips);
    }
    s.paper = store.Get(kKeyCadPaper).value_or(kDefaultChoice);
    s.printer = store.Get(kKeyCadPrinter).value_or(kDefaultChoice);
    s.ctb = store.Get(kKeyCadCTB).value_or(kDefaultChoice);
    return s;
}

WindowPosition PositionToSave(QPoint nowPixels, QPoint loadedPixels, const LoadedSettings& loaded) {
    WindowPosition p;
    p.leftTwips =
        nowPixels.x() == loadedPixels.x() ? loaded.leftTwips : PixelsToTwips(nowPixels.x());
    p.topTwips = nowPixels.y() == loadedPixels.y() ? loaded.topTwips : PixelsToTwips(nowPixels.y());
    return p;
}

void WriteSettings(SettingsStore& store, bool minimized, const WindowPosition& position,
                   const plot::PlotChoices& choices) {
    if (minimized) {
        return;
    }
    store.Save(kKeyMainLeft, TwipsText(position.leftTwips));
    store.Save(kKeyMainTop, TwipsText(position.topTwips));
    const std::pair<const char*, const std::string*> plot[] = {
        {kKeyCadPaper, &choices.StrPaper},
        {kKeyCadPrinter, &choices.StrPrinter},
        {kKeyCadCTB, &choices.StrCTB},
    };
    for (const auto& [key, value] : plot) {
        if (!value->empty()) {
            store.Save(key, QString::fromStdString(*value));
        }
    }
    store.Flush();
}

QPoint PullOntoScreen(const QRect& frame, const QList<QRect>& screens) {
    if (screens.isEmpty()) {
        return frame.topLeft();
    }
    for (const QRect& screen : screens) {
        const QRect on = screen.intersected(frame);
        if (on.width() >= std::min(kMinimumVisible, frame.width()) &&
            on.height() >= std::min(kMinimumVisible, frame.height())) {
            return frame.topLeft();
        }
    }
    // The screen whose centre lies nearest to the window's centre.
    const QRect* nearest = &screens.front();
    qint64 best = std::numeric_limits<qint64>::max();
    for (const QRect& screen : screens) {
        const QPoint d = screen.center() - frame.center();
        const qint64 dist = qint64(d.x()) * d.x() + qint64(d.y()) * d.y();
        if (dist < best) {
            best = dist;
            nearest = &screen;
        }
    }
    const QRect& s = *nearest;
    const int x = std::max(s.left(), std::min(frame.left(), s.right() + 1 - frame.width()));
    const int y = std::max(s.top(), std::min(frame.top(), s.bottom() + 1 - frame.height()));
    return {x, y};
}

}  // namespace vx::app
