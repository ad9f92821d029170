#pragma once

// Arrays of decimal limbs, least significant first, each limb in radix 10^d for the d that the
// code reading or writing them names. The conversions between numbers and limbs take them,
// and the calculation state keeps its result in one.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace cifrovar {

// Leaves new elements uninitialised when no value is given, so that a limb array can be
// enlarged to receive digits without first writing zeros over hundreds of megabytes; every
// resize that needs zeros passes 0 explicitly.
template <typename T>
struct uninitialised_allocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = uninitialised_allocator<U>;
    };
    using std::allocator<T>::allocator;
    template <typename U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

using LimbArray = std::vector<int32_t, uninitialised_allocator<int32_t>>;

// limbs.resize(count), the limbs added left uninitialised; where the array grows, the new
// limbs' pages are asked to be large ones before their first touch, which spares a fault for
// every 4 KiB of a gigabyte read into them.
void resize_limbs(LimbArray& limbs, size_t count);

}  // namespace cifrovar
