// The hive work a start does (two values written, one read back, each through the whole hive
// text) on a hive the launcher writes by itself, beside the same work on a hive with one key of
// 40,000 values. Compare the two lines: their ratio is what such a hive adds to a start.
#include <benchmark/benchmark.h>

#include <string>

#include "services/Registry.h"

namespace {

using kestrune::platform::RegistryRoot;
using kestrune::services::FindValueInHiveText;
using kestrune::services::RegistryData;
using kestrune::services::SetValueInHiveText;

constexpr const char* kKey = "Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION";

std::string HiveWith(int extraValues) {
    std::string text = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\";
    text += kKey;
    text += "]\r\n";
    for (int i = 0; i < extraValues; ++i) text += "\"program" + std::to_string(i) + ".exe\"=dword:00002328\r\n";
    return text;
}

void StartWork(benchmark::State& state, int extraValues) {
    const std::string hive = HiveWith(extraValues);
    for (auto _ : state) {
        auto first = SetValueInHiveText(hive, RegistryRoot::CurrentUser, kKey, "kestrune.bin", RegistryData::Dword(9999));
        auto second = SetValueInHiveText(*first, RegistryRoot::CurrentUser, kKey, "kestrune.gpu", RegistryData::Dword(9999));
        auto read = FindValueInHiveText(*second, RegistryRoot::CurrentUser, kKey, "kestrune.bin");
        benchmark::DoNotOptimize(read);
    }
    state.counters["hive_bytes"] = static_cast<double>(hive.size());
}

void BM_StartOnNormalHive(benchmark::State& state) { StartWork(state, 3); }
void BM_StartOnHiveOf40000Values(benchmark::State& state) { StartWork(state, 40000); }

BENCHMARK(BM_StartOnNormalHive)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartOnHiveOf40000Values)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
