#include "bench/index_scale/SyntheticIndex.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>

#include <benchmark/benchmark.h>

#include <cstdio>

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString path = args.value(1, QStringLiteral("index_scale.sqlite"));
    const qint64 files = args.value(2, QStringLiteral("100000")).toLongLong();
    if (!QFileInfo::exists(path)) {
        QElapsedTimer timer;
        timer.start();
        SyntheticIndex::generate(path, files);
        std::fprintf(stderr, "generated %lld files in %.1f s\n", files, timer.elapsed() / 1000.0);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
}
