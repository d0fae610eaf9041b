#include "byte_search.h"

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define VEK_SSE2 1
#endif
// AVX2 and AVX-512 are chosen at run time, so the build needs no flag and runs on every x86-64.
#if defined(VEK_SSE2) && defined(__GNUC__)
#include <immintrin.h>
#define VEK_AVX2 1
#endif

namespace vek {
namespace {

constexpr char kCr = '\r';
constexpr char kLf = '\n';

bool IsLineEnd(char byte) {
  return byte == kCr || byte == kLf;
}

#ifdef VEK_SSE2
__m128i Load(const char* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// Bit i set when p[i] is CR or LF.
unsigned LineEndMask(const char* p) {
  const __m128i block = Load(p);
  const __m128i ends = _mm_or_si128(_mm_cmpeq_epi8(block, _mm_set1_epi8(kCr)),
                                    _mm_cmpeq_epi8(block, _mm_set1_epi8(kLf)));
  return static_cast<unsigned>(_mm_movemask_epi8(ends));
}
#endif

// What a scan for one needle tests at each start.
struct Scan {
  const char* needle;
  std::size_t size;
  std::size_t first;  // the two offsets tested before the whole comparison
  std::size_t second;

  // Compared in line: a call would cost the scan its vector registers.
  bool Matches(const char* start) const {
    for (std::size_t i = 0; i < size; ++i)
      if (start[i] != needle[i]) return false;
    return true;
  }
};

#ifdef VEK_AVX2
#define VEK_TARGET_AVX2 __attribute__((target("avx2")))

// Bit k set when both tested bytes of the start p+k match.
VEK_TARGET_AVX2 inline __m256i Candidates32(const char* p, const Scan& scan, __m256i b1,
                                            __m256i b2) {
  const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + scan.first));
  const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + scan.second));
  return _mm256_and_si256(_mm256_cmpeq_epi8(x, b1), _mm256_cmpeq_epi8(y, b2));
}

// 64 starts per step while the loads stay before the end; moves `p` to where it stopped.
VEK_TARGET_AVX2 const char* ScanAvx2(const Scan& scan, const char*& p, const char* last) {
  const __m256i b1 = _mm256_set1_epi8(scan.needle[scan.first]);
  const __m256i b2 = _mm256_set1_epi8(scan.needle[scan.second]);
  for (; last - p >= 63; p += 64) {
    const __m256i low = Candidates32(p, scan, b1, b2);
    const __m256i high = Candidates32(p + 32, scan, b1, b2);
    if (_mm256_movemask_epi8(_mm256_or_si256(low, high)) == 0) continue;
    std::uint64_t mask = static_cast<std::uint32_t>(_mm256_movemask_epi8(low)) |
                         std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(high))}
                             << 32;
    for (; mask != 0; mask &= mask - 1) {
      const char* candidate = p + std::countr_zero(mask);
      if (scan.Matches(candidate)) return candidate;
    }
  }
  return nullptr;
}

#define VEK_TARGET_AVX512 __attribute__((target("avx512f,avx512bw")))

// The same with the 64 starts of a step in one register and the result straight in a mask.
VEK_TARGET_AVX512 const char* ScanAvx512(const Scan& scan, const char*& p, const char* last) {
  const __m512i b1 = _mm512_set1_epi8(scan.needle[scan.first]);
  const __m512i b2 = _mm512_set1_epi8(scan.needle[scan.second]);
  for (; last - p >= 63; p += 64) {
    const __mmask64 first = _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(p + scan.first), b1);
    std::uint64_t mask =
        _mm512_mask_cmpeq_epi8_mask(first, _mm512_loadu_si512(p + scan.second), b2);
    for (; mask != 0; mask &= mask - 1) {
      const char* candidate = p + std::countr_zero(mask);
      if (scan.Matches(candidate)) return candidate;
    }
  }
  return nullptr;
}
#endif

}  // namespace

unsigned char ByteCommonness(unsigned char byte) {
  if (byte >= 0x81 && byte <= 0x83) return 250;  // punctuation, hiragana, katakana leads
  if (byte == '\r' || byte == '\n' || byte == ' ' || (byte >= 'a' && byte <= 'z')) return 220;
  if ((byte >= '0' && byte <= '9') || byte == '.' || byte == ',' || byte == '/' || byte == '-')
    return 180;
  if (byte >= 0x40 && byte <= 0x7E) return 160;  // also katakana trail bytes
  if (byte >= 0x9F && byte <= 0xF1) return 150;  // hiragana trail bytes
  if (byte >= 0x80 && byte <= 0x9E) return 140;  // katakana trails, kanji leads
  if (byte >= 0x20 && byte < 0x40) return 140;
  if (byte < 0x20) return 10;
  return 60;
}

