// The transforms with AVX-512 (F and DQ) and FMA, eight doubles to a vector. This file alone
// is built for them; fast_multiply calls it only where the processor has them.

// GCC 12 takes the deliberately undefined vectors inside these intrinsics for uninitialised.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop

#include <type_traits>

#include "bignum/transforms/ntt_kernels.h"
#include "bignum/transforms/ntt_multiply.h"
#include "bignum/transforms/ntt_pieces_ifma.h"

namespace cifrovar {

namespace {

struct Avx512 {
    using V = __m512d;
    static constexpr size_t lanes = 8;

    static V load(const double* p) { return _mm512_loadu_pd(p); }
    static void store(double* p, V v) { _mm512_storeu_pd(p, v); }
    static V set1(double x) { return _mm512_set1_pd(x); }
    static V add(V a, V b) { return _mm512_add_pd(a, b); }
    static V sub(V a, V b) { return _mm512_sub_pd(a, b); }
    static V mul(V a, V b) { return _mm512_mul_pd(a, b); }
    static V fmadd(V a, V b, V c) { return _mm512_fmadd_pd(a, b, c); }
    static V fmsub(V a, V b, V c) { return _mm512_fmsub_pd(a, b, c); }
    static V fnmadd(V a, V b, V c) { return _mm512_fnmadd_pd(a, b, c); }
    static V add_if_negative(V v, V p) {
        return _mm512_mask_add_pd(v, _mm512_cmp_pd_mask(v, _mm512_setzero_pd(), _CMP_LT_OQ), v, p);
    }
    // Integers below 2^52, exact both ways.
    static void to_u64(uint64_t* out, V v) { _mm512_storeu_si512(out, _mm512_cvtpd_epu64(v)); }
    static void split(__m512i v, V& high, V& low) {
        high = _mm512_cvtepu64_pd(_mm512_srli_epi64(v, 31));
        low = _mm512_cvtepu64_pd(_mm512_and_si512(v, _mm512_set1_epi64((int64_t{1} << 31) - 1)));
    }

    using Words = __m512i;
    // Integers below 2^52 as doubles.
    static V small_words(Words w) { return _mm512_cvtepu64_pd(w); }

    // Pieces k .. k + 7 of bits each (at most 62) of the limbs, zero above size. The eight
    // pieces lie within the nine limbs from the first one's on, so two loads and two permutes
    // take them where gathers cost eight loads a vector.
    static Words pieces(const mp_limb_t* limbs, size_t size, int bits, size_t k) {
        const size_t first_bit = k * static_cast<size_t>(bits);
        const size_t first = first_bit / 64;
        // each lane's bit position from the first limb on: below 7 * 62 + 63
        const __m512i bit = _mm512_add_epi64(
            _mm512_mullo_epi64(_mm512_set_epi64(7, 6, 5, 4, 3, 2, 1, 0), _mm512_set1_epi64(bits)),
            _mm512_set1_epi64(static_cast<int64_t>(first_bit % 64)));
        const __m512i limb = _mm512_srli_epi64(bit, 6);  // 0 .. 7
        const __m512i off = _mm512_and_si512(bit, _mm512_set1_epi64(63));
        const size_t left = size - first;  // k is below the pieces of size limbs
        const auto lanes_of = [](size_t count) {
            return static_cast<__mmask8>(count >= 8 ? 0xFF : (1u << count) - 1);
        };
        __m512i lower, upper;
        if (left >= 16) {  // all but the last few pieces: no masks to make
            lower = _mm512_loadu_si512(limbs + first);
            upper = _mm512_loadu_si512(limbs + first + 8);
        } else {
            lower = _mm512_maskz_loadu_epi64(lanes_of(left), limbs + first);
            upper = left > 8 ? _mm512_maskz_loadu_epi64(lanes_of(left - 8), limbs + first + 8)
                             : _mm512_setzero_si512();
        }
        const __m512i lo = _mm512_permutexvar_epi64(limb, lower);
        const __m512i hi =
            _mm512_permutex2var_epi64(lower, _mm512_add_epi64(limb, _mm512_set1_epi64(1)), upper);
        // a shift by 64 gives zero, which is what an offset of zero needs from the next limb
        const __m512i mask = _mm512_set1_epi64(static_cast<int64_t>((uint64_t{1} << bits) - 1));
        return _mm512_and_si512(
            _mm512_or_si512(_mm512_srlv_epi64(lo, off),
                            _mm512_sllv_epi64(hi, _mm512_sub_epi64(_mm512_set1_epi64(64), off))),
            mask);
    }

