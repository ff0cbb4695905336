#include "collection/CompactText.h"

#include <cstring>
#include <ostream>

namespace corvid {

static_assert(sizeof(CCompactText) == 24);

CCompactText::SHeap CCompactText::Heap() const noexcept {
    SHeap heap;
    std::memcpy(&heap, m_Buffer, sizeof heap);
    return heap;
}

void CCompactText::Assign(std::string_view text) {
    if (text.size() <= kInlineCapacity) {
        std::memcpy(m_Buffer, text.data(), text.size());
        SetInline(text.size());
        return;
    }
    SHeap heap{new char[text.size() + 1], text.size()};
    std::memcpy(heap.text, text.data(), text.size());
    heap.text[text.size()] = '\0';
    std::memcpy(m_Buffer, &heap, sizeof heap);
    m_Buffer[kTagAt] = static_cast<char>(kOnHeap);
}

void CCompactText::Release() noexcept {
    if (!IsInline()) delete[] Heap().text;
}

void CCompactText::Steal(CCompactText& other) noexcept {
    std::memcpy(m_Buffer, other.m_Buffer, sizeof m_Buffer);
    other.SetInline(0);
}

CCompactText& CCompactText::operator=(const CCompactText& other) {
    if (this != &other) *this = other.view();
    return *this;
}

CCompactText& CCompactText::operator=(CCompactText&& other) noexcept {
    if (this != &other) {
        Release();
        Steal(other);
    }
    return *this;
}

CCompactText& CCompactText::operator=(std::string_view text) {
    // The text may lie in this object's own storage: copied before it is released.
    CCompactText copy(text);
    Release();
    Steal(copy);
    return *this;
}

std::ostream& operator<<(std::ostream& out, const CCompactText& text) {
    return out << text.view();
}

}  // namespace corvid
