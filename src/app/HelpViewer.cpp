#include "app/HelpViewer.h"

#include <QFile>
#include <QHBoxLayout>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace vx::app {

namespace {
QUrl TopicUrl(const std::string& path) {
    QUrl url;
    url.setScheme("chm");
    url.setPath(QString::fromStdString(path));
    return url;
}
}  // namespace

Message HelpFileErrorMessage(const std::string& helpFile) {
    Message m;
    m.icon = MsgIcon::Exclamation;
    m.buttons = MsgButtons::Ok;
    m.title = "Vormex Help";
    m.text = "Cannot open the help file:" + std::string(kCrLf) + helpFile;
    return m;
}

ChmBrowser::ChmBrowser(std::shared_ptr<const ChmFile> file, QWidget* parent)
    : QTextBrowser(parent), file_(std::move(file)) {
    // chm: links stay inside the viewer; nothing is handed to other programs.
    setOpenExternalLinks(false);
    setOpenLinks(true);
}

QVariant ChmBrowser::loadResource(int type, const QUrl& name) {
    if (name.scheme() != "chm") {
        // Addresses of other kinds are not served: help pages are self-contained.
        Q_UNUSED(type);
        return {};
    }
    const QString path = name.path();
    auto bytes = file_->Read(QFile::encodeName(path).toStdString());
    if (!bytes) {
        return {};
    }
    return QByteArray(reinterpret_cast<const char*>(bytes->data()),
                      static_cast<qsizetype>(bytes->size()));
}

HelpWindow::HelpWindow(std::shared_ptr<const ChmFile> file, QString helpFile, QWidget* owner)
    : QWidget(owner, Qt::Window), helpFile_(std::move(helpFile)) {
    setObjectName("HelpWindow");
    setAttribute(Qt::WA_DeleteOnClose);
    const std::string title = file->Title();
    setWindowTitle(title.empty() ? QStringLiteral("Vormex Help") : QString::fromStdString(title));
    home_ = TopicUrl(file->DefaultTopic());

    browser_ = new ChmBrowser(std::move(file), this);
    auto* back = new QToolButton(this);
    back->setText("Back");
    back->setIcon(style()->standardIcon(QStyle::SP_ArrowBack));
    back->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    auto* forward = new QToolButton(this);
    forward->setText("Forward");
    forward->setIcon(style()->standardIcon(QStyle::SP_ArrowForward));
    forward->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    auto* home = new QToolButton(this);
    home->setText("Home");
    home->setToolButtonStyle(Qt::ToolButtonTextOnly);
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(back, &QToolButton::clicked, browser_, &QTextBrowser::backward);
    connect(forward, &QToolButton::clicked, browser_, &QTextBrowser::forward);
    connect(home, &QToolButton::clicked, this, &HelpWindow::ShowHome);
    connect(browser_, &QTextBrowser::backwardAvailable, back, &QToolButton::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward, &QToolButton::setEnabled);

    auto* tools = new QHBoxLayout;
    tools->addWidget(back);
    tools->addWidget(forward);
    tools->addWidget(home);
    tools->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(tools);
    layout->addWidget(browser_);
    resize(640, 480);
}

void HelpWindow::ShowHome() {
    browser_->setSource(home_, QTextDocument::HtmlResource);
}

ChmHelpService::~ChmHelpService() {
    CloseAll();
}

void ChmHelpService::DisplayTopic(std::uintptr_t ownerWindow, const std::string& helpFile) {
    std::erase_if(windows_, [](const QPointer<HelpWindow>& w) { return w.isNull(); });
    const QString file = QString::fromStdString(helpFile);
    for (const auto& w : windows_) {
        if (w->HelpFile() == file) {
            w->ShowHome();
            w->show();
            w->raise();
            w->activateWindow();
            return;
        }
    }
    auto chm = ChmFile::Open(QFile::encodeName(file).toStdString());
    if (!chm) {
        messages_.Show(HelpFileErrorMessage(helpFile));
        return;
    }
    QWidget* owner = ownerWindow ? QWidget::find(static_cast<WId>(ownerWindow)) : nullptr;
    auto* window = new HelpWindow(std::make_shared<const ChmFile>(std::move(*chm)), file, owner);
    windows_.emplace_back(window);
    window->ShowHome();
    window->show();
    window->raise();
    window->activateWindow();
}

void ChmHelpService::CloseAll() {
    for (const auto& w : windows_) {
        if (w) {
            w->close();
        }
    }
    windows_.clear();
}

std::vector<HelpWindow*> ChmHelpService::Windows() const {
    std::vector<HelpWindow*> open;
    for (const auto& w : windows_) {
        if (w) {
            open.push_back(w.data());
        }
    }
    return open;
}

}  // namespace vx::app
