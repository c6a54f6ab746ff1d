#pragma once
// Sixteen elements at a time between the per-element form (an element's x, y, z, w in four
// consecutive lanes, as a 16-byte load of a point gives it) and the per-quantity form of the
// vectorised block loops (one coordinate of sixteen elements in one vector). With AVX-512 this is
// seven permutes one way and six the other, against four 4x4 transposes of eight shuffles each
// on 128-bit vectors. The values are only moved, never computed: the two paths give the same bits.
//
// The 16-lane paths of the edge stage and the face normals run when the processor has AVX-512 and
// allowWideBlocks has not turned them off (tests do, to run the 4-lane paths on the same machine).
// Valgrind reports a processor without AVX-512, so it checks the 4-lane paths.

namespace velmora::solver {

bool wideBlocksEnabled();
void allowWideBlocks(bool allowed);

}  // namespace velmora::solver

#if defined(__x86_64__) && !defined(VELMORA_NO_TARGET_CLONES)
#define VELMORA_HAS_WIDE_BLOCKS 1
#include <immintrin.h>

#define VELMORA_WIDE __attribute__((target("avx512f,avx512dq,avx512vl,avx512bw")))

namespace velmora::solver::wide {

// Four elements' 16-byte vectors in one register, element j in lanes 4j to 4j + 3.
VELMORA_WIDE [[gnu::always_inline]] inline __m512 join4(__m128 a, __m128 b, __m128 c, __m128 d) {
    __m512 r = _mm512_castps128_ps512(a);
    r = _mm512_insertf32x4(r, b, 1);
    r = _mm512_insertf32x4(r, c, 2);
    return _mm512_insertf32x4(r, d, 3);
}

// Elements 4k to 4k + 3 in r[k] (k < 4) into x[i], y[i], z[i] for i < 16; the w lanes are dropped.
VELMORA_WIDE [[gnu::always_inline]] inline void splitSixteen(const __m512 r[4], float* x, float* y, float* z) {
    // x of elements 0-7 then y of elements 0-7 from r[0], r[1]; the same for z and w.
    const __m512i xy = _mm512_setr_epi32(0, 4, 8, 12, 16, 20, 24, 28, 1, 5, 9, 13, 17, 21, 25, 29);
    const __m512i zw = _mm512_setr_epi32(2, 6, 10, 14, 18, 22, 26, 30, 3, 7, 11, 15, 19, 23, 27, 31);
    const __m512i low = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 16, 17, 18, 19, 20, 21, 22, 23);
    const __m512i high = _mm512_setr_epi32(8, 9, 10, 11, 12, 13, 14, 15, 24, 25, 26, 27, 28, 29, 30, 31);
    const __m512 xy01 = _mm512_permutex2var_ps(r[0], xy, r[1]);
    const __m512 xy23 = _mm512_permutex2var_ps(r[2], xy, r[3]);
    const __m512 zw01 = _mm512_permutex2var_ps(r[0], zw, r[1]);
    const __m512 zw23 = _mm512_permutex2var_ps(r[2], zw, r[3]);
    _mm512_storeu_ps(x, _mm512_permutex2var_ps(xy01, low, xy23));
    _mm512_storeu_ps(y, _mm512_permutex2var_ps(xy01, high, xy23));
    _mm512_storeu_ps(z, _mm512_permutex2var_ps(zw01, low, zw23));
}

// The inverse: x[i], y[i], z[i] for i < 16 into r[k] = elements 4k to 4k + 3 as (x, y, z, 0).
VELMORA_WIDE [[gnu::always_inline]] inline void joinSixteen(const float* x, const float* y, const float* z,
                                                            __m512 r[4]) {
    const __m512 vx = _mm512_loadu_ps(x), vy = _mm512_loadu_ps(y), vz = _mm512_loadu_ps(z);
    // (x, y) pairs of elements 0-7 and of 8-15.
    const __m512 xy0 = _mm512_permutex2var_ps(
        vx, _mm512_setr_epi32(0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6, 22, 7, 23), vy);
    const __m512 xy1 = _mm512_permutex2var_ps(
        vx, _mm512_setr_epi32(8, 24, 9, 25, 10, 26, 11, 27, 12, 28, 13, 29, 14, 30, 15, 31), vy);
    // The w lanes (mask 0x7777 clears every fourth) come out zero.
    const __mmask16 xyz = 0x7777;
    r[0] = _mm512_maskz_permutex2var_ps(xyz, xy0, _mm512_setr_epi32(0, 1, 16, 0, 2, 3, 17, 0, 4, 5, 18, 0, 6, 7, 19, 0), vz);
    r[1] = _mm512_maskz_permutex2var_ps(xyz, xy0, _mm512_setr_epi32(8, 9, 20, 0, 10, 11, 21, 0, 12, 13, 22, 0, 14, 15, 23, 0), vz);
    r[2] = _mm512_maskz_permutex2var_ps(xyz, xy1, _mm512_setr_epi32(0, 1, 24, 0, 2, 3, 25, 0, 4, 5, 26, 0, 6, 7, 27, 0), vz);
    r[3] = _mm512_maskz_permutex2var_ps(xyz, xy1, _mm512_setr_epi32(8, 9, 28, 0, 10, 11, 29, 0, 12, 13, 30, 0, 14, 15, 31, 0), vz);
}

// Element j (a constant below 4) of a register of four.
template <int kJ>
VELMORA_WIDE [[gnu::always_inline]] inline __m128 element(__m512 r) {
    // The zero-masking form: GCC 12 warns about the undefined upper part in the others.
    return _mm512_maskz_extractf32x4_ps(0xf, r, kJ);
}

}  // namespace velmora::solver::wide
#endif
