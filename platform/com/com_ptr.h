// A counted interface pointer: holds one reference and releases it when it
// goes, so early returns cannot leak an object.
#pragma once

#include <cstddef>
#include <utility>

#include "platform/com/unknown.h"

namespace ksv::com {

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}  // NOLINT(google-explicit-constructor)
  // Takes a reference of its own; the caller keeps theirs.
  explicit ComPtr(T* pointer) : pointer_(pointer) { AddRefHeld(); }
  ComPtr(const ComPtr& other) : pointer_(other.pointer_) { AddRefHeld(); }
  ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
  ~ComPtr() { Reset(); }

  ComPtr& operator=(const ComPtr& other) {
    ComPtr(other).Swap(*this);
    return *this;
  }
  ComPtr& operator=(ComPtr&& other) noexcept {
    ComPtr(std::move(other)).Swap(*this);
    return *this;
  }
  ComPtr& operator=(std::nullptr_t) {
    Reset();
    return *this;
  }

  // Wraps a reference the caller already owns (an out-parameter's result).
  static ComPtr Adopt(T* pointer) {
    ComPtr adopted;
    adopted.pointer_ = pointer;
    return adopted;
  }

  T* Get() const { return pointer_; }
  T* operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }

  // For out-parameters: the held reference is released first.
  T** ReleaseAndGetAddressOf() {
    Reset();
    return &pointer_;
  }
  T** GetAddressOf() { return &pointer_; }

  void Reset() {
    if (T* old = std::exchange(pointer_, nullptr)) old->Release();
  }
  void Attach(T* pointer) {
    Reset();
    pointer_ = pointer;
  }
  T* Detach() { return std::exchange(pointer_, nullptr); }

  // Another interface of the same object.
  template <class U>
  HRESULT As(ComPtr<U>* other) const {
    if (other == nullptr) return E_POINTER;
    if (pointer_ == nullptr) {
      other->Reset();
      return E_POINTER;
    }
    return pointer_->QueryInterface(IidOf<U>(),
                                    reinterpret_cast<void**>(other->ReleaseAndGetAddressOf()));
  }
  // A counted copy for an out-parameter.
  HRESULT CopyTo(T** out) const {
    if (out == nullptr) return E_POINTER;
    *out = pointer_;
    AddRefHeld();
    return S_OK;
  }

  void Swap(ComPtr& other) noexcept { std::swap(pointer_, other.pointer_); }
  friend bool operator==(const ComPtr& a, const ComPtr& b) { return a.pointer_ == b.pointer_; }

 private:
  void AddRefHeld() const {
    if (pointer_ != nullptr) pointer_->AddRef();
  }
  T* pointer_ = nullptr;
};

}  // namespace ksv::com
