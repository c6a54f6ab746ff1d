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

// Elements 4k to 4k + 3 in r[k] (k < 4) into x, y, z of sixteen lanes; the w lanes are dropped.
[[gnu::always_inline]] VELMORA_WIDE inline void splitSixteen(const __m512 r[4], __m512& x, __m512& y, __m512& z) {
    const __m512i xy = _mm512_setr_epi32(0, 4, 8, 12, 16, 20, 24, 28, 1, 5, 9, 13, 17, 21, 25, 29);
    const __m512i zw = _mm512_setr_epi32(2, 6, 10, 14, 18, 22, 26, 30, 3, 7, 11, 15, 19, 23, 27, 31);
    const __m512i low = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 16, 17, 18, 19, 20, 21, 22, 23);
    const __m512i high = _mm512_setr_epi32(8, 9, 10, 11, 12, 13, 14, 15, 24, 25, 26, 27, 28, 29, 30, 31);
    const __m512 xy01 = _mm512_permutex2var_ps(r[0], xy, r[1]);
    const __m512 xy23 = _mm512_permutex2var_ps(r[2], xy, r[3]);
    const __m512 zw01 = _mm512_permutex2var_ps(r[0], zw, r[1]);
    const __m512 zw23 = _mm512_permutex2var_ps(r[2], zw, r[3]);
    x = _mm512_permutex2var_ps(xy01, low, xy23);
    y = _mm512_permutex2var_ps(xy01, high, xy23);
    z = _mm512_permutex2var_ps(zw01, low, zw23);
}

// The inverse: x, y, z of sixteen lanes into r[k] = elements 4k to 4k + 3 as (x, y, z, 0).
[[gnu::always_inline]] VELMORA_WIDE inline void joinSixteen(__m512 vx, __m512 vy, __m512 vz, __m512 r[4]) {
    const __m512 xy0 = _mm512_permutex2var_ps(
        vx, _mm512_setr_epi32(0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6, 22, 7, 23), vy);
    const __m512 xy1 = _mm512_permutex2var_ps(
        vx, _mm512_setr_epi32(8, 24, 9, 25, 10, 26, 11, 27, 12, 28, 13, 29, 14, 30, 15, 31), vy);
    const __mmask16 xyz = 0x7777;
    r[0] = _mm512_maskz_permutex2var_ps(
        xyz, xy0, _mm512_setr_epi32(0, 1, 16, 0, 2, 3, 17, 0, 4, 5, 18, 0, 6, 7, 19, 0), vz);
    r[1] = _mm512_maskz_permutex2var_ps(
        xyz, xy0, _mm512_setr_epi32(8, 9, 20, 0, 10, 11, 21, 0, 12, 13, 22, 0, 14, 15, 23, 0), vz);
    r[2] = _mm512_maskz_permutex2var_ps(
        xyz, xy1, _mm512_setr_epi32(0, 1, 24, 0, 2, 3, 25, 0, 4, 5, 26, 0, 6, 7, 27, 0), vz);
    r[3] = _mm512_maskz_permutex2var_ps(
        xyz, xy1, _mm512_setr_epi32(8, 9, 28, 0, 10, 11, 29, 0, 12, 13, 30, 0, 14, 15, 31, 0), vz);
}

// The same from and into arrays: x[i], y[i], z[i] for i < 16.
[[gnu::always_inline]] VELMORA_WIDE inline void splitSixteen(const __m512 r[4], float* x, float* y, float* z) {
    __m512 vx, vy, vz;
    splitSixteen(r, vx, vy, vz);
    _mm512_storeu_ps(x, vx);
    _mm512_storeu_ps(y, vy);
    _mm512_storeu_ps(z, vz);
}

[[gnu::always_inline]] VELMORA_WIDE inline void joinSixteen(const float* x, const float* y, const float* z,
                                                            __m512 r[4]) {
    joinSixteen(_mm512_loadu_ps(x), _mm512_loadu_ps(y), _mm512_loadu_ps(z), r);
}

