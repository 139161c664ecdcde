// The entry point of every benchmark program: a private temporary home, so a benchmark's
// settings store and log files are on the same disk as the user's but never the user's own.
#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    const QString cache = QDir::homePath() + QStringLiteral("/.cache");
    QDir().mkpath(cache);
    QTemporaryDir home(cache + QStringLiteral("/quillmark-bench-XXXXXX"));
    if (!home.isValid()) {
        std::fprintf(stderr, "cannot create a temporary home in %s\n", qPrintable(cache));
        return 1;
    }
    for (const char* sub : {"config", "data"}) {
        QDir(home.path()).mkpath(QLatin1String(sub));
    }
    ::setenv("XDG_CONFIG_HOME", qPrintable(home.path() + QStringLiteral("/config")), 1);
    ::setenv("XDG_DATA_HOME", qPrintable(home.path() + QStringLiteral("/data")), 1);
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
