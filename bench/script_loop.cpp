// The script interpreter against Lua 5.4 on the same loops, in one process; prints both times, their
// ratio (the fastest of three repetitions each) and the heap allocations per statement of a
// steady-state run.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <vector>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
}

#include "definitions/melementsloader.h"
#include "definitions/textfilereader.h"
#include "foundation/small_pool.h"
#include "objects/register.h"
#include "runtime/behaviour.h"
#include "runtime/objects_container.h"
#include "runtime/runner.h"
#include "runtime/variable.h"
#include "runtime/variable_factory.h"
#include "times_reporter.h"

// Counting allocator: every heap allocation of the process goes through here. GCC cannot see that
// these replacements pair malloc with free, and warns where it inlines them.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
static std::atomic<long> g_allocations{0};
void* operator new(std::size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

constexpr int kIterations = 1000000;
// Elements of the array the ARRAY loops walk.
constexpr int kElements = 10000;

const char* kScene =
    "OBJECT=COUNT\nCOUNT:TYPE=INTEGER\nCOUNT:VALUE=0\n"
    "OBJECT=A\nA:TYPE=INTEGER\nA:VALUE=3\n"
    "OBJECT=B\nB:TYPE=INTEGER\nB:VALUE=4\n"
    "OBJECT=C\nC:TYPE=INTEGER\nC:VALUE=5\n"
    "OBJECT=R\nR:TYPE=INTEGER\nR:VALUE=0\n"
    "OBJECT=BEHADD\nBEHADD:TYPE=BEHAVIOUR\nBEHADD:CODE={COUNT^ADD(1);}\n"
    "OBJECT=BEHEXPR\nBEHEXPR:TYPE=BEHAVIOUR\nBEHEXPR:CODE={R^SET([A*B+C]);}\n"
    "OBJECT=LOOPADD\nLOOPADD:TYPE=BEHAVIOUR\nLOOPADD:CODE={@LOOP(BEHADD,0,1000000,1);}\n"
    "OBJECT=LOOPEXPR\nLOOPEXPR:TYPE=BEHAVIOUR\nLOOPEXPR:CODE={@LOOP(BEHEXPR,0,1000000,1);}\n"
    // ARRAY element access and arithmetic over 10000 elements.
    "OBJECT=ARR\nARR:TYPE=ARRAY\n"
    // The loop counter is not declared: it exists only after the first @LOOP, after the bodies were
    // parsed, and the lines bind it the first time they find it.
    "OBJECT=BEHFILL\nBEHFILL:TYPE=BEHAVIOUR\nBEHFILL:CODE={ARR^FILL(10000,0);}\n"
    "OBJECT=BEHGET\nBEHGET:TYPE=BEHAVIOUR\nBEHGET:CODE={R^SET(ARR^GET(_I_));}\n"
    "OBJECT=BEHSETAT\nBEHSETAT:TYPE=BEHAVIOUR\nBEHSETAT:CODE={ARR^CHANGEAT(_I_,_I_);}\n"
    "OBJECT=BEHADDAT\nBEHADDAT:TYPE=BEHAVIOUR\nBEHADDAT:CODE={ARR^ADDAT(_I_,3);}\n"
    "OBJECT=LOOPGET\nLOOPGET:TYPE=BEHAVIOUR\nLOOPGET:CODE={@LOOP(BEHGET,0,10000,1);}\n"
    "OBJECT=LOOPSETAT\nLOOPSETAT:TYPE=BEHAVIOUR\nLOOPSETAT:CODE={@LOOP(BEHSETAT,0,10000,1);}\n"
    "OBJECT=LOOPADDAT\nLOOPADDAT:TYPE=BEHAVIOUR\nLOOPADDAT:CODE={@LOOP(BEHADDAT,0,10000,1);}\n";

// One scene holding the variables and behaviours above, built once.
struct ScriptScene {
  CMC_ObjectsContainer scene{nullptr, CXString("SCENE"), nullptr, mc::TYPE_SCENE};
  ScriptScene() {
    tarnvik::registerEngineTypes();
    CMC_VariableFactory::initialize();
    CMC_RunnerFactory::initialize();
    CTextFileReader reader{std::string(kScene)};
    std::unique_ptr<CMElements> elements(CMElementsLoader::load(nullptr, &reader));
    scene.resolveObjects(elements.get());
    for (CMC_Object* o : std::vector<CMC_Object*>(scene.objects())) o->init();
    run("BEHFILL");
  }
  CMC_Behaviour* behaviour(const char* name) { return static_cast<CMC_Behaviour*>(scene.getObject(name)); }
  int32_t value(const char* name) { return static_cast<CMC_Integer*>(scene.getObject(name))->getValue(); }
  void run(const char* loop) {
    behaviour(loop)->run(nullptr, nullptr, false);
    CMC_VariableFactory::clearPool();
  }
};

ScriptScene& scriptScene() {
  static ScriptScene s;
  return s;
}

const char* kLua = R"(
  local count = { value = 0 }
  local a, b, c, r = { value = 3 }, { value = 4 }, { value = 5 }, { value = 0 }
  local function add(v, n) v.value = v.value + n end
  local function set(v, n) v.value = n end
  function loop_add()
    for i = 0, 999999 do add(count, 1) end
    return count.value
  end
  function loop_expr()
    for i = 0, 999999 do set(r, a.value * b.value + c.value) end
    return r.value
  end
  local arr = {}
  for i = 1, 10000 do arr[i] = 0 end
  local function get(t, i) return t[i + 1] end
  local function changeat(t, i, v) t[i + 1] = v end
  local function addat(t, i, n) t[i + 1] = t[i + 1] + n end
  function loop_get()
    for i = 0, 9999 do set(r, get(arr, i)) end
    return r.value
  end
  function loop_setat()
    for i = 0, 9999 do changeat(arr, i, i) end
    return arr[10000]
  end
  function loop_addat()
    for i = 0, 9999 do addat(arr, i, 3) end
    return arr[10000]
  end
)";

