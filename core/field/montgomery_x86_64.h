// x86-64 kernels of the Montgomery engine: multiplication, addition and
// subtraction in inline assembly with the carry flag (baseline x86-64: mul,
// add/adc, sub/sbb, cmov; no extension needed). Compilers turn the portable
// 128-bit formulation into long spill-heavy sequences on this target; these
// are about twice as fast and give the same limbs.
//
// Every kernel is branch-free. The modulus comes from the parameter set as
// immediates. Included by montgomery.h only when building for x86-64.
#pragma once

#include <array>
#include <cstdint>

#include "common/kernel_copy.h"

namespace lumora::field {
inline namespace LUMORA_KERNEL_NS {
namespace x86_64 {

using u64 = std::uint64_t;
using Limbs = std::array<u64, 4>;

// The modulus limbs and −p⁻¹ mod 2^64 as immediate operands.
#define LUMORA_X86_CONSTANTS                                                                   \
    [q0] "i"(P::MODULUS[0]), [q1] "i"(P::MODULUS[1]), [q2] "i"(P::MODULUS[2]), [q3] "i"(P::MODULUS[3]), \
        [inv] "i"(P::INV)

// t −= p when that does not borrow (t is below 2p): s = t − p into the
// scratch registers, kept when the subtraction did not borrow.
#define LUMORA_X86_REDUCE_ONCE           \
    "movq %[t0], %[s0]\n\t"              \
    "movabsq %[q0], %%rax\n\t"           \
    "subq %%rax, %[s0]\n\t"              \
    "movq %[t1], %[s1]\n\t"              \
    "movabsq %[q1], %%rax\n\t"           \
    "sbbq %%rax, %[s1]\n\t"              \
    "movq %[t2], %[s2]\n\t"              \
    "movabsq %[q2], %%rax\n\t"           \
    "sbbq %%rax, %[s2]\n\t"              \
    "movq %[t3], %[s3]\n\t"              \
    "movabsq %[q3], %%rax\n\t"           \
    "sbbq %%rax, %[s3]\n\t"              \
    "cmovaeq %[s0], %[t0]\n\t"           \
    "cmovaeq %[s1], %[t1]\n\t"           \
    "cmovaeq %[s2], %[t2]\n\t"           \
    "cmovaeq %[s3], %[t3]\n\t"

// (carry, t) += a[i]·b, for i ≥ 1; the carry word goes to s0.
#define LUMORA_X86_MUL_ROW(OFFSET)                                                              \
    "movq " #OFFSET "(%[a]), %[s3]\n\t"                                                         \
    "movq 0(%[b]), %%rax\n\t"                                                                   \
    "mulq %[s3]\n\t"                                                                            \
    "addq %%rax, %[t0]\n\t"                                                                     \
    "adcq $0, %%rdx\n\t"                                                                        \
    "movq %%rdx, %[s0]\n\t"                                                                     \
    "movq 8(%[b]), %%rax\n\t"                                                                   \
    "mulq %[s3]\n\t"                                                                            \
    "addq %[s0], %%rax\n\t"                                                                     \
    "adcq $0, %%rdx\n\t"                                                                        \
    "addq %%rax, %[t1]\n\t"                                                                     \
    "adcq $0, %%rdx\n\t"                                                                        \
    "movq %%rdx, %[s0]\n\t"                                                                     \
    "movq 16(%[b]), %%rax\n\t"                                                                  \
    "mulq %[s3]\n\t"                                                                            \
    "addq %[s0], %%rax\n\t"                                                                     \
    "adcq $0, %%rdx\n\t"                                                                        \
    "addq %%rax, %[t2]\n\t"                                                                     \
    "adcq $0, %%rdx\n\t"                                                                        \
    "movq %%rdx, %[s0]\n\t"                                                                     \
    "movq 24(%[b]), %%rax\n\t"                                                                  \
    "mulq %[s3]\n\t"                                                                            \
    "addq %[s0], %%rax\n\t"                                                                     \
    "adcq $0, %%rdx\n\t"                                                                        \
    "addq %%rax, %[t3]\n\t"                                                                     \
    "adcq $0, %%rdx\n\t"                                                                        \
    "movq %%rdx, %[s0]\n\t"

// One reduction step: m = t0·inv, t = (t + m·p) / 2^64 with the row's carry
// word (s0) added on top. m lives in s1, the running carry in s2.
#define LUMORA_X86_REDUCE_ROW          \
    "movabsq %[inv], %%rax\n\t"        \
    "imulq %[t0], %%rax\n\t"           \
    "movq %%rax, %[s1]\n\t"            \
    "movabsq %[q0], %%rax\n\t"         \
    "mulq %[s1]\n\t"                   \
    "addq %[t0], %%rax\n\t"            \
    "adcq $0, %%rdx\n\t"               \
    "movq %%rdx, %[s2]\n\t"            \
    "movabsq %[q1], %%rax\n\t"         \
    "mulq %[s1]\n\t"                   \
    "addq %[s2], %%rax\n\t"            \
    "adcq $0, %%rdx\n\t"               \
    "addq %[t1], %%rax\n\t"            \
    "adcq $0, %%rdx\n\t"               \
    "movq %%rax, %[t0]\n\t"            \
    "movq %%rdx, %[s2]\n\t"            \
    "movabsq %[q2], %%rax\n\t"         \
    "mulq %[s1]\n\t"                   \
    "addq %[s2], %%rax\n\t"            \
    "adcq $0, %%rdx\n\t"               \
    "addq %[t2], %%rax\n\t"            \
    "adcq $0, %%rdx\n\t"               \
    "movq %%rax, %[t1]\n\t"            \
    "movq %%rdx, %[s2]\n\t"            \
    "movabsq %[q3], %%rax\n\t"         \
    "mulq %[s1]\n\t"                   \
    "addq %[s2], %%rax\n\t"            \
    "adcq $0, %%rdx\n\t"               \
    "addq %[t3], %%rax\n\t"            \
    "adcq $0, %%rdx\n\t"               \
    "movq %%rax, %[t2]\n\t"            \
    "addq %[s0], %%rdx\n\t"            \
    "movq %%rdx, %[t3]\n\t"

// a·b·2^−256 mod p, fully reduced, for any 256-bit a and b below p
// (operand-scanning Montgomery multiplication with interleaved reduction).
// The modulus's top limb is below 2^62, so the running value stays below 2p
// and its carry word never overflows.
template <class P>
inline Limbs mont_mul(const Limbs& a, const Limbs& b) {
    static_assert(P::MODULUS[3] < (u64{1} << 62));
    u64 t0, t1, t2, t3, s0, s1, s2, s3, rax, rdx;
    asm("movq 0(%[a]), %[s3]\n\t"
        "movq 0(%[b]), %%rax\n\t"
        "mulq %[s3]\n\t"
        "movq %%rax, %[t0]\n\t"
        "movq %%rdx, %[s0]\n\t"
        "movq 8(%[b]), %%rax\n\t"
        "mulq %[s3]\n\t"
        "addq %[s0], %%rax\n\t"
        "adcq $0, %%rdx\n\t"
        "movq %%rax, %[t1]\n\t"
        "movq %%rdx, %[s0]\n\t"
        "movq 16(%[b]), %%rax\n\t"
        "mulq %[s3]\n\t"
        "addq %[s0], %%rax\n\t"
        "adcq $0, %%rdx\n\t"
        "movq %%rax, %[t2]\n\t"
        "movq %%rdx, %[s0]\n\t"
        "movq 24(%[b]), %%rax\n\t"
        "mulq %[s3]\n\t"
        "addq %[s0], %%rax\n\t"
        "adcq $0, %%rdx\n\t"
        "movq %%rax, %[t3]\n\t"
        "movq %%rdx, %[s0]\n\t"
        LUMORA_X86_REDUCE_ROW
        LUMORA_X86_MUL_ROW(8)
        LUMORA_X86_REDUCE_ROW
        LUMORA_X86_MUL_ROW(16)
        LUMORA_X86_REDUCE_ROW
        LUMORA_X86_MUL_ROW(24)
        LUMORA_X86_REDUCE_ROW
        LUMORA_X86_REDUCE_ONCE
        : [t0] "=&r"(t0), [t1] "=&r"(t1), [t2] "=&r"(t2), [t3] "=&r"(t3), [s0] "=&r"(s0), [s1] "=&r"(s1),
          [s2] "=&r"(s2), [s3] "=&r"(s3), "=&a"(rax), "=&d"(rdx)
        : [a] "r"(a.data()), [b] "r"(b.data()), "m"(a), "m"(b), LUMORA_X86_CONSTANTS
        : "cc");
    return {t0, t1, t2, t3};
}

// One reduction step of a squaring's low half, in place: m = T0·inv, and
// (T3:T2:T1:T0) + m·p, whose low word is zero, leaves (T0:T3:T2:T1) with the
// top word in T0. The caller rotates the names, so nothing moves.
#define LUMORA_X86_REDC_ROW(T0, T1, T2, T3) \
    "movabsq %[inv], %%rax\n\t"             \
    "imulq %[" #T0 "], %%rax\n\t"           \
    "movq %%rax, %[m]\n\t"                  \
    "movabsq %[q0], %%rax\n\t"              \
    "mulq %[m]\n\t"                         \
    "addq %[" #T0 "], %%rax\n\t"            \
    "adcq $0, %%rdx\n\t"                    \
    "movq %%rdx, %[c]\n\t"                  \
    "movabsq %[q1], %%rax\n\t"              \
    "mulq %[m]\n\t"                         \
    "addq %[c], %%rax\n\t"                  \
    "adcq $0, %%rdx\n\t"                    \
    "addq %%rax, %[" #T1 "]\n\t"            \
    "adcq $0, %%rdx\n\t"                    \
    "movq %%rdx, %[c]\n\t"                  \
    "movabsq %[q2], %%rax\n\t"              \
    "mulq %[m]\n\t"                         \
    "addq %[c], %%rax\n\t"                  \
    "adcq $0, %%rdx\n\t"                    \
    "addq %%rax, %[" #T2 "]\n\t"            \
    "adcq $0, %%rdx\n\t"                    \
    "movq %%rdx, %[c]\n\t"                  \
    "movabsq %[q3], %%rax\n\t"              \
    "mulq %[m]\n\t"                         \
    "addq %[c], %%rax\n\t"                  \
    "adcq $0, %%rdx\n\t"                    \
    "addq %%rax, %[" #T3 "]\n\t"            \
    "adcq $0, %%rdx\n\t"                    \
    "movq %%rdx, %[" #T0 "]\n\t"

// The second half of both squarings: the low half (t3:t2:t1:t0) reduced by
// four rows of ROW, whose rotations bring U back to t0..t3, then the high
// half (H3:H2:H1:H0) added; U + H < 2p < 2^256, so nothing carries out.
#define LUMORA_X86_SQR_REDUCE(ROW, H0, H1, H2, H3) \
    ROW(t0, t1, t2, t3)                            \
    ROW(t1, t2, t3, t0)                            \
    ROW(t2, t3, t0, t1)                            \
    ROW(t3, t0, t1, t2)                            \
    "addq %[" #H0 "], %[t0]\n\t"                 \
    "adcq %[" #H1 "], %[t1]\n\t"                 \
    "adcq %[" #H2 "], %[t2]\n\t"                 \
    "adcq %[" #H3 "], %[t3]\n\t"

// a·a·2^−256 mod p, fully reduced, for a below p: the 512-bit square first
// (each a[i]·a[j], i < j, once and doubled, then the four a[i]², ten
// multiplications where the product takes sixteen), then the low half's
// Montgomery reduction U = (L + M·p)/2^256 ≤ p, plus the high half H
// < p²/2^256. U + H < 2p, so one conditional subtraction reduces it. The
// high half sits in the registers named s0..s3, which are the final
// subtraction's scratch once it has been added.
template <class P>
inline Limbs mont_sqr(const Limbs& a) {
    static_assert(P::MODULUS[3] < (u64{1} << 62));
    u64 t0, t1, t2, t3, s0, s1, s2, s3, m, c, rax, rdx;
    asm(// a[0]·a[1], a[0]·a[2], a[0]·a[3] into t1..s0
        "movq 0(%[a]), %%rax\n\t"
        "mulq 8(%[a])\n\t"
        "movq %%rax, %[t1]\n\t"
        "movq %%rdx, %[t2]\n\t"
        "movq 0(%[a]), %%rax\n\t"
        "mulq 16(%[a])\n\t"
        "addq %%rax, %[t2]\n\t"
        "adcq $0, %%rdx\n\t"
        "movq %%rdx, %[t3]\n\t"
        "movq 0(%[a]), %%rax\n\t"
        "mulq 24(%[a])\n\t"
        "addq %%rax, %[t3]\n\t"
        "adcq $0, %%rdx\n\t"
        "movq %%rdx, %[s0]\n\t"
        // a[1]·a[2], a[1]·a[3] into t3..s1
        "movq 8(%[a]), %%rax\n\t"
        "mulq 16(%[a])\n\t"
        "addq %%rax, %[t3]\n\t"
        "adcq $0, %%rdx\n\t"
        "movq %%rdx, %[c]\n\t"
        "movq 8(%[a]), %%rax\n\t"
        "mulq 24(%[a])\n\t"
        "addq %[c], %%rax\n\t"
        "adcq $0, %%rdx\n\t"
        "addq %%rax, %[s0]\n\t"
        "adcq $0, %%rdx\n\t"
        "movq %%rdx, %[s1]\n\t"
        // a[2]·a[3] into s1..s2
        "movq 16(%[a]), %%rax\n\t"
        "mulq 24(%[a])\n\t"
        "addq %%rax, %[s1]\n\t"
        "adcq $0, %%rdx\n\t"
        "movq %%rdx, %[s2]\n\t"
        // doubled, the carry into s3
        "xorl %k[s3], %k[s3]\n\t"
        "addq %[t1], %[t1]\n\t"
        "adcq %[t2], %[t2]\n\t"
        "adcq %[t3], %[t3]\n\t"
        "adcq %[s0], %[s0]\n\t"
        "adcq %[s1], %[s1]\n\t"
        "adcq %[s2], %[s2]\n\t"
        "adcq $0, %[s3]\n\t"
        // the squares a[i]², one carry chain kept across the multiplications
        // as a mask in c (sbb saves it, neg restores it)
        "movq 0(%[a]), %%rax\n\t"
        "mulq %%rax\n\t"
        "movq %%rax, %[t0]\n\t"
        "movq %%rdx, %[c]\n\t"
        "movq 8(%[a]), %%rax\n\t"
        "mulq %%rax\n\t"
        "addq %[c], %[t1]\n\t"
        "adcq %%rax, %[t2]\n\t"
        "adcq %%rdx, %[t3]\n\t"
        "sbbq %[c], %[c]\n\t"
        "movq 16(%[a]), %%rax\n\t"
        "mulq %%rax\n\t"
        "negq %[c]\n\t"
        "adcq %%rax, %[s0]\n\t"
        "adcq %%rdx, %[s1]\n\t"
        "sbbq %[c], %[c]\n\t"
        "movq 24(%[a]), %%rax\n\t"
        "mulq %%rax\n\t"
        "negq %[c]\n\t"
        "adcq %%rax, %[s2]\n\t"
        "adcq %%rdx, %[s3]\n\t"
        LUMORA_X86_SQR_REDUCE(LUMORA_X86_REDC_ROW, s0, s1, s2, s3)
        LUMORA_X86_REDUCE_ONCE
        : [t0] "=&r"(t0), [t1] "=&r"(t1), [t2] "=&r"(t2), [t3] "=&r"(t3), [s0] "=&r"(s0), [s1] "=&r"(s1),
          [s2] "=&r"(s2), [s3] "=&r"(s3), [m] "=&r"(m), [c] "=&r"(c), "=&a"(rax), "=&d"(rdx)
        : [a] "r"(a.data()), "m"(a), LUMORA_X86_CONSTANTS
        : "cc");
    return {t0, t1, t2, t3};
}

// a + b mod p for a, b below p (the sum fits in 256 bits since p < 2^255).
template <class P>
inline Limbs add(const Limbs& a, const Limbs& b) {
    u64 t0 = a[0], t1 = a[1], t2 = a[2], t3 = a[3], s0, s1, s2, s3, rax;
    asm("addq 0(%[b]), %[t0]\n\t"
        "adcq 8(%[b]), %[t1]\n\t"
        "adcq 16(%[b]), %[t2]\n\t"
        "adcq 24(%[b]), %[t3]\n\t"
        LUMORA_X86_REDUCE_ONCE
        : [t0] "+&r"(t0), [t1] "+&r"(t1), [t2] "+&r"(t2), [t3] "+&r"(t3), [s0] "=&r"(s0), [s1] "=&r"(s1),
          [s2] "=&r"(s2), [s3] "=&r"(s3), "=&a"(rax)
        : [b] "r"(b.data()), "m"(b), LUMORA_X86_CONSTANTS
        : "cc");
    return {t0, t1, t2, t3};
}

// a − b mod p for a, b below p: p is added back, masked by the borrow.
template <class P>
inline Limbs sub(const Limbs& a, const Limbs& b) {
    u64 t0 = a[0], t1 = a[1], t2 = a[2], t3 = a[3], s0, s1, s2, s3, mask;
    asm("subq 0(%[b]), %[t0]\n\t"
        "sbbq 8(%[b]), %[t1]\n\t"
        "sbbq 16(%[b]), %[t2]\n\t"
        "sbbq 24(%[b]), %[t3]\n\t"
        "sbbq %[mask], %[mask]\n\t"
        "movabsq %[q0], %[s0]\n\t"
        "andq %[mask], %[s0]\n\t"
        "movabsq %[q1], %[s1]\n\t"
        "andq %[mask], %[s1]\n\t"
        "movabsq %[q2], %[s2]\n\t"
        "andq %[mask], %[s2]\n\t"
        "movabsq %[q3], %[s3]\n\t"
        "andq %[mask], %[s3]\n\t"
        "addq %[s0], %[t0]\n\t"
        "adcq %[s1], %[t1]\n\t"
        "adcq %[s2], %[t2]\n\t"
        "adcq %[s3], %[t3]\n\t"
        : [t0] "+&r"(t0), [t1] "+&r"(t1), [t2] "+&r"(t2), [t3] "+&r"(t3), [s0] "=&r"(s0), [s1] "=&r"(s1),
          [s2] "=&r"(s2), [s3] "=&r"(s3), [mask] "=&r"(mask)
        : [b] "r"(b.data()), "m"(b), [q0] "i"(P::MODULUS[0]), [q1] "i"(P::MODULUS[1]), [q2] "i"(P::MODULUS[2]),
          [q3] "i"(P::MODULUS[3])
        : "cc");
    return {t0, t1, t2, t3};
}

// MULX/ADX forms of the multiplication. They need BMI2 and ADX at run time
// only: the instructions live in the assembly text, so the compiler needs no
// flag and emits nothing beyond the baseline around them. Only code that
// has checked the CPU may call them. MULX leaves the flags alone, so the low
// and high halves of each row's products ride two independent carry chains,
// OF (ADOX) and CF (ADCX), with no register shuffling between them.
//
// Five registers r0..r4 hold the running value t and the word above it; each
// reduction step clears the lowest one, which then becomes the top word of
// the next row, so the rows below rename instead of moving.

// (A:T3:T2:T1:T0) = a[0]·b.
#define LUMORA_ADX_MUL_FIRST(T0, T1, T2, T3, A)   \
    "movq 0(%[a]), %%rdx\n\t"                     \
    "mulxq 0(%[b]), %[" #T0 "], %[" #T1 "]\n\t"   \
    "mulxq 8(%[b]), %[lo], %[" #T2 "]\n\t"        \
    "addq %[lo], %[" #T1 "]\n\t"                  \
    "mulxq 16(%[b]), %[lo], %[" #T3 "]\n\t"       \
    "adcq %[lo], %[" #T2 "]\n\t"                  \
    "mulxq 24(%[b]), %[lo], %[" #A "]\n\t"        \
    "adcq %[lo], %[" #T3 "]\n\t"                  \
    "adcq $0, %[" #A "]\n\t"

// (A:T3:T2:T1:T0) = (T3:T2:T1:T0) + a[i]·b for i ≥ 1 (A's old value unused).
// The sum fits in five words, so neither chain carries out of A.
#define LUMORA_ADX_MUL_ROW(OFFSET, T0, T1, T2, T3, A) \
    "movq " #OFFSET "(%[a]), %%rdx\n\t"           \
    "xorl %k[lo], %k[lo]\n\t"                     \
    "mulxq 0(%[b]), %[lo], %[hi]\n\t"             \
    "adoxq %[lo], %[" #T0 "]\n\t"                 \
    "adcxq %[hi], %[" #T1 "]\n\t"                 \
    "mulxq 8(%[b]), %[lo], %[hi]\n\t"             \
    "adoxq %[lo], %[" #T1 "]\n\t"                 \
    "adcxq %[hi], %[" #T2 "]\n\t"                 \
    "mulxq 16(%[b]), %[lo], %[hi]\n\t"            \
    "adoxq %[lo], %[" #T2 "]\n\t"                 \
    "adcxq %[hi], %[" #T3 "]\n\t"                 \
    "mulxq 24(%[b]), %[lo], %[" #A "]\n\t"        \
    "adoxq %[lo], %[" #T3 "]\n\t"                 \
    "movl $0, %k[lo]\n\t"                         \
    "adcxq %[lo], %[" #A "]\n\t"                  \
    "adoxq %[lo], %[" #A "]\n\t"

// t = (t + m·p) / 2^64 with m = T0·inv: T0 becomes zero, the value moves
// to (A:T3:T2:T1) and stays below 2p.
#define LUMORA_ADX_REDUCE(T0, T1, T2, T3, A)      \
    "movq %[" #T0 "], %%rdx\n\t"                  \
    "imulq 32(%[q]), %%rdx\n\t"                   \
    "xorl %k[lo], %k[lo]\n\t"                     \
    "mulxq 0(%[q]), %[lo], %[hi]\n\t"             \
    "adcxq %[lo], %[" #T0 "]\n\t"                 \
    "mulxq 8(%[q]), %[lo], %[hi2]\n\t"            \
    "adcxq %[lo], %[" #T1 "]\n\t"                 \
    "adoxq %[hi], %[" #T1 "]\n\t"                 \
    "mulxq 16(%[q]), %[lo], %[hi]\n\t"            \
    "adcxq %[lo], %[" #T2 "]\n\t"                 \
    "adoxq %[hi2], %[" #T2 "]\n\t"                \
    "mulxq 24(%[q]), %[lo], %[hi2]\n\t"           \
    "adcxq %[lo], %[" #T3 "]\n\t"                 \
    "adoxq %[hi], %[" #T3 "]\n\t"                 \
    "movl $0, %k[lo]\n\t"                         \
    "adcxq %[lo], %[hi2]\n\t"                     \
    "adoxq %[hi2], %[" #A "]\n\t"

// (V3:V2:V1:V0) −= p when that does not borrow (the value is below 2p):
// the difference into S0..S3, p read through the constants' register.
#define LUMORA_ADX_REDUCE_ONCE(V0, V1, V2, V3, S0, S1, S2, S3) \
    "movq %[" #V0 "], %[" #S0 "]\n\t"                        \
    "subq 0(%[q]), %[" #S0 "]\n\t"                           \
    "movq %[" #V1 "], %[" #S1 "]\n\t"                        \
    "sbbq 8(%[q]), %[" #S1 "]\n\t"                           \
    "movq %[" #V2 "], %[" #S2 "]\n\t"                        \
    "sbbq 16(%[q]), %[" #S2 "]\n\t"                          \
    "movq %[" #V3 "], %[" #S3 "]\n\t"                        \
    "sbbq 24(%[q]), %[" #S3 "]\n\t"                          \
    "cmovaeq %[" #S0 "], %[" #V0 "]\n\t"                     \
    "cmovaeq %[" #S1 "], %[" #V1 "]\n\t"                     \
    "cmovaeq %[" #S2 "], %[" #V2 "]\n\t"                     \
    "cmovaeq %[" #S3 "], %[" #V3 "]\n\t"

// a·b·2^−256 mod p, fully reduced, for any 256-bit a and b below p: the same
// operand-scanning schedule as mont_mul, in MULX/ADX form. p below 2^254
// keeps every intermediate value within five words and the result below 2p
// before the final subtraction.
template <class P>
inline Limbs mont_mul_adx(const Limbs& a, const Limbs& b) {
    static_assert(P::MODULUS[3] < (u64{1} << 62));
    // The modulus and −p⁻¹ mod 2^64, addressed through one register (never
    // written, so the asm needs no memory operand for them).
    static constexpr std::array<u64, 5> constants = {P::MODULUS[0], P::MODULUS[1], P::MODULUS[2], P::MODULUS[3],
                                                     P::INV};
    u64 r0, r1, r2, r3, r4, lo, hi, hi2, rdx;
    asm(LUMORA_ADX_MUL_FIRST(r0, r1, r2, r3, r4)
        LUMORA_ADX_REDUCE(r0, r1, r2, r3, r4)
        LUMORA_ADX_MUL_ROW(8, r1, r2, r3, r4, r0)
        LUMORA_ADX_REDUCE(r1, r2, r3, r4, r0)
        LUMORA_ADX_MUL_ROW(16, r2, r3, r4, r0, r1)
        LUMORA_ADX_REDUCE(r2, r3, r4, r0, r1)
        LUMORA_ADX_MUL_ROW(24, r3, r4, r0, r1, r2)
        LUMORA_ADX_REDUCE(r3, r4, r0, r1, r2)
        // The value is (r2:r1:r0:r4).
        LUMORA_ADX_REDUCE_ONCE(r4, r0, r1, r2, r3, lo, hi, hi2)
        : [r0] "=&r"(r0), [r1] "=&r"(r1), [r2] "=&r"(r2), [r3] "=&r"(r3), [r4] "=&r"(r4), [lo] "=&r"(lo),
          [hi] "=&r"(hi), [hi2] "=&r"(hi2), "=&d"(rdx)
        : [a] "r"(a.data()), [b] "r"(b.data()), [q] "r"(constants.data()), "m"(a), "m"(b)
        : "cc");
    return {r4, r0, r1, r2};
}

// One reduction step of a squaring's low half in MULX/ADX form, in place:
// m = T0·inv, and (T3:T2:T1:T0) + m·p, whose low word is zero, leaves
// (T0:T3:T2:T1), the top word in T0; low halves ride CF, high halves OF.
#define LUMORA_ADX_REDC(T0, T1, T2, T3)           \
    "movq %[" #T0 "], %%rdx\n\t"                  \
    "imulq 32(%[q]), %%rdx\n\t"                   \
    "xorl %k[lo], %k[lo]\n\t"                     \
    "mulxq 0(%[q]), %[lo], %[hi]\n\t"             \
    "adcxq %[lo], %[" #T0 "]\n\t"                 \
    "adoxq %[hi], %[" #T1 "]\n\t"                 \
    "mulxq 8(%[q]), %[lo], %[hi]\n\t"             \
    "adcxq %[lo], %[" #T1 "]\n\t"                 \
    "adoxq %[hi], %[" #T2 "]\n\t"                 \
    "mulxq 16(%[q]), %[lo], %[hi]\n\t"            \
    "adcxq %[lo], %[" #T2 "]\n\t"                 \
    "adoxq %[hi], %[" #T3 "]\n\t"                 \
    "mulxq 24(%[q]), %[lo], %[" #T0 "]\n\t"       \
    "adcxq %[lo], %[" #T3 "]\n\t"                 \
    "movl $0, %k[lo]\n\t"                         \
    "adcxq %[lo], %[" #T0 "]\n\t"                 \
    "adoxq %[lo], %[" #T0 "]\n\t"

// a·a·2^−256 mod p, fully reduced, for a below p: mont_sqr's schedule (the
// square with each a[i]·a[j], i < j, once, the low half reduced, the high
// half added) in MULX/ADX form. The doubling rides CF and the squares a[i]²
// OF through the same words.
template <class P>
inline Limbs mont_sqr_adx(const Limbs& a) {
    static_assert(P::MODULUS[3] < (u64{1} << 62));
    static constexpr std::array<u64, 5> constants = {P::MODULUS[0], P::MODULUS[1], P::MODULUS[2], P::MODULUS[3],
                                                     P::INV};
    u64 t0, t1, t2, t3, t4, t5, t6, t7, lo, hi, rdx;
    asm(// a[0]·a[1], a[0]·a[2], a[0]·a[3] into t1..t4
        "movq 0(%[a]), %%rdx\n\t"
        "mulxq 8(%[a]), %[t1], %[t2]\n\t"
        "mulxq 16(%[a]), %[lo], %[t3]\n\t"
        "addq %[lo], %[t2]\n\t"
        "mulxq 24(%[a]), %[lo], %[t4]\n\t"
        "adcq %[lo], %[t3]\n\t"
        "adcq $0, %[t4]\n\t"
        // a[1]·a[2], a[1]·a[3], a[2]·a[3] into t3..t6
        "xorl %k[t5], %k[t5]\n\t"
        "movq 8(%[a]), %%rdx\n\t"
        "mulxq 16(%[a]), %[lo], %[hi]\n\t"
        "adcxq %[lo], %[t3]\n\t"
        "adoxq %[hi], %[t4]\n\t"
        "mulxq 24(%[a]), %[lo], %[hi]\n\t"
        "adcxq %[lo], %[t4]\n\t"
        "adoxq %[hi], %[t5]\n\t"
        "movq 16(%[a]), %%rdx\n\t"
        "mulxq 24(%[a]), %[lo], %[t6]\n\t"
        "adcxq %[lo], %[t5]\n\t"
        "movl $0, %k[lo]\n\t"
        "adcxq %[lo], %[t6]\n\t"
        "adoxq %[lo], %[t6]\n\t"
        // doubled (CF) with the squares added (OF)
        "xorl %k[t7], %k[t7]\n\t"
        "movq 0(%[a]), %%rdx\n\t"
        "mulxq %%rdx, %[t0], %[hi]\n\t"
        "adcxq %[t1], %[t1]\n\t"
        "adoxq %[hi], %[t1]\n\t"
        "movq 8(%[a]), %%rdx\n\t"
        "mulxq %%rdx, %[lo], %[hi]\n\t"
        "adcxq %[t2], %[t2]\n\t"
        "adoxq %[lo], %[t2]\n\t"
        "adcxq %[t3], %[t3]\n\t"
        "adoxq %[hi], %[t3]\n\t"
        "movq 16(%[a]), %%rdx\n\t"
        "mulxq %%rdx, %[lo], %[hi]\n\t"
        "adcxq %[t4], %[t4]\n\t"
        "adoxq %[lo], %[t4]\n\t"
        "adcxq %[t5], %[t5]\n\t"
        "adoxq %[hi], %[t5]\n\t"
        "movq 24(%[a]), %%rdx\n\t"
        "mulxq %%rdx, %[lo], %[hi]\n\t"
        "adcxq %[t6], %[t6]\n\t"
        "adoxq %[lo], %[t6]\n\t"
        "adcxq %[t7], %[t7]\n\t"
        "adoxq %[hi], %[t7]\n\t"
        // the final subtraction's scratch is the added high half
        LUMORA_X86_SQR_REDUCE(LUMORA_ADX_REDC, t4, t5, t6, t7)
        LUMORA_ADX_REDUCE_ONCE(t0, t1, t2, t3, t4, t5, t6, t7)
        : [t0] "=&r"(t0), [t1] "=&r"(t1), [t2] "=&r"(t2), [t3] "=&r"(t3), [t4] "=&r"(t4), [t5] "=&r"(t5),
          [t6] "=&r"(t6), [t7] "=&r"(t7), [lo] "=&r"(lo), [hi] "=&r"(hi), "=&d"(rdx)
        : [a] "r"(a.data()), [q] "r"(constants.data()), "m"(a)
        : "cc");
    return {t0, t1, t2, t3};
}

#undef LUMORA_ADX_MUL_FIRST
#undef LUMORA_ADX_MUL_ROW
#undef LUMORA_ADX_REDUCE
#undef LUMORA_ADX_REDC
#undef LUMORA_ADX_REDUCE_ONCE

#undef LUMORA_X86_MUL_ROW
#undef LUMORA_X86_REDC_ROW
#undef LUMORA_X86_SQR_REDUCE
#undef LUMORA_X86_REDUCE_ROW
#undef LUMORA_X86_REDUCE_ONCE
#undef LUMORA_X86_CONSTANTS

}  // namespace x86_64
}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::field
