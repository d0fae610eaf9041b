// Throughput of a whole search (walk, read, decode, match) over a generated CP932 tree.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "cp932.h"
#include "search_core.h"
#include "text_convert.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kCorpusBytes = 64 << 20;
constexpr int kFiles = 2048;

// Sentences from a small vocabulary with the mix of kana, kanji and ASCII of real data files;
// "ファイル" and "システム" are common, "量子暗号通信" never occurs.
std::u16string Sentence(std::mt19937& random) {
  static const char16_t* const kWords[] = {
      u"ファイル", u"システム", u"設定",         u"の",        u"を",   u"は",
      u"データ",   u"検索",     u"結果",         u"問題",      u"答え", u"、",
      u"。",       u"管理",     u"ネットワーク", u"Windows",   u"2003", u"CP932",
      u"表示する", u"確認",     u"記憶装置",     u"プログラム"};
  std::u16string line = u"問";
  const int words = 8 + static_cast<int>(random() % 24);
  for (int i = 0; i < words; ++i) line += kWords[random() % std::size(kWords)];
  return line;
}

const fs::path& Corpus() {
  static const fs::path root = [] {
    const fs::path dir = fs::temp_directory_path() / "vek-bench-corpus-v1";
    if (fs::exists(dir / "done")) return dir;
    fs::remove_all(dir);
    std::mt19937 random(1);
    for (int f = 0; f < kFiles; ++f) {
      const fs::path folder = dir / std::to_string(f % 7) / std::to_string(f % 5);
      fs::create_directories(folder);
      std::string bytes;
      while (bytes.size() < kCorpusBytes / kFiles) {
        bytes += vek::EncodeCp932(Sentence(random));
        bytes += "\r\n";
      }
      std::ofstream(folder / (std::to_string(f) + ".vek"), std::ios::binary) << bytes;
    }
    std::ofstream(dir / "done");
    return dir;
  }();
  return root;
}

std::uintmax_t CorpusBytes() {
  std::uintmax_t total = 0;
  for (const auto& entry : fs::recursive_directory_iterator(Corpus()))
    if (entry.is_regular_file()) total += entry.file_size();
  return total;
}

// Arguments: threads, and the slice in KiB (1 MiB when not given).
void SearchCorpus(benchmark::State& state, std::u16string keywords) {
  const std::u16string folder = vek::PathText(Corpus());
  const std::uintmax_t bytes = CorpusBytes();
  vek::StdFileSystem fileSystem;
  std::int32_t hits = 0;
  vek::SearchOptions options;
  options.threads = static_cast<unsigned>(state.range(0));
  if (state.range(1) != 0) options.sliceBytes = static_cast<std::size_t>(state.range(1)) << 10;
  for (auto _ : state) {
    vek::SearchState shared;
    const vek::SearchOutcome outcome =
        vek::RunSearch(shared, keywords, folder, true, fileSystem, {}, options);
    hits = vek::HitCount(outcome.results);
    benchmark::DoNotOptimize(hits);
  }
  state.counters["hits"] = hits;
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes * state.iterations()));
}

BENCHMARK_CAPTURE(SearchCorpus, many_hits, u"ファイル システム")
    ->Args({1, 0})
    ->Args({2, 0})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SearchCorpus, no_hits, u"量子暗号通信")
    ->Args({1, 0})
    ->Args({2, 0})
    ->Args({1, 64})
    ->Args({1, 256})
    ->Args({1, 4096})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SearchCorpus, three_keywords, u"ファイル システム 設定")
    ->Args({1, 0})
    ->Args({2, 0})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// Reading alone, in 1 MiB pieces, into the start of an aligned buffer and `state.range(0)`
// bytes past it: the kernel's copy from the page cache is that sensitive to where it writes.
void ReadCorpus(benchmark::State& state) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::recursive_directory_iterator(Corpus()))
    if (entry.is_regular_file() && entry.path().extension() == ".vek")
      files.push_back(entry.path());
  const std::uintmax_t bytes = CorpusBytes();
  vek::StdFileSystem fileSystem;
  vek::ReadBuffer buffer;
  constexpr std::size_t kPiece = 1 << 20;
  char* const room = buffer.Reserve(kPiece + 64, 0) + state.range(0);
  for (auto _ : state) {
    for (const fs::path& file : files) {
      std::unique_ptr<vek::FileReader> reader;
      if (fileSystem.Open(file, reader)) continue;
      for (std::size_t got = 1; got != 0;) {
        if (reader->Read({room, kPiece}, got)) break;
      }
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes * state.iterations()));
}
BENCHMARK(ReadCorpus)->Arg(0)->Arg(16)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
