// The per-buffer matcher alone, on CP932 text in memory: the prefiltered path against the
// whole-file decode it replaces, and the raw byte scan under both.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>
#include <string_view>

#include "byte_search.h"
#include "cp932.h"
#include "line_matching.h"
#include "search_core.h"

namespace {

constexpr std::size_t kBufferBytes = 16 << 20;

// Japanese lines of kana, kanji and some ASCII, CR LF ended, with the keywords about as
// often as in prose: "ファイル" in one line of fifteen, "システム" and "設定" rarer, "量子暗号通信"
// never.
const std::string& Text() {
  static const std::string text = [] {
    static const char16_t* const kFiller[] = {
        u"の",         u"を",         u"は",       u"が",           u"で",          u"に",
        u"と",         u"ます",       u"する",     u"、",           u"。",          u"データ",
        u"検索",       u"結果",       u"問題",     u"管理",         u"確認",        u"記憶",
        u"プログラム", u"パッケージ", u"コマンド", u"ネットワーク", u"Linux",       u"2003",
        u"apt-get",    u"カーネル",   u"利用",     u"場合",         u"必要",        u"以下",
        u"方法",       u"環境",       u"ユーザー", u"サーバ",       u"インストール"};
    static const std::pair<const char16_t*, unsigned> kKeywords[] = {
        {u"ファイル", 8}, {u"システム", 5}, {u"設定", 3}};  // per mille of words
    std::mt19937 random(1);
    std::u16string line;
    std::string bytes;
    while (bytes.size() < kBufferBytes) {
      line.clear();
      const int words = 4 + static_cast<int>(random() % 40);
      for (int i = 0; i < words; ++i) {
        const unsigned roll = random() % 1000;
        unsigned below = 0;
        const char16_t* word = kFiller[random() % std::size(kFiller)];
        for (const auto& [keyword, perMille] : kKeywords) {
          if (roll >= below && roll < below + perMille) word = keyword;
          below += perMille;
        }
        line += word;
      }
      bytes += vek::EncodeCp932(line);
      bytes += "\r\n";
    }
    return bytes;
  }();
  return text;
}

void Match(benchmark::State& state, std::u16string keywordText, bool plain) {
  const std::string& text = Text();
  vek::LineMatcher matcher(vek::SplitKeywords(keywordText));
  std::size_t hits = 0;
  for (auto _ : state) {
    hits = 0;
    const auto count = [&hits](std::u16string_view) { ++hits; };
    if (plain) {
      matcher.MatchPlain(text, count);
    } else {
      matcher.Match(text, count);
    }
    benchmark::DoNotOptimize(hits);
  }
  state.counters["hits"] = static_cast<double>(hits);
  state.SetBytesProcessed(static_cast<std::int64_t>(text.size() * state.iterations()));
}

void Fast(benchmark::State& state, std::u16string keywords) {
  Match(state, keywords, false);
}
void Plain(benchmark::State& state, std::u16string keywords) {
  Match(state, keywords, true);
}

BENCHMARK_CAPTURE(Fast, a_many_hits, u"ファイル システム");
BENCHMARK_CAPTURE(Fast, c_no_hits, u"量子暗号通信");
BENCHMARK_CAPTURE(Fast, d_three, u"ファイル システム 設定");
BENCHMARK_CAPTURE(Fast, ascii, u"apt-get");
BENCHMARK_CAPTURE(Fast, every_line_fffd, u"\uFFFD");
BENCHMARK_CAPTURE(Plain, a_many_hits, u"ファイル システム");
BENCHMARK_CAPTURE(Plain, c_no_hits, u"量子暗号通信");

// Lines of 亜 (88 9F) in which the bytes of 汕 (9F 88) occur at every odd offset, never at a
// character start: the boundary checks must not start over from the line start each time.
void FalseCandidates(benchmark::State& state) {
  std::string text;
  while (text.size() < kBufferBytes) {
    for (int i = 0; i < 32768; ++i) text += "\x88\x9F";
    text += "\r\n";
  }
  vek::LineMatcher matcher({vek::DecodeCp932("\x9F\x88")});
  std::size_t hits = 0;
  for (auto _ : state) {
    matcher.Match(text, [&hits](std::u16string_view) { ++hits; });
    benchmark::DoNotOptimize(hits);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(text.size() * state.iterations()));
}
BENCHMARK(FalseCandidates);

// The scan for a literal that never occurs, against the C library's.
void ScanMissing(benchmark::State& state) {
  const std::string& text = Text();
  const vek::ByteSearcher searcher(vek::EncodeCp932(u"量子暗号通信"));
  for (auto _ : state) benchmark::DoNotOptimize(searcher.Find(text));
  state.SetBytesProcessed(static_cast<std::int64_t>(text.size() * state.iterations()));
}
BENCHMARK(ScanMissing);

void ScanMissingMemmem(benchmark::State& state) {
  const std::string& text = Text();
  const std::string needle = vek::EncodeCp932(u"量子暗号通信");
  for (auto _ : state)
    benchmark::DoNotOptimize(memmem(text.data(), text.size(), needle.data(), needle.size()));
  state.SetBytesProcessed(static_cast<std::int64_t>(text.size() * state.iterations()));
}
BENCHMARK(ScanMissingMemmem);

}  // namespace
