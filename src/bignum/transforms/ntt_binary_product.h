#pragma once

// Private to the transforms: the product of two GMP values through them, in pieces of up to
// 62 bits at the shortest transform length the three primes allow.
#include <gmp.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "bignum/internal/large_blocks.h"
#include "bignum/internal/side_by_side.h"
#include "bignum/transforms/ntt_buffers.h"
#include "bignum/transforms/ntt_primes.h"
#include "bignum/transforms/ntt_transforms.h"

namespace cifrovar::ntt_kernels {

struct Plan {
    int log;
    int bits;
};

// The shortest power-of-two length whose pieces stay small enough for the three primes.
inline Plan plan_for(size_t total_bits) {
    for (int log = 4; log <= max_log - 1; ++log) {
        const size_t n = size_t{1} << log;
        const size_t bits = (total_bits + n - 2) / (n - 1);
        const int limit = std::min(max_piece_bits, (149 - log) / 2);
        if (bits <= static_cast<size_t>(limit))
            return {log, static_cast<int>(std::max<size_t>(bits, 1))};
    }
    return {-1, 0};
}

struct Operand {
    const mp_limb_t* limbs;
    size_t size;
};

template <typename S>
struct Product {
    using K = Kernels<S>;

    // The prime's residues of the product's coefficients, transformed back. b's transform
    // goes into other, a buffer of the transform's length that each prime takes in turn:
    // mapping it afresh for each faulted its pages in again.
    static std::unique_ptr<Buffer> residues_of(Operand a, Operand b, bool square, const Plan& plan,
                                               int prime, bool two, Buffer* other) {
        const size_t n = size_t{1} << plan.log;
        const typename K::Mod m = K::mod_for(prime);
        auto transform_into = [&](double* into, Operand x) {
            const size_t pieces = (x.size * 64 + plan.bits - 1) / plan.bits;
            K::forward_of_values(into, plan.log, prime, m, two, pieces,
                                 typename K::PieceResidues(x.limbs, x.size, plan.bits, prime));
        };
        auto r = std::make_unique<Buffer>(n);
        transform_into(r->data, a);
        const uint64_t p = primes[prime].p;
        const double scale = centred(pow_mod(n % p, p - 2, p), p);
        const double* of_b = r->data;
        if (!square) {
            transform_into(other->data, b);
            of_b = other->data;
        }
        shared(two, n, [&](size_t begin, size_t end) {
            K::pointwise(r->data + begin, of_b + begin, end - begin, scale, m);
        });
        if (two) {
            K::inverse_on_two(r->data, plan.log, prime, m);
        } else {
            K::inverse(r->data, plan.log, prime, m);
        }
        return r;
    }

    // Coefficients from first on sit at a limb boundary when first * bits is a multiple of 64.
    static void reconstruct_all(mp_limb_t* out, size_t size, const double* const* r, size_t count,
                                int bits, int log, bool two) {
        const size_t step = 64;  // any multiple of 64 coefficients starts at a limb boundary
        const size_t first = two && count >= 4096 ? count / 2 / step * step : count;
        if (first == count) {
            mp_limb_t none[1];
            return K::reconstruct(out, size, none, 0, r, 0, count, bits, log);
        }
        const size_t boundary = first * static_cast<size_t>(bits) / 64;
        constexpr size_t tail_size = 3;
        mp_limb_t tail[tail_size];
        side_by_side(
            [&] { K::reconstruct(out, boundary, tail, tail_size, r, 0, first, bits, log); },
            [&] {
                K::reconstruct(out + boundary, size - boundary, nullptr, 0, r, first, count, bits,
                               log);
            });
        mpn_add(out + boundary, out + boundary, static_cast<mp_size_t>(size - boundary), tail,
                static_cast<mp_size_t>(std::min(tail_size, size - boundary)));
    }

    // result = a * b; false (result untouched) when either is zero or the product is too
    // long for the transform lengths.
    static bool multiply(mpz_t result, const mpz_t a, const mpz_t b, bool two_threads) {
        const size_t na = mpz_size(a), nb = mpz_size(b);
        if (na == 0 || nb == 0) return false;
        const Plan plan = plan_for((na + nb) * 64);
        if (plan.log < 0) return false;
        const size_t n = size_t{1} << plan.log;
        const bool square = a == b;
        const Operand x{mpz_limbs_read(a), na}, y{mpz_limbs_read(b), nb};
        std::unique_ptr<Buffer> residues[3];
        {
            const auto other = square ? nullptr : std::make_unique<Buffer>(n);
            for (int i = 0; i < 3; ++i)
                residues[i] = residues_of(x, y, square, plan, i, two_threads, other.get());
        }
        const size_t size = na + nb;
        const size_t count = std::min(n, (size * 64 + plan.bits - 1) / plan.bits);
        const double* r[3] = {residues[0]->data, residues[1]->data, residues[2]->data};
        const bool negative = (mpz_sgn(a) < 0) != (mpz_sgn(b) < 0);
        // The result's own limbs take the product where the result is neither factor, as in
        // GMP's own products: a value that held as long a product is written over instead of
        // fresh pages faulted in. Limbs that have to be allocated are, by GMP's allocation,
        // not held beside b's buffer kept.
        mpz_t fresh;
        const bool in_result = result != a && result != b;
        mpz_ptr product = in_result ? result : fresh;
        if (!in_result) mpz_init2(fresh, static_cast<mp_bitcnt_t>(size * 64));
        mp_limb_t* out = mpz_limbs_write(product, static_cast<mp_size_t>(size));
        // limbs written once: on small pages the faults of fresh ones took a quarter of the
        // reconstruction's time
        advise_large_pages(out, size * sizeof(mp_limb_t));
        reconstruct_all(out, size, r, count, plan.bits, plan.log, two_threads);
        for (auto& buffer : residues) buffer.reset();
        mpz_limbs_finish(product, static_cast<mp_size_t>(size));
        if (negative) mpz_neg(product, product);
        if (!in_result) {
            mpz_swap(result, fresh);
            mpz_clear(fresh);
        }
        return true;
    }
};

}  // namespace cifrovar::ntt_kernels
