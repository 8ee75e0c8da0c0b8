// Chains of the portable field kernels, each result feeding the next call,
// for scripts/arm-mca.sh to compile for aarch64 and hand the loop's body to
// a scheduling model: a chain's cycles per call are what point arithmetic
// and the permutation feel (latency), not the throughput of independent
// calls.
#include "field/fr.h"

using namespace lumora::field;

extern "C" {
void chain_fr_mont_mul(Limbs* a, const Limbs* b, unsigned long n) {
    Limbs x = *a;
    const Limbs y = *b;
#pragma GCC unroll 1
    for (unsigned long i = 0; i < n; ++i) x = detail::mont_mul_portable<FrParams>(x, y);
    *a = x;
}

void chain_fr_mont_sqr(Limbs* a, unsigned long n) {
    Limbs x = *a;
#pragma GCC unroll 1
    for (unsigned long i = 0; i < n; ++i) x = detail::mont_sqr_portable<FrParams>(x);
    *a = x;
}

// The square by the multiplication, which shares a[i]·a[j] with a[j]·a[i]:
// what the portable squaring is measured against.
void chain_fr_mont_sqr_by_mul(Limbs* a, unsigned long n) {
    Limbs x = *a;
#pragma GCC unroll 1
    for (unsigned long i = 0; i < n; ++i) x = detail::mont_mul_portable<FrParams>(x, x);
    *a = x;
}

void chain_fr_add(Limbs* a, const Limbs* b, unsigned long n) {
    Limbs x = *a;
    const Limbs y = *b;
#pragma GCC unroll 1
    for (unsigned long i = 0; i < n; ++i) x = detail::add_portable<FrParams>(x, y);
    *a = x;
}
}
