#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <unordered_map>

namespace corvid {

// An immutable text shared by reference count: copies point to one heap block,
// so the thousands of statements of one user or module hold one copy of its
// name. An empty text holds no block. The count is atomic: copies may live and
// die on different threads.
class CSharedText {
public:
    struct SBlock;

    CSharedText() noexcept = default;
    CSharedText(std::string_view text) : m_Block(NewBlock(text)) {}
    CSharedText(const std::string& text) : CSharedText(std::string_view(text)) {}
    CSharedText(const char* text) : CSharedText(std::string_view(text)) {}
    CSharedText(const CSharedText& other) noexcept : m_Block(other.m_Block) { AddRef(m_Block); }
    CSharedText(CSharedText&& other) noexcept : m_Block(other.m_Block) { other.m_Block = nullptr; }
    ~CSharedText() { Release(m_Block); }

    CSharedText& operator=(const CSharedText& other) noexcept;
    CSharedText& operator=(CSharedText&& other) noexcept;
    CSharedText& operator=(std::string_view text) { return *this = CSharedText(text); }
    CSharedText& operator=(const std::string& text) { return *this = CSharedText(text); }
    CSharedText& operator=(const char* text) { return *this = CSharedText(text); }

    std::size_t size() const noexcept { return View(m_Block).size(); }
    std::size_t length() const noexcept { return size(); }
    bool empty() const noexcept { return m_Block == nullptr; }
    const char* data() const noexcept { return View(m_Block).data(); }
    const char* c_str() const noexcept { return data(); }
    std::string_view view() const noexcept { return View(m_Block); }
    std::string str() const { return std::string(view()); }
    void clear() noexcept { *this = CSharedText(); }

    operator std::string_view() const noexcept { return view(); }
    operator std::string() const { return str(); }

    friend bool operator==(const CSharedText& a, const CSharedText& b) noexcept { return a.view() == b.view(); }
    friend bool operator==(const CSharedText& a, std::string_view b) noexcept { return a.view() == b; }
    friend bool operator==(const CSharedText& a, const std::string& b) noexcept { return a.view() == b; }
    friend bool operator==(const CSharedText& a, const char* b) noexcept { return a.view() == b; }
    friend auto operator<=>(const CSharedText& a, const CSharedText& b) noexcept { return a.view() <=> b.view(); }
    friend auto operator<=>(const CSharedText& a, std::string_view b) noexcept { return a.view() <=> b; }
    friend auto operator<=>(const CSharedText& a, const std::string& b) noexcept {
        return a.view() <=> std::string_view(b);
    }
    friend auto operator<=>(const CSharedText& a, const char* b) noexcept { return a.view() <=> std::string_view(b); }

    // The blocks themselves, for the packed texts that keep a long text in one.
    // NewBlock gives null for an empty text; every function accepts null.
    static SBlock* NewBlock(std::string_view text);
    static void AddRef(SBlock* block) noexcept;
    static void Release(SBlock* block) noexcept;
    static std::string_view View(const SBlock* block) noexcept;

private:
    SBlock* m_Block = nullptr;
};

// Hands out one shared copy of each distinct text: a load interns its user
// names, optimizer modes and modules, which repeat over thousands of statements.
class CTextInterner {
public:
    CSharedText Intern(std::string_view text);
    std::size_t Size() const { return m_Texts.size(); }

private:
    // The keys view the texts of the values, whose blocks never move.
    std::unordered_map<std::string_view, CSharedText> m_Texts;
};

// A short identifier in 12 bytes: up to 11 characters as they are; up to 22
// upper-case hexadecimal digits (a statement's address) at four bits each; up to
// 17 characters of the lower-case base-32 alphabet of SQL IDs at five bits each;
// any other text in a shared heap block. Every text reads back exactly as given.
// The characters are not stored as such: read them with View into a buffer, or
// append them.
class CPackedText {
public:
    static constexpr std::size_t kInlineCapacity = 11;
    static constexpr std::size_t kHexCapacity = 22;
    static constexpr std::size_t kBase32Capacity = 17;
    // Room for any text read back without the heap.
    using Buffer = char[kHexCapacity];

    CPackedText() noexcept { SetRaw(0); }
    CPackedText(std::string_view text) { Assign(text); }
    CPackedText(const std::string& text) { Assign(text); }
    CPackedText(const char* text) { Assign(text); }
    CPackedText(const CPackedText& other) noexcept;
    CPackedText(CPackedText&& other) noexcept;
    ~CPackedText() { CSharedText::Release(Block()); }

    CPackedText& operator=(const CPackedText& other) noexcept;
    CPackedText& operator=(CPackedText&& other) noexcept;
    CPackedText& operator=(std::string_view text);
    CPackedText& operator=(const std::string& text) { return *this = std::string_view(text); }
    CPackedText& operator=(const char* text) { return *this = std::string_view(text); }

    std::size_t size() const noexcept;
    std::size_t length() const noexcept { return size(); }
    bool empty() const noexcept { return size() == 0; }
    // The text, in `buffer` or in the heap block; valid while both are.
    std::string_view View(Buffer& buffer) const noexcept;
    void AppendTo(std::string& out) const;
    std::string str() const;
    void clear() noexcept { *this = CPackedText(); }
    operator std::string() const { return str(); }

