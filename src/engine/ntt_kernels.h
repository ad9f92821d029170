#pragma once

// Private to the transforms: the number-theoretic transforms over three primes below 2^50 and
// the product of two GMP values through them, written once for any vector width. A file
// built for the instruction set includes this with a Simd type that gives the vector, its
// lane count, its arithmetic and the in-register stages (see ntt_multiply_avx2.cpp).
//
// Residues are doubles in (-2p, 2p): a product a * b splits exactly into its rounded value h
// and the error fma(a, b, -h), and the quotient by p rounded from h / p leaves a remainder
// that is again an exact double below p in magnitude.
#include <gmp.h>
#include <sys/mman.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "engine/decimal_word.h"
#include "engine/large_blocks.h"
#include "engine/mapped_blocks.h"
#include "engine/side_by_side.h"
#include "engine/work_progress.h"

namespace cifrovar::ntt_kernels {

struct Prime {
    uint64_t p;
    uint64_t root;  // of order 2^max_log
};
constexpr int max_log = 27;
constexpr std::array<Prime, 3> primes{{{1125897625141249ull, 852844700813599ull},
                                       {1125896819834881ull, 177746456200385ull},
                                       {1125892793303041ull, 1083320400205454ull}}};
// Transforms of up to this many doubles use tables of their twiddles (64 KiB for each prime
// and direction); longer stages make them on the fly. Tables up to 2^16 were no faster and
// made V(1000000, 500000) peak at 1.57 times the memory of GMP's pipeline instead of 1.23.
constexpr int table_log = 12;
constexpr int max_piece_bits = 62;

inline uint64_t mul_mod(uint64_t a, uint64_t b, uint64_t p) {
    return static_cast<uint64_t>(static_cast<unsigned __int128>(a) * b % p);
}
inline uint64_t pow_mod(uint64_t a, uint64_t e, uint64_t p) {
    uint64_t r = 1;
    for (; e; e >>= 1, a = mul_mod(a, a, p))
        if (e & 1) r = mul_mod(r, a, p);
    return r;
}
// a * b mod p for a, b < p in doubles, as the vectors do it (see above), without the
// division of a 128-bit product: the tables are made at the first product of each process.
inline uint64_t mul_mod_exact_in_doubles(uint64_t a, uint64_t b, uint64_t p) {
    const double x = static_cast<double>(a), y = static_cast<double>(b), m = static_cast<double>(p);
    const double h = x * y;
    const double l = std::fma(x, y, -h);
    const double q = std::nearbyint(h / m);
    double r = std::fma(-q, m, h) + l;
    if (r < 0) r += m;
    if (r >= m) r -= m;
    return static_cast<uint64_t>(r);
}
inline double centred(uint64_t v, uint64_t p) {
    return v > p / 2 ? -static_cast<double>(p - v) : static_cast<double>(v);
}

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
                if constexpr (forward) {
                    butterfly<true>(x + j, x + j + 2 * q, w1, m);
                    butterfly<true>(x + j + q, x + j + 3 * q, w3, m);
                }
                butterfly<forward>(x + j, x + j + q, w2, m);
                butterfly<forward>(x + j + 2 * q, x + j + 3 * q, w2, m);
                if constexpr (!forward) {
                    butterfly<false>(x + j, x + j + 2 * q, w1, m);
                    butterfly<false>(x + j + q, x + j + 3 * q, w3, m);
                }
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
    static void forward_pair(V& x, V& y, const V* w, const Mod& m) {
        const V nx = reduce(S::add(x, y), m);
        const V d = S::sub(x, y);
        y = w ? mulmod(d, *w, m) : reduce(d, m);
        x = nx;
    }
    static void inverse_pair(V& x, V& y, const V* w, const Mod& m) {
        const V t = w ? mulmod(y, *w, m) : y;
        y = reduce(S::sub(x, t), m);
        x = reduce(S::add(x, t), m);
    }

