// vormex: the window program.
#include <QApplication>

#include "BackEnds.h"
#include "Main.h"
#include "cad/ClassRegistry.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    vx::app::RegisterBackEnds(vx::cad::ClassRegistry::Default());
    return vx::app::RunProgram(app, vx::cad::ClassRegistry::Default());
}
