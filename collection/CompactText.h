#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>

namespace corvid {

// A short text in 24 bytes: up to 22 characters in place (a statement's address,
// SQL ID and times, which the server gives at a fixed width), a longer one on the
// heap. Reads as a std::string_view; compares and appends like a string.
class CCompactText {
public:
    static constexpr std::size_t kInlineCapacity = 22;

    CCompactText() noexcept { SetInline(0); }
    CCompactText(std::string_view text) { Assign(text); }
    CCompactText(const std::string& text) { Assign(text); }
    CCompactText(const char* text) { Assign(text); }
    CCompactText(const CCompactText& other) { Assign(other.view()); }
    CCompactText(CCompactText&& other) noexcept { Steal(other); }
    ~CCompactText() { Release(); }

    CCompactText& operator=(const CCompactText& other);
    CCompactText& operator=(CCompactText&& other) noexcept;
    CCompactText& operator=(std::string_view text);
    CCompactText& operator=(const std::string& text) { return *this = std::string_view(text); }
    CCompactText& operator=(const char* text) { return *this = std::string_view(text); }

    std::size_t size() const noexcept { return IsInline() ? static_cast<unsigned char>(m_Buffer[kTagAt]) : Heap().size; }
    std::size_t length() const noexcept { return size(); }
    bool empty() const noexcept { return size() == 0; }
    const char* data() const noexcept { return IsInline() ? m_Buffer : Heap().text; }
    const char* c_str() const noexcept { return data(); }
    std::string_view view() const noexcept { return {data(), size()}; }
    std::string str() const { return std::string(view()); }
    void clear() noexcept {
        Release();
        SetInline(0);
    }

    operator std::string_view() const noexcept { return view(); }
    operator std::string() const { return str(); }

    friend bool operator==(const CCompactText& a, const CCompactText& b) noexcept { return a.view() == b.view(); }
    friend bool operator==(const CCompactText& a, std::string_view b) noexcept { return a.view() == b; }
    friend bool operator==(const CCompactText& a, const std::string& b) noexcept { return a.view() == b; }
    friend bool operator==(const CCompactText& a, const char* b) noexcept { return a.view() == b; }
    friend auto operator<=>(const CCompactText& a, const CCompactText& b) noexcept { return a.view() <=> b.view(); }
    friend auto operator<=>(const CCompactText& a, std::string_view b) noexcept { return a.view() <=> b; }
    friend auto operator<=>(const CCompactText& a, const std::string& b) noexcept {
        return a.view() <=> std::string_view(b);
    }
    friend auto operator<=>(const CCompactText& a, const char* b) noexcept { return a.view() <=> std::string_view(b); }

private:
    static constexpr std::size_t kTagAt = sizeof(char[24]) - 1;  // the last byte: length, or kOnHeap
    static constexpr unsigned char kOnHeap = 0xFF;
    struct SHeap {
        char* text;
        std::size_t size;
    };

    bool IsInline() const noexcept { return static_cast<unsigned char>(m_Buffer[kTagAt]) != kOnHeap; }
    SHeap Heap() const noexcept;
    void SetInline(std::size_t size) noexcept {
        m_Buffer[size] = '\0';
        m_Buffer[kTagAt] = static_cast<char>(size);
    }
    void Assign(std::string_view text);
    void Release() noexcept;
    void Steal(CCompactText& other) noexcept;

    alignas(8) char m_Buffer[24];
};

std::ostream& operator<<(std::ostream& out, const CCompactText& text);

}  // namespace corvid
