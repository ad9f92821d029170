#pragma once

// Private to the AVX-512 transforms: Garner's reconstruction into binary limbs with the 52-bit
// integer products of AVX-512 IFMA, eight coefficients to a vector. Each coefficient
// x = a0 + p0 (t1 + p1 t2) is composed in three digits of 52 bits, split into its three
// pieces of bits, and the pieces of neighbouring coefficients are summed lane against lane.
// The scalar reconstruction spent most of its time in three 64 x 64-bit products per
// coefficient; here five vector instructions make eight coefficients.
//
// Only for processors with IFMA (runs_ifma); the rest of the file needs only F and DQ.
#include <immintrin.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "bignum/transforms/ntt_primes.h"

namespace cifrovar::ntt_kernels {

inline bool runs_ifma() {
    static const bool found = __builtin_cpu_supports("avx512ifma");
    return found;
}

#define CIFROVAR_IFMA __attribute__((target("avx512f,avx512dq,avx512ifma")))

// The three pieces of bits of a coefficient x = X0 + X1 2^52 + X2 2^104 (digits below 2^52,
// x below 2^(3 bits)): d0 and d1 still to be masked to bits, d2 whole. Only the shifts that
// can bring bits into a piece are made, which depends on whether bits is at least 52 (wide)
// or between 32 and 52. Blocks of 64 coefficients have at least 32 bits each; narrower pieces
// are left to the scalar loop.
enum class PieceWidth { wide, middle };

struct PieceSplit {
    // Pieces 1 and 2 take their lower digit shifted right by down[i] and the one above it
    // shifted left by up[i]: digits 1 and 2 where wide (down[2] for digit 2 alone), digits
    // 0 and 1, then 1 and 2 where middle.
    __m128i down[3], up[3];
    CIFROVAR_IFMA explicit PieceSplit(int bits) {
        const bool wide = bits >= 52;
        down[1] = _mm_cvtsi32_si128(wide ? bits - 52 : bits);
        up[1] = _mm_cvtsi32_si128(wide ? 104 - bits : 52 - bits);
        down[2] = _mm_cvtsi32_si128(wide ? 2 * bits - 104 : 2 * bits - 52);
        up[2] = _mm_cvtsi32_si128(104 - 2 * bits);
    }
    template <PieceWidth W>
    CIFROVAR_IFMA void operator()(const __m512i* x, __m512i* d) const {
        if constexpr (W == PieceWidth::wide) {
            d[0] = _mm512_or_si512(x[0], _mm512_slli_epi64(x[1], 52));
            d[1] = _mm512_or_si512(_mm512_srl_epi64(x[1], down[1]), _mm512_sll_epi64(x[2], up[1]));
            d[2] = _mm512_srl_epi64(x[2], down[2]);
        } else {
            d[0] = x[0];
            d[1] = _mm512_or_si512(_mm512_srl_epi64(x[0], down[1]), _mm512_sll_epi64(x[1], up[1]));
            d[2] = _mm512_or_si512(_mm512_srl_epi64(x[1], down[2]), _mm512_sll_epi64(x[2], up[2]));
        }
    }
};

CIFROVAR_IFMA inline uint64_t top_lane(__m512i v) {
    return static_cast<uint64_t>(_mm_extract_epi64(_mm512_extracti64x2_epi64(v, 3), 1));
}

// The coefficient's three digits of 52 bits from Garner's digits (each below 2^50).
CIFROVAR_IFMA inline void compose_in_digits(__m512i a0, __m512i t1, __m512i t2, __m512i* x) {
    const __m512i low52 = _mm512_set1_epi64((int64_t{1} << 52) - 1);
    const __m512i p0 = _mm512_set1_epi64(static_cast<int64_t>(primes[0].p));
    const __m512i p1 = _mm512_set1_epi64(static_cast<int64_t>(primes[1].p));
    const __m512i zero = _mm512_setzero_si512();
    // u = t1 + p1 t2 = u0 + u1 2^52, below 2^100
    const __m512i u_low = _mm512_madd52lo_epu64(t1, p1, t2);
    const __m512i u0 = _mm512_and_si512(u_low, low52);
    const __m512i u1 =
        _mm512_add_epi64(_mm512_madd52hi_epu64(zero, p1, t2), _mm512_srli_epi64(u_low, 52));
    // x = a0 + p0 u0 + p0 u1 2^52, each sum below 2^53 before its carry goes up
    __m512i x0 = _mm512_madd52lo_epu64(a0, p0, u0);
    __m512i x1 = _mm512_madd52lo_epu64(_mm512_madd52hi_epu64(zero, p0, u0), p0, u1);
    __m512i x2 = _mm512_madd52hi_epu64(zero, p0, u1);
    x1 = _mm512_add_epi64(x1, _mm512_srli_epi64(x0, 52));
    x[0] = _mm512_and_si512(x0, low52);
    x[2] = _mm512_add_epi64(x2, _mm512_srli_epi64(x1, 52));
    x[1] = _mm512_and_si512(x1, low52);
}

// Packs 64 pieces of bits each (32 to 62), from a limb boundary, into bits limbs, eight limbs
// to a vector. Limb L starts in piece j = 64 L / bits, at offset o = 64 L - j bits into it, and
// takes that piece shifted down by o and the next two shifted up by bits - o and 2 bits - o
// (a count of 64 or more gives nothing; a third piece starts 64 bits on or more).
struct PiecePacker {
    int groups;     // of eight limbs
    __mmask8 last;  // the limbs of the last group
    __m512i first[8], down[8], up1[8], up2[8];
    CIFROVAR_IFMA explicit PiecePacker(int bits)
        : groups((bits + 7) / 8),
          last(static_cast<__mmask8>((1u << (bits - 8 * (groups - 1))) - 1)) {
        for (int g = 0; g < groups; ++g) {
            alignas(64) int64_t j[8], d[8], u1[8], u2[8];
            for (int i = 0; i < 8; ++i) {
                const int limb = std::min(8 * g + i, bits - 1);  // lanes past the last: unused
                j[i] = 64 * limb / bits;
                d[i] = 64 * limb - j[i] * bits;
                u1[i] = bits - d[i];
                u2[i] = 2 * bits - d[i];
            }
            first[g] = _mm512_load_si512(j);
            down[g] = _mm512_load_si512(d);
            up1[g] = _mm512_load_si512(u1);
            up2[g] = _mm512_load_si512(u2);
        }
    }
    // pieces: 64, then at least two zeros; exactly bits limbs are written.
    CIFROVAR_IFMA void operator()(const uint64_t* pieces, uint64_t* limbs) const {
        const __m512i one = _mm512_set1_epi64(1);
        for (int g = 0; g < groups; ++g) {
            const __m512i j1 = _mm512_add_epi64(first[g], one);
            const __m512i p0 = _mm512_i64gather_epi64(first[g], pieces, 8);
            const __m512i p1 = _mm512_i64gather_epi64(j1, pieces, 8);
            const __m512i p2 = _mm512_i64gather_epi64(_mm512_add_epi64(j1, one), pieces, 8);
            const __m512i limb = _mm512_or_si512(
                _mm512_srlv_epi64(p0, down[g]),
                _mm512_or_si512(_mm512_sllv_epi64(p1, up1[g]), _mm512_sllv_epi64(p2, up2[g])));
            _mm512_mask_storeu_epi64(limbs + 8 * g, g + 1 < groups ? 0xFF : last, limb);
        }
    }
};

// The reconstruction of whole blocks of 64 coefficients from k_begin up, where every
// coefficient has at most three pieces (bits at least the transform's log). Returns where
// the blocks end; c carries what they leave to the pieces after them, as the scalar loop
// does. Kernels K gives Garner's first steps and the limb writer.
template <typename K, PieceWidth W>
CIFROVAR_IFMA size_t pieces_in_blocks_of_width(typename K::LimbWriter& writer,
                                               typename K::PieceCarries& c, const double* const* r,
                                               size_t k_begin, size_t k_end, int bits) {
    const typename K::Garner garner;
    const PieceSplit split(bits);
    const uint64_t top = uint64_t{1} << bits;
    const __m512i mask = _mm512_set1_epi64(static_cast<int64_t>(top - 1));
    const __m128i piece_shift = _mm_cvtsi32_si128(bits);
    // What the previous eight coefficients leave, in their top lanes: lane 7 of later1 goes
    // into the next piece, lanes 6 and 7 of later2 into the next two, lane 7 of carried is
    // the carry. The scalar loop's carries take the same places.
    __m512i later1 = _mm512_set1_epi64(static_cast<int64_t>(c.next1));
    __m512i later2 = _mm512_maskz_set1_epi64(0x80, static_cast<int64_t>(c.next2));
    __m512i carried = _mm512_set1_epi64(static_cast<int64_t>(c.carry));
    const PiecePacker pack(bits);
    alignas(64) uint64_t pieces[72] = {};  // the last eight stay zero for the packer
    uint64_t limbs[64];
    size_t k = k_begin;
    for (; k + 64 <= k_end; k += 64) {
        for (size_t g = 0; g < 64; g += 8) {
            typename K::V a0, t1, t2;
            garner.digits(r, k + g, a0, t1, t2);
            __m512i x[3];
            compose_in_digits(_mm512_cvtpd_epu64(a0), _mm512_cvtpd_epu64(t1),
                              _mm512_cvtpd_epu64(t2), x);
            __m512i d[3];
            split.template operator()<W>(x, d);
            const __m512i d0 = _mm512_and_si512(d[0], mask);
            const __m512i d1 = _mm512_and_si512(d[1], mask);
            const __m512i d2 = d[2];
            const __m512i sum =
                _mm512_add_epi64(_mm512_add_epi64(d0, _mm512_alignr_epi64(d1, later1, 7)),
                                 _mm512_alignr_epi64(d2, later2, 6));
            later1 = d1;
            later2 = d2;
            // Each lane's carry goes into the next lane. It makes a piece overflow again only
            // where the piece is within 3 of its top, which needs the lanes taken in turn.
            const __m512i high = _mm512_srl_epi64(sum, piece_shift);
            const __m512i piece = _mm512_add_epi64(_mm512_and_si512(sum, mask),
                                                   _mm512_alignr_epi64(high, carried, 7));
            if (_mm512_cmpgt_epu64_mask(piece, mask) == 0) {
                _mm512_store_si512(pieces + g, piece);
                carried = high;
                continue;
            }
            _mm512_store_si512(pieces + g, sum);
            uint64_t carry = top_lane(carried);
            for (size_t i = g; i < g + 8; ++i) {
                const uint64_t s = pieces[i] + carry;
                pieces[i] = s & (top - 1);
                carry = s >> bits;
            }
            carried = _mm512_set1_epi64(static_cast<int64_t>(carry));
        }
        if (uint64_t* room = writer.room_in_out(static_cast<size_t>(bits))) {
            pack(pieces, room);
        } else {
            pack(pieces, limbs);
            writer.put_limbs(limbs, static_cast<size_t>(bits));
        }
    }
    if (k == k_begin) return k;
    c.next1 = top_lane(later1) + top_lane(_mm512_alignr_epi64(later2, later2, 7));
    c.next2 = top_lane(later2);
    c.carry = top_lane(carried);
    return k;
}

template <typename K>
CIFROVAR_IFMA size_t pieces_in_blocks_ifma(typename K::LimbWriter& writer,
                                           typename K::PieceCarries& c, const double* const* r,
                                           size_t k_begin, size_t k_end, int bits) {
    if (bits >= 52)
        return pieces_in_blocks_of_width<K, PieceWidth::wide>(writer, c, r, k_begin, k_end, bits);
    if (bits >= 32)
        return pieces_in_blocks_of_width<K, PieceWidth::middle>(writer, c, r, k_begin, k_end, bits);
    return k_begin;
}

#undef CIFROVAR_IFMA

}  // namespace cifrovar::ntt_kernels
