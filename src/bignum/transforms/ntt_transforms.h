#pragma once

// Private to the transforms: the stages of the forward and inverse transforms for a Simd
// type S (vector, lane count, arithmetic, in-register stages), their twiddle tables, the
// loading of a binary value's pieces, the pointwise product and Garner's reconstruction
// into binary limbs.
#include <gmp.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "bignum/internal/side_by_side.h"
#include "bignum/transforms/ntt_buffers.h"
#include "bignum/transforms/ntt_primes.h"

namespace cifrovar::ntt_kernels {

template <typename S>
struct Kernels {
    using V = typename S::V;
    static constexpr size_t lanes = S::lanes;

    struct Mod {
        V p, pinv;
    };
    static Mod mod_for(int prime) {
        const double p = static_cast<double>(primes[prime].p);
        return {S::set1(p), S::set1(1.0 / p)};
    }

    // round(x * y) for |x * y| < 2^51: adding 1.5 * 2^52 leaves no bits below the units.
    static V round_product(V x, V y) {
        const V magic = S::set1(6755399441055744.0);
        return S::sub(S::fmadd(x, y, magic), magic);
    }
    static V mulmod(V a, V b, const Mod& m) {
        const V h = S::mul(a, b);
        const V l = S::fmsub(a, b, h);
        const V q = round_product(h, m.pinv);
        return S::add(S::fnmadd(q, m.p, h), l);
    }
    static V reduce(V v, const Mod& m) { return S::fnmadd(round_product(v, m.pinv), m.p, v); }
    // v in (-2p, 2p) to [0, p).
    static V normalized(V v, const Mod& m) { return S::add_if_negative(reduce(v, m), m.p); }

    struct Tables {
        // forward[half + j] = w_{2 half}^j, inverse likewise with the inverse roots, for
        // half < 2^table_log.
        std::vector<double> forward, inverse;
        uint64_t root_forward[max_log + 1], root_inverse[max_log + 1];  // of order 2^k
    };

    // out[j] = w^j for j < count (a multiple of four), centred, in four chains at once.
    static void powers_into(double* out, size_t count, uint64_t w, uint64_t p) {
        uint64_t x[4] = {1, w, mul_mod(w, w, p), 0};
        x[3] = mul_mod(x[2], w, p);
        const uint64_t step = mul_mod(x[2], x[2], p);
        for (size_t j = 0; j < count; j += 4) {
            for (int c = 0; c < 4; ++c) {
                out[j + c] = centred(x[c], p);
                x[c] = mul_mod_exact_in_doubles(x[c], step, p);
            }
        }
    }

    static const Tables& tables_for(int index) {
        static const auto all = [] {
            std::array<Tables, 3> t;
            for (int i = 0; i < 3; ++i) {
                const uint64_t p = primes[i].p;
                Tables& tab = t[i];
                tab.root_forward[max_log] = primes[i].root;
                tab.root_inverse[max_log] = pow_mod(primes[i].root, p - 2, p);
                for (int k = max_log - 1; k >= 0; --k) {
                    tab.root_forward[k] =
                        mul_mod(tab.root_forward[k + 1], tab.root_forward[k + 1], p);
                    tab.root_inverse[k] =
                        mul_mod(tab.root_inverse[k + 1], tab.root_inverse[k + 1], p);
                }
                const size_t size = size_t{1} << table_log;
                tab.forward.assign(size, 0);
                tab.inverse.assign(size, 0);
                powers_into(tab.forward.data() + size / 2, size / 2, tab.root_forward[table_log],
                            p);
                powers_into(tab.inverse.data() + size / 2, size / 2, tab.root_inverse[table_log],
                            p);
                // The roots of the shorter stages are the squares, powers, ... of the longest
                // one's: every second, fourth, ... of its powers.
                for (size_t half = size / 4; half >= 1; half /= 2) {
                    for (size_t j = 0; j < half; ++j) {
                        tab.forward[half + j] = tab.forward[size / 2 + j * (size / 2 / half)];
                        tab.inverse[half + j] = tab.inverse[size / 2 + j * (size / 2 / half)];
                    }
                }
            }
            return t;
        }();
        return all[index];
    }

