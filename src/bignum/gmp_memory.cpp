#include "bignum/gmp_memory.h"

#include <gmp.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <system_error>

#include "bignum/mapped_blocks.h"

namespace cifrovar {

namespace {

// GMP 6.2 points a fresh integer at a shared constant limb with nothing allocated; a product
// that fails to allocate can leave that pointer behind with a size, which must not be freed.
const void* shared_zero_limb = nullptr;

// mpz_mul frees its result's old block before allocating the larger one. When that allocation
// throws, the integer still points at the old block, so the block a thread freed last is held
// back until its next allocation succeeds: the pointer left behind stays valid, and is freed
// once when the integer is cleared.
struct HeldBack {
    void* block = nullptr;
    ~HeldBack() { std::free(block); }
    void release() {
        std::free(block);
        block = nullptr;
    }
};
thread_local HeldBack held_back;

// A large value is not held beside the transforms' long blocks kept for a next product.
void* allocate(size_t size) {
    release_long_kept_blocks_before(size);
    void* p = std::malloc(size);
    if (p == nullptr) {
        // The held block now belongs to whatever integer still points at it.
        held_back.block = nullptr;
        throw std::bad_alloc();
    }
    held_back.release();
    return p;
}

void* reallocate(void* old, size_t, size_t size) {
    if (old == shared_zero_limb) return allocate(size);
    release_long_kept_blocks_before(size);
    void* p = std::realloc(old, size);
    if (p == nullptr) {
        held_back.block = nullptr;
        throw std::bad_alloc();
    }
    held_back.release();
    return p;
}

void release(void* block, size_t) {
    if (block == shared_zero_limb || block == nullptr) return;
    held_back.release();
    held_back.block = block;
}

bool install() {
    mpz_t probe;
    mpz_init(probe);
    if (probe->_mp_alloc == 0) shared_zero_limb = probe->_mp_d;
    mpz_clear(probe);
    mp_set_memory_functions(allocate, reallocate, release);
    return true;
}

// Before main(), while no other thread can be using GMP.
std::once_flag installed;
const bool installed_at_start = [] {
    std::call_once(installed, install);
    return true;
}();

}  // namespace

void use_throwing_gmp_memory() { std::call_once(installed, install); }

bool ran_out_of_memory(const std::function<void()>& work) {
    try {
        work();
    } catch (const std::bad_alloc&) {
        return true;
    } catch (const std::system_error& e) {
        if (e.code() != std::errc::resource_unavailable_try_again &&
            e.code() != std::errc::not_enough_memory)
            throw;
        return true;
    }
    return false;
}

}  // namespace cifrovar
