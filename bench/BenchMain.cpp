// Benchmarks of the program's own work, run in a real (virtual) X display by
// scripts/bench. Each benchmark states its target in its label.

#include <benchmark/benchmark.h>

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
