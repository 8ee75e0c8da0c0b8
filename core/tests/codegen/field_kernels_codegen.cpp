// The portable field kernels as standalone functions, for scripts/field-codegen.sh
// to compile for aarch64 and disassemble: each must come out as straight-line
// code (mul/umulh, carries taken from the flags), with no call and no branch.
// The constant-time inversion's parts are here too: its batch of divsteps,
// the updates of the wide values and the final normalisation (its only loop,
// over the batches, has a fixed count).
#include "field/fr.h"
#include "field/fs.h"

using namespace lumora::field;
using safegcd::i64;

extern "C" {
void codegen_fr_mont_mul(Limbs* r, const Limbs* a, const Limbs* b) { *r = detail::mont_mul_portable<FrParams>(*a, *b); }
void codegen_fs_mont_mul(Limbs* r, const Limbs* a, const Limbs* b) { *r = detail::mont_mul_portable<FsParams>(*a, *b); }
void codegen_fr_mont_sqr(Limbs* r, const Limbs* a) { *r = detail::mont_sqr_portable<FrParams>(*a); }
void codegen_fr_add(Limbs* r, const Limbs* a, const Limbs* b) { *r = detail::add_portable<FrParams>(*a, *b); }
void codegen_fr_sub(Limbs* r, const Limbs* a, const Limbs* b) { *r = detail::sub_portable<FrParams>(*a, *b); }
void codegen_mul_acc(u64* c, u64 x, u64 y) { detail::mul_acc_portable(c[0], c[1], c[2], x, y); }
i64 codegen_divsteps_59(i64 zeta, u64 f, u64 g, safegcd::Transition* t) { return safegcd::divsteps_59(zeta, f, g, *t); }
void codegen_fr_update_de(safegcd::Signed62* d, safegcd::Signed62* e, const safegcd::Transition* t) {
    safegcd::update_de<FR_MODULUS>(*d, *e, *t);
}
void codegen_fs_update_de(safegcd::Signed62* d, safegcd::Signed62* e, const safegcd::Transition* t) {
    safegcd::update_de<FS_MODULUS>(*d, *e, *t);
}
void codegen_update_fg(safegcd::Signed62* f, safegcd::Signed62* g, const safegcd::Transition* t) {
    safegcd::update_fg(5, *f, *g, *t);
}
void codegen_fr_normalize(Limbs* r, const safegcd::Signed62* d, i64 f_top) { *r = safegcd::normalize<FR_MODULUS>(*d, f_top); }
void codegen_fr_sum_of_products_9(Fr* r, const std::array<Fr, 9>* a, const std::array<Fr, 9>* b) {
    *r = Fr::sum_of_products<9>(*a, *b);
}
}