    // Twiddles of one stage: from the table, or made on the fly (w^j .. w^(j + lanes - 1),
    // times w^lanes per step) for stages longer than it.
    struct Twiddles {
        const double* table;  // w^j at table[half + j], or null
        V power{}, step{};
        size_t half;
        Twiddles(const double* tw, size_t h, uint64_t w, uint64_t p, size_t j0 = 0)
            : table(tw), half(h) {
            if (table) return;
            alignas(64) double v[lanes];
            uint64_t x = pow_mod(w, j0, p);
            for (size_t i = 0; i < lanes; ++i, x = mul_mod(x, w, p)) v[i] = centred(x, p);
            power = S::load(v);
            step = S::set1(centred(pow_mod(w, lanes, p), p));
        }
        V at(size_t j) const { return table ? S::load(table + half + j) : power; }
        void advance(const Mod& m) {
            if (!table) power = mulmod(power, step, m);
        }
    };

    template <bool forward>
    static void butterfly(double* x, double* y, V w, const Mod& m) {
        const V u = S::load(x);
        if constexpr (forward) {
            const V v = S::load(y);
            S::store(x, reduce(S::add(u, v), m));
            S::store(y, mulmod(S::sub(u, v), w, m));
        } else {
            const V t = mulmod(S::load(y), w, m);
            S::store(x, reduce(S::add(u, t), m));
            S::store(y, reduce(S::sub(u, t), m));
        }
    }

    // Two stages in one pass over blocks of 4 q: with w, the root of order 4 q, at half 2 q
    // and with w^2 at half q; the forward transform (decimation in frequency) takes them in
    // that order, the inverse one the other way round.
    template <bool forward>
    static void two_stages(double* a, size_t n, size_t q, const double* tw, uint64_t w, uint64_t p,
                           const Mod& m, size_t j_begin = 0, size_t j_end = 0) {
        if (j_end == 0) j_end = q;
        const V quarter = S::set1(centred(pow_mod(w, q, p), p));
        for (size_t s = 0; s < n; s += 4 * q) {
            double* x = a + s;
            Twiddles outer(tw, 2 * q, w, p, j_begin);
            for (size_t j = j_begin; j < j_end; j += lanes) {
                const V w1 = outer.at(j);
                const V w3 = tw ? outer.at(j + q) : mulmod(w1, quarter, m);
                const V w2 = tw ? S::load(tw + q + j) : mulmod(w1, w1, m);
                V x0 = S::load(x + j), x1 = S::load(x + j + q);
                V x2 = S::load(x + j + 2 * q), x3 = S::load(x + j + 3 * q);
                if constexpr (forward) {
                    forward_pair<false>(x0, x2, &w1, m);
                    forward_pair<false>(x1, x3, &w3, m);
                    forward_pair(x0, x1, &w2, m);
                    forward_pair(x2, x3, &w2, m);
                } else {
                    inverse_pair<false>(x0, x1, &w2, m);
                    inverse_pair<false>(x2, x3, &w2, m);
                    inverse_pair(x0, x2, &w1, m);
                    inverse_pair(x1, x3, &w3, m);
                }
                S::store(x + j, x0);
                S::store(x + j + q, x1);
                S::store(x + j + 2 * q, x2);
                S::store(x + j + 3 * q, x3);
                outer.advance(m);
            }
        }
    }

    template <bool forward>
    static void one_stage(double* a, size_t n, size_t half, const double* tw, uint64_t w,
                          uint64_t p, const Mod& m) {
        for (size_t s = 0; s < n; s += 2 * half) {
            Twiddles t(tw, half, w, p);
            for (size_t j = 0; j < half; j += lanes, t.advance(m))
                butterfly<forward>(a + s + j, a + s + j + half, t.at(j), m);
        }
    }

