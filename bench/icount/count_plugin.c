/* A qemu TCG plugin that counts the guest instructions a program executes
 * and prints the total when it exits, as "instructions: N" on standard error.
 *
 * Each translation block adds its instruction count to one counter when it
 * starts, an inline addition without a call. The count is exact for code
 * that runs its blocks to the end (no faults inside a block) and for one
 * thread, which is what the count driver is.
 *
 * Only the handful of declarations of the plugin interface (version 1) that
 * this uses are written out; the package that provides qemu installs no
 * header for them. Built as a shared object with the host's C compiler. */
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

typedef uint64_t qemu_plugin_id_t;
struct qemu_plugin_tb;
typedef struct qemu_info_t qemu_info_t; /* only passed through */
enum qemu_plugin_op { QEMU_PLUGIN_INLINE_ADD_U64 };

void qemu_plugin_register_vcpu_tb_trans_cb(qemu_plugin_id_t id,
                                           void (*cb)(qemu_plugin_id_t, struct qemu_plugin_tb*));
void qemu_plugin_register_vcpu_tb_exec_inline(struct qemu_plugin_tb* tb, enum qemu_plugin_op op, void* ptr,
                                              uint64_t imm);
size_t qemu_plugin_tb_n_insns(const struct qemu_plugin_tb* tb);
void qemu_plugin_register_atexit_cb(qemu_plugin_id_t id, void (*cb)(qemu_plugin_id_t, void*), void* userdata);

__attribute__((visibility("default"))) int qemu_plugin_version = 1;

static uint64_t executed;

static void on_translation(qemu_plugin_id_t id, struct qemu_plugin_tb* tb) {
    (void)id;
    qemu_plugin_register_vcpu_tb_exec_inline(tb, QEMU_PLUGIN_INLINE_ADD_U64, &executed, qemu_plugin_tb_n_insns(tb));
}

static void print_count(qemu_plugin_id_t id, void* userdata) {
    (void)id;
    (void)userdata;
    fprintf(stderr, "instructions: %llu\n", (unsigned long long)executed);
}

__attribute__((visibility("default"))) int qemu_plugin_install(qemu_plugin_id_t id, const qemu_info_t* info,
                                                               int argc, char** argv) {
    (void)info;
    (void)argc;
    (void)argv;
    qemu_plugin_register_vcpu_tb_trans_cb(id, on_translation);
    qemu_plugin_register_atexit_cb(id, print_count, NULL);
    return 0;
}