    // Forward transform of length 2^log (>= 16), natural order in, bit-reversed order out.
    static void forward(double* a, int log, int prime, const Mod& m) {
        const Tables& t = tables_for(prime);
        const uint64_t p = primes[prime].p;
        const size_t n = size_t{1} << log;
        if (log > table_log) {
            if (log - 2 >= table_log) {
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
            if (log - 2 >= table_log) {
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

    // The value's pieces of bits each, zero above, as residues mod the prime.
    static void load(double* out, size_t k_begin, size_t k_end, const mp_limb_t* limbs, size_t size,
                     int bits, int prime) {
        const uint64_t p = primes[prime].p;
        const Mod m = mod_for(prime);
        const V high_unit = S::set1(centred((uint64_t{1} << 31) % p, p));
        for (size_t k = k_begin; k < k_end; k += lanes) {
            V high, low;  // the pieces' bits from 31 up and below 31
            S::pieces(limbs, size, bits, k, high, low);
            S::store(out + k, reduce(S::add(mulmod(high, high_unit, m), low), m));
        }
    }

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
        void digits(const double* const* r, size_t k, uint64_t* a0, uint64_t* t1,
                    uint64_t* t2) const {
            const V x0 = normalized(S::load(r[0] + k), m0);
            const V x1 = normalized(mulmod(S::sub(S::load(r[1] + k), x0), c01, m1), m1);
            V x2 = mulmod(S::sub(S::load(r[2] + k), x0), c02, m2);
            x2 = normalized(mulmod(S::sub(x2, x1), c12, m2), m2);
            S::to_u64(a0, x0);
            S::to_u64(t1, x1);
            S::to_u64(t2, x2);
        }
    };

    // Garner's reconstruction of each coefficient x = a0 + p0 * (t1 + p1 * t2) from its three
    // residues, a vector at a time, then added at its bit position into the result.
    // Limbs from the first coefficient's position up: out_size into out, the rest into tail.
    static void reconstruct(mp_limb_t* out, size_t out_size, mp_limb_t* tail, size_t tail_size,
                            const double* const* r, size_t k_begin, size_t k_end, int bits) {
        const uint64_t p0 = primes[0].p, p1 = primes[1].p;
        const Garner garner;
        const unsigned __int128 mask = (static_cast<unsigned __int128>(1) << bits) - 1;
        // The sum not yet written, from bit position k * bits up: below 2^150.
        unsigned __int128 acc_low = 0;
        uint64_t acc_high = 0;
        unsigned __int128 buffer = 0;
        int buffered = 0;
        size_t written = 0;
        auto emit = [&](uint64_t v) {
            buffer |= static_cast<unsigned __int128>(v) << buffered;
            buffered += bits;
            if (buffered >= 64) {
                if (written < out_size) {
                    out[written] = static_cast<uint64_t>(buffer);
                } else if (written - out_size < tail_size) {
                    tail[written - out_size] = static_cast<uint64_t>(buffer);
                }
                ++written;
                buffer >>= 64;
                buffered -= 64;
            }
        };
        auto shift_out = [&] {
            emit(static_cast<uint64_t>(acc_low & mask));
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
        while (written < out_size + tail_size) shift_out();
    }
};

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

// Transform buffers are mapped for themselves and unmapped when done: from the heap, freed
// buffers of tens of megabytes stayed in the threads' arenas and added up, and large pages
// spare the page faults and the translation misses of the long strides. The shortest come
// from the heap: mapping, faulting and unmapping cost a product of 1100 words as much as its
// arithmetic, and what the heap keeps of them is small. Up to 20 KiB there (a product of
// 1100 words), the peak of 100000! stayed at 1.35 to 1.4 times that of GMP's pipeline; up to
// 32 KiB it rose to 1.5, up to 64 KiB to 1.67.
struct Buffer {
    static constexpr size_t heap_bytes = size_t{20} << 10;
    double* data = nullptr;
    size_t bytes = 0;
    explicit Buffer(size_t n) : bytes(n * sizeof(double)) {
        if (bytes <= heap_bytes) {
            data = static_cast<double*>(std::aligned_alloc(64, (bytes + 63) / 64 * 64));
            if (!data) throw std::bad_alloc();
            return;
        }
        data = static_cast<double*>(take_mapped_block(bytes));
    }
    ~Buffer() {
        if (bytes <= heap_bytes) {
            std::free(data);
        } else {
            give_back_mapped_block(data, bytes);
        }
    }
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;
};

// Runs work(begin, end) over [0, count) on one thread or two, the split a multiple of 8.
template <typename Work>
void shared(bool two, size_t count, Work work) {
    if (!two || count < 1024) return work(size_t{0}, count);
    const size_t middle = count / 16 * 8;
    side_by_side([&] { work(size_t{0}, middle); }, [&] { work(middle, count); });
}

struct Operand {
    const mp_limb_t* limbs;
    size_t size;
};

template <typename S>
struct Product {
    using K = Kernels<S>;

    // The prime's residues of the product's coefficients, transformed back.
    static std::unique_ptr<Buffer> residues_of(Operand a, Operand b, bool square, const Plan& plan,
                                               int prime, bool two) {
        const size_t n = size_t{1} << plan.log;
        const typename K::Mod m = K::mod_for(prime);
        auto transformed = [&](Operand x) {
            auto r = std::make_unique<Buffer>(n);
            shared(two, n, [&](size_t begin, size_t end) {
                K::load(r->data, begin, end, x.limbs, x.size, plan.bits, prime);
            });
            if (two) {
                K::forward_on_two(r->data, plan.log, prime, m);
            } else {
                K::forward(r->data, plan.log, prime, m);
            }
            return r;
        };
        auto r = transformed(a);
        const uint64_t p = primes[prime].p;
        const double scale = centred(pow_mod(n % p, p - 2, p), p);
        if (square) {
            shared(two, n, [&](size_t begin, size_t end) {
                K::pointwise(r->data + begin, r->data + begin, end - begin, scale, m);
            });
        } else {
            const auto other = transformed(b);
            shared(two, n, [&](size_t begin, size_t end) {
                K::pointwise(r->data + begin, other->data + begin, end - begin, scale, m);
            });
        }
        if (two) {
            K::inverse_on_two(r->data, plan.log, prime, m);
        } else {
            K::inverse(r->data, plan.log, prime, m);
        }
        return r;
    }

    // Coefficients from first on sit at a limb boundary when first * bits is a multiple of 64.
    static void reconstruct_all(mp_limb_t* out, size_t size, const double* const* r, size_t count,
                                int bits, bool two) {
        const size_t step = 64;  // any multiple of 64 coefficients starts at a limb boundary
        const size_t first = two && count >= 4096 ? count / 2 / step * step : count;
        if (first == count) {
            mp_limb_t none[1];
            return K::reconstruct(out, size, none, 0, r, 0, count, bits);
        }
        const size_t boundary = first * static_cast<size_t>(bits) / 64;
        constexpr size_t tail_size = 3;
        mp_limb_t tail[tail_size];
        side_by_side([&] { K::reconstruct(out, boundary, tail, tail_size, r, 0, first, bits); },
                     [&] {
                         K::reconstruct(out + boundary, size - boundary, nullptr, 0, r, first,
                                        count, bits);
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
        for (int i = 0; i < 3; ++i) residues[i] = residues_of(x, y, square, plan, i, two_threads);
        const size_t size = na + nb;
        const size_t count = std::min(n, (size * 64 + plan.bits - 1) / plan.bits);
        const double* r[3] = {residues[0]->data, residues[1]->data, residues[2]->data};
        mpz_t product;
        mpz_init2(product, static_cast<mp_bitcnt_t>(size * 64));
        mp_limb_t* out = mpz_limbs_write(product, static_cast<mp_size_t>(size));
        reconstruct_all(out, size, r, count, plan.bits, two_threads);
        for (auto& buffer : residues) buffer.reset();
        mpz_limbs_finish(product, static_cast<mp_size_t>(size));
        if ((mpz_sgn(a) < 0) != (mpz_sgn(b) < 0)) mpz_neg(product, product);
        mpz_swap(result, product);
        mpz_clear(product);
        return true;
    }
};

// Products of numbers in words of 18 decimal digits (least significant first): the words
// are the coefficients themselves, and the carries are taken in radix 10^18. Coefficients of
// the product are below n * 10^36 < 2^150 for every transform length.
template <typename S>
struct DecimalProduct {
    using K = Kernels<S>;
    // With two threads, transforms from 2^19 on are each shared by both; from 2^14 up to
    // there the threads take whole transforms, which was faster (33000 words squared: 5.1 ms
    // against 6.7 ms shared, 7.6 ms on one thread; 140000 words: 26 ms against 36 ms), and
    // below 2^14 starting the second thread cost more than it gained.
    static constexpr int two_threads_from_log = 19;
    static constexpr int primes_on_two_from_log = 14;
    static bool shares_transforms(int log, bool two) { return two && log >= two_threads_from_log; }
    static bool shares_primes(int log, bool two) {
        return two && log >= primes_on_two_from_log && log < two_threads_from_log;
    }

    struct Words {
        const uint64_t* words;
        size_t size;
    };

    static void load(double* out, size_t begin, size_t end, Words x, int prime) {
        const typename K::Mod m = K::mod_for(prime);
        const uint64_t p = primes[prime].p;
        const typename S::V high_unit = S::set1(centred((uint64_t{1} << 31) % p, p));
        alignas(64) uint64_t part[K::lanes];
        for (size_t k = begin; k < end; k += K::lanes) {
            typename S::V high, low;
            if (k + K::lanes <= x.size) {
                S::split_words(x.words + k, high, low);
            } else {
                for (size_t i = 0; i < K::lanes; ++i) part[i] = k + i < x.size ? x.words[k + i] : 0;
                S::split_words(part, high, low);
            }
            S::store(out + k, K::reduce(S::add(K::mulmod(high, high_unit, m), low), m));
        }
    }

    // Coefficients [begin, end) into words from out[begin] on, with their carries; returns
    // the carry out of the last one, below 2^92.
    static unsigned __int128 reconstruct(uint64_t* out, const double* const* r, size_t begin,
                                         size_t end, unsigned __int128 carry = 0) {
        const uint64_t p0 = primes[0].p, p1 = primes[1].p;
        const typename K::Garner garner;
        alignas(64) uint64_t a0[K::lanes], t1[K::lanes], t2[K::lanes];
        for (size_t k = begin; k < end; k += K::lanes) {
            garner.digits(r, k, a0, t1, t2);
            const size_t count = std::min(K::lanes, end - k);
            for (size_t i = 0; i < count; ++i) {
                // x = a0 + p0 * u + carry as hi * 2^128 + mid * 2^64 + lo
                const unsigned __int128 u = t1[i] + static_cast<unsigned __int128>(p1) * t2[i];
                unsigned __int128 low =
                    static_cast<unsigned __int128>(static_cast<uint64_t>(u)) * p0;
                const unsigned __int128 high =
                    static_cast<unsigned __int128>(static_cast<uint64_t>(u >> 64)) * p0;
                unsigned __int128 sum = low + a0[i];
                uint64_t hi = sum < low;
                low = sum;
                sum = low + carry;
                hi += sum < low;
                low = sum;
                sum = low + (high << 64);
                hi += sum < low;
                hi += static_cast<uint64_t>(high >> 64);
                const auto top = divide_by_word(hi, static_cast<uint64_t>(sum >> 64));
                const auto bottom = divide_by_word(top.r, static_cast<uint64_t>(sum));
                out[k + i] = bottom.r;
                carry = (static_cast<unsigned __int128>(top.q) << 64) | bottom.q;
            }
        }
        return carry;
    }

    // Adds a carry below 2^92 into the words from out[at] on (size words in all).
    static void add_carry(uint64_t* out, size_t at, size_t size, unsigned __int128 carry) {
        for (size_t k = at; carry != 0 && k < size; ++k) {
            const auto d = divide_by_word(carry + out[k]);
            out[k] = d.r;
            carry = d.q;
        }
    }

    // x's transform of length 2^log, in a buffer with room more doubles after it.
    static std::unique_ptr<Buffer> transformed(Words x, int log, int prime, bool two,
                                               size_t room = 0) {
        auto buffer = std::make_unique<Buffer>((size_t{1} << log) + room);
        transform_into(*buffer, x, log, prime, two);
        return buffer;
    }

    // The same into a buffer of at least 2^log doubles, whose contents are all replaced.
    static void transform_into(Buffer& buffer, Words x, int log, int prime, bool two) {
        const size_t n = size_t{1} << log;
        shared(two, n, [&](size_t begin, size_t end) { load(buffer.data, begin, end, x, prime); });
        if (two) {
            K::forward_on_two(buffer.data, log, prime, K::mod_for(prime));
        } else {
            K::forward(buffer.data, log, prime, K::mod_for(prime));
        }
    }

    // x = x * other / n transformed back, for transforms of length n = 2^log.
    static void times_back(double* x, const double* other, int log, int prime, bool two) {
        const size_t n = size_t{1} << log;
        const uint64_t p = primes[prime].p;
        const double scale = centred(pow_mod(n % p, p - 2, p), p);
        const typename K::Mod m = K::mod_for(prime);
        shared(two, n, [&](size_t begin, size_t end) {
            K::pointwise(x + begin, other + begin, end - begin, scale, m);
        });
        if (two) {
            K::inverse_on_two(x, log, prime, m);
        } else {
            K::inverse(x, log, prime, m);
        }
    }

    // The same in pieces, each counting its share of the range's work.
    static unsigned __int128 reconstruct_counted(uint64_t* out, const double* const* r,
                                                 size_t begin, size_t end, double work) {
        constexpr size_t piece = size_t{1} << 20;  // a multiple of the lanes
        const double per_coefficient = work / static_cast<double>(std::max<size_t>(end - begin, 1));
        unsigned __int128 carry = 0;
        for (size_t k = begin; k < end; k += piece) {
            const size_t k_end = std::min(end, k + piece);
            carry = reconstruct(out, r, k, k_end, carry);
            count_work(per_coefficient * static_cast<double>(k_end - k));
        }
        return carry;
    }

    // out[0 .. count] = the count coefficients of the residues with their carries; the
    // reconstruction counts work.
    static void carried(uint64_t* out, const double* const* r, size_t count, bool two,
                        double work) {
        out[count] = 0;
        const size_t first = two && count >= 4096 ? count / 2 / K::lanes * K::lanes : count;
        if (first == count)
            return add_carry(out, count, count + 1, reconstruct_counted(out, r, 0, count, work));
        unsigned __int128 low_carry = 0, high_carry = 0;
        const double share = work * static_cast<double>(first) / static_cast<double>(count);
        side_by_side([&] { low_carry = reconstruct_counted(out, r, 0, first, share); },
                     [&] { high_carry = reconstruct_counted(out, r, first, count, work - share); });
        add_carry(out, count, count + 1, high_carry);
        add_carry(out, first, count + 1, low_carry);
    }

    static int log_for(size_t coefficients) {
        int log = 4;
        while (log <= max_log - 1 && (size_t{1} << log) < coefficients) ++log;
        return log <= max_log - 1 ? log : -1;
    }

    // out = a * b in la + lb words; false when the product is too long for the transforms.
    // The words are made only once the transforms are, so that the two do not add up.
    static bool multiply(std::vector<uint64_t>& out, Words a, Words b, bool two) {
        if (a.size < b.size) std::swap(a, b);
        const int log = whole_log(a.size, b.size);
        const PartPlan parts = a.size >= 2 * b.size ? cheapest_parts(a.size, b.size) : PartPlan{};
        if (parts.log >= 0 && (log < 0 || parts.work < whole_work(a.size, b.size, log))) {
            multiply_in_parts(out, a, b, parts, two);
            return true;
        }
        if (log < 0) return false;
        multiply_in(out, a, b, log, two);
        return true;
    }

    // The transform length of a product in one piece: the product's own, or half of it where
    // the coefficients past that half are few enough to unwrap (see multiply_in); -1 when the
    // product is too long for the transforms.
    static int whole_log(size_t la, size_t lb) {
        const size_t count = la + lb - 1;
        const int log = log_for(count);
        if (log < 0) return -1;
        const size_t half = size_t{1} << (log - 1);
        const bool wraps = count > half && count - half <= half / 4 && la <= half;
        return wraps ? log - 1 : log;
    }

    // The work of transforms of length 2^log, in their coefficient steps.
    static double transform_work(int log) { return std::ldexp(static_cast<double>(log), log); }

    // The work of unwrapping excess coefficients: three transforms per prime of their product.
    static double unwrap_work(size_t excess) {
        return excess == 0 ? 0 : 9 * transform_work(log_for(2 * excess - 1));
    }

    // The work of a product in one piece in transforms of length 2^log: three for each prime,
    // those of the wrapped coefficients, and the reconstruction, which costs about one.
    static double whole_work(size_t la, size_t lb, int log) {
        const size_t n = size_t{1} << log, count = la + lb - 1;
        return 10 * transform_work(log) + unwrap_work(count > n ? count - n : 0);
    }

    // A long factor taken in parts of `part` words, multiplied in transforms of length 2^log.
    struct PartPlan {
        int log = -1;
        size_t part = 0;
        double work = 0;
    };

    // The work of la words times lb words in parts: the short factor's transforms once, and
    // for each part two transforms per prime, its reconstruction and its wrapped coefficients.
    static PartPlan plan_parts(size_t la, size_t lb, int log, size_t part) {
        const size_t n = size_t{1} << log, parts = (la + part - 1) / part;
        const size_t excess = part + lb - 1 > n ? part + lb - 1 - n : 0;
        return {log, part,
                transform_work(log) * static_cast<double>(3 + 7 * parts) +
                    static_cast<double>(parts) * unwrap_work(excess)};
    }

    // The parts for which a long factor of la words times a short one of lb costs least.
    // Shorter transforms take more parts, longer ones work on more padding and need more
    // memory, whose first touch costs as much as a transform on some machines. Parts may be
    // up to n / 8 words longer than their product's transform holds, the coefficients past it
    // unwrapped as in multiply_in: that saves a whole part where the long factor is a little
    // longer than a number of them. Empty when none fits.
    static PartPlan cheapest_parts(size_t la, size_t lb) {
        PartPlan best;
        auto consider = [&](const PartPlan& plan) {
            if (best.log < 0 || plan.work < best.work) best = plan;
        };
        for (int log = log_for(2 * lb); log >= 0 && log <= max_log - 1; ++log) {
            const size_t n = size_t{1} << log;
            if (n >= la + lb) break;
            const size_t fitting = n - lb + 1, parts = (la + fitting - 1) / fitting;
            consider(plan_parts(la, lb, log, fitting));
            if (parts < 2) continue;
            const size_t longer = (la + parts - 2) / (parts - 1);
            if (longer <= n && longer + lb - 1 - n <= n / 8)
                consider(plan_parts(la, lb, log, longer));
        }
        return best;
    }

    // The product in transforms of length n = 2^log. A product of count = n + excess
    // coefficients, excess <= n / 4, takes them instead of 2 n: the cyclic product holds
    // c[j] + c[n + j] at j < excess, and c[j] there comes from the product of the operands'
    // lowest excess words alone, in transforms of about 2 excess. The sums stay below
    // n * 10^36 * 2, which the three primes hold.
    //
    // With two threads, long transforms are each shared by both; shorter ones go to the
    // threads whole, the first two primes side by side and then the third's two forward
    // transforms, which keeps as many buffers at a time as one thread does. Sharing the
    // third's transform back as well cost more in starting threads than it gained.
    static void multiply_in(std::vector<uint64_t>& out, Words a, Words b, int log, bool two) {
        const size_t n = size_t{1} << log;
        const size_t count = a.size + b.size - 1, excess = count > n ? count - n : 0;
        const size_t room = room_for(excess);
        const bool square = a.words == b.words && a.size == b.size;
        const bool shared_transforms = shares_transforms(log, two);
        const bool whole_transforms = shares_primes(log, two);
        const int transforms_per_prime = (square ? 2 : 3) * (excess == 0 ? 1 : 2);
        // The reconstruction counts as one transform.
        const double tick =
            decimal_product_work(a.size, b.size, square) / (3 * transforms_per_prime + 1);
        std::unique_ptr<Buffer> residues[3];
        auto residue = [&](int i, bool forward_side_by_side) {
            std::unique_ptr<Buffer> of_b;
            if (forward_side_by_side && !square) {
                side_by_side([&] { of_b = transformed(b, log, i, false); },
                             [&] { residues[i] = transformed(a, log, i, false, room); });
                count_work(2 * tick);
            } else {
                residues[i] = transformed(a, log, i, shared_transforms, room);
                count_work(tick);
                if (!square) {
                    of_b = transformed(b, log, i, shared_transforms);
                    count_work(tick);
                }
            }
            double* x = residues[i]->data;
            times_back(x, square ? x : of_b->data, log, i, shared_transforms);
            count_work(tick);
            of_b.reset();
            if (excess == 0) return;
            unwrap_low(x, a, b, n, excess, i);
            count_work((square ? 2 : 3) * tick);
        };
        if (whole_transforms) {
            side_by_side([&] { residue(1, false); }, [&] { residue(0, false); });
            residue(2, true);
        } else {
            for (int i = 0; i < 3; ++i) residue(i, false);
        }
        const double* r[3] = {residues[0]->data, residues[1]->data, residues[2]->data};
        resize_in_large_pages(out, count + 1);
        carried(out.data(), r, count, two, tick);
    }

    // x[j] = c[j] + c[n + j] and low[j] = c[j] for j < excess become c[j] and c[n + j]; the
    // vectors past excess write only into the room after the coefficients.
    static void unwrap(double* x, const double* low, size_t n, size_t excess,
                       const typename K::Mod& m) {
        for (size_t j = 0; j < excess; j += K::lanes)
            S::store(x + n + j, K::reduce(S::sub(S::load(x + j), S::load(low + j)), m));
        std::copy(low, low + excess, x);
    }

    // work(i, shared_transform) for the three primes, with two threads as multiply_in
    // shares them, the third prime's transforms then shared by both.
    template <typename Work>
    static void each_prime(int log, bool two, Work work) {
        if (shares_primes(log, two)) {
            side_by_side([&] { work(1, false); }, [&] { work(0, false); });
            return work(2, true);
        }
        for (int i = 0; i < 3; ++i) work(i, shares_transforms(log, two));
    }

    // A long a times a short b: a is taken in parts, each multiplied by b's transforms made
    // once, in transforms of length 2^log (a few times b's length) instead of the whole
    // product's. This costs less and needs the memory of the short transforms only.
    static void multiply_in_parts(std::vector<uint64_t>& out, Words a, Words b,
                                  const PartPlan& plan, bool two) {
        const size_t n = size_t{1} << plan.log, part = plan.part;
        const size_t parts = (a.size + part - 1) / part;
        const size_t longest = part + b.size - 1;
        const size_t room = room_for(longest > n ? longest - n : 0);
        // Each part's reconstruction counts as one of its transforms.
        const double tick = decimal_product_work(a.size, b.size, false) / (3 + 7 * parts);
        std::unique_ptr<Buffer> of_b[3];
        each_prime(plan.log, two, [&](int i, bool shared_transform) {
            of_b[i] = transformed(b, plan.log, i, shared_transform);
            count_work(tick);
        });
        resize_in_large_pages(out, a.size + b.size);
        std::fill(out.begin(), out.end(), 0);
        std::vector<uint64_t> product;
        resize_in_large_pages(product, std::max(n, longest) + 1);
        // The parts' transforms take the same buffers one after another: mapping them afresh
        // for each part faulted their pages in again.
        std::unique_ptr<Buffer> residues[3];
        for (size_t start = 0; start < a.size; start += part) {
            const Words piece{a.words + start, std::min(part, a.size - start)};
            const size_t count = piece.size + b.size - 1, excess = count > n ? count - n : 0;
            each_prime(plan.log, two, [&](int i, bool shared_transform) {
                if (!residues[i]) residues[i] = std::make_unique<Buffer>(n + room);
                double* x = residues[i]->data;
                transform_into(*residues[i], piece, plan.log, i, shared_transform);
                count_work(tick);
                times_back(x, of_b[i]->data, plan.log, i, shared_transform);
                count_work(tick);
                if (excess > 0) unwrap_low(x, piece, b, n, excess, i);
            });
            const double* r[3] = {residues[0]->data, residues[1]->data, residues[2]->data};
            carried(product.data(), r, count, two, tick);
            add_words(out.data(), start, a.size + b.size, product.data(), count + 1);
        }
    }

    // The cyclic product x of a and b in transforms of length n, n + excess coefficients
    // long, unwrapped by the product of their lowest excess words (a square's from one).
    static void unwrap_low(double* x, Words a, Words b, size_t n, size_t excess, int prime) {
        const bool square = a.words == b.words && a.size == b.size;
        const Words a_low{a.words, excess}, b_low{b.words, excess};
        const int low_log = log_for(2 * excess - 1);
        const auto low = transformed(a_low, low_log, prime, false);
        times_back(low->data, square ? low->data : transformed(b_low, low_log, prime, false)->data,
                   low_log, prime, false);
        unwrap(x, low->data, n, excess, K::mod_for(prime));
    }

    // The doubles past a transform that unwrapping excess coefficients writes, in whole vectors.
    static size_t room_for(size_t excess) { return (excess + K::lanes - 1) / K::lanes * K::lanes; }

    // out[at ..] += words[0 .. m), the carry going on to out[size - 1] at most.
    static void add_words(uint64_t* out, size_t at, size_t size, const uint64_t* words, size_t m) {
        uint64_t carry = 0;
        size_t k = at;
        for (size_t j = 0; j < m && k < size; ++j, ++k) {
            uint64_t t = out[k] + words[j] + carry;
            carry = t >= decimal_word;
            out[k] = carry ? t - decimal_word : t;
        }
        for (; carry != 0 && k < size; ++k) {
            const uint64_t t = out[k] + 1;
            carry = t >= decimal_word;
            out[k] = carry ? 0 : t;
        }
    }
};

}  // namespace cifrovar::ntt_kernels