    // The forward stage of two vectors x, y (already paired), w null for the unit twiddle.
    // Values enter and leave in (-p, p). Where a stage follows that reduces what it adds, the
    // reductions of its inputs can wait (reduced false): they leave in (-2p, 2p) instead, and
    // the next stage's sums (-4p, 4p) and products by a twiddle (below 2 p^2 / p = 2p < 2^51
    // before rounding) stay within what reduce and mulmod take. That spares one reduction in
    // four of the forward stages and two in four of the inverse ones.
    template <bool reduced = true>
    static void forward_pair(V& x, V& y, const V* w, const Mod& m) {
        const V sum = S::add(x, y);
        const V d = S::sub(x, y);
        if constexpr (reduced) {
            y = w ? mulmod(d, *w, m) : reduce(d, m);
            x = reduce(sum, m);
        } else {
            y = w ? mulmod(d, *w, m) : d;
            x = sum;
        }
    }
    template <bool reduced = true>
    static void inverse_pair(V& x, V& y, const V* w, const Mod& m) {
        const V t = w ? mulmod(y, *w, m) : y;
        if constexpr (reduced) {
            y = reduce(S::sub(x, t), m);
            x = reduce(S::add(x, t), m);
        } else {
            y = S::sub(x, t);
            x = S::add(x, t);
        }
    }

    // Four stages in one pass over blocks of 16 Q, with w the root of order 16 Q: sixteen
    // vectors, Q apart, stay in registers through all four. Each step makes its twiddles from
    // t = w^j alone, 15 products for 32 butterflies where two passes of two stages take 24,
    // and the values go through the memory half as often. Only where the registers hold the
    // sixteen vectors besides the twiddles (32 of them with AVX-512).
    static constexpr bool four_stages_fit = lanes >= 8;

    template <bool forward>
    static void four_stages(double* a, size_t n, uint64_t w, uint64_t p, const Mod& m) {
        const size_t q = n / 16;
        V c[8];  // w^(k q), the roots of order 16
        const uint64_t wq = pow_mod(w, q, p);
        for (uint64_t k = 0, x = 1; k < 8; ++k, x = mul_mod(x, wq, p))
            c[k] = S::set1(centred(x, p));
        Twiddles twiddle(nullptr, 8 * q, w, p);
        for (size_t j = 0; j < q; j += lanes) {
            const V t1 = twiddle.at(j), t2 = mulmod(t1, t1, m), t4 = mulmod(t2, t2, m);
            const V t8 = mulmod(t4, t4, m);
            V x[16];
#pragma GCC unroll 16
            for (int k = 0; k < 16; ++k) x[k] = S::load(a + j + k * q);
            // stage(half, power, reduced): the pairs k, k + half of each block of 2 half,
            // with the twiddle power * w^(16 / (2 half) * r q) for the pair's offset r
            auto stage = [&](auto half_constant, V power, auto reduced) {
                constexpr int half = half_constant();
#pragma GCC unroll 8
                for (int r = 0; r < half; ++r) {
                    const V tw = r == 0 ? power : mulmod(power, c[r * (8 / half)], m);
#pragma GCC unroll 8
                    for (int block = 0; block < 16; block += 2 * half) {
                        if constexpr (forward) {
                            forward_pair<reduced()>(x[block + r], x[block + r + half], &tw, m);
                        } else {
                            inverse_pair<reduced()>(x[block + r], x[block + r + half], &tw, m);
                        }
                    }
                }
            };
            if constexpr (forward) {
                stage(std::integral_constant<int, 8>{}, t1, std::false_type{});
                stage(std::integral_constant<int, 4>{}, t2, std::true_type{});
                stage(std::integral_constant<int, 2>{}, t4, std::false_type{});
                stage(std::integral_constant<int, 1>{}, t8, std::true_type{});
            } else {
                stage(std::integral_constant<int, 1>{}, t8, std::false_type{});
                stage(std::integral_constant<int, 2>{}, t4, std::true_type{});
                stage(std::integral_constant<int, 4>{}, t2, std::false_type{});
                stage(std::integral_constant<int, 8>{}, t1, std::true_type{});
            }
#pragma GCC unroll 16
            for (int k = 0; k < 16; ++k) S::store(a + j + k * q, x[k]);
            twiddle.advance(m);
        }
    }

