// The settings that survive from one run to the next: the main window's position and
// the last plot choices, stored per user under the application "Vormex", section
// "Settings". All values are text; the position is kept in twips (15 per pixel) so
// that settings written by earlier versions carry over.
#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>
#include <memory>
#include <optional>

class QSettings;

namespace vx::plot {
struct PlotChoices;
}

namespace vx::app {

inline constexpr char kProgramTitle[] = "Vormex";
inline constexpr char kSettingsSection[] = "Settings";
inline constexpr char kKeyMainLeft[] = "MainLeft";
inline constexpr char kKeyMainTop[] = "MainTop";
inline constexpr char kKeyCadPaper[] = "CadPaper";
inline constexpr char kKeyCadPrinter[] = "CadPrinter";
inline constexpr char kKeyCadCTB[] = "CadCTB";

inline constexpr float kDefaultPositionTwips = 1000.0f;
inline constexpr char kDefaultChoice[] = "0";
inline constexpr int kTwipsPerPixel = 15;

// The per-user settings store of one section.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // The stored text, or nothing when the key is missing.
    virtual std::optional<QString> Get(const QString& key) const = 0;
    virtual void Save(const QString& key, const QString& value) = 0;
    // Writes what was saved to permanent storage; throws std::runtime_error with a
    // description when that failed.
    virtual void Flush() = 0;
};

// A SettingsStore on a QSettings object, inside the group "Settings".
class QSettingsStore : public SettingsStore {
public:
    explicit QSettingsStore(std::unique_ptr<QSettings> settings);
    ~QSettingsStore() override;
    std::optional<QString> Get(const QString& key) const override;
    void Save(const QString& key, const QString& value) override;
    void Flush() override;
    QString FileName() const;

private:
    std::unique_ptr<QSettings> settings_;
};

// A stored position in twips; nothing when the text is not a finite number.
std::optional<float> ParseTwips(const QString& text);
int TwipsToPixels(float twips);
float PixelsToTwips(int pixels);
// The text a position is stored as: the shortest decimal text of a single-precision number.
QString TwipsText(float twips);

// What the main window's load reads.
struct LoadedSettings {
    float leftTwips = kDefaultPositionTwips;
    float topTwips = kDefaultPositionTwips;
    QString paper = kDefaultChoice;
    QString printer = kDefaultChoice;
    QString ctb = kDefaultChoice;
};

LoadedSettings ReadSettings(const SettingsStore& store);

// The window's position at unload, in twips. A window still standing where the stored
// position put it keeps the stored value, so that a position that is no whole number of
// pixels does not creep from run to run.
struct WindowPosition {
    float leftTwips = kDefaultPositionTwips;
    float topTwips = kDefaultPositionTwips;
};
WindowPosition PositionToSave(QPoint nowPixels, QPoint loadedPixels, const LoadedSettings& loaded);

// Unload: nothing at all when the window is minimized; otherwise the position, then each
// plot choice that is not empty.
void WriteSettings(SettingsStore& store, bool minimized, const WindowPosition& position,
                   const plot::PlotChoices& choices);

// A window whose frame would stand on no screen is moved onto the nearest one: a window
// counts as reachable when at least kMinimumVisible pixels of it, each way, lie on a
// screen. Returns the position to use.
inline constexpr int kMinimumVisible = 40;
QPoint PullOntoScreen(const QRect& frame, const QList<QRect>& screens);

}  // namespace vx::app
