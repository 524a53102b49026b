// The main of a benchmark program that needs a Qt GUI application: off screen unless
// QT_QPA_PLATFORM names a platform.
#pragma once

#include <benchmark/benchmark.h>

#include <QGuiApplication>

namespace vx::bench {

inline int RunWithGui(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

}  // namespace vx::bench
