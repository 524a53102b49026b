#include "app/About.h"

#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <cstdio>

#include "app/Settings.h"

#ifndef VORMEX_VERSION_MAJOR
#error "the build gives the program's version numbers"
#endif

namespace vx::app {

std::string VersionText(int major, int minor, int revision) {
    char revisionText[16];
    std::snprintf(revisionText, sizeof revisionText, "%02d", revision);
    return std::to_string(major) + "." + std::to_string(minor) + "." + revisionText;
}

AboutTexts MakeAboutTexts(const std::string& programTitle, int major, int minor, int revision) {
    AboutTexts t;
    t.caption = "About " + programTitle;
    t.title = programTitle + " - AutoCAD Sheafrun Utility" + "\n" +
              "Copyright (c) the Vormex developers.";
    t.version = "Version " + VersionText(major, minor, revision);
    t.description =
        std::string("This application Opens and Prints Autocad Drawings ") + "in Batch Mode.";
    t.warning =
        "Warning: this computer program is protected by copyright law. Unauthorized "
        "reproduction or distribution of this program, or any portion of it, may result in "
        "civil and criminal penalties.";
    return t;
}

void StartSysInfo(RegistryReader& registry, ProgramLauncher& launcher, MessageService& messages,
                  const std::string& programTitle) {
    std::string value;
    if (registry.GetKeyValue(RegistryRoot::LocalMachine,
                             "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH", value)) {
        if (launcher.Start(value)) {
            return;
        }
    } else if (registry.GetKeyValue(RegistryRoot::LocalMachine,
                                    "SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO",
                                    value)) {
        const std::string program = value + "\\MSINFO32.EXE";
        if (launcher.FileExists(program) && launcher.Start(program)) {
            return;
        }
    }
    Message m;
    m.icon = MsgIcon::None;
    m.buttons = MsgButtons::Ok;
    m.title = programTitle;
    m.text = kSysInfoUnavailable;
    messages.Show(m);
}

QPixmap ProgramPicture(int size) {
    // A sheet of drawing paper coming out of a plotter, in the program's colours.
    QPixmap pix(size, size);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 32.0;
    p.scale(s, s);
    p.setPen(QPen(QColor(40, 40, 90), 1));
    p.setBrush(QColor(70, 90, 160));
    p.drawRoundedRect(QRectF(2, 14, 28, 10), 2, 2);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(7, 3, 18, 13));
    p.setPen(QPen(QColor(205, 0, 205), 1.2));
    p.drawLine(QPointF(9, 12), QPointF(15, 6));
    p.drawLine(QPointF(15, 6), QPointF(22, 12));
    p.drawEllipse(QPointF(15, 10), 2, 2);
    p.setPen(QPen(QColor(40, 40, 90), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(7, 21, 18, 9));
    p.setPen(QPen(QColor(0, 120, 60), 1));
    p.drawLine(QPointF(9, 25), QPointF(23, 25));
    return pix;
}

frmAbout::frmAbout(RegistryReader& registry, ProgramLauncher& launcher, MessageService& messages,
                   QWidget* parent)
    : QDialog(parent), registry_(registry), launcher_(launcher), messages_(messages) {
    setObjectName("frmAbout");
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(420, 270);

    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setGeometry(16, 16, 48, 48);
    Image1->setPixmap(ProgramPicture(48));

    auto label = [this](const char* name, int x, int y, int w, int h) {
        auto* l = new QLabel(this);
        l->setObjectName(name);
        l->setTextFormat(Qt::PlainText);
        l->setWordWrap(true);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        l->setGeometry(x, y, w, h);
        return l;
    };
    lblTitle = label("lblTitle", 80, 14, 324, 50);
    QFont bold = lblTitle->font();
    bold.setBold(true);
    lblTitle->setFont(bold);
    lblVersion = label("lblVersion", 80, 68, 324, 18);
    lblDescription = label("lblDescription", 80, 92, 324, 36);

    // Line1: an etched line of two strokes, dark above light.
    auto* line = new QFrame(this);
    line->setObjectName("Line1");
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(16, 136, 388, 4);

    lblWarning = label("lblWarning", 16, 150, 260, 100);
    cmdOK = new QPushButton("OK", this);
    cmdOK->setObjectName("cmdOK");
    cmdOK->setGeometry(296, 154, 108, 28);
    cmdOK->setDefault(true);
    cmdSysInfo = new QPushButton("&System Info...", this);
    cmdSysInfo->setObjectName("cmdSysInfo");
    cmdSysInfo->setGeometry(296, 190, 108, 28);

    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);
    Form_Load();
}

void frmAbout::Form_Load() {
    const AboutTexts t = MakeAboutTexts(kProgramTitle, VORMEX_VERSION_MAJOR, VORMEX_VERSION_MINOR,
                                        VORMEX_VERSION_PATCH);
    setWindowTitle(QString::fromStdString(t.caption));
    lblTitle->setText(QString::fromStdString(t.title));
    lblVersion->setText(QString::fromStdString(t.version));
    lblDescription->setText(QString::fromStdString(t.description));
    lblWarning->setText(QString::fromStdString(t.warning));
}

void frmAbout::cmdOK_Click() {
    close();
}

void frmAbout::cmdSysInfo_Click() {
    StartSysInfo(registry_, launcher_, messages_, kProgramTitle);
}

}  // namespace vx::app