    // Forward transform of length 2^log (>= 16), natural order in, bit-reversed order out.
    static void forward(double* a, int log, int prime, const Mod& m) {
        const Tables& t = tables_for(prime);
        const uint64_t p = primes[prime].p;
        const size_t n = size_t{1} << log;
        if (log > table_log) {
            if (four_stages_fit && log - 4 >= table_log) {
                four_stages<true>(a, n, t.root_forward[log], p, m);
                for (int i = 0; i < 16; ++i) forward(a + i * n / 16, log - 4, prime, m);
            } else if (log - 2 >= table_log) {
                two_stages<true>(a, n, n / 4, nullptr, t.root_forward[log], p, m);
                for (int i = 0; i < 4; ++i) forward(a + i * n / 4, log - 2, prime, m);
            } else {
                one_stage<true>(a, n, n / 2, nullptr, t.root_forward[log], p, m);
                forward(a, log - 1, prime, m);
                forward(a + n / 2, log - 1, prime, m);
            }
            return;
        }
        size_t half = n / 2;
        for (; half >= 2 * lanes; half /= 4)
            two_stages<true>(a, n, half / 2, t.forward.data(), 0, p, m);
        if (half == lanes) one_stage<true>(a, n, lanes, t.forward.data(), 0, p, m);
        S::template small_stages<Kernels, true>(a, n, t.forward.data(), m);
    }

    static void inverse(double* a, int log, int prime, const Mod& m) {
        const Tables& t = tables_for(prime);
        const uint64_t p = primes[prime].p;
        const size_t n = size_t{1} << log;
        if (log > table_log) {
            if (four_stages_fit && log - 4 >= table_log) {
                for (int i = 0; i < 16; ++i) inverse(a + i * n / 16, log - 4, prime, m);
                four_stages<false>(a, n, t.root_inverse[log], p, m);
            } else if (log - 2 >= table_log) {
                for (int i = 0; i < 4; ++i) inverse(a + i * n / 4, log - 2, prime, m);
                two_stages<false>(a, n, n / 4, nullptr, t.root_inverse[log], p, m);
            } else {
                inverse(a, log - 1, prime, m);
                inverse(a + n / 2, log - 1, prime, m);
                one_stage<false>(a, n, n / 2, nullptr, t.root_inverse[log], p, m);
            }
            return;
        }
        S::template small_stages<Kernels, false>(a, n, t.inverse.data(), m);
        // the stages below mirror the forward ones: a single stage of half `lanes` when the
        // count of stages from there up is odd
        int stages = 0;
        for (size_t h = n / 2; h >= lanes; h /= 2) ++stages;
        size_t half = lanes;
        if (stages % 2 == 1) {
            one_stage<false>(a, n, lanes, t.inverse.data(), 0, p, m);
            half = 2 * lanes;
        }
        for (; half < n; half *= 4) two_stages<false>(a, n, half, t.inverse.data(), 0, p, m);
    }

    // The same transforms with the work shared by two threads: the top two stages by halves
    // of their range, then the four quarters two by two.
    static void forward_on_two(double* a, int log, int prime, const Mod& m) {
        if (log - 2 < table_log) return forward(a, log, prime, m);
        const uint64_t p = primes[prime].p, w = tables_for(prime).root_forward[log];
        const size_t n = size_t{1} << log, q = n / 4;
        side_by_side([&] { two_stages<true>(a, n, q, nullptr, w, p, m, 0, q / 2); },
                     [&] { two_stages<true>(a, n, q, nullptr, w, p, m, q / 2, q); });
        side_by_side(
            [&] { forward(a, log - 2, prime, m), forward(a + q, log - 2, prime, m); },
            [&] { forward(a + 2 * q, log - 2, prime, m), forward(a + 3 * q, log - 2, prime, m); });
    }

