// The costs every recipient pays: reading and durably writing a setting, and one log line.
#include "diagnostics/Logging.h"
#include "settings/ApplicationName.h"
#include "settings/SettingsKeys.h"

#include <benchmark/benchmark.h>

namespace quillmark {
namespace {

void useBenchProfile() {
    settings::setApplicationName(QStringLiteral("Tollmere - Bench"));
}

void BM_SettingRead(benchmark::State& state) {
    useBenchProfile();
    settings::write(settings::keys::RecipientIndex, 42);
    for (auto _ : state) {
        benchmark::DoNotOptimize(settings::read(settings::keys::RecipientIndex));
    }
}
BENCHMARK(BM_SettingRead)->Unit(benchmark::kMicrosecond);

void BM_SettingDurableWrite(benchmark::State& state) {
    useBenchProfile();
    std::int32_t index = 0;
    for (auto _ : state) {
        settings::write(settings::keys::RecipientIndex, ++index);
    }
}
BENCHMARK(BM_SettingDurableWrite)->Unit(benchmark::kMicrosecond);

// A log line reads its three settings, then opens, appends to and closes the file.
void BM_LogLine(benchmark::State& state) {
    useBenchProfile();
    settings::write(settings::keys::LogFileWanted, 1);
    for (auto _ : state) {
        diagnostics::LogMessage(QStringLiteral("Timer"), QStringLiteral("Delaying 0 seconds"));
    }
}
BENCHMARK(BM_LogLine)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace quillmark
