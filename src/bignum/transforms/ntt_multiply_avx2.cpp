// The transforms with AVX2 and FMA, four doubles to a vector. This file alone is built for
// them; fast_multiply calls it only where the processor has both.
#include <immintrin.h>

#include "bignum/transforms/ntt_kernels.h"
#include "bignum/transforms/ntt_multiply.h"

namespace cifrovar {

namespace {

struct Avx2 {
    using V = __m256d;
    static constexpr size_t lanes = 4;

    static V load(const double* p) { return _mm256_loadu_pd(p); }
    static void store(double* p, V v) { _mm256_storeu_pd(p, v); }
    static V set1(double x) { return _mm256_set1_pd(x); }
    static V add(V a, V b) { return _mm256_add_pd(a, b); }
    static V sub(V a, V b) { return _mm256_sub_pd(a, b); }
    static V mul(V a, V b) { return _mm256_mul_pd(a, b); }
    static V fmadd(V a, V b, V c) { return _mm256_fmadd_pd(a, b, c); }
    static V fmsub(V a, V b, V c) { return _mm256_fmsub_pd(a, b, c); }
    static V fnmadd(V a, V b, V c) { return _mm256_fnmadd_pd(a, b, c); }
    static V add_if_negative(V v, V p) {
        const V negative = _mm256_cmp_pd(v, _mm256_setzero_pd(), _CMP_LT_OQ);
        return _mm256_add_pd(v, _mm256_and_pd(negative, p));
    }
    // Integers below 2^52 to and from doubles: 2^52 added puts them into the mantissa.
    static void to_u64(uint64_t* out, V v) {
        const V two52 = _mm256_set1_pd(4503599627370496.0);
        const __m256i bits = _mm256_castpd_si256(_mm256_add_pd(v, two52));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out),
                            _mm256_sub_epi64(bits, _mm256_castpd_si256(two52)));
    }
    static V from_u64(__m256i v) {
        const V two52 = _mm256_set1_pd(4503599627370496.0);
        return _mm256_sub_pd(_mm256_castsi256_pd(_mm256_or_si256(v, _mm256_castpd_si256(two52))),
                             two52);
    }

    using Words = __m256i;
    // Integers below 2^52 as doubles.
    static V small_words(Words w) { return from_u64(w); }
    // Words below 2^62, split into their bits from 31 up and below 31, as doubles.
    static void split(Words v, V& high, V& low) {
        high = from_u64(_mm256_srli_epi64(v, 31));
        low = from_u64(_mm256_and_si256(v, _mm256_set1_epi64x((int64_t{1} << 31) - 1)));
    }

    // Pieces k .. k + 3 of bits each (at most 62) of the limbs, zero above size.
    static Words pieces(const mp_limb_t* limbs, size_t size, int bits, size_t k) {
        const auto b = static_cast<int64_t>(bits);
        const auto first = static_cast<int64_t>(k) * b;
        const __m256i bit = _mm256_setr_epi64x(first, first + b, first + 2 * b, first + 3 * b);
        const __m256i limb = _mm256_srli_epi64(bit, 6);
        const __m256i off = _mm256_and_si256(bit, _mm256_set1_epi64x(63));
        const __m256i next = _mm256_add_epi64(limb, _mm256_set1_epi64x(1));
        const __m256i limit = _mm256_set1_epi64x(static_cast<int64_t>(size));
        const auto* base = reinterpret_cast<const long long*>(limbs);
        const __m256i zero = _mm256_setzero_si256();
        const __m256i lo =
            _mm256_mask_i64gather_epi64(zero, base, limb, _mm256_cmpgt_epi64(limit, limb), 8);
        const __m256i hi =
            _mm256_mask_i64gather_epi64(zero, base, next, _mm256_cmpgt_epi64(limit, next), 8);
        // a shift by 64 gives zero, which is what an offset of zero needs from the next limb
        const __m256i mask = _mm256_set1_epi64x(static_cast<int64_t>((uint64_t{1} << bits) - 1));
        return _mm256_and_si256(
            _mm256_or_si256(_mm256_srlv_epi64(lo, off),
                            _mm256_sllv_epi64(hi, _mm256_sub_epi64(_mm256_set1_epi64x(64), off))),
            mask);
    }

