// Decoder throughput on about 100 MB of CP932 text shaped like the data files: numbered lines
// of Japanese prose with some ASCII, half-width katakana and CR LF line ends.
#include <benchmark/benchmark.h>

#include <string>
#include <string_view>

#include "cp932.h"

namespace {

constexpr std::size_t kTargetBytes = 100 << 20;

// Numbered lines "問1　…", "問2　…" cycling through `lines` until `target` bytes.
template <std::size_t N>
std::string Lines(const std::u16string_view (&lines)[N]) {
  std::string data;
  data.reserve(kTargetBytes + 256);
  for (std::size_t n = 1; data.size() < kTargetBytes; ++n) {
    std::u16string line = u"問";
    for (char c : std::to_string(n)) line += static_cast<char16_t>(c);
    line += lines[n % N];
    data += vek::EncodeCp932(line);
  }
  return data;
}

const std::string& JapaneseText() {
  static const std::u16string_view lines[] = {
      u"　次の記述のうち、正しいものを一つ選びなさい。\r\n",
      u"　主記憶装置の容量は一般にGB（ギガバイト）単位で表される。\r\n",
      u"　ﾃﾞｰﾀﾍﾞｰｽの正規化は、重複を減らして整合性を保つために行う。\r\n",
      u"　TCP/IPでは、IPアドレスとポート番号で通信相手を識別する。\r\n",
      u"　２０２４年度の試験範囲は、第１章から第８章までとする。\r\n",
  };
  static const std::string data = Lines(lines);
  return data;
}

const std::string& AsciiText() {
  static const std::u16string_view lines[] = {
      u": The quick brown fox jumps over the lazy dog (answer: B).\r\n",
  };
  static const std::string data = Lines(lines);
  return data;
}

// Into a string that keeps its capacity, and into a fresh one as a file read does.
void Decode(benchmark::State& state, const std::string& data) {
  std::u16string out;
  for (auto _ : state) {
    out.clear();
    vek::AppendCp932(data, out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

void DecodeFresh(benchmark::State& state, const std::string& data) {
  for (auto _ : state) benchmark::DoNotOptimize(vek::DecodeCp932(data).data());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

void BM_DecodeJapanese(benchmark::State& state) {
  Decode(state, JapaneseText());
}
void BM_DecodeJapaneseFresh(benchmark::State& state) {
  DecodeFresh(state, JapaneseText());
}
void BM_DecodeAscii(benchmark::State& state) {
  Decode(state, AsciiText());
}

}  // namespace

BENCHMARK(BM_DecodeJapanese)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeJapaneseFresh)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeAscii)->Unit(benchmark::kMillisecond);
