// Shared main for the benchmark programs. Every benchmark named "X_Baseline" is the plain
// baseline of benchmark "X" in the same run (e.g. a memcpy of the bytes that X decodes);
// after the usual table the reporter prints each X with its baseline and the ratio.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr const char* kBaselineSuffix = "_Baseline";

class BaselineReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
            times_.emplace_back(run.benchmark_name(), run.GetAdjustedRealTime());
            units_[run.benchmark_name()] = benchmark::GetTimeUnitString(run.time_unit);
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::map<std::string, double> byName(times_.begin(), times_.end());
        std::printf("\n%-56s %14s %14s %8s\n", "benchmark", "time", "baseline", "ratio");
        for (const auto& [name, time] : times_) {
            std::string baseName = name;
            std::string suffix;
            if (auto slash = baseName.find('/'); slash != std::string::npos) {
                suffix = baseName.substr(slash);
                baseName.resize(slash);
            }
            if (baseName.ends_with(kBaselineSuffix)) continue;
            auto baseline = byName.find(baseName + kBaselineSuffix + suffix);
            if (baseline == byName.end()) baseline = byName.find(baseName + kBaselineSuffix);
            const std::string& unit = units_[name];
            if (baseline == byName.end()) {
                std::printf("%-56s %11.3f %-2s %14s %8s\n", name.c_str(), time, unit.c_str(), "-", "-");
            } else {
                std::printf("%-56s %11.3f %-2s %11.3f %-2s %7.1fx\n", name.c_str(), time,
                            unit.c_str(), baseline->second, units_[baseline->first].c_str(),
                            time / baseline->second);
            }
        }
    }

private:
    std::vector<std::pair<std::string, double>> times_;
    std::map<std::string, std::string> units_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    BaselineReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
