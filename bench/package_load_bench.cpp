// Loads a large generated project (200 pages of 50 objects, 20 MB of
// resources) from a native packed executable into the project model.
// Prints throughput over the whole file and the peak memory of one load.

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "package/executable.h"
#include "package/native_container.h"
#include "package/package_reader.h"
#include "package/package_writer.h"
#include "support/project_generator.h"

namespace morvane {
namespace {

constexpr int kPages = 200;
constexpr int kObjectsPerPage = 50;
constexpr size_t kResourceBytes = 20u << 20;

struct Fixture {
  std::string pdata;
  std::string path;
  uint64_t size = 0;
  size_t pdata_size = 0;
};

const Fixture& BigProject() {
  static const Fixture fixture = [] {
    Project project = testing::ProjectGenerator(2026, testing::ProjectGenerator::Style::kTypical)
                          .Generate(kPages, kObjectsPerPage);
    std::vector<std::pair<std::string, std::string>> resources;
    resources.emplace_back("PDATA", WritePackageChoosingKey(project));
    const size_t pdata_size = resources.back().second.size();
    // One background per page and one picture per ten pages share the 20 MB.
    const size_t each = kResourceBytes / (kPages + kPages / 10);
    uint32_t state = 1;
    auto bytes = [&] {
      std::string data(each, '\0');
      for (char& c : data) c = static_cast<char>((state = state * 1664525u + 1013904223u) >> 24);
      return data;
    };
    for (int n = 1; n <= kPages; ++n) resources.emplace_back("BDATAG" + std::to_string(n), bytes());
    for (int n = 1; n <= kPages / 10; ++n) resources.emplace_back("IDATA" + std::to_string(n), bytes());
    const std::string player(1u << 20, '\x7f');  // stands in for the player binary
    Fixture f;
    f.path = (std::filesystem::temp_directory_path() / "morvane-bench-project").string();
    std::ofstream(f.path, std::ios::binary) << BuildNativeExecutable(player, resources, "0\r\n");
    f.size = std::filesystem::file_size(f.path);
    f.pdata_size = pdata_size;
    f.pdata = resources.front().second;
    return f;
  }();
  return fixture;
}

size_t LoadModel(const std::string& path) {
  const std::unique_ptr<Container> container = OpenExecutable(path);
  const LoadResult result = LoadProject(*container);
  const Project* project = std::get_if<Project>(&result);
  if (!project) std::abort();
  return project->pages.size();
}

size_t LoadEverything(const std::string& path) {
  const std::unique_ptr<Container> container = OpenExecutable(path);
  const LoadResult result = LoadProject(*container);
  if (!std::holds_alternative<Project>(result)) std::abort();
  size_t total = 0;
  for (const std::string& name : container->ResourceNames()) total += container->Resource(name)->size();
  return total;
}

void BM_LoadModel(benchmark::State& state) {
  const Fixture& f = BigProject();
  for (auto _ : state) benchmark::DoNotOptimize(LoadModel(f.path));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.size));
  state.counters["file_MB"] = static_cast<double>(f.size) / (1 << 20);
  state.counters["package_MB"] = static_cast<double>(f.pdata_size) / (1 << 20);
}
BENCHMARK(BM_LoadModel)->Unit(benchmark::kMillisecond);

// The package alone: the records of 10,000 objects.
void BM_ReadPackage(benchmark::State& state) {
  const Fixture& f = BigProject();
  for (auto _ : state) benchmark::DoNotOptimize(ReadPackage(f.pdata).index());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.pdata.size()));
}
BENCHMARK(BM_ReadPackage)->Unit(benchmark::kMillisecond);

void BM_LoadModelAndEveryResource(benchmark::State& state) {
  const Fixture& f = BigProject();
  for (auto _ : state) benchmark::DoNotOptimize(LoadEverything(f.path));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.size));
}
BENCHMARK(BM_LoadModelAndEveryResource)->Unit(benchmark::kMillisecond);

// Peak resident memory of a fresh process that loads the project once.
void ReportPeakMemory(const char* self) {
  const Fixture& f = BigProject();
  for (const char* what : {"model", "everything"}) {
    const pid_t child = fork();
    if (child == 0) {
      execl(self, self, "--load-once", what, f.path.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    const double peak_mb = usage.ru_maxrss / 1024.0;
    const double file_mb = static_cast<double>(f.size) / (1 << 20);
    std::printf("peak memory (%s): %.1f MB for a %.1f MB file; aim: at most %.1f MB\n", what,
                peak_mb, file_mb, 2 * file_mb + 20);
  }
}

}  // namespace
}  // namespace morvane

int main(int argc, char** argv) {
  if (argc == 4 && std::string_view(argv[1]) == "--load-once") {
    const std::string what = argv[2];
    return (what == "model" ? morvane::LoadModel(argv[3]) : morvane::LoadEverything(argv[3])) > 0
               ? 0
               : 1;
  }
  benchmark::Initialize(&argc, argv);
  morvane::ReportPeakMemory(argv[0]);
  benchmark::RunSpecifiedBenchmarks();
  std::remove(morvane::BigProject().path.c_str());
  return 0;
}
