#pragma once
// Shared object references with the framework's semantics: a reference may be
// nil, assigning one releases the old object, an object is destroyed with its
// last reference, and reaching a member through a nil reference raises
// NilObjectException instead of crashing.

#include <memory>
#include <utility>

#include "framework/Exceptions.h"

template <class T>
class Ref {
public:
    Ref() = default;
    Ref(std::nullptr_t) {}
    Ref(std::shared_ptr<T> p) : p_(std::move(p)) {}
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    Ref(const Ref<U>& other) : p_(other.shared()) {}

    T* operator->() const { return &deref(); }
    T& operator*() const { return deref(); }

    explicit operator bool() const { return p_ != nullptr; }
    bool IsNil() const { return p_ == nullptr; }
    T* get() const { return p_.get(); }
    const std::shared_ptr<T>& shared() const { return p_; }

    // The object as another class of its hierarchy, or nil when it is not one.
    template <class U>
    Ref<U> As() const { return Ref<U>(std::dynamic_pointer_cast<U>(p_)); }
    // The framework's type test ("IsA").
    template <class U>
    bool IsA() const { return dynamic_cast<U*>(p_.get()) != nullptr; }

    friend bool operator==(const Ref& a, const Ref& b) { return a.p_ == b.p_; }
    friend bool operator==(const Ref& a, std::nullptr_t) { return a.p_ == nullptr; }

private:
    T& deref() const {
        if (!p_) throw NilObjectException();
        return *p_;
    }
    std::shared_ptr<T> p_;
};

// Makes a new object and returns the first reference to it.
template <class T, class... Args>
Ref<T> New(Args&&... args) {
    return Ref<T>(std::make_shared<T>(std::forward<Args>(args)...));
}
