// The window program built without any CAD back end: the start-up test runs it to see
// what a user sees when no CAD application can be reached or started.
#include <QApplication>

#include "app/Main.h"
#include "cad/ClassRegistry.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const vx::cad::ClassRegistry none;
    return vx::app::RunProgram(app, none);
}
