// A search on a slow file server: every call to the file system (listing, identity, open,
// read) waits a fixed time before it runs, as a network round trip would. The tree is 30,000
// small files in 3,000 folders; the search keeps many requests in flight, against the same
// search making one request at a time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <thread>

#include "cp932.h"
#include "search_core.h"
#include "text_convert.h"

namespace {

namespace fs = std::filesystem;
using std::chrono::microseconds;

constexpr int kTopFolders = 30;
constexpr int kFoldersEach = 99;  // 30 + 30 * 99 = 3,000 folders
constexpr int kFilesPerFolder = 10;

// The real file system behind a wait per call. Counts the calls, and those in flight at once.
// One at a time, each call waits for the one before to end, whichever thread makes it.
class SlowFileSystem final : public vek::FileSystem {
 public:
  SlowFileSystem(microseconds latency, bool oneAtATime)
      : latency_(latency), oneAtATime_(oneAtATime) {}

  std::error_code ListFolder(const fs::path& folder, vek::FolderListing& listing) override {
    const Call call(*this);
    return real_.ListFolder(folder, listing);
  }
  std::error_code Open(const vek::NativePath& file,
                       std::unique_ptr<vek::FileReader>& reader) override {
    const Call call(*this);
    std::unique_ptr<vek::FileReader> real;
    const std::error_code error = real_.Open(file, real);
    if (!error) reader = std::make_unique<SlowReader>(*this, std::move(real));
    return error;
  }
  std::optional<vek::FolderIdentity> Identity(const fs::path& folder) override {
    const Call call(*this);
    return real_.Identity(folder);
  }
  bool IsFolder(const fs::path& path) override {
    const Call call(*this);
    return real_.IsFolder(path);
  }

  int mostInFlight() const { return mostInFlight_; }
  long calls() const { return calls_; }

 private:
  struct Call {
    explicit Call(SlowFileSystem& fileSystem)
        : fileSystem_(fileSystem),
          turn_(fileSystem.oneAtATime_ ? std::unique_lock(fileSystem.turn_)
                                       : std::unique_lock<std::mutex>()) {
      ++fileSystem_.calls_;
      const int now = ++fileSystem_.inFlight_;
      int most = fileSystem_.mostInFlight_;
      while (now > most && !fileSystem_.mostInFlight_.compare_exchange_weak(most, now)) {
      }
      std::this_thread::sleep_for(fileSystem_.latency_);
    }
    ~Call() { --fileSystem_.inFlight_; }
    SlowFileSystem& fileSystem_;
    std::unique_lock<std::mutex> turn_;
  };

  class SlowReader final : public vek::FileReader {
   public:
    SlowReader(SlowFileSystem& fileSystem, std::unique_ptr<vek::FileReader> real)
        : fileSystem_(fileSystem), real_(std::move(real)) {}
    std::error_code Read(std::span<char> room, std::size_t& got) override {
      const Call call(fileSystem_);
      return real_->Read(room, got);
    }

   private:
    SlowFileSystem& fileSystem_;
    std::unique_ptr<vek::FileReader> real_;
  };

  const microseconds latency_;
  const bool oneAtATime_;
  std::mutex turn_;
  vek::StdFileSystem real_;
  std::atomic<int> inFlight_ = 0;
  std::atomic<int> mostInFlight_ = 0;
  std::atomic<long> calls_ = 0;
};

// Small data files of a few short lines, one in four with a hit.
const fs::path& Tree() {
  static const fs::path root = [] {
    const fs::path dir = fs::temp_directory_path() / "vek-bench-slow-server-v1";
    if (fs::exists(dir / "done")) return dir;
    fs::remove_all(dir);
    std::mt19937 random(7);
    int file = 0;
    const auto fill = [&](const fs::path& folder) {
      fs::create_directories(folder);
      for (int f = 0; f < kFilesPerFolder; ++f, ++file) {
        std::u16string text;
        for (int line = 2 + random() % 20; line > 0; --line)
          text += u"設定ファイルの確認とデータの管理\r\n";
        if (file % 4 == 0) text += u"ネットワーク共有フォルダの検索\r\n";
        std::ofstream(folder / (std::to_string(file) + ".vek"), std::ios::binary)
            << vek::EncodeCp932(text);
      }
    };
    for (int top = 0; top < kTopFolders; ++top) {
      const fs::path folder = dir / ("t" + std::to_string(top));
      fill(folder);
      for (int sub = 0; sub < kFoldersEach; ++sub) fill(folder / ("s" + std::to_string(sub)));
    }
    std::ofstream(dir / "done");
    return dir;
  }();
  return root;
}

// Peak resident memory since the last reset, in MiB (Linux: /proc/self/clear_refs).
void ResetPeakMemory() {
  std::ofstream("/proc/self/clear_refs") << "5";
}
double PeakMemoryMiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.starts_with("VmHWM:")) return std::stod(line.substr(6)) / 1024;
  return 0;
}

// The same output for both ways of searching, per latency.
std::map<std::int64_t, std::u16string>& Outputs() {
  static std::map<std::int64_t, std::u16string> outputs;
  return outputs;
}

void SlowServer(benchmark::State& state, bool concurrent) {
  const microseconds latency(state.range(0));
  const std::u16string folder = vek::PathText(Tree());
  vek::SearchOptions options;
  if (!concurrent) {
    options.threads = 1;
    options.ioThreads = 0;
  }
  SlowFileSystem fileSystem(latency, !concurrent);
  std::u16string output;
  std::int32_t hits = 0;
  ResetPeakMemory();
  for (auto _ : state) {
    vek::SearchState shared;
    const vek::SearchOutcome outcome =
        vek::RunSearch(shared, u"共有 検索", folder, true, fileSystem, {}, options);
    hits = vek::HitCount(outcome.results);
    output.clear();
    for (const std::u16string& line : outcome.results) output += line + u'\n';
    if (!outcome.problems.empty()) state.SkipWithError("problems while reading the tree");
  }
  std::u16string& expected = Outputs()[state.range(0)];
  if (expected.empty()) expected = output;
  if (output != expected) state.SkipWithError("output differs from the other way of searching");
  state.counters["hits"] = hits;
  state.counters["peak_MiB"] = PeakMemoryMiB();
  state.counters["most_in_flight"] = fileSystem.mostInFlight();
  state.counters["calls"] = static_cast<double>(fileSystem.calls());
}

BENCHMARK_CAPTURE(SlowServer, one_at_a_time, false)
    ->Arg(200)
    ->Arg(1000)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SlowServer, concurrent, true)
    ->Arg(200)
    ->Arg(1000)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
