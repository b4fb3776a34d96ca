// main() of a benchmark that needs a QApplication: offscreen without a display.
#pragma once

#include <QApplication>
#include <benchmark/benchmark.h>

#define KEV_QT_BENCHMARK_MAIN()                                                           \
  int main(int argc, char** argv) {                                                       \
    if (qEnvironmentVariableIsEmpty("DISPLAY")) qputenv("QT_QPA_PLATFORM", "offscreen");  \
    QApplication app(argc, argv);                                                         \
    benchmark::Initialize(&argc, argv);                                                   \
    benchmark::RunSpecifiedBenchmarks();                                                  \
    benchmark::Shutdown();                                                                \
    return 0;                                                                             \
  }
