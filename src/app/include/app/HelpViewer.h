// The help viewer of our own: a window that shows the pages of a compiled HTML help
// file (.chm), read with chmlib.
#pragma once

#include <QPointer>
#include <QTextBrowser>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "app/ChmFile.h"
#include "app/PlatformServices.h"
#include "ui/UserServices.h"

class QToolButton;

namespace vx::app {

// A text browser that serves chm:///path addresses from one help file.
class ChmBrowser : public QTextBrowser {
    Q_OBJECT
public:
    ChmBrowser(std::shared_ptr<const ChmFile> file, QWidget* parent = nullptr);
    QVariant loadResource(int type, const QUrl& name) override;

private:
    std::shared_ptr<const ChmFile> file_;
};

// One help window: back, forward and home, and the page.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    HelpWindow(std::shared_ptr<const ChmFile> file, QString helpFile, QWidget* owner);
    void ShowHome();
    QString HelpFile() const { return helpFile_; }
    ChmBrowser* Browser() const { return browser_; }

private:
    QString helpFile_;
    QUrl home_;
    ChmBrowser* browser_ = nullptr;
};

// The HelpService of the window program off Windows. A help file that cannot be opened
// is reported by the viewer in its own message box.
class ChmHelpService : public HelpService {
public:
    explicit ChmHelpService(MessageService& messages) : messages_(messages) {}
    ~ChmHelpService() override;
    // The owner is the native handle of a window of this program (QWidget::winId()).
    // A help file that is shown already is brought to the front at its default topic.
    void DisplayTopic(std::uintptr_t ownerWindow, const std::string& helpFile) override;
    void CloseAll() override;
    // The windows that are open now.
    std::vector<HelpWindow*> Windows() const;

private:
    MessageService& messages_;
    std::vector<QPointer<HelpWindow>> windows_;
};

// The viewer's message for a help file that cannot be opened.
Message HelpFileErrorMessage(const std::string& helpFile);

}  // namespace vx::app
