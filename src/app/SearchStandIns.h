// STAND-INS, to be replaced by the drawing search's widgets (folder tree, directory
// list, drawing list, preview). Form1::CreateSearchControls() is the one place that
// creates them; nothing else in the shell depends on their classes.
#pragma once

#include <QListWidget>
#include <QString>

namespace vx::app {

// Directory list stand-in: shows the folders of its folder; a double click opens one.
class DirListStandIn : public QListWidget {
    Q_OBJECT
  public:
    explicit DirListStandIn(QWidget* parent = nullptr);
    // The folder, in native form, without a trailing separator (but for a root).
    QString Path() const { return path_; }
    // Raises Change when the folder differs from the one shown.
    void SetPath(const QString& path);

  signals:
    void Change();
    void Click();

  private:
    void Refill();
    QString path_;
};

}  // namespace vx::app