    // Forward's first pass for j in [j_begin, j_end) over values made by value(k) (the
    // residues at k .. k + lanes - 1, reduced, zero past the sequence's end) as the pass needs
    // them, so that they are never stored and read back. Where the upper half is zero, the
    // pass writes all four quarters from the two lower ones without reading the zeros. The
    // results equal those of the pass over the stored values.
    template <bool upper_half_zero, typename Value>
    static void first_pass_of_values(double* a, size_t n, int prime, const Mod& m, size_t j_begin,
                                     size_t j_end, const Value& value) {
        const uint64_t p = primes[prime].p;
        const uint64_t w = tables_for(prime).root_forward[std::countr_zero(n)];
        const size_t q = n / 4;
        const V quarter = S::set1(centred(pow_mod(w, q, p), p));
        Twiddles outer(nullptr, 2 * q, w, p, j_begin);
        for (size_t j = j_begin; j < j_end; j += lanes) {
            const V w1 = outer.at(j);
            const V w3 = mulmod(w1, quarter, m), w2 = mulmod(w1, w1, m);
            const V u0 = value(j), u1 = value(j + q);
            V x0, x1, x2, x3;
            if constexpr (upper_half_zero) {
                x0 = u0, x2 = mulmod(u0, w1, m);
                x1 = u1, x3 = mulmod(u1, w3, m);
            } else {
                x0 = u0, x2 = value(j + 2 * q);
                x1 = u1, x3 = value(j + 3 * q);
                forward_pair<false>(x0, x2, &w1, m);
                forward_pair<false>(x1, x3, &w3, m);
            }
            forward_pair(x0, x1, &w2, m);
            forward_pair(x2, x3, &w2, m);
            S::store(a + j, x0);
            S::store(a + j + q, x1);
            S::store(a + j + 2 * q, x2);
            S::store(a + j + 3 * q, x3);
            outer.advance(m);
        }
    }

    // The forward transform of length 2^log of the values value(k), nonzero below size at
    // most, on one thread or two. From 2^14 on, where the first pass makes its twiddles on the
    // fly, that pass takes the values as they come; shorter transforms store them first.
    template <typename Value>
    static void forward_of_values(double* a, int log, int prime, const Mod& m, bool two,
                                  size_t size, const Value& value) {
        const size_t n = size_t{1} << log, q = n / 4;
        if (log - 2 < table_log) {
            shared(two, n, [&](size_t begin, size_t end) {
                for (size_t k = begin; k < end; k += lanes) S::store(a + k, value(k));
            });
            return two ? forward_on_two(a, log, prime, m) : forward(a, log, prime, m);
        }
        auto pass = [&](size_t b, size_t e) {
            if (size <= n / 2) return first_pass_of_values<true>(a, n, prime, m, b, e, value);
            first_pass_of_values<false>(a, n, prime, m, b, e, value);
        };
        if (!two) {
            pass(0, q);
            for (int i = 0; i < 4; ++i) forward(a + i * q, log - 2, prime, m);
            return;
        }
        side_by_side([&] { pass(0, q / 2); }, [&] { pass(q / 2, q); });
        side_by_side(
            [&] { forward(a, log - 2, prime, m), forward(a + q, log - 2, prime, m); },
            [&] { forward(a + 2 * q, log - 2, prime, m), forward(a + 3 * q, log - 2, prime, m); });
    }

