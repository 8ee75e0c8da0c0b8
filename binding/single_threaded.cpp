// Linked into the module with the static C++ runtime (see CMakeLists.txt).
//
// libstdc++ built against glibc 2.32 or newer reads the C library's
// __libc_single_threaded flag to skip atomic reference counting while a
// process has one thread; that one data symbol alone would make the module
// need glibc 2.32. This hidden definition satisfies the runtime's references
// inside the module instead. It is always 0, "maybe several threads", so the
// runtime always takes its atomic path: correct in every process, and the
// paths it guards (exception objects, local static guards) are not hot here.
extern "C" {
__attribute__((visibility("hidden"))) char __libc_single_threaded = 0;
}
