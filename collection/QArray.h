#pragma once

#include <algorithm>
#include <cstddef>
#include <stdexcept>
#include <utility>
#include <vector>

namespace corvid {

// A growable array of values, owned by value, with positions counted from 0.
// The document's collection of statements is one. Every positional access is
// checked: a position outside the array throws std::out_of_range rather than
// touching memory that is not there.
template <typename T>
class CQArray {
public:
    using Index = std::ptrdiff_t;
    using iterator = typename std::vector<T>::iterator;
    using const_iterator = typename std::vector<T>::const_iterator;

    CQArray() = default;

    Index GetSize() const { return static_cast<Index>(m_items.size()); }
    Index GetCount() const { return GetSize(); }
    Index GetUpperBound() const { return GetSize() - 1; }
    bool IsEmpty() const { return m_items.empty(); }

    // Grows with default values or shrinks to exactly `size` elements.
    void SetSize(Index size) {
        if (size < 0) throw std::out_of_range("CQArray::SetSize: negative size");
        m_items.resize(static_cast<std::size_t>(size));
    }
    void Reserve(Index size) {
        if (size > 0) m_items.reserve(static_cast<std::size_t>(size));
    }

    const T& GetAt(Index i) const { return m_items[Check(i)]; }
    T& ElementAt(Index i) { return m_items[Check(i)]; }
    void SetAt(Index i, const T& value) { m_items[Check(i)] = value; }
    const T& operator[](Index i) const { return m_items[Check(i)]; }
    T& operator[](Index i) { return m_items[Check(i)]; }

    // Appends a copy; returns its position.
    Index Add(const T& value) {
        m_items.push_back(value);
        return GetSize() - 1;
    }
    Index Add(T&& value) {
        m_items.push_back(std::move(value));
        return GetSize() - 1;
    }
    // Appends every element of `other`; returns the position of the first one.
    Index Append(const CQArray& other) {
        Index first = GetSize();
        m_items.insert(m_items.end(), other.m_items.begin(), other.m_items.end());
        return first;
    }
    void Copy(const CQArray& other) {
        if (this != &other) m_items = other.m_items;
    }

    // Inserts `count` copies of `value` before position i (i may be the size).
    void InsertAt(Index i, const T& value, Index count = 1) {
        if (i < 0 || i > GetSize() || count < 0) throw std::out_of_range("CQArray::InsertAt: position out of range");
        m_items.insert(m_items.begin() + i, static_cast<std::size_t>(count), value);
    }
    void RemoveAt(Index i, Index count = 1) {
        if (i < 0 || count < 0 || i + count > GetSize()) {
            throw std::out_of_range("CQArray::RemoveAt: range out of range");
        }
        m_items.erase(m_items.begin() + i, m_items.begin() + i + count);
    }
    void RemoveAll() { m_items.clear(); }

    // Stable sort by `less`.
    template <typename Less>
    void Sort(Less less) {
        std::stable_sort(m_items.begin(), m_items.end(), less);
    }

    iterator begin() { return m_items.begin(); }
    iterator end() { return m_items.end(); }
    const_iterator begin() const { return m_items.begin(); }
    const_iterator end() const { return m_items.end(); }

    bool operator==(const CQArray&) const = default;

private:
    std::size_t Check(Index i) const {
        if (i < 0 || i >= GetSize()) throw std::out_of_range("CQArray: position out of range");
        return static_cast<std::size_t>(i);
    }

    std::vector<T> m_items;
};

}  // namespace corvid