    static void inverse_on_two(double* a, int log, int prime, const Mod& m) {
        if (log - 2 < table_log) return inverse(a, log, prime, m);
        const uint64_t p = primes[prime].p, w = tables_for(prime).root_inverse[log];
        const size_t n = size_t{1} << log, q = n / 4;
        side_by_side(
            [&] { inverse(a, log - 2, prime, m), inverse(a + q, log - 2, prime, m); },
            [&] { inverse(a + 2 * q, log - 2, prime, m), inverse(a + 3 * q, log - 2, prime, m); });
        side_by_side([&] { two_stages<false>(a, n, q, nullptr, w, p, m, 0, q / 2); },
                     [&] { two_stages<false>(a, n, q, nullptr, w, p, m, q / 2, q); });
    }

    // Numbers below 2^62, split into their bits from 31 up and below 31, as residues mod a
    // prime.
    struct SplitResidue {
        Mod m;
        V high_unit;
        explicit SplitResidue(int prime)
            : m(mod_for(prime)),
              high_unit(S::set1(centred((uint64_t{1} << 31) % primes[prime].p, primes[prime].p))) {}
        V operator()(V high, V low) const {
            return reduce(S::add(mulmod(high, high_unit, m), low), m);
        }
    };

    // A value's pieces of bits each, zero above, as residues mod a prime, a vector at a time.
    struct PieceResidues {
        const mp_limb_t* limbs;
        size_t size;
        int bits;
        SplitResidue residue;
        PieceResidues(const mp_limb_t* l, size_t s, int b, int prime)
            : limbs(l), size(s), bits(b), residue(prime) {}
        V operator()(size_t k) const {
            if (k * static_cast<size_t>(bits) >= size * 64) return S::set1(0.0);
            const auto words = S::pieces(limbs, size, bits, k);
            // pieces below 2^52 are exact doubles, which reduce takes as they are
            if (bits <= 52) return reduce(S::small_words(words), residue.m);
            V high, low;  // the pieces' bits from 31 up and below 31
            S::split(words, high, low);
            return residue(high, low);
        }
    };

    static void pointwise(double* a, const double* b, size_t n, double scale, const Mod& m) {
        const V s = S::set1(scale);
        for (size_t k = 0; k < n; k += lanes)
            S::store(a + k, mulmod(mulmod(S::load(a + k), S::load(b + k), m), s, m));
    }

    // Garner's first steps for a vector of coefficients from their three residues at
    // r[i] + k: each coefficient is a0 + p0 * (t1 + p1 * t2), each digit in [0, p).
    struct Garner {
        Mod m0 = mod_for(0), m1 = mod_for(1), m2 = mod_for(2);
        V c01 = inverse_of(0, 1), c02 = inverse_of(0, 2), c12 = inverse_of(1, 2);

        static V inverse_of(int i, int j) {  // 1 / p_i mod p_j
            const uint64_t pi = primes[i].p, pj = primes[j].p;
            return S::set1(centred(pow_mod(pi % pj, pj - 2, pj), pj));
        }
        // The digits as doubles, exact integers in [0, p).
        void digits(const double* const* r, size_t k, V& a0, V& t1, V& t2) const {
            a0 = normalized(S::load(r[0] + k), m0);
            t1 = normalized(mulmod(S::sub(S::load(r[1] + k), a0), c01, m1), m1);
            const V x2 = mulmod(S::sub(S::load(r[2] + k), a0), c02, m2);
            t2 = normalized(mulmod(S::sub(x2, t1), c12, m2), m2);
        }
        void digits(const double* const* r, size_t k, uint64_t* a0, uint64_t* t1,
                    uint64_t* t2) const {
            V x0, x1, x2;
            digits(r, k, x0, x1, x2);
            S::to_u64(a0, x0);
            S::to_u64(t1, x1);
            S::to_u64(t2, x2);
        }
    };

