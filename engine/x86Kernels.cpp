// SSE2 and AVX2 block operations of the blocked walk. Each function carries its own target
// attribute, so the file builds for the baseline CPU and the AVX2 code runs only where
// runFeedbackPass has seen the instructions.
//
// Two facts keep them exact:
// - an int32 quotient n / w (w > 0) is the truncated double quotient: the double's rounding
//   error is under half an ulp of |n / w| <= 2^31 / w, far less than the 1 / w by which a
//   non-integer quotient misses the next integer;
// - the blend a + floor((b - a) * c / 256) for 0 <= c <= 256 is a + pmulhw((b - a) << 7, c << 1):
//   both factors fit 16 bits and their product over 2^16 is (b - a) * c / 256, rounded down.
#include "engine/blockedPass.h"

#if FLUXGRAIN_X86_KERNELS

#include <immintrin.h>

namespace fluxgrain {

namespace {

#define FLUXGRAIN_SSE2 __attribute__((target("sse2")))
#define FLUXGRAIN_AVX2 __attribute__((target("avx2")))

// The numerators of columns c0 .. c0 + 3: span * c + base with int32 wrap.
FLUXGRAIN_SSE2 inline __m128i numerators4(std::int32_t span, std::int32_t base, std::int32_t c0) {
  return _mm_setr_epi32(wrapAdd(wrapMul(span, c0), base), wrapAdd(wrapMul(span, c0 + 1), base),
                        wrapAdd(wrapMul(span, c0 + 2), base), wrapAdd(wrapMul(span, c0 + 3), base));
}

FLUXGRAIN_SSE2 inline __m128i quotients4(__m128i num, __m128d w) {
  const __m128i lo = _mm_cvttpd_epi32(_mm_div_pd(_mm_cvtepi32_pd(num), w));
  const __m128i hi =
      _mm_cvttpd_epi32(_mm_div_pd(_mm_cvtepi32_pd(_mm_shuffle_epi32(num, 0xEE)), w));
  return _mm_unpacklo_epi64(lo, hi);
}

struct Sse2 {
  FLUXGRAIN_SSE2 static void cells(RowWalk& row, std::int32_t c0, std::int32_t n,
                                   std::int32_t* cell) {
    // Whole groups of four; the arrays have room for the last group's extra lanes.
    alignas(16) std::int32_t qx[kBlockColumns], qy[kBlockColumns];
    const __m128d wd = _mm_set1_pd(double(row.fWidth));
    __m128i numX = numerators4(row.fSpans.fSpanX, row.fSpans.fBaseX, c0);
    __m128i numY = numerators4(row.fSpans.fSpanY, row.fSpans.fBaseY, c0);
    const __m128i stepX = _mm_set1_epi32(wrapMul(row.fSpans.fSpanX, 4));
    const __m128i stepY = _mm_set1_epi32(wrapMul(row.fSpans.fSpanY, 4));
    for (std::int32_t k = 0; k < n; k += 4) {
      _mm_store_si128(reinterpret_cast<__m128i*>(qx + k), quotients4(numX, wd));
      _mm_store_si128(reinterpret_cast<__m128i*>(qy + k), quotients4(numY, wd));
      numX = _mm_add_epi32(numX, stepX);
      numY = _mm_add_epi32(numY, stepY);
    }
    cellsFromQuotients(row, qx, qy, n, cell);
  }

  FLUXGRAIN_SSE2 static void blend(const std::uint8_t* a, const std::uint8_t* b, std::uint8_t* out,
                                   std::size_t bytes, std::int32_t c) {
    const __m128i zero = _mm_setzero_si128(), weight = _mm_set1_epi16(std::int16_t(c << 1));
    std::size_t i = 0;
    for (; i + 16 <= bytes; i += 16) {
      const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
      const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
      const __m128i aLo = _mm_unpacklo_epi8(va, zero), aHi = _mm_unpackhi_epi8(va, zero);
      const __m128i dLo = _mm_slli_epi16(_mm_sub_epi16(_mm_unpacklo_epi8(vb, zero), aLo), 7);
      const __m128i dHi = _mm_slli_epi16(_mm_sub_epi16(_mm_unpackhi_epi8(vb, zero), aHi), 7);
      const __m128i lo = _mm_add_epi16(aLo, _mm_mulhi_epi16(dLo, weight));
      const __m128i hi = _mm_add_epi16(aHi, _mm_mulhi_epi16(dHi, weight));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(lo, hi));
    }
    for (; i < bytes; ++i) out[i] = blendByte(a[i], b[i], c);
  }
};

struct Avx2 {
  FLUXGRAIN_AVX2 static __m256i quotients8(__m256i num, __m256d w) {
    const __m128i lo =
        _mm256_cvttpd_epi32(_mm256_div_pd(_mm256_cvtepi32_pd(_mm256_castsi256_si128(num)), w));
    const __m128i hi =
        _mm256_cvttpd_epi32(_mm256_div_pd(_mm256_cvtepi32_pd(_mm256_extracti128_si256(num, 1)), w));
    return _mm256_set_m128i(hi, lo);
  }

  // The walk position at the eight columns of a group, given the position before the group and
  // the group's quotients: the exclusive prefix sum of the quotients, int32 wrap in every lane.
  // Returns the position after the group in `next`.
  FLUXGRAIN_AVX2 static __m256i positions8(__m256i before, __m256i q, __m256i& next) {
    __m256i sum = _mm256_add_epi32(q, _mm256_slli_si256(q, 4));
    sum = _mm256_add_epi32(sum, _mm256_slli_si256(sum, 8));
    // Carry the low half's total into every lane of the high half.
    const __m256i lowTotal = _mm256_shuffle_epi32(sum, 0xFF);
    sum = _mm256_add_epi32(sum, _mm256_permute2x128_si256(lowTotal, lowTotal, 0x08));
    next = _mm256_add_epi32(before, _mm256_permutevar8x32_epi32(sum, _mm256_set1_epi32(7)));
    return _mm256_add_epi32(before, _mm256_sub_epi32(sum, q));
  }

