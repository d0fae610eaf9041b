// The walk alone: listing, sorting and gathering the data files of a tree shaped like the
// benchmark corpus (8,192 data files in 86 folders, names like "q0123.vek"), one request at a
// time, with nothing opened. Its CPU time is what the walk takes from the matching threads.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "file_collection.h"

namespace {

namespace fs = std::filesystem;

constexpr int kDataFiles = 8192;

// Empty files, a sixteenth of them not data files: the walk never reads them.
const fs::path& Tree() {
  static const fs::path root = [] {
    const fs::path dir = fs::temp_directory_path() / "vek-bench-walk-v1";
    if (fs::exists(dir / "done")) return dir;
    fs::remove_all(dir);
    // Three levels below the root: 5 sections of 4 parts of 3 folders, 86 folders in all.
    std::vector<fs::path> folders{dir};
    for (int a = 0; a < 5; ++a) {
      const fs::path section = dir / ("sec" + std::to_string(a));
      folders.push_back(section);
      for (int b = 0; b < 4; ++b) {
        const fs::path part = section / ("sec" + std::to_string(b));
        folders.push_back(part);
        for (int c = 0; c < 3; ++c) folders.push_back(part / ("sec" + std::to_string(c)));
      }
    }
    for (const fs::path& folder : folders) fs::create_directories(folder);
    char name[16];
    for (int f = 0; f < kDataFiles + kDataFiles / 16; ++f) {
      std::snprintf(name, sizeof name, f < kDataFiles ? "q%04d.vek" : "q%04d.txt", f);
      std::ofstream(folders[(f * 7919) % folders.size()] / name);
    }
    std::ofstream(dir / "done");
    return dir;
  }();
  return root;
}

void WalkTree(benchmark::State& state) {
  vek::StdFileSystem fileSystem;
  const vek::EventPump pump;
  std::int32_t files = 0;
  for (auto _ : state) {
    vek::SearchState shared;
    std::vector<vek::SearchProblem> problems;
    vek::WalkContext context{fileSystem, pump, problems};
    vek::CollectFiles(shared, Tree().native(), true, context);
    files = shared.gFileCount;
  }
  state.counters["files"] = files;
  state.SetItemsProcessed(std::int64_t{files} * state.iterations());
}
BENCHMARK(WalkTree)->Unit(benchmark::kMillisecond);

}  // namespace
