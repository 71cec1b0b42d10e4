// ref_ptr<T>: the library's shared-ownership pointer. It holds a pointer to a
// separately allocated reference count and a pointer to the object; the last
// ref_ptr to let go deletes both. The count block's address is the object's identity
// for an Archive: ref_ptrs of different types made from one another share it.
#pragma once

#include <cstddef>
#include <type_traits>
#include <utility>

namespace vesk {

template <class T> class ref_ptr {
public:
    using element_type = T;

    ref_ptr() noexcept : count(nullptr), object(nullptr) {}
    ref_ptr(std::nullptr_t) noexcept : count(nullptr), object(nullptr) {}

    // Takes ownership of object (a null object gives an empty ref_ptr). If the count
    // cannot be allocated, the object is deleted before std::bad_alloc goes on.
    explicit ref_ptr(T* object) : count(nullptr), object(nullptr) {
        if (object) {
            try {
                count = new long(1);
            } catch (...) {
                delete object;
                throw;
            }
            this->object = object;
        }
    }

    ref_ptr(const ref_ptr& other) noexcept : count(other.count), object(other.object) { acquire(); }

    template <class U, class = std::enable_if_t<std::is_convertible<U*, T*>::value>>
    ref_ptr(const ref_ptr<U>& other) noexcept : count(other.count), object(other.object) {
        acquire();
    }

    ref_ptr(ref_ptr&& other) noexcept : count(other.count), object(other.object) {
        other.count = nullptr;
        other.object = nullptr;
    }

    template <class U, class = std::enable_if_t<std::is_convertible<U*, T*>::value>>
    ref_ptr(ref_ptr<U>&& other) noexcept : count(other.count), object(other.object) {
        other.count = nullptr;
        other.object = nullptr;
    }

    ~ref_ptr() { release(); }

    // Takes its argument by value: copies, moves and conversions all end here, and
    // assigning a ref_ptr to itself (or to one that the old object owns) is safe.
    ref_ptr& operator=(ref_ptr other) noexcept {
        swap(other);
        return *this;
    }

    void reset() noexcept { ref_ptr().swap(*this); }
    void reset(T* newObject) { ref_ptr(newObject).swap(*this); }

    void swap(ref_ptr& other) noexcept {
        std::swap(count, other.count);
        std::swap(object, other.object);
    }

    T* get() const noexcept { return object; }
    T& operator*() const noexcept { return *object; }
    T* operator->() const noexcept { return object; }
    explicit operator bool() const noexcept { return object != nullptr; }

    // Number of ref_ptrs sharing the object; 0 for an empty one.
    long getCount() const noexcept { return count ? *count : 0; }
    // Address of the count block, null for an empty ref_ptr.
    const void* getCountBlock() const noexcept { return count; }

    // A ref_ptr<U> sharing this object's count, or an empty one if the object is not a U.
    template <class U> ref_ptr<U> dynamicCast() const noexcept {
        U* cast = dynamic_cast<U*>(object);
        return cast ? ref_ptr<U>(count, cast) : ref_ptr<U>();
    }

private:
    template <class U> friend class ref_ptr;

    // Shares an existing count.
    ref_ptr(long* count, T* object) noexcept : count(count), object(object) { acquire(); }

    void acquire() noexcept {
        if (count) ++*count;
    }

    void release() noexcept {
        if (count && --*count == 0) {
            T* dying = object;
            long* block = count;
            count = nullptr;
            object = nullptr;
            destroy(dying, block);
        }
    }

    // Out of line: inlined, the delete lets GCC's use-after-free analysis follow a
    // count block into code where another ref_ptr still holds it, and warn falsely.
    __attribute__((noinline)) static void destroy(T* dying, long* block) noexcept {
        delete dying;
        delete block;
    }

    long* count;
    T* object;
};

template <class T, class U> bool operator==(const ref_ptr<T>& a, const ref_ptr<U>& b) noexcept {
    return a.get() == b.get();
}
template <class T, class U> bool operator!=(const ref_ptr<T>& a, const ref_ptr<U>& b) noexcept {
    return a.get() != b.get();
}
template <class T> bool operator==(const ref_ptr<T>& a, std::nullptr_t) noexcept { return !a; }
template <class T> bool operator!=(const ref_ptr<T>& a, std::nullptr_t) noexcept { return static_cast<bool>(a); }

} // namespace vesk