    friend bool operator==(const CPackedText& a, std::string_view b) noexcept {
        Buffer buffer;
        return a.View(buffer) == b;
    }
    friend bool operator==(const CPackedText& a, const CPackedText& b) noexcept {
        Buffer buffer;
        return a == b.View(buffer);
    }
    friend bool operator==(const CPackedText& a, const std::string& b) noexcept { return a == std::string_view(b); }
    friend bool operator==(const CPackedText& a, const char* b) noexcept { return a == std::string_view(b); }
    friend std::strong_ordering operator<=>(const CPackedText& a, std::string_view b) noexcept {
        Buffer buffer;
        return a.View(buffer) <=> b;
    }
    friend std::strong_ordering operator<=>(const CPackedText& a, const CPackedText& b) noexcept {
        Buffer buffer;
        return a <=> b.View(buffer);
    }

    // For keys: bits equal for equal texts (a text always takes the same form), and
    // an equality test that reads the texts back only where one is on the heap.
    std::uint64_t KeyBits() const noexcept;
    bool SameText(const CPackedText& other) const noexcept;

private:
    static constexpr std::size_t kTagAt = 11;  // the last byte: the form and length
    static constexpr unsigned char kHexTag = 0x40;
    static constexpr unsigned char kBase32Tag = 0x80;
    static constexpr unsigned char kHeapTag = 0xFF;

    unsigned char Tag() const noexcept { return m_Bytes[kTagAt]; }
    CSharedText::SBlock* Block() const noexcept;
    void SetRaw(std::size_t size) noexcept { m_Bytes[kTagAt] = static_cast<unsigned char>(size); }
    void Assign(std::string_view text);

    alignas(4) unsigned char m_Bytes[12];
};

// A time as the server writes it, YYYY-MM-DD/HH24:MI:SS, in 8 bytes: its fourteen
// digits as one number; any other text in a shared heap block. Reads back exactly
// as given; orders as the texts do.
class CTimeText {
public:
    static constexpr std::size_t kTimeLength = 19;
    using Buffer = char[kTimeLength];

    CTimeText() noexcept = default;
    CTimeText(std::string_view text) { Assign(text); }
    CTimeText(const std::string& text) { Assign(text); }
    CTimeText(const char* text) { Assign(text); }
    CTimeText(const CTimeText& other) noexcept : m_Bits(other.m_Bits) { CSharedText::AddRef(Block()); }
    CTimeText(CTimeText&& other) noexcept : m_Bits(other.m_Bits) { other.m_Bits = 0; }
    ~CTimeText() { CSharedText::Release(Block()); }

    CTimeText& operator=(const CTimeText& other) noexcept;
    CTimeText& operator=(CTimeText&& other) noexcept;
    CTimeText& operator=(std::string_view text) { return *this = CTimeText(text); }
    CTimeText& operator=(const std::string& text) { return *this = CTimeText(text); }
    CTimeText& operator=(const char* text) { return *this = CTimeText(text); }

    std::size_t size() const noexcept { return IsPacked() ? kTimeLength : CSharedText::View(Block()).size(); }
    std::size_t length() const noexcept { return size(); }
    bool empty() const noexcept { return m_Bits == 0; }
    std::string_view View(Buffer& buffer) const noexcept;
    void AppendTo(std::string& out) const;
    std::string str() const;
    void clear() noexcept { *this = CTimeText(); }
    operator std::string() const { return str(); }

    friend bool operator==(const CTimeText& a, std::string_view b) noexcept {
        Buffer buffer;
        return a.View(buffer) == b;
    }
    friend bool operator==(const CTimeText& a, const CTimeText& b) noexcept;
    friend bool operator==(const CTimeText& a, const std::string& b) noexcept { return a == std::string_view(b); }
    friend bool operator==(const CTimeText& a, const char* b) noexcept { return a == std::string_view(b); }
    friend std::strong_ordering operator<=>(const CTimeText& a, std::string_view b) noexcept {
        Buffer buffer;
        return a.View(buffer) <=> b;
    }
    friend std::strong_ordering operator<=>(const CTimeText& a, const CTimeText& b) noexcept;

    // As CPackedText's.
    std::uint64_t KeyBits() const noexcept;
    bool SameText(const CTimeText& other) const noexcept;

private:
    // 0: empty; odd: the digits shifted left by one; otherwise the heap block.
    bool IsPacked() const noexcept { return (m_Bits & 1) != 0; }
    CSharedText::SBlock* Block() const noexcept;
    void Assign(std::string_view text);

    std::uint64_t m_Bits = 0;
};

// A count the server gives as a NUMBER of at most 32 bits without sign (a hash
// value, a version count), in 4 bytes. Reads as a double. A value outside that
// range, which the server does not give, is held at the nearest end; NaN as 0.
class CUnsigned32 {
public:
    CUnsigned32() noexcept = default;
    CUnsigned32(double value) noexcept : m_Value(Narrow(value)) {}
    operator double() const noexcept { return m_Value; }
    std::uint32_t Value() const noexcept { return m_Value; }
    static std::uint32_t Narrow(double value) noexcept;

private:
    std::uint32_t m_Value = 0;
};

std::string& operator+=(std::string& out, const CPackedText& text);
std::string& operator+=(std::string& out, const CTimeText& text);
std::ostream& operator<<(std::ostream& out, const CSharedText& text);
std::ostream& operator<<(std::ostream& out, const CPackedText& text);
std::ostream& operator<<(std::ostream& out, const CTimeText& text);

}  // namespace corvid