    // Four words below 2^62, split into their bits from 31 up and below 31, as doubles.
    static void split_words(const uint64_t* w, V& high, V& low) {
        split(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(w)), high, low);
    }

    // The stages of half 2 and 1 (the forward transform's last, the inverse one's first),
    // eight values at a time in two vectors: for half 2 the vectors' low and high halves
    // pair up, for half 1 their even and odd lanes.
    template <typename K, bool forward>
    static void small_stages(double* a, size_t n, const double* tw, const typename K::Mod& m) {
        const V w2 = _mm256_setr_pd(tw[2], tw[3], tw[2], tw[3]);
        for (size_t i = 0; i < n; i += 8) {
            const V v0 = load(a + i), v1 = load(a + i + 4);
            V x, y;
            if constexpr (forward) {
                x = _mm256_permute2f128_pd(v0, v1, 0x20);
                y = _mm256_permute2f128_pd(v0, v1, 0x31);
                K::template forward_pair<false>(x, y, &w2, m);  // reduced by the next stage
                // x, y hold values 0 1 4 5 and 2 3 6 7; half 1 pairs 0 with 1 and so on
                V e = _mm256_unpacklo_pd(x, y), o = _mm256_unpackhi_pd(x, y);  // 0 2 4 6, 1 3 5 7
                K::forward_pair(e, o, nullptr, m);
                const V lo = _mm256_unpacklo_pd(e, o), hi = _mm256_unpackhi_pd(e, o);
                // lo: 0 1 4 5, hi: 2 3 6 7
                store(a + i, _mm256_permute2f128_pd(lo, hi, 0x20));
                store(a + i + 4, _mm256_permute2f128_pd(lo, hi, 0x31));
            } else {
                V e = _mm256_unpacklo_pd(v0, v1), o = _mm256_unpackhi_pd(v0, v1);
                // e: 0 4 2 6, o: 1 5 3 7
                K::template inverse_pair<false>(e, o, nullptr, m);  // reduced by the next
                const V lo = _mm256_unpacklo_pd(e, o), hi = _mm256_unpackhi_pd(e, o);
                // lo: 0 1 2 3, hi: 4 5 6 7; half 2 pairs 0 1 with 2 3
                x = _mm256_permute2f128_pd(lo, hi, 0x20);  // 0 1 4 5
                y = _mm256_permute2f128_pd(lo, hi, 0x31);  // 2 3 6 7
                K::inverse_pair(x, y, &w2, m);
                store(a + i, _mm256_permute2f128_pd(x, y, 0x20));
                store(a + i + 4, _mm256_permute2f128_pd(x, y, 0x31));
            }
        }
    }
};

}  // namespace

bool ntt_multiply_avx2(mpz_t result, const mpz_t a, const mpz_t b, bool two_threads) {
    return ntt_kernels::Product<Avx2>::multiply(result, a, b, two_threads);
}

bool decimal_multiply_avx2(std::vector<uint64_t>& out, const uint64_t* a, size_t la,
                           const uint64_t* b, size_t lb, bool two_threads) {
    using Product = ntt_kernels::DecimalProduct<Avx2>;
    return Product::multiply(out, {a, la}, {b, lb}, two_threads);
}

bool decimal_product_fits(size_t la, size_t lb) {
    return ntt_kernels::DecimalProduct<Avx2>::fits(la, lb);
}

double decimal_transform_bytes(size_t la, size_t lb, bool square) {
    // The buffers' lengths differ between the vector widths by a few lanes at most.
    return ntt_kernels::DecimalProduct<Avx2>::bytes(la, lb, square, true);
}

}  // namespace cifrovar