    // Garner's reconstruction of each coefficient x = a0 + p0 * (t1 + p1 * t2) from its three
    // residues, added at its bit position k * bits into the result. Limbs from the first
    // coefficient's position up: out_size into out, the rest into tail. Where every
    // coefficient has at most three pieces of bits (bits >= log of the transform length, so
    // x < 2^(3 bits)), they are split block by block, each on its own, and only a carry of
    // at most 3 runs from one piece to the next; otherwise one wide sum runs through them all.
    static void reconstruct(mp_limb_t* out, size_t out_size, mp_limb_t* tail, size_t tail_size,
                            const double* const* r, size_t k_begin, size_t k_end, int bits,
                            int log) {
        if (bits >= log)
            return reconstruct_in_pieces(out, out_size, tail, tail_size, r, k_begin, k_end, bits);
        reconstruct_in_one_sum(out, out_size, tail, tail_size, r, k_begin, k_end, bits);
    }

    // Writes pieces of bits each, one after another, as limbs: out_size into out, then
    // tail_size into tail, the rest dropped.
    struct LimbWriter {
        mp_limb_t* out;
        size_t out_size;
        mp_limb_t* tail;
        size_t tail_size;
        int bits;             // at most 62
        uint64_t buffer = 0;  // the bits not yet written, below 2^buffered
        int buffered = 0;     // below 64
        size_t written = 0;
        bool full() const { return written >= out_size + tail_size; }
        void put(uint64_t piece) {
            if (buffered + bits < 64) {
                buffer |= piece << buffered;
                buffered += bits;
                return;
            }
            // buffered >= 2 here, so the shift below is less than 64
            const uint64_t limb = buffer | (piece << buffered);
            buffer = piece >> (64 - buffered);
            buffered += bits - 64;
            put_limb(limb);
        }
        // The next whole limb: into out, then into tail, then nowhere.
        void put_limb(uint64_t limb) {
            if (written < out_size) {
                out[written] = limb;
            } else if (written - out_size < tail_size) {
                tail[written - out_size] = limb;
            }
            ++written;
        }
        // Room for count whole limbs straight in out, where they all fall there and the pieces
        // written so far end at a limb boundary; null otherwise.
        uint64_t* room_in_out(size_t count) {
            if (written + count > out_size) return nullptr;
            uint64_t* at = out + written;
            written += count;
            return at;
        }
        // Whole limbs, where the pieces written so far end at a limb boundary.
        void put_limbs(const uint64_t* limbs, size_t count) {
            for (size_t i = 0; i < count; ++i) put_limb(limbs[i]);
        }
    };

    // What the coefficients already split leave for the pieces to come: next1 for the next
    // piece, next2 for the one after, and the carry (below 4; a piece's sum is below
    // 3 2^bits + 3).
    struct PieceCarries {
        uint64_t next1 = 0, next2 = 0, carry = 0;
    };