ByteSearcher::ByteSearcher(std::string needle, [[maybe_unused]] unsigned widestVector)
    : needle_(std::move(needle)) {
  const auto commonness = [this](std::size_t i) {
    return ByteCommonness(static_cast<unsigned char>(needle_[i]));
  };
  for (std::size_t i = 1; i < needle_.size(); ++i)
    if (commonness(i) <= commonness(first_)) first_ = i;
  // The partner: rare too, and preferably far away, so that the two tests are independent.
  bool chosen = false;
  for (std::size_t i = 0; i < needle_.size(); ++i) {
    if (i == first_) continue;
    const auto distance = [this](std::size_t j) { return j > first_ ? j - first_ : first_ - j; };
    if (!chosen || commonness(i) < commonness(second_) ||
        (commonness(i) == commonness(second_) && distance(i) > distance(second_))) {
      second_ = i;
      chosen = true;
    }
  }
  if (!chosen) second_ = first_;
#ifdef VEK_AVX2
  if (widestVector >= 512 && __builtin_cpu_supports("avx512bw")) {
    width_ = Width::k512;
  } else if (widestVector >= 256 && __builtin_cpu_supports("avx2")) {
    width_ = Width::k256;
  }
#endif
}

std::size_t ByteSearcher::Find(std::string_view haystack, std::size_t from) const {
  const std::size_t n = needle_.size();
  if (from > haystack.size() || haystack.size() - from < n) return npos;
  if (n == 0) return from;
  const char* const base = haystack.data();
  const char* p = base + from;
  const char* const last = base + haystack.size() - n;  // the last possible start
  const auto offset = [base](const char* at) { return static_cast<std::size_t>(at - base); };
  if (n == 1) {
    const void* hit = std::memchr(p, needle_[0], static_cast<std::size_t>(last - p) + 1);
    return hit ? offset(static_cast<const char*>(hit)) : npos;
  }
  const Scan scan{needle_.data(), n, first_, second_};

  // Bit k of a mask stands for the start p+k; the loads stay before the end because the
  // tested offsets lie inside the needle.
#ifdef VEK_AVX2
  if (width_ == Width::k512) {
    if (const char* hit = ScanAvx512(scan, p, last)) return offset(hit);
  } else if (width_ == Width::k256) {
    if (const char* hit = ScanAvx2(scan, p, last)) return offset(hit);
  }
#endif
#ifdef VEK_SSE2
  const __m128i b1 = _mm_set1_epi8(needle_[first_]);
  const __m128i b2 = _mm_set1_epi8(needle_[second_]);
  for (; last - p >= 15; p += 16) {
    const __m128i both =
        _mm_and_si128(_mm_cmpeq_epi8(Load(p + first_), b1), _mm_cmpeq_epi8(Load(p + second_), b2));
    for (auto mask = static_cast<unsigned>(_mm_movemask_epi8(both)); mask != 0; mask &= mask - 1) {
      const char* candidate = p + std::countr_zero(mask);
      if (scan.Matches(candidate)) return offset(candidate);
    }
  }
#endif
  for (; p <= last; ++p) {
    if (p[first_] == needle_[first_] && p[second_] == needle_[second_] && scan.Matches(p))
      return offset(p);
  }
  return npos;
}

std::size_t FindLineEnd(std::string_view bytes, std::size_t from) {
  const char* const base = bytes.data();
  const std::size_t size = bytes.size();
  std::size_t i = from;
#ifdef VEK_SSE2
  for (; i + 16 <= size; i += 16) {
    if (const unsigned mask = LineEndMask(base + i); mask != 0) return i + std::countr_zero(mask);
  }
#endif
  while (i < size && !IsLineEnd(base[i])) ++i;
  return i;
}

std::size_t FindLineStart(std::string_view bytes, std::size_t at) {
  const char* const base = bytes.data();
  std::size_t i = at;
#ifdef VEK_SSE2
  for (; i >= 16; i -= 16) {
    if (const unsigned mask = LineEndMask(base + i - 16); mask != 0)
      return i - 16 + (32 - std::countl_zero(mask));
  }
#endif
  while (i > 0 && !IsLineEnd(base[i - 1])) --i;
  return i;
}

}  // namespace vek
