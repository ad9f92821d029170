#include "engine/kernel.h"

#include <new>

namespace cifrovar {

void set_limb_count(CalcState& st, int64_t count) {
    // pomoc may be shorter than vysledek (batches and loaded files leave it unused), so a
    // failure restores vysledek's own length rather than pomoc's.
    const size_t old_length = st.vysledek.size();
    try {
        st.vysledek.resize(static_cast<size_t>(count), 0);
        st.pomoc.resize(static_cast<size_t>(count), 0);
    } catch (const std::bad_alloc&) {
        st.vysledek.resize(old_length);
        throw GrowthFailure{};
    } catch (const std::length_error&) {
        st.vysledek.resize(old_length);
        throw GrowthFailure{};
    }
}

void ensure_headroom(CalcState& st) {
    const int64_t t = st.top_index;
    if (st.vysledek[t - 2] > 0 || st.vysledek[t - 1] > 0 || st.vysledek[t] > 0) {
        set_limb_count(st, t + 101);
        for (int64_t i = t + 1; i <= t + 100; ++i) st.vysledek[i] = 0;
        st.top_index = t + 100;
    }
}

void split_factor(CalcState& st, int32_t value, int passes) {
    st.multiplier_limbs[0] = value;
    for (int i = 0; i < passes; ++i) {
        if (st.multiplier_limbs[i] >= st.limb_base) {
            const int32_t carry = st.multiplier_limbs[i] / st.limb_base;
            st.multiplier_limbs[i] -= carry * st.limb_base;
            st.multiplier_limbs[i + 1] += carry;
            if (st.multiplier_top < i + 1) st.multiplier_top = i + 1;
        }
    }
}

namespace {

// 32-bit two's complement arithmetic that wraps instead of being undefined.
int32_t wrap_add(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
int32_t wrap_mul(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

}  // namespace

bool multiply_step(CalcState& st) {
    const int64_t top = st.top_index;
    int32_t* const out = st.pomoc.data();
    const int32_t* const in = st.vysledek.data();
    for (int64_t i = 0; i <= top; ++i) out[i] = 0;
    for (st.y = 0; st.y <= st.multiplier_top; ++st.y) {
        const int32_t m = st.multiplier_limbs[st.y];
        for (st.x = 0; st.x + st.y <= top; ++st.x) {
            const int32_t sum = wrap_add(out[st.x + st.y], wrap_mul(in[st.x], m));
            out[st.x + st.y] = sum;
            if (sum < 0) return false;
        }
    }
    int32_t* const v = st.vysledek.data();
    for (int64_t i = 0; i <= top; ++i) v[i] = out[i];
    const int32_t base = st.limb_base;
    for (int64_t i = 0; i < top; ++i) {
        if (v[i] >= base) {
            const int32_t carry = v[i] / base;
            v[i] -= carry * base;
            v[i + 1] += carry;
        }
    }
    return true;
}

int factor_passes(int32_t factor) { return factor >= 1000000000 ? 2 : 1; }

}  // namespace cifrovar
