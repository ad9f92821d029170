#include "bignum/transforms/ntt_multiply.h"

#include "bignum/internal/side_by_side.h"

// GCC 12 takes the deliberately undefined vectors inside these intrinsics for uninitialised.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop
#include <sys/mman.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

namespace cifrovar {

namespace {

// Residues are doubles in (-2p, 2p) for primes below 2^50: a product a * b splits exactly
// into its rounded value h and the error fma(a, b, -h), and the quotient by p rounded from
// h / p leaves a remainder that is again an exact double below p in magnitude.
struct Prime {
    uint64_t p;
    uint64_t root;  // of order 2^max_log
};
constexpr int max_log = 27;
constexpr std::array<Prime, 3> primes{{{1125897625141249ull, 852844700813599ull},
                                       {1125896819834881ull, 177746456200385ull},
                                       {1125892793303041ull, 1083320400205454ull}}};
// Below this many doubles a transform stays in the second-level cache and uses tables.
constexpr int table_log = 16;
constexpr int max_piece_bits = 62;

uint64_t mul_mod(uint64_t a, uint64_t b, uint64_t p) {
    return static_cast<uint64_t>(static_cast<unsigned __int128>(a) * b % p);
}
uint64_t pow_mod(uint64_t a, uint64_t e, uint64_t p) {
    uint64_t r = 1;
    for (; e; e >>= 1, a = mul_mod(a, a, p))
        if (e & 1) r = mul_mod(r, a, p);
    return r;
}
double centred(uint64_t v, uint64_t p) {
    return v > p / 2 ? -static_cast<double>(p - v) : static_cast<double>(v);
}

struct Mod {
    __m512d p, pinv;
};

// round(x * y) for |x * y| < 2^51: adding 1.5 * 2^52 leaves no bits below the units.
inline __m512d round_product(__m512d x, __m512d y) {
    const __m512d magic = _mm512_set1_pd(6755399441055744.0);
    return _mm512_sub_pd(_mm512_fmadd_pd(x, y, magic), magic);
}

inline __m512d mulmod(__m512d a, __m512d b, const Mod& m) {
    const __m512d h = _mm512_mul_pd(a, b);
    const __m512d l = _mm512_fmsub_pd(a, b, h);
    const __m512d q = round_product(h, m.pinv);
    return _mm512_add_pd(_mm512_fnmadd_pd(q, m.p, h), l);
}
inline __m512d reduce(__m512d v, const Mod& m) {
    return _mm512_fnmadd_pd(round_product(v, m.pinv), m.p, v);
}

struct Tables {
    // forward[half + j] = w_{2 half}^j, inverse likewise with the inverse roots, for
    // half < 2^table_log.
    std::vector<double> forward, inverse;
    uint64_t root_forward[max_log + 1], root_inverse[max_log + 1];  // of order 2^k
};

const Tables& tables_for(int index) {
    static const auto all = [] {
        std::array<Tables, 3> t;
        for (int i = 0; i < 3; ++i) {
            const uint64_t p = primes[i].p;
            Tables& tab = t[i];
            for (int k = max_log; k >= 0; --k) {
                tab.root_forward[k] =
                    k == max_log ? primes[i].root
                                 : mul_mod(tab.root_forward[k + 1], tab.root_forward[k + 1], p);
                tab.root_inverse[k] = pow_mod(tab.root_forward[k], p - 2, p);
            }
            const size_t size = size_t{1} << table_log;
            tab.forward.assign(size, 0);
            tab.inverse.assign(size, 0);
            for (int k = 1; k <= table_log; ++k) {
                const size_t half = size_t{1} << (k - 1);
                uint64_t f = 1, v = 1;
                for (size_t j = 0; j < half; ++j) {
                    tab.forward[half + j] = centred(f, p);
                    tab.inverse[half + j] = centred(v, p);
                    f = mul_mod(f, tab.root_forward[k], p);
                    v = mul_mod(v, tab.root_inverse[k], p);
                }
            }
        }
        return t;
    }();
    return all[index];
}

// Powers w^0 .. w^7 and w^8 as vectors, for twiddles made on the fly in long stages.
void start_powers(uint64_t w, uint64_t p, size_t j0, __m512d& first, __m512d& step) {
    alignas(64) double v[8];
    uint64_t x = pow_mod(w, j0, p);
    for (int i = 0; i < 8; ++i, x = mul_mod(x, w, p)) v[i] = centred(x, p);
    first = _mm512_load_pd(v);
    step = _mm512_set1_pd(centred(pow_mod(w, 8, p), p));
}

// Twiddles of one stage: from the table, or made on the fly for stages longer than it.
struct Twiddles {
    const double* table;  // w^j at table[half + j], or null
    __m512d power, step;  // w^j .. w^(j + 7), w^8
    size_t half;
    Twiddles(const double* tw, size_t h, uint64_t w, uint64_t p, size_t j0 = 0)
        : table(tw), half(h) {
        if (!table) start_powers(w, p, j0, power, step);
    }
    __m512d at(size_t j) const { return table ? _mm512_loadu_pd(table + half + j) : power; }
    void advance(const Mod& m) {
        if (!table) power = mulmod(power, step, m);
    }
};

inline void forward_butterfly(double* x, double* y, __m512d w, const Mod& m) {
    const __m512d u = _mm512_loadu_pd(x), v = _mm512_loadu_pd(y);
    _mm512_storeu_pd(x, reduce(_mm512_add_pd(u, v), m));
    _mm512_storeu_pd(y, mulmod(_mm512_sub_pd(u, v), w, m));
}

inline void inverse_butterfly(double* x, double* y, __m512d w, const Mod& m) {
    const __m512d u = _mm512_loadu_pd(x);
    const __m512d t = mulmod(_mm512_loadu_pd(y), w, m);
    _mm512_storeu_pd(x, reduce(_mm512_add_pd(u, t), m));
    _mm512_storeu_pd(y, reduce(_mm512_sub_pd(u, t), m));
}

template <bool forward>
inline void butterfly(double* x, double* y, __m512d w, const Mod& m) {
    if constexpr (forward) {
        forward_butterfly(x, y, w, m);
    } else {
        inverse_butterfly(x, y, w, m);
    }
}

// Two stages in one pass over blocks of 4 q: with w, the root of order 4 q, at half 2 q and
// with w^2 at half q; the forward transform (decimation in frequency) takes them in that
// order, the inverse one the other way round.
template <bool forward>
void two_stages(double* a, size_t n, size_t q, const double* tw, uint64_t w, uint64_t p,
                const Mod& m, size_t j_begin = 0, size_t j_end = 0) {
    if (j_end == 0) j_end = q;
    const __m512d quarter = _mm512_set1_pd(centred(pow_mod(w, q, p), p));
    for (size_t s = 0; s < n; s += 4 * q) {
        double* x = a + s;
        Twiddles outer(tw, 2 * q, w, p, j_begin);
        for (size_t j = j_begin; j < j_end; j += 8) {
            const __m512d w1 = outer.at(j);
            const __m512d w3 = tw ? outer.at(j + q) : mulmod(w1, quarter, m);
            const __m512d w2 = tw ? _mm512_loadu_pd(tw + q + j) : mulmod(w1, w1, m);
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
void one_stage(double* a, size_t n, size_t half, const double* tw, uint64_t w, uint64_t p,
               const Mod& m) {
    for (size_t s = 0; s < n; s += 2 * half) {
        Twiddles t(tw, half, w, p);
        for (size_t j = 0; j < half; j += 8, t.advance(m))
            butterfly<forward>(a + s + j, a + s + j + half, t.at(j), m);
    }
}

// The stages of half 4, 2 and 1 inside pairs of vectors.
struct Shuffle {
    __m512i take_x, take_y, back_0, back_1;
};
Shuffle shuffle_for(int half) {
    alignas(64) int64_t idx[4][8];
    for (int i = 0; i < 8; ++i) {
        const int block = i / half, j = i % half;  // lane i of x: block and offset among 16
        const int xi = block * 2 * half + j;
        idx[0][i] = xi;
        idx[1][i] = xi + half;
    }
    // back: element e of the pair (0..15) comes from x lane or y lane
    for (int e = 0; e < 16; ++e) {
        const int block = e / (2 * half), r = e % (2 * half);
        const int lane = block * half + (r % half);
        const int from = (r < half ? 0 : 8) + lane;
        idx[e / 8 + 2][e % 8] = from;
    }
    return {_mm512_load_si512(idx[0]), _mm512_load_si512(idx[1]), _mm512_load_si512(idx[2]),
            _mm512_load_si512(idx[3])};
}

__m512d small_twiddles(const double* tw, int half) {
    alignas(64) double v[8];
    for (int i = 0; i < 8; ++i) v[i] = tw[half + i % half];
    return _mm512_load_pd(v);
}

// The stages of half 4, 2 and 1 (the forward transform's last, the inverse one's first),
// sixteen values at a time in two vectors.
template <bool forward>
void small_stages(double* a, size_t n, const double* tw, const Mod& m) {
    const Shuffle s4 = shuffle_for(4), s2 = shuffle_for(2), s1 = shuffle_for(1);
    const __m512d w4 = small_twiddles(tw, 4), w2 = small_twiddles(tw, 2);
    for (size_t i = 0; i < n; i += 16) {
        __m512d v0 = _mm512_loadu_pd(a + i), v1 = _mm512_loadu_pd(a + i + 8);
        auto stage = [&](const Shuffle& s, const __m512d* w) {
            const __m512d x = _mm512_permutex2var_pd(v0, s.take_x, v1);
            __m512d y = _mm512_permutex2var_pd(v0, s.take_y, v1);
            __m512d nx, ny;
            if constexpr (forward) {
                nx = reduce(_mm512_add_pd(x, y), m);
                ny = _mm512_sub_pd(x, y);
                ny = w ? mulmod(ny, *w, m) : reduce(ny, m);
            } else {
                if (w) y = mulmod(y, *w, m);
                nx = reduce(_mm512_add_pd(x, y), m);
                ny = reduce(_mm512_sub_pd(x, y), m);
            }
            v0 = _mm512_permutex2var_pd(nx, s.back_0, ny);
            v1 = _mm512_permutex2var_pd(nx, s.back_1, ny);
        };
        if constexpr (forward) {
            stage(s4, &w4);
            stage(s2, &w2);
            stage(s1, nullptr);
        } else {
            stage(s1, nullptr);
            stage(s2, &w2);
            stage(s4, &w4);
        }
        _mm512_storeu_pd(a + i, v0);
        _mm512_storeu_pd(a + i + 8, v1);
    }
}

// Forward transform of length 2^log (>= 16), natural order in, bit-reversed order out.
void forward(double* a, int log, int prime, const Mod& m) {
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
    for (; half >= 16; half /= 4) two_stages<true>(a, n, half / 2, t.forward.data(), 0, p, m);
    if (half == 8) one_stage<true>(a, n, 8, t.forward.data(), 0, p, m);
    small_stages<true>(a, n, t.forward.data(), m);
}

void inverse(double* a, int log, int prime, const Mod& m) {
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
    small_stages<false>(a, n, t.inverse.data(), m);
    // the stages below mirror the forward ones: a single stage of half 8 when the count is odd
    int stages = 0;
    for (size_t h = n / 2; h >= 8; h /= 2) ++stages;
    size_t half = 8;
    if (stages % 2 == 1) {
        one_stage<false>(a, n, 8, t.inverse.data(), 0, p, m);
        half = 16;
    }
    for (; half < n; half *= 4) two_stages<false>(a, n, half, t.inverse.data(), 0, p, m);
}

// The same transforms with the work shared by two threads: the top two stages by halves of
// their range, then the four quarters two by two.
void forward_on_two(double* a, int log, int prime, const Mod& m) {
    if (log - 2 < table_log) return forward(a, log, prime, m);
    const uint64_t p = primes[prime].p, w = tables_for(prime).root_forward[log];
    const size_t n = size_t{1} << log, q = n / 4;
    side_by_side([&] { two_stages<true>(a, n, q, nullptr, w, p, m, 0, q / 2); },
                 [&] { two_stages<true>(a, n, q, nullptr, w, p, m, q / 2, q); });
    side_by_side(
        [&] { forward(a, log - 2, prime, m), forward(a + q, log - 2, prime, m); },
        [&] { forward(a + 2 * q, log - 2, prime, m), forward(a + 3 * q, log - 2, prime, m); });
}

void inverse_on_two(double* a, int log, int prime, const Mod& m) {
    if (log - 2 < table_log) return inverse(a, log, prime, m);
    const uint64_t p = primes[prime].p, w = tables_for(prime).root_inverse[log];
    const size_t n = size_t{1} << log, q = n / 4;
    side_by_side(
        [&] { inverse(a, log - 2, prime, m), inverse(a + q, log - 2, prime, m); },
        [&] { inverse(a + 2 * q, log - 2, prime, m), inverse(a + 3 * q, log - 2, prime, m); });
    side_by_side([&] { two_stages<false>(a, n, q, nullptr, w, p, m, 0, q / 2); },
                 [&] { two_stages<false>(a, n, q, nullptr, w, p, m, q / 2, q); });
}

Mod mod_for(int prime) {
    const double p = static_cast<double>(primes[prime].p);
    return {_mm512_set1_pd(p), _mm512_set1_pd(1.0 / p)};
}

// The value's pieces of bits each, zero above, as residues mod the prime.
void load(double* out, size_t k_begin, size_t k_end, const mp_limb_t* limbs, size_t size, int bits,
          int prime) {
    const uint64_t p = primes[prime].p;
    const Mod m = mod_for(prime);
    const __m512d high_unit = _mm512_set1_pd(centred((uint64_t{1} << 31) % p, p));
    const __m512i low_mask = _mm512_set1_epi64((int64_t{1} << 31) - 1);
    const __m512i mask = _mm512_set1_epi64(static_cast<int64_t>((uint64_t{1} << bits) - 1));
    const __m512i limit = _mm512_set1_epi64(static_cast<int64_t>(size));
    const __m512i sixty_four = _mm512_set1_epi64(64);
    const __m512i one = _mm512_set1_epi64(1);
    const __m512i zero = _mm512_setzero_si512();
    __m512i bit =
        _mm512_mullo_epi64(_mm512_add_epi64(_mm512_set_epi64(7, 6, 5, 4, 3, 2, 1, 0),
                                            _mm512_set1_epi64(static_cast<int64_t>(k_begin))),
                           _mm512_set1_epi64(bits));
    const __m512i bit_step = _mm512_set1_epi64(int64_t{8} * bits);
    const auto* base = reinterpret_cast<const long long*>(limbs);
    for (size_t k = k_begin; k < k_end; k += 8, bit = _mm512_add_epi64(bit, bit_step)) {
        const __m512i limb = _mm512_srli_epi64(bit, 6);
        const __m512i off = _mm512_and_si512(bit, _mm512_set1_epi64(63));
        const __m512i next = _mm512_add_epi64(limb, one);
        const __m512i lo =
            _mm512_mask_i64gather_epi64(zero, _mm512_cmplt_epu64_mask(limb, limit), limb, base, 8);
        const __m512i hi =
            _mm512_mask_i64gather_epi64(zero, _mm512_cmplt_epu64_mask(next, limit), next, base, 8);
        // a shift by 64 gives zero, which is what an offset of zero needs from the next limb
        const __m512i v = _mm512_and_si512(
            _mm512_or_si512(_mm512_srlv_epi64(lo, off),
                            _mm512_sllv_epi64(hi, _mm512_sub_epi64(sixty_four, off))),
            mask);
        const __m512d high = _mm512_cvtepu64_pd(_mm512_srli_epi64(v, 31));
        const __m512d low = _mm512_cvtepu64_pd(_mm512_and_si512(v, low_mask));
        _mm512_storeu_pd(out + k, reduce(_mm512_add_pd(mulmod(high, high_unit, m), low), m));
    }
}

void pointwise(double* a, const double* b, size_t n, double scale, const Mod& m) {
    const __m512d s = _mm512_set1_pd(scale);
    for (size_t k = 0; k < n; k += 8)
        _mm512_storeu_pd(a + k,
                         mulmod(mulmod(_mm512_loadu_pd(a + k), _mm512_loadu_pd(b + k), m), s, m));
}

// v in (-2p, 2p) to [0, p).
inline __m512d normalized(__m512d v, const Mod& m) {
    v = reduce(v, m);
    return _mm512_mask_add_pd(v, _mm512_cmp_pd_mask(v, _mm512_setzero_pd(), _CMP_LT_OQ), v, m.p);
}

// Garner's reconstruction of each coefficient x = a0 + p0 * (t1 + p1 * t2) from its three
// residues, 8 at a time, then added at its bit position into the result.
// Limbs from the first coefficient's position up: out_size into out, the rest into tail.
void reconstruct(mp_limb_t* out, size_t out_size, mp_limb_t* tail, size_t tail_size,
                 const double* const* r, size_t k_begin, size_t k_end, int bits) {
    const uint64_t p0 = primes[0].p, p1 = primes[1].p, p2 = primes[2].p;
    const Mod m1 = mod_for(1), m2 = mod_for(2), m0 = mod_for(0);
    const __m512d c01 = _mm512_set1_pd(centred(pow_mod(p0 % p1, p1 - 2, p1), p1));
    const __m512d c02 = _mm512_set1_pd(centred(pow_mod(p0 % p2, p2 - 2, p2), p2));
    const __m512d c12 = _mm512_set1_pd(centred(pow_mod(p1 % p2, p2 - 2, p2), p2));
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
        acc_low = (acc_low >> bits) | (static_cast<unsigned __int128>(acc_high) << (128 - bits));
        acc_high >>= bits;
    };
    alignas(64) uint64_t a0[8], t1[8], t2[8];
    for (size_t k = k_begin; k < k_end; k += 8) {
        const __m512d x0 = normalized(_mm512_loadu_pd(r[0] + k), m0);
        const __m512d x1 =
            normalized(mulmod(_mm512_sub_pd(_mm512_loadu_pd(r[1] + k), x0), c01, m1), m1);
        __m512d x2 = mulmod(_mm512_sub_pd(_mm512_loadu_pd(r[2] + k), x0), c02, m2);
        x2 = normalized(mulmod(_mm512_sub_pd(x2, x1), c12, m2), m2);
        _mm512_store_si512(a0, _mm512_cvtpd_epu64(x0));
        _mm512_store_si512(t1, _mm512_cvtpd_epu64(x1));
        _mm512_store_si512(t2, _mm512_cvtpd_epu64(x2));
        const size_t lanes = std::min<size_t>(8, k_end - k);
        for (size_t i = 0; i < lanes; ++i) {
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

struct Plan {
    int log;
    int bits;
};

Plan plan_for(size_t total_bits) {
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
// spare the page faults and the translation misses of the long strides.
struct Buffer {
    double* data = nullptr;
    size_t bytes = 0;
    explicit Buffer(size_t n) : bytes(n * sizeof(double)) {
        void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) throw std::bad_alloc();
        if (bytes >= (size_t{4} << 20)) madvise(p, bytes, MADV_HUGEPAGE);
        data = static_cast<double*>(p);
    }
    ~Buffer() { munmap(data, bytes); }
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

// The prime's residues of the product's coefficients, transformed back.
std::unique_ptr<Buffer> residues_of(Operand a, Operand b, bool square, const Plan& plan, int prime,
                                    bool two) {
    const size_t n = size_t{1} << plan.log;
    const Mod m = mod_for(prime);
    auto transformed = [&](Operand x) {
        auto r = std::make_unique<Buffer>(n);
        shared(two, n, [&](size_t begin, size_t end) {
            load(r->data, begin, end, x.limbs, x.size, plan.bits, prime);
        });
        if (two) {
            forward_on_two(r->data, plan.log, prime, m);
        } else {
            forward(r->data, plan.log, prime, m);
        }
        return r;
    };
    auto r = transformed(a);
    const uint64_t p = primes[prime].p;
    const double scale = centred(pow_mod(n % p, p - 2, p), p);
    if (square) {
        shared(two, n, [&](size_t begin, size_t end) {
            pointwise(r->data + begin, r->data + begin, end - begin, scale, m);
        });
    } else {
        const auto other = transformed(b);
        shared(two, n, [&](size_t begin, size_t end) {
            pointwise(r->data + begin, other->data + begin, end - begin, scale, m);
        });
    }
    if (two) {
        inverse_on_two(r->data, plan.log, prime, m);
    } else {
        inverse(r->data, plan.log, prime, m);
    }
    return r;
}

// Coefficients from first on sit at a limb boundary when first * bits is a multiple of 64.
void reconstruct_all(mp_limb_t* out, size_t size, const double* const* r, size_t count, int bits,
                     bool two) {
    const size_t step = 64;  // any multiple of 64 coefficients starts at a limb boundary
    const size_t first = two && count >= 4096 ? count / 2 / step * step : count;
    if (first == count) {
        mp_limb_t none[1];
        return reconstruct(out, size, none, 0, r, 0, count, bits);
    }
    const size_t boundary = first * static_cast<size_t>(bits) / 64;
    constexpr size_t tail_size = 3;
    mp_limb_t tail[tail_size];
    side_by_side(
        [&] { reconstruct(out, boundary, tail, tail_size, r, 0, first, bits); },
        [&] { reconstruct(out + boundary, size - boundary, nullptr, 0, r, first, count, bits); });
    mpn_add(out + boundary, out + boundary, static_cast<mp_size_t>(size - boundary), tail,
            static_cast<mp_size_t>(std::min(tail_size, size - boundary)));
}

}  // namespace

bool ntt_multiply_avx512(mpz_t result, const mpz_t a, const mpz_t b, bool two_threads) {
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

}  // namespace cifrovar
