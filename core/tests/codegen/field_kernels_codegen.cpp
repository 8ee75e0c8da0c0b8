// The portable field kernels as standalone functions, for scripts/field-codegen.sh
// to compile for aarch64 and disassemble: each must come out as straight-line
// code (mul/umulh, carries taken from the flags), with no call and no branch.
#include "field/fr.h"
#include "field/fs.h"

using namespace lumora::field;

extern "C" {
void codegen_fr_mont_mul(Limbs* r, const Limbs* a, const Limbs* b) { *r = detail::mont_mul_portable<FrParams>(*a, *b); }
void codegen_fs_mont_mul(Limbs* r, const Limbs* a, const Limbs* b) { *r = detail::mont_mul_portable<FsParams>(*a, *b); }
void codegen_fr_mont_sqr(Limbs* r, const Limbs* a) { *r = detail::mont_sqr_portable<FrParams>(*a); }
void codegen_fr_add(Limbs* r, const Limbs* a, const Limbs* b) { *r = detail::add_portable<FrParams>(*a, *b); }
void codegen_fr_sub(Limbs* r, const Limbs* a, const Limbs* b) { *r = detail::sub_portable<FrParams>(*a, *b); }
void codegen_mul_acc(u64* c, u64 x, u64 y) { detail::mul_acc_portable(c[0], c[1], c[2], x, y); }
void codegen_fr_sum_of_products_9(Fr* r, const std::array<Fr, 9>* a, const std::array<Fr, 9>* b) {
    *r = Fr::sum_of_products<9>(*a, *b);
}
}