lua_State* luaState() {
  static lua_State* L = [] {
    lua_State* s = luaL_newstate();
    luaL_openlibs(s);
    if (luaL_dostring(s, kLua) != LUA_OK) std::fprintf(stderr, "lua: %s\n", lua_tostring(s, -1));
    return s;
  }();
  return L;
}

void runLua(const char* function) {
  lua_State* L = luaState();
  lua_getglobal(L, function);
  lua_call(L, 0, 1);
  benchmark::DoNotOptimize(lua_tointeger(L, -1));
  lua_pop(L, 1);
}

void BM_Script_CountingLoop(benchmark::State& state) {
  ScriptScene& s = scriptScene();
  for (auto _ : state) s.run("LOOPADD");
  state.SetItemsProcessed(state.iterations() * kIterations);
}
void BM_Lua_CountingLoop(benchmark::State& state) {
  for (auto _ : state) runLua("loop_add");
  state.SetItemsProcessed(state.iterations() * kIterations);
}
void BM_Script_ExpressionLoop(benchmark::State& state) {
  ScriptScene& s = scriptScene();
  for (auto _ : state) s.run("LOOPEXPR");
  state.SetItemsProcessed(state.iterations() * kIterations);
}
void BM_Lua_ExpressionLoop(benchmark::State& state) {
  for (auto _ : state) runLua("loop_expr");
  state.SetItemsProcessed(state.iterations() * kIterations);
}
// ARRAY loops: 10000 statements each.
void BM_Script_ArrayGet(benchmark::State& state) {
  for (auto _ : state) scriptScene().run("LOOPGET");
  state.SetItemsProcessed(state.iterations() * kElements);
}
void BM_Lua_ArrayGet(benchmark::State& state) {
  for (auto _ : state) runLua("loop_get");
  state.SetItemsProcessed(state.iterations() * kElements);
}
void BM_Script_ArraySet(benchmark::State& state) {
  for (auto _ : state) scriptScene().run("LOOPSETAT");
  state.SetItemsProcessed(state.iterations() * kElements);
}
void BM_Lua_ArraySet(benchmark::State& state) {
  for (auto _ : state) runLua("loop_setat");
  state.SetItemsProcessed(state.iterations() * kElements);
}
void BM_Script_ArrayAdd(benchmark::State& state) {
  for (auto _ : state) scriptScene().run("LOOPADDAT");
  state.SetItemsProcessed(state.iterations() * kElements);
}
void BM_Lua_ArrayAdd(benchmark::State& state) {
  for (auto _ : state) runLua("loop_addat");
  state.SetItemsProcessed(state.iterations() * kElements);
}
BENCHMARK(BM_Script_CountingLoop)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lua_CountingLoop)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Script_ExpressionLoop)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lua_ExpressionLoop)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Script_ArrayGet)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Lua_ArrayGet)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Script_ArraySet)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Lua_ArraySet)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Script_ArrayAdd)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Lua_ArrayAdd)->Unit(benchmark::kMicrosecond);

// Heap allocations of one steady-state run of a loop (after a warm-up run), per statement executed.
double allocationsPerStatement(const char* loop) {
  ScriptScene& s = scriptScene();
  s.run(loop);
  // Requests the small-object pool serves count as allocations too.
  long before = g_allocations.load() + static_cast<long>(tarnvik::pool::usage().served);
  s.run(loop);
  long after = g_allocations.load() + static_cast<long>(tarnvik::pool::usage().served);
  return static_cast<double>(after - before) / kIterations;
}

}  // namespace

int main(int argc, char** argv) {
  // Each loop runs three times and the fastest counts, unless repetitions are asked for: on a shared
  // machine a single run of one loop now and then takes half as long again.
  BenchmarkArgs args(argc, argv, {"--benchmark_repetitions=3"});
  benchmark::Initialize(args.argc(), args.argv());
  TimesReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n");
  for (const char* name : {"CountingLoop", "ExpressionLoop", "ArrayGet", "ArraySet", "ArrayAdd"}) {
    // CPU times: the build machine is shared, and under load the wall time measures the others too.
    auto script = reporter.cpuTimes.find(std::string("BM_Script_") + name);
    auto lua = reporter.cpuTimes.find(std::string("BM_Lua_") + name);
    if (script == reporter.cpuTimes.end() || lua == reporter.cpuTimes.end() || lua->second <= 0) continue;
    // Times are in the unit of each benchmark (ms for the million-step loops, us for the arrays).
    std::printf("%-15s script %10.2f   lua %10.2f   ratio %.2f\n", name, script->second, lua->second,
                script->second / lua->second);
  }
  std::printf("heap allocations per statement in steady state: counting %.4f, expression %.4f\n",
              allocationsPerStatement("LOOPADD"), allocationsPerStatement("LOOPEXPR"));
  ScriptScene& s = scriptScene();
  std::printf("heap allocations per statement of the ARRAY loops: get %.4f, set %.4f, add %.4f\n",
              allocationsPerStatement("LOOPGET") * kIterations / kElements,
              allocationsPerStatement("LOOPSETAT") * kIterations / kElements,
              allocationsPerStatement("LOOPADDAT") * kIterations / kElements);
  std::printf("check: COUNT=%d R=%d\n", s.value("COUNT"), s.value("R"));
  benchmark::Shutdown();
  return 0;
}
