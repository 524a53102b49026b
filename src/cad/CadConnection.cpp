#include "cad/CadConnection.h"

#include <vector>

namespace vx::cad {

Message CouldNotStartMessage() {
    Message m;
    m.icon = MsgIcon::Information;
    m.buttons = MsgButtons::Ok;
    m.title = "Coult not start AutoCAD";
    m.text = std::string("Could not start autocad application. ") + kCrLf +
             "Start Autocad application and then retry Sheafrun" + kCrLf + "Exiting Sheafrun now";
    return m;
}

CadConnection::CadConnection(ConnectionHost& host, MessageService& messages,
                             const ClassRegistry& registry)
    : host_(host), messages_(messages), registry_(registry) {}

void CadConnection::ConnectCad() {
    Ref<AcadApplication> app;
    try {
        app = registry_.GetObject(kCadClassName);
    } catch (const CadError&) {
        app = nullptr;
    }
    if (app) {
        CadApp = app;
    } else {
        host_.SetStatus(std::string(kCrLf) + "Opening Autocad in Background. Please Wait... ");
        host_.HideMainWindow();
        try {
            CadApp = registry_.CreateObject(kCadClassName);
            CadApp->SetVisible(true);
        } catch (const CadError&) {
            if (CadApp) {
                // Started but unusable: do not leave it running behind the user's back.
                try {
                    CadApp->Quit();
                } catch (const CadError&) {
                }
                CadApp.reset();
            }
            messages_.Show(CouldNotStartMessage());
            host_.EndProgram();
            throw ProgramEnded();
        }
        host_.ShowMainWindow();
        CadStartedHere = true;
    }

    try {
        auto doc = CadApp->Application()->ActiveDocument();
        if (doc->GetVariable("SDI") == 1) {
            doc->SetVariable("SDI", 0);
        }
    } catch (const CadError&) {
    }
    try {
        auto docs = CadApp->Application()->Documents();
        if (docs->Count() == 0) {
            auto doc = docs->Add();
            if (doc) {
                NoteOpenedHere(*doc);
            }
        }
    } catch (const CadError&) {
    }
}

void CadConnection::QuitCad() {
    if (!CadApp) {
        return;
    }
    try {
        CadApp->Quit();
    } catch (const CadError&) {
    }
    CadApp.reset();
}

void CadConnection::CloseOpenDrawings() {
    if (!CadApp) {
        return;
    }
    auto docs = CadApp->Application()->Documents();
    if (docs->Count() < 1) {
        return;
    }
    std::vector<Ref<AcadDocument>> open;
    for (std::int32_t i = 0, n = docs->Count(); i < n; ++i) {
        open.push_back(docs->Item(i));
    }
    for (auto& doc : open) {
        CloseWithoutSaving(*doc);
    }
}

std::string CadConnection::Key(AcadDocument& doc) {
    // In this order on every compiler: the calls are part of what tests record.
    std::string key = doc.Path();
    return key + '\n' + doc.Name();
}

void CadConnection::NoteOpenedHere(AcadDocument& doc) {
    try {
        openedHere_.insert(Key(doc));
    } catch (const CadError&) {
    }
}

bool CadConnection::OpenedHere(AcadDocument& doc) {
    try {
        return openedHere_.count(Key(doc)) > 0;
    } catch (const CadError&) {
        return false;
    }
}

bool CadConnection::MayDiscard(AcadDocument& doc) {
    if (OpenedHere(doc)) {
        return true;
    }
    try {
        return doc.GetVariable("DBMOD") == 0;
    } catch (const CadError&) {
        // Unknown state: keep the drawing rather than risk the user's changes.
        return false;
    }
}

bool CadConnection::CloseWithoutSaving(AcadDocument& doc) {
    std::string key;
    bool mine = false;
    try {
        key = Key(doc);
        mine = openedHere_.count(key) > 0;
    } catch (const CadError&) {
    }
    if (!mine) {
        try {
            if (doc.GetVariable("DBMOD") != 0) {
                return false;
            }
        } catch (const CadError&) {
            return false;
        }
    }
    doc.Close(false);
    if (mine) {
        // A drawing of the same path that the user opens later is the user's own.
        openedHere_.erase(openedHere_.find(key));
    }
    return true;
}

}  // namespace vx::cad