    static void reconstruct_in_pieces(mp_limb_t* out, size_t out_size, mp_limb_t* tail,
                                      size_t tail_size, const double* const* r, size_t k_begin,
                                      size_t k_end, int bits) {
        const uint64_t p0 = primes[0].p, p1 = primes[1].p;
        const uint64_t mask = (uint64_t{1} << bits) - 1;
        const Garner garner;
        LimbWriter writer{out, out_size, tail, tail_size, bits};
        PieceCarries c;
        size_t k_scalar = k_begin;
        // Vectors that compose the coefficients themselves take the whole blocks of 64 (each
        // ends at a limb boundary); the rest is split here one coefficient at a time.
        if constexpr (requires { S::template pieces_in_blocks<Kernels>; })
            k_scalar = S::template pieces_in_blocks<Kernels>(writer, c, r, k_begin, k_end, bits);
        uint64_t& next1 = c.next1;
        uint64_t& next2 = c.next2;
        uint64_t& carry = c.carry;
        constexpr size_t block = 256;  // a multiple of the lanes; its digits stay in L1
        alignas(64) uint64_t a0[block], t1[block], t2[block];
        for (size_t k = k_scalar; k < k_end; k += block) {
            const size_t count = std::min(block, k_end - k);
            for (size_t j = 0; j < count; j += lanes)
                garner.digits(r, k + j, a0 + j, t1 + j, t2 + j);
            for (size_t i = 0; i < count; ++i) {
                // x = low + high 2^64, below 2^150: low = a0 + p0 u0 and high = p0 u1 for
                // u = t1 + p1 t2 = u0 + u1 2^64.
                const unsigned __int128 u = t1[i] + static_cast<unsigned __int128>(p1) * t2[i];
                const unsigned __int128 low =
                    static_cast<unsigned __int128>(static_cast<uint64_t>(u)) * p0 + a0[i];
                const unsigned __int128 high =
                    static_cast<unsigned __int128>(static_cast<uint64_t>(u >> 64)) * p0;
                const unsigned __int128 middle = (low >> 64) + static_cast<uint64_t>(high);
                const uint64_t w0 = static_cast<uint64_t>(low), w1 = static_cast<uint64_t>(middle);
                const uint64_t w2 =
                    static_cast<uint64_t>(high >> 64) + static_cast<uint64_t>(middle >> 64);
                const unsigned __int128 lower = (static_cast<unsigned __int128>(w1) << 64) | w0;
                const unsigned __int128 upper = (static_cast<unsigned __int128>(w2) << 64) | w1;
                const uint64_t d0 = w0 & mask;
                const uint64_t d1 = static_cast<uint64_t>(lower >> bits) & mask;
                const uint64_t d2 = 2 * bits >= 64 ? static_cast<uint64_t>(upper >> (2 * bits - 64))
                                                   : static_cast<uint64_t>(lower >> (2 * bits));
                const uint64_t sum = d0 + next1 + carry;
                writer.put(sum & mask);
                carry = sum >> bits;
                next1 = d1 + next2;
                next2 = d2;
            }
        }
        while (!writer.full()) {
            const uint64_t sum = next1 + carry;
            writer.put(sum & mask);
            carry = sum >> bits;
            next1 = next2;
            next2 = 0;
        }
    }

    static void reconstruct_in_one_sum(mp_limb_t* out, size_t out_size, mp_limb_t* tail,
                                       size_t tail_size, const double* const* r, size_t k_begin,
                                       size_t k_end, int bits) {
        const uint64_t p0 = primes[0].p, p1 = primes[1].p;
        const Garner garner;
        const unsigned __int128 mask = (static_cast<unsigned __int128>(1) << bits) - 1;
        // The sum not yet written, from bit position k * bits up: below 2^150.
        unsigned __int128 acc_low = 0;
        uint64_t acc_high = 0;
        LimbWriter writer{out, out_size, tail, tail_size, bits};
        auto shift_out = [&] {
            writer.put(static_cast<uint64_t>(acc_low & mask));
            acc_low =
                (acc_low >> bits) | (static_cast<unsigned __int128>(acc_high) << (128 - bits));
            acc_high >>= bits;
        };
        alignas(64) uint64_t a0[lanes], t1[lanes], t2[lanes];
        for (size_t k = k_begin; k < k_end; k += lanes) {
            garner.digits(r, k, a0, t1, t2);
            const size_t count = std::min(lanes, k_end - k);
            for (size_t i = 0; i < count; ++i) {
                const unsigned __int128 u =
                    t1[i] + static_cast<unsigned __int128>(p1) * t2[i];  // < 2^100
                const unsigned __int128 lo =
                    static_cast<unsigned __int128>(static_cast<uint64_t>(u)) * p0;
                const unsigned __int128 hi =
                    static_cast<unsigned __int128>(static_cast<uint64_t>(u >> 64)) * p0;
                unsigned __int128 sum = acc_low + lo;
                uint64_t carry = sum < lo;
                const unsigned __int128 with_a0 = sum + a0[i];
                carry += with_a0 < sum;
                sum = with_a0;
                const unsigned __int128 with_hi = sum + (hi << 64);
                carry += with_hi < sum;
                acc_low = with_hi;
                acc_high += carry + static_cast<uint64_t>(hi >> 64);
                shift_out();
            }
        }
        while (!writer.full()) shift_out();
    }
};

}  // namespace cifrovar::ntt_kernels
