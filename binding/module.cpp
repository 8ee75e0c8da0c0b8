// The CPython module `lumora_python_sdk`: argument binding, result conversion
// and failure mapping for functions that each call one core operation. Every
// function is one row of FUNCTIONS, made from the core's list of operations
// (LUMORA_SDK_OPERATIONS, sdk/api.h); one binder serves them all.
//
// Ownership: every PyObject* held in a Ref is a new reference released on
// every path; raw PyObject* parameters are borrowed.
//
// The file compiles against the full C API and against the 3.12 stable ABI
// (Py_LIMITED_API=0x030c0000, set by the build for the abi3 wheel), with the
// same behaviour: it uses only calls that both offer.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <array>
#include <atomic>
#include <cstddef>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "sdk/api.h"

namespace {

using lumora::Abort;
using lumora::Result;
namespace api = lumora::sdk::api;  // rows name the operations here as they are built

// A new reference, released when the holder goes out of scope.
class Ref {
public:
    Ref() = default;
    explicit Ref(PyObject* p) : p_(p) {}
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    ~Ref() { Py_XDECREF(p_); }
    void reset(PyObject* p) { Py_XDECREF(std::exchange(p_, p)); }
    PyObject* get() const { return p_; }
    PyObject* release() { return std::exchange(p_, nullptr); }
    explicit operator bool() const { return p_ != nullptr; }

private:
    PyObject* p_ = nullptr;
};

constexpr std::size_t MAX_PARAMS = api::MAX_PARAMETERS;
using Args = std::array<std::string_view, MAX_PARAMS>;
using Outcome = std::variant<std::string, bool>;
using Operation = Result<Outcome> (*)(const Args&);

template <class F>
struct Arity;
template <class R, class... P>
struct Arity<R (*)(P...)> {
    static constexpr std::size_t value = sizeof...(P);
};

template <auto F, std::size_t... I>
Result<Outcome> call_with(const Args& a, std::index_sequence<I...>) {
    auto r = F(a[I]...);
    if (!r.ok()) return std::move(r).error();
    return Outcome(std::move(r).value());
}

// Adapts a core operation of any arity to the uniform row signature.
template <auto F>
Result<Outcome> adapt(const Args& a) {
    return call_with<F>(a, std::make_index_sequence<Arity<decltype(F)>::value>{});
}

PyObject* panic_exception_type();
PyObject* value_error_type();

struct Function {
    const char* name;
    const char* doc;  // only a text signature, so __doc__ is None
    api::ParameterNames params;
    const char* context;        // put in front of an error report
    PyObject* (*abort_type)();  // the class every failure of the function raises
    Operation op;
};

// The class a row's failures raise, by its failure column.
constexpr auto RAISES_ERROR = value_error_type;
constexpr auto RAISES_PANIC = panic_exception_type;

// One row per operation, in the list's order, which is the order of
// __all__. The parameter names come from the row's list as written, and
// must be as many as the operation takes.
#define LUMORA_BINDING_ROW(result, name, params, inputs, failure, context)                                \
    Function{#name, #name #params "\n--\n\n", api::parameter_names(#params), context, RAISES_##failure,  \
             adapt<&api::name>},
constexpr auto FUNCTIONS = std::to_array<Function>({LUMORA_SDK_OPERATIONS(LUMORA_BINDING_ROW)});
#undef LUMORA_BINDING_ROW

#define LUMORA_BINDING_ARITY(result, name, params, ...)                                      \
    static_assert(api::parameter_names(#params).count == Arity<decltype(&api::name)>::value, \
                  #name ": the parameter names and the operation's arity differ");
LUMORA_SDK_OPERATIONS(LUMORA_BINDING_ARITY)
#undef LUMORA_BINDING_ARITY

// ---------------------------------------------------------------------------
// Failure mapping

// pyo3_runtime.PanicException, created on the first abort that reaches us and
// kept for the life of the process (under the interpreter lock).
PyObject* panic_exception_type() {
    static PyObject* type = nullptr;
    if (type == nullptr) {
        type = PyErr_NewExceptionWithDoc(
            "pyo3_runtime.PanicException",
            "The exception raised when native code called from Python aborts.\n\n"
            "Like SystemExit, this exception is derived from BaseException so that\n"
            "it will typically propagate all the way through the stack and cause the\n"
            "Python interpreter to exit.",
            PyExc_BaseException, nullptr);
    }
    return type;  // borrowed; null with an exception set when creation failed
}

// Raises an abort message as an exception of the given class (borrowed; null
// when creating it failed, with that exception set).
PyObject* raise_abort(std::string_view message, PyObject* type) {
    if (type == nullptr) return nullptr;
    Ref text(PyUnicode_FromStringAndSize(message.data(), static_cast<Py_ssize_t>(message.size())));
    if (!text) return nullptr;
    PyErr_SetObject(type, text.get());
    return nullptr;
}

// The class an abort becomes: ValueError for the rows whose failures are
// errors, PanicException for the others, ImportError while the module is set
// up.
PyObject* value_error_type() { return PyExc_ValueError; }
PyObject* import_error_type() { return PyExc_ImportError; }

// The only guard: every C++ exception that the core or this file throws ends
// here, with the interpreter lock held. An abort raises `abort_type()` with
// its message; running out of memory anywhere is MemoryError, and that
// handler allocates nothing.
template <class Body>
PyObject* guarded(PyObject* (*abort_type)(), Body&& body) {
    try {
        return body();
    } catch (const Abort& a) {
        return raise_abort(a.message(), abort_type());
    } catch (const std::bad_alloc&) {
        return PyErr_NoMemory();
    } catch (...) {
        constexpr std::string_view message = "unexpected failure in native code";
        lumora::write_abort_diagnostic(message);
        return raise_abort(message, abort_type());
    }
}

template <class... T>
PyObject* raise_type_error(const T&... parts) {
    std::string message;
    (message.append(parts), ...);
    PyErr_SetString(PyExc_TypeError, message.c_str());
    return nullptr;
}

// ---------------------------------------------------------------------------
// Argument binding

std::string_view utf8_of(PyObject* s) {  // s borrowed, a str
    Py_ssize_t size = 0;
    const char* data = PyUnicode_AsUTF8AndSize(s, &size);
    if (data == nullptr) return {};
    return {data, static_cast<std::size_t>(size)};
}

std::string quoted_name_list(const Function& f, const std::array<PyObject*, MAX_PARAMS>& bound,
                             std::size_t& count) {
    std::array<std::string_view, MAX_PARAMS> missing{};
    count = 0;
    for (std::size_t i = 0; i < f.params.count; ++i)
        if (bound[i] == nullptr) missing[count++] = f.params.names[i];
    std::string out;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) out += count == 2 ? " and " : (i + 1 == count ? ", and " : ", ");
        out += "'";
        out += missing[i];
        out += "'";
    }
    return out;
}

// Fills `bound` (borrowed references) from a vectorcall; false with a TypeError set on failure.
bool bind_arguments(const Function& f, PyObject* const* args, Py_ssize_t nargsf, PyObject* kwnames,
                    std::array<PyObject*, MAX_PARAMS>& bound) {
    const Py_ssize_t nargs = PyVectorcall_NARGS(nargsf);
    const std::string name = std::string(f.name) + "()";
    if (static_cast<std::size_t>(nargs) > f.params.count) {
        raise_type_error(name, " takes ", std::to_string(f.params.count), " positional arguments but ",
                         std::to_string(nargs), nargs == 1 ? " was given" : " were given");
        return false;
    }
    for (Py_ssize_t i = 0; i < nargs; ++i) bound[static_cast<std::size_t>(i)] = args[i];

    // The tuple functions, not the macros: the stable ABI has only these.
    const Py_ssize_t nkw = kwnames == nullptr ? 0 : PyTuple_Size(kwnames);
    for (Py_ssize_t k = 0; k < nkw; ++k) {
        PyObject* key = PyTuple_GetItem(kwnames, k);  // borrowed, k within bounds
        std::size_t slot = MAX_PARAMS;
        if (PyUnicode_Check(key)) {
            const std::string_view key_text = utf8_of(key);
            if (PyErr_Occurred()) PyErr_Clear();  // an unencodable name matches nothing
            for (std::size_t i = 0; i < f.params.count; ++i)
                if (key_text == f.params.names[i]) slot = i;
        }
        if (slot == MAX_PARAMS) {
            Ref shown(PyObject_Str(key));
            if (!shown) return false;
            const std::string_view shown_text = utf8_of(shown.get());
            if (PyErr_Occurred()) return false;
            raise_type_error(name, " got an unexpected keyword argument '", lumora::text::echo_excerpt(shown_text),
                             "'");
            return false;
        }
        if (bound[slot] != nullptr) {
            raise_type_error(name, " got multiple values for argument '", f.params.names[slot], "'");
            return false;
        }
        bound[slot] = args[nargs + k];
    }

    std::size_t count = 0;
    const std::string names = quoted_name_list(f, bound, count);
    if (count > 0) {
        raise_type_error(name, " missing ", std::to_string(count), " required positional argument",
                         count > 1 ? "s: " : ": ", names);
        return false;
    }
    return true;
}

// The UTF-8 text of each bound argument, in parameter order; false with the
// exception set on the first failure.
bool convert_arguments(const Function& f, const std::array<PyObject*, MAX_PARAMS>& bound, Args& text) {
    for (std::size_t i = 0; i < f.params.count; ++i) {
        PyObject* arg = bound[i];  // borrowed
        if (!PyUnicode_Check(arg)) {
            std::string type_name = "<failed to extract type name>";
            Ref qualname(PyType_GetQualName(Py_TYPE(arg)));
            if (qualname) {
                const std::string_view q = utf8_of(qualname.get());
                if (!PyErr_Occurred()) type_name = lumora::text::echo_excerpt(q);
            }
            PyErr_Clear();
            raise_type_error("argument '", f.params.names[i], "': '", type_name,
                             "' object cannot be converted to 'PyString'");
            return false;
        }
        text[i] = utf8_of(arg);  // the buffer lives as long as the str, which the caller holds
        if (PyErr_Occurred()) return false;  // UnicodeEncodeError, unchanged
    }
    return true;
}

// ---------------------------------------------------------------------------
// The one binder

// Releases the interpreter lock for its lifetime, and takes it back on every
// way out, unwinding included.
class InterpreterLockReleased {
public:
    InterpreterLockReleased() : state_(PyEval_SaveThread()) {}
    InterpreterLockReleased(const InterpreterLockReleased&) = delete;
    InterpreterLockReleased& operator=(const InterpreterLockReleased&) = delete;
    ~InterpreterLockReleased() { PyEval_RestoreThread(state_); }

private:
    PyThreadState* state_;
};

// Runs the row's operation without the interpreter lock: the core works on
// the copied-out views only, so other threads may run meanwhile. A failure
// the operation returns becomes an abort, with the row's context in front.
Outcome run_operation(const Function& f, const Args& text) {
    const InterpreterLockReleased released;
    Result<Outcome> r = f.op(text);
    if (!r.ok()) {
        std::string message = std::string(f.context) + ": " + r.error().report();
        lumora::write_abort_diagnostic(message);
        throw Abort(std::move(message));
    }
    return std::move(r).value();
}

PyObject* call_function(const Function& f, PyObject* const* args, Py_ssize_t nargsf, PyObject* kwnames) {
    return guarded(f.abort_type, [&]() -> PyObject* {
        std::array<PyObject*, MAX_PARAMS> bound{};
        Args text{};
        if (!bind_arguments(f, args, nargsf, kwnames, bound) || !convert_arguments(f, bound, text)) return nullptr;
        Outcome value = run_operation(f, text);
        if (const bool* b = std::get_if<bool>(&value)) return Py_NewRef(*b ? Py_True : Py_False);
        std::string& s = std::get<std::string>(value);
        PyObject* result = PyUnicode_FromStringAndSize(s.data(), static_cast<Py_ssize_t>(s.size()));
        // A result may be a derived private key: the native copy goes once Python has its own.
        lumora::wipe_bytes(s.data(), s.size());
        return result;
    });
}

template <std::size_t I>
PyObject* trampoline(PyObject* /*module*/, PyObject* const* args, Py_ssize_t nargsf, PyObject* kwnames) {
    return call_function(FUNCTIONS[I], args, nargsf, kwnames);
}

template <std::size_t... I>
std::array<PyMethodDef, sizeof...(I)> make_method_defs(std::index_sequence<I...>) {
    return {{{FUNCTIONS[I].name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&trampoline<I>)),
              METH_FASTCALL | METH_KEYWORDS, FUNCTIONS[I].doc}...}};
}

