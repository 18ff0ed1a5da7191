// acGetAC over 1 to 1000 enabled rules, with no rule matching and with every
// rule matching. Prints ns per image and ns per rule.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "conditions/condition_list.h"
#include "pixtagger.h"

namespace {

// Type A and type B rules alternate so both paths of the test are timed.
std::unique_ptr<ConditionList> rules(int n, bool matching) {
    auto list = std::make_unique<ConditionList>();
    for (int i = 0; i < n; ++i) {
        Condition c;
        c._attName = "attribute " + std::to_string(i);
        c._catName = "Size";
        if (i % 2 == 0) {
            c._cmbA = matching ? 3 : 0;  // ≧ 1000 or ＜ 1000
            c._a = 1000;
        } else {
            c._type = 1;
            c._cmbB1 = 1;
            c._b1 = matching ? 0 : 400000;
            c._cmbB2 = 1;
            c._b2 = 999999999;
        }
        list->append(c);
    }
    return list;
}

void classify(benchmark::State& state, bool matching) {
    const int n = static_cast<int>(state.range(0));
    const std::unique_ptr<ConditionList> list = rules(n, matching);
    ImageRecord image{};
    image.stateFlags = PIXTAGGER_REQUIRED_STATE;
    image.width = 640;
    image.height = 480;
    for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): Google Benchmark's loop variable
        AttributeResult* result = acGetAC(&image, list.get());
        benchmark::DoNotOptimize(result);
        acReleaseAC(result);
    }
    state.counters["ns/image"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                    benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["ns/rule"] = benchmark::Counter(static_cast<double>(state.iterations()) * n,
                                                   benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void NoMatch(benchmark::State& state) { classify(state, false); }
void AllMatch(benchmark::State& state) { classify(state, true); }

BENCHMARK(NoMatch)->Arg(1)->Arg(10)->Arg(100)->Arg(1000);
BENCHMARK(AllMatch)->Arg(1)->Arg(10)->Arg(100)->Arg(1000);

}  // namespace

BENCHMARK_MAIN();