    // Eight words below 2^62, split into their bits from 31 up and below 31, as doubles.
    static void split_words(const uint64_t* w, V& high, V& low) {
        split(_mm512_loadu_si512(w), high, low);
    }

    // Garner's reconstruction of whole blocks of coefficients in vectors, where the processor
    // has IFMA; returns k_begin, for the scalar loop to take them all, where it has not.
    template <typename K>
    static size_t pieces_in_blocks(typename K::LimbWriter& writer, typename K::PieceCarries& c,
                                   const double* const* r, size_t k_begin, size_t k_end, int bits) {
        if (!ntt_kernels::runs_ifma()) return k_begin;
        return ntt_kernels::pieces_in_blocks_ifma<K>(writer, c, r, k_begin, k_end, bits);
    }

    // Which lanes of two vectors (0 .. 15) a stage of half h pairs: take_x and take_y gather
    // the pairs' two sides, back_0 and back_1 put the results where they came from.
    struct Shuffle {
        __m512i take_x, take_y, back_0, back_1;
    };
    static Shuffle shuffle_for(int half) {
        alignas(64) int64_t idx[4][8];
        for (int i = 0; i < 8; ++i) {
            const int block = i / half, j = i % half;  // lane i of x: block and offset among 16
            const int xi = block * 2 * half + j;
            idx[0][i] = xi;
            idx[1][i] = xi + half;
        }
        for (int e = 0; e < 16; ++e) {
            const int block = e / (2 * half), r = e % (2 * half);
            const int lane = block * half + (r % half);
            idx[e / 8 + 2][e % 8] = (r < half ? 0 : 8) + lane;
        }
        return {_mm512_load_si512(idx[0]), _mm512_load_si512(idx[1]), _mm512_load_si512(idx[2]),
                _mm512_load_si512(idx[3])};
    }
    static V small_twiddles(const double* tw, int half) {
        alignas(64) double v[8];
        for (int i = 0; i < 8; ++i) v[i] = tw[half + i % half];
        return _mm512_load_pd(v);
    }

    // The stages of half 4, 2 and 1 (the forward transform's last, the inverse one's first),
    // sixteen values at a time in two vectors.
    template <typename K, bool forward>
    static void small_stages(double* a, size_t n, const double* tw, const typename K::Mod& m) {
        const Shuffle s4 = shuffle_for(4), s2 = shuffle_for(2), s1 = shuffle_for(1);
        const V w4 = small_twiddles(tw, 4), w2 = small_twiddles(tw, 2);
        for (size_t i = 0; i < n; i += 16) {
            V v0 = load(a + i), v1 = load(a + i + 8);
            // the first of the three stages leaves its reductions to the second
            auto stage = [&](const Shuffle& s, const V* w, auto reduced) {
                V x = _mm512_permutex2var_pd(v0, s.take_x, v1);
                V y = _mm512_permutex2var_pd(v0, s.take_y, v1);
                if constexpr (forward) {
                    K::template forward_pair<reduced()>(x, y, w, m);
                } else {
                    K::template inverse_pair<reduced()>(x, y, w, m);
                }
                v0 = _mm512_permutex2var_pd(x, s.back_0, y);
                v1 = _mm512_permutex2var_pd(x, s.back_1, y);
            };
            if constexpr (forward) {
                stage(s4, &w4, std::false_type{});
                stage(s2, &w2, std::true_type{});
                stage(s1, nullptr, std::true_type{});
            } else {
                stage(s1, nullptr, std::false_type{});
                stage(s2, &w2, std::true_type{});
                stage(s4, &w4, std::true_type{});
            }
            store(a + i, v0);
            store(a + i + 8, v1);
        }
    }
};

}  // namespace

bool ntt_multiply_avx512(mpz_t result, const mpz_t a, const mpz_t b, bool two_threads) {
    return ntt_kernels::Product<Avx512>::multiply(result, a, b, two_threads);
}

bool decimal_multiply_avx512(std::vector<uint64_t>& out, const uint64_t* a, size_t la,
                             const uint64_t* b, size_t lb, bool two_threads) {
    using Product = ntt_kernels::DecimalProduct<Avx512>;
    return Product::multiply(out, {a, la}, {b, lb}, two_threads);
}

}  // namespace cifrovar
