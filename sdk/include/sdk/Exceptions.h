#pragma once
// The host's array exceptions and its bounds-checked table types.
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace MaxSDK::Util {
// Thrown by the host's bounds-checked arrays; what() is the host's message.
class OutOfRangeException : public std::out_of_range {
public:
    explicit OutOfRangeException(const char* msg) : std::out_of_range(msg) {}
    const char* GetMessage() const { return what(); }
};

class Noncopyable {
protected:
    Noncopyable() = default;
    ~Noncopyable() = default;
public:
    Noncopyable(const Noncopyable&) = delete;
    Noncopyable& operator=(const Noncopyable&) = delete;
};
}  // namespace MaxSDK::Util

namespace MaxSDK {
inline constexpr const char* kArrayOutOfBoundsMessage =
    "Argument index out of bounds, passed into a MaxSDK::Array::operator[]";

// Bounds-checked growable array.
template <class T>
class Array {
public:
    Array() = default;
    int length() const { return static_cast<int>(data_.size()); }
    T& operator[](int i) { check(i); return data_[static_cast<size_t>(i)]; }
    const T& operator[](int i) const { check(i); return data_[static_cast<size_t>(i)]; }
    void append(T v) { data_.push_back(std::move(v)); }
    void removeAll() { data_.clear(); }
    void reserve(int n) { data_.reserve(static_cast<size_t>(n)); }
private:
    void check(int i) const {
        if (i < 0 || i >= length()) throw Util::OutOfRangeException(kArrayOutOfBoundsMessage);
    }
    std::vector<T> data_;
};
}  // namespace MaxSDK

class TabOutOfRangeException : public std::out_of_range {
public:
    TabOutOfRangeException() : std::out_of_range("Invalid index passed into a Max SDK Tab::operator[]") {}
};

// The host's table: bounds-checked element access.
template <class T>
class Tab {
public:
    int Count() const { return static_cast<int>(data_.size()); }
    T& operator[](int i) { check(i); return data_[static_cast<size_t>(i)]; }
    const T& operator[](int i) const { check(i); return data_[static_cast<size_t>(i)]; }
    int Append(int n, const T* items) {
        for (int k = 0; k < n; ++k) data_.push_back(items[k]);
        return Count() - n;
    }
    void Append(const T& item) { data_.push_back(item); }
    void SetCount(int n) { data_.resize(static_cast<size_t>(n)); }
    void Resize(int n) { data_.reserve(static_cast<size_t>(n)); }
    void ZeroCount() { data_.clear(); }
    T* Addr(int i) { check(i); return &data_[static_cast<size_t>(i)]; }
    // Unchecked access for hot loops that stay inside [0, Count()).
    T* data() { return data_.data(); }
    const T* data() const { return data_.data(); }
private:
    void check(int i) const {
        if (i < 0 || i >= Count()) throw TabOutOfRangeException();
    }
    std::vector<T> data_;
};
