// The shape every entry point from Python shares: the one noexcept adapter
// that keeps C++ exceptions out of the interpreter, and the one helper that
// runs core work under a registry's lock.
#pragma once

#include "lib/py.hpp"

#include <mutex>        // std::lock_guard
#include <type_traits>  // std::invoke_result_t, std::is_pointer_v
#include <utility>      // std::forward

#include "errors.hpp"            // Result, QudimError
#include "lib/handle.hpp"        // RegistryHandle, CoreRegistry
#include "registry/suggest.hpp"  // annotate_undefined

namespace qudim::py {

/// Sets the Python exception for the C++ exception being handled:
/// MemoryError for std::bad_alloc, SystemError for anything else.
void set_error_from_current_exception() noexcept;

namespace detail {

/// What a slot or method returns to report a raised exception.
template <class R>
constexpr R failure_value() noexcept {
  if constexpr (std::is_pointer_v<R>) {
    return nullptr;
  } else {
    return static_cast<R>(-1);  // int, Py_hash_t, Py_ssize_t
  }
}

template <auto Fn, class Sig>
struct Entry;

template <auto Fn, class R, class... Args>
struct Entry<Fn, R (*)(Args...)> {
  static R call(Args... args) noexcept {
    try {
      return Fn(args...);
    } catch (...) {
      set_error_from_current_exception();
      if constexpr (!std::is_void_v<R>) return failure_value<R>();
    }
  }
};

}  // namespace detail

/// The noexcept adapter around an implementing function, with the same
/// signature: `entry<quantity_to>` in a method table or slot. An escaping C++
/// exception becomes the matching Python exception here and nowhere else.
template <auto Fn>
inline constexpr auto entry = &detail::Entry<Fn, decltype(Fn)>::call;

/// A PyMethodDef entry of a METH_FASTCALL | METH_KEYWORDS method.
template <auto Fn>
constexpr PyMethodDef fastcall_method(const char* name, const char* doc) {
  return {name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(entry<Fn>)),
          METH_FASTCALL | METH_KEYWORDS, doc};
}

template <class T>
struct is_result : std::false_type {};
template <class T>
struct is_result<Result<T>> : std::true_type {};

/// Runs fn(registry) under handle's lock and hands back what it returns, the
/// lock released. Nothing in fn may create a Python object or run Python
/// code: that code could call back into the same registry and deadlock. A
/// failure naming an undefined unit gets its close spellings as a note while
/// the registry is still at hand (the error path only).
template <class Fn>
auto locked(const RegistryHandle& handle, Fn&& fn) -> std::invoke_result_t<Fn, UnitRegistry&> {
  CoreRegistry& core = *handle.get();
  const std::lock_guard<std::mutex> lock(core.mutex);
  auto result = std::forward<Fn>(fn)(core.registry);
  if constexpr (is_result<decltype(result)>::value) {
    if (!result) annotate_undefined(core.registry, result.error());
  }
  return result;
}

}  // namespace qudim::py