// Function definitions are never freed: the function objects point at them.
std::array<PyMethodDef, FUNCTIONS.size()> METHOD_DEFS = make_method_defs(std::make_index_sequence<FUNCTIONS.size()>{});

// ---------------------------------------------------------------------------
// Module initialisation

PyModuleDef MODULE_DEF = {
    PyModuleDef_HEAD_INIT,
    "lumora_python_sdk",
    "A Python module implemented natively: hashing, signing and key functions for the exchange's transactions.",
    0,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

std::atomic<bool> INITIALISED{false};

// Adds one function to the module and to its __all__; false with an exception set.
bool add_function(PyObject* module, PyObject* module_name, PyMethodDef* def) {
    Ref function(PyCMethod_New(def, module, module_name, nullptr));
    if (!function) return false;
    Ref name(PyObject_GetAttrString(function.get(), "__name__"));
    if (!name) return false;
    Ref all(PyObject_GetAttrString(module, "__all__"));
    if (!all) {
        if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return false;
        PyErr_Clear();
        all.reset(PyList_New(0));
        if (!all || PyObject_SetAttrString(module, "__all__", all.get()) < 0) return false;
    }
    if (!PyList_Check(all.get()) || PyList_Append(all.get(), name.get()) < 0) {
        const std::string message = "could not append __name__ to __all__";
        lumora::write_abort_diagnostic(message);
        PyErr_Clear();
        raise_abort(message, panic_exception_type());
        return false;
    }
    return PyObject_SetAttr(module, name.get(), function.get()) == 0;
}

// Builds the core's shared tables while the interpreter lock is held, so no
// other thread of this interpreter can fork meanwhile and no call afterwards
// builds anything under a lock a forked child would inherit
// (api::prepare()); false with an exception set.
bool prepare_core() {
    return guarded(import_error_type, [] {
        api::prepare();
        return Py_None;  // borrowed, only a mark of success
    }) != nullptr;
}

}  // namespace

PyMODINIT_FUNC PyInit_lumora_python_sdk() {
    Ref module(PyModule_Create(&MODULE_DEF));
    if (!module) return nullptr;
    if (INITIALISED.exchange(true)) {
        PyErr_SetString(PyExc_ImportError, "PyO3 modules may only be initialized once per interpreter process");
        return nullptr;
    }
    if (!prepare_core()) return nullptr;
    Ref module_name(PyUnicode_FromString(PyModule_GetName(module.get())));
    if (!module_name) return nullptr;
    for (PyMethodDef& def : METHOD_DEFS)
        if (!add_function(module.get(), module_name.get(), &def)) return nullptr;
    // Not in __all__: a star import brings the functions only.
    if (PyModule_AddStringConstant(module.get(), "__version__", LUMORA_VERSION) < 0) return nullptr;
    return module.release();
}