  // Whole groups of eight (kBlockColumns is a multiple of eight); the position moves on by the
  // n columns of the block only.
  FLUXGRAIN_AVX2 static void cells(RowWalk& row, std::int32_t c0, std::int32_t n,
                                   std::int32_t* cell) {
    const __m256d wd = _mm256_set1_pd(double(row.fWidth));
    const __m256i column =
        _mm256_add_epi32(_mm256_set1_epi32(c0), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
    // mullo keeps the low 32 bits of each product: the int32 wrap of span * c.
    __m256i numX = _mm256_add_epi32(_mm256_mullo_epi32(_mm256_set1_epi32(row.fSpans.fSpanX), column),
                                    _mm256_set1_epi32(row.fSpans.fBaseX));
    __m256i numY = _mm256_add_epi32(_mm256_mullo_epi32(_mm256_set1_epi32(row.fSpans.fSpanY), column),
                                    _mm256_set1_epi32(row.fSpans.fBaseY));
    const __m256i stepX = _mm256_set1_epi32(wrapMul(row.fSpans.fSpanX, 8));
    const __m256i stepY = _mm256_set1_epi32(wrapMul(row.fSpans.fSpanY, 8));
    const __m256i tableWidth = _mm256_set1_epi32(row.fTableWidth);
    const __m256i lastCell = _mm256_set1_epi32(row.fLastCell), zero = _mm256_setzero_si256();
    __m256i x = _mm256_set1_epi32(row.fX), y = _mm256_set1_epi32(row.fY);
    for (std::int32_t k = 0; k < n; k += 8) {
      const __m256i qx = quotients8(numX, wd), qy = quotients8(numY, wd);
      __m256i nextX, nextY;
      const __m256i px = positions8(x, qx, nextX), py = positions8(y, qy, nextY);
      const __m256i linear = _mm256_add_epi32(
          _mm256_mullo_epi32(_mm256_srai_epi32(py, 8), tableWidth), _mm256_srai_epi32(px, 8));
      _mm256_store_si256(reinterpret_cast<__m256i*>(cell + k),
                         _mm256_min_epi32(_mm256_max_epi32(linear, zero), lastCell));
      if (k + 8 > n) {
        // A partial last group: the position after column n - 1 is before lane n - k, plus its q.
        alignas(32) std::int32_t ax[8], ay[8], aqx[8], aqy[8];
        _mm256_store_si256(reinterpret_cast<__m256i*>(ax), px);
        _mm256_store_si256(reinterpret_cast<__m256i*>(ay), py);
        _mm256_store_si256(reinterpret_cast<__m256i*>(aqx), qx);
        _mm256_store_si256(reinterpret_cast<__m256i*>(aqy), qy);
        const std::int32_t lane = n - k - 1;
        row.fX = wrapAdd(ax[lane], aqx[lane]);
        row.fY = wrapAdd(ay[lane], aqy[lane]);
        return;
      }
      x = nextX;
      y = nextY;
      numX = _mm256_add_epi32(numX, stepX);
      numY = _mm256_add_epi32(numY, stepY);
    }
    row.fX = _mm256_cvtsi256_si32(x);
    row.fY = _mm256_cvtsi256_si32(y);
  }

  FLUXGRAIN_AVX2 static void blend(const std::uint8_t* a, const std::uint8_t* b, std::uint8_t* out,
                                   std::size_t bytes, std::int32_t c) {
    const __m256i zero = _mm256_setzero_si256(), weight = _mm256_set1_epi16(std::int16_t(c << 1));
    std::size_t i = 0;
    // The unpacks and the pack work within each 128-bit lane alike, so bytes keep their order.
    for (; i + 32 <= bytes; i += 32) {
      const __m256i va = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + i));
      const __m256i vb = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + i));
      const __m256i aLo = _mm256_unpacklo_epi8(va, zero), aHi = _mm256_unpackhi_epi8(va, zero);
      const __m256i dLo = _mm256_slli_epi16(_mm256_sub_epi16(_mm256_unpacklo_epi8(vb, zero), aLo), 7);
      const __m256i dHi = _mm256_slli_epi16(_mm256_sub_epi16(_mm256_unpackhi_epi8(vb, zero), aHi), 7);
      const __m256i lo = _mm256_add_epi16(aLo, _mm256_mulhi_epi16(dLo, weight));
      const __m256i hi = _mm256_add_epi16(aHi, _mm256_mulhi_epi16(dHi, weight));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_packus_epi16(lo, hi));
    }
    Sse2::blend(a + i, b + i, out + i, bytes - i, c);
  }
};

}  // namespace

void sse2Pass(const PassContext& ctx, const WarpQuad& q, std::int32_t bytesPerPixel,
              bool angleCodes) {
  blockedPass<Sse2>(ctx, q, bytesPerPixel, angleCodes);
}

void avx2Pass(const PassContext& ctx, const WarpQuad& q, std::int32_t bytesPerPixel,
              bool angleCodes) {
  blockedPass<Avx2>(ctx, q, bytesPerPixel, angleCodes);
}

}  // namespace fluxgrain

#endif
