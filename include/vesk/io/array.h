// Array<T>: the library's internal owned array (scratch buffers, the memory output
// stream's bytes, version blocks). Header-only and not exported.
//
// The visible size is the element count; underneath, the block has a capacity that
// grows geometrically, so that many small resizes cost amortised constant time.
#pragma once

#include <vesk/config.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <new>
#include <utility>

namespace vesk {

template <class T> class Array {
public:
    Array() noexcept : data(nullptr), count(0), capacity(0) {}

    // count elements, not initialised.
    explicit Array(unsigned count) : data(nullptr), count(0), capacity(0) { resize(count); }

    Array(const Array& other) : data(nullptr), count(0), capacity(0) {
        if (other.count != 0) {
            std::unique_ptr<T[]> block(new T[other.count]);
            std::copy(other.data, other.data + other.count, block.get());
            data = block.release();
            count = capacity = other.count;
        }
    }

    Array(Array&& other) noexcept : data(other.data), count(other.count), capacity(other.capacity) {
        other.data = nullptr;
        other.count = other.capacity = 0;
    }

    Array& operator=(const Array& other) {
        if (this != &other) {
            Array copy(other);
            swap(copy);
        }
        return *this;
    }

    Array& operator=(Array&& other) noexcept {
        Array moved(std::move(other));
        swap(moved);
        return *this;
    }

    virtual ~Array() { delete[] data; }

    // Sets the element count. Growing past the capacity allocates a new block (at least
    // twice the old capacity), copies the old elements and frees the old block; the new
    // elements are not initialised. On std::bad_alloc the array is unchanged.
    void resize(unsigned newCount) {
        if (newCount > capacity) {
            unsigned grown = capacity > std::numeric_limits<unsigned>::max() / 2
                                 ? std::numeric_limits<unsigned>::max()
                                 : capacity * 2;
            reallocate(std::max(newCount, grown));
        }
        count = newCount;
    }

    // Makes room for at least wanted elements without changing the count.
    void reserve(unsigned wanted) {
        if (wanted > capacity) reallocate(wanted);
    }

    void swap(Array& other) noexcept {
        std::swap(data, other.data);
        std::swap(count, other.count);
        std::swap(capacity, other.capacity);
    }

    T* getData() noexcept { return data; }
    const T* getData() const noexcept { return data; }
    unsigned getSize() const noexcept { return count; }
    unsigned getCapacity() const noexcept { return capacity; }

    T& operator[](unsigned i) noexcept { return data[i]; }
    const T& operator[](unsigned i) const noexcept { return data[i]; }

private:
    // Out of line, so that the resizes that stay within the capacity (nearly all of
    // them) cost their callers a compare and a store.
    __attribute__((noinline)) void reallocate(unsigned newCapacity) {
        std::unique_ptr<T[]> block(new T[newCapacity]);
        std::copy(data, data + count, block.get());
        delete[] data;
        data = block.release();
        capacity = newCapacity;
    }

    T* data;
    unsigned count;
    unsigned capacity;
};

} // namespace vesk