// Sixteen consecutive three-float points (48 floats, three registers) into x, y, z of sixteen
// lanes, and back.
[[gnu::always_inline]] VELMORA_WIDE inline void splitPoints(const float* p, __m512& x, __m512& y, __m512& z) {
    const __m512 a = _mm512_loadu_ps(p), b = _mm512_loadu_ps(p + 16), c = _mm512_loadu_ps(p + 32);
    // Float 3i + k of the 48 is coordinate k of point i: five or six lanes from each register.
    x = _mm512_mask_permutex2var_ps(
        _mm512_permutex2var_ps(a, _mm512_setr_epi32(0, 3, 6, 9, 12, 15, 18, 21, 24, 27, 30, 0, 0, 0, 0, 0), b),
        0xf800, _mm512_setr_epi32(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 17, 20, 23, 26, 29), c);
    y = _mm512_mask_permutex2var_ps(
        _mm512_permutex2var_ps(a, _mm512_setr_epi32(1, 4, 7, 10, 13, 16, 19, 22, 25, 28, 31, 0, 0, 0, 0, 0), b),
        0xf800, _mm512_setr_epi32(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 18, 21, 24, 27, 30), c);
    z = _mm512_mask_permutex2var_ps(
        _mm512_permutex2var_ps(a, _mm512_setr_epi32(2, 5, 8, 11, 14, 17, 20, 23, 26, 29, 0, 0, 0, 0, 0, 0), b),
        0xfc00, _mm512_setr_epi32(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16, 19, 22, 25, 28, 31), c);
}

// Lanes from x and y by xyIndex, then those in fromZ from z by zIndex.
[[gnu::always_inline]] VELMORA_WIDE inline __m512 pickThree(__m512 x, __m512 y, __m512 z, __m512i xyIndex,
                                                           __mmask16 fromZ, __m512i zIndex) {
    return _mm512_mask_permutex2var_ps(_mm512_permutex2var_ps(x, xyIndex, y), fromZ, zIndex, z);
}

[[gnu::always_inline]] VELMORA_WIDE inline void joinPoints(__m512 x, __m512 y, __m512 z, float* p) {
    // Output float j of register m is float 16m + j = 3i + k: coordinate k of point i.
    // Floats 0-15: points 0-5 (x0 y0 z0 x1 ... x5): z at lanes 2, 5, 8, 11, 14.
    _mm512_storeu_ps(p, pickThree(x, y, z, _mm512_setr_epi32(0, 16, 0, 1, 17, 0, 2, 18, 0, 3, 19, 0, 4, 20, 0, 5),
                                  0x4924, _mm512_setr_epi32(0, 0, 16, 0, 0, 17, 0, 0, 18, 0, 0, 19, 0, 0, 20, 0)));
    // Floats 16-31: y5 z5 x6 y6 z6 ... x10 y10: z at lanes 1, 4, 7, 10, 13.
    _mm512_storeu_ps(p + 16,
                     pickThree(x, y, z, _mm512_setr_epi32(21, 0, 6, 22, 0, 7, 23, 0, 8, 24, 0, 9, 25, 0, 10, 26),
                               0x2492, _mm512_setr_epi32(0, 21, 0, 0, 22, 0, 0, 23, 0, 0, 24, 0, 0, 25, 0, 0)));
    // Floats 32-47: z10 x11 y11 z11 ... x15 y15 z15: z at lanes 0, 3, 6, 9, 12, 15.
    _mm512_storeu_ps(p + 32,
                     pickThree(x, y, z, _mm512_setr_epi32(0, 11, 27, 0, 12, 28, 0, 13, 29, 0, 14, 30, 0, 15, 31, 0),
                               0x9249, _mm512_setr_epi32(26, 0, 0, 27, 0, 0, 28, 0, 0, 29, 0, 0, 30, 0, 0, 31)));
}

// Element j (a constant below 4) of a register of four.
template <int kJ>
[[gnu::always_inline]] VELMORA_WIDE inline __m128 element(__m512 r) {
    // The zero-masking form: GCC 12 warns about the undefined upper part in the others.
    return _mm512_maskz_extractf32x4_ps(0xf, r, kJ);
}

}  // namespace velmora::solver::wide
#endif
