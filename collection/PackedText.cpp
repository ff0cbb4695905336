#include "collection/PackedText.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <new>
#include <ostream>

namespace corvid {

static_assert(sizeof(CSharedText) == 8);
static_assert(sizeof(CPackedText) == 12 && alignof(CPackedText) == 4);
static_assert(sizeof(CTimeText) == 8);
static_assert(sizeof(CUnsigned32) == 4);

// ---------------------------------------------------------------- CSharedText

// The characters follow the block, with a terminating zero.
struct CSharedText::SBlock {
    std::atomic<std::size_t> references;
    std::size_t size;

    char* Text() { return reinterpret_cast<char*>(this + 1); }
    const char* Text() const { return reinterpret_cast<const char*>(this + 1); }
};

CSharedText::SBlock* CSharedText::NewBlock(std::string_view text) {
    if (text.empty()) return nullptr;
    SBlock* block = new (::operator new(sizeof(SBlock) + text.size() + 1)) SBlock{{1}, text.size()};
    std::memcpy(block->Text(), text.data(), text.size());
    block->Text()[text.size()] = '\0';
    return block;
}

void CSharedText::AddRef(SBlock* block) noexcept {
    if (block != nullptr) block->references.fetch_add(1, std::memory_order_relaxed);
}

void CSharedText::Release(SBlock* block) noexcept {
    if (block == nullptr || block->references.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    block->~SBlock();
    ::operator delete(block);
}

std::string_view CSharedText::View(const SBlock* block) noexcept {
    return block == nullptr ? std::string_view("", 0) : std::string_view(block->Text(), block->size);
}

CSharedText& CSharedText::operator=(const CSharedText& other) noexcept {
    AddRef(other.m_Block);  // before the release: other may be this
    Release(m_Block);
    m_Block = other.m_Block;
    return *this;
}

CSharedText& CSharedText::operator=(CSharedText&& other) noexcept {
    if (this != &other) {
        Release(m_Block);
        m_Block = other.m_Block;
        other.m_Block = nullptr;
    }
    return *this;
}

CSharedText CTextInterner::Intern(std::string_view text) {
    if (text.empty()) return CSharedText();
    const auto found = m_Texts.find(text);
    if (found != m_Texts.end()) return found->second;
    CSharedText shared(text);
    const std::string_view key = shared.view();
    return m_Texts.emplace(key, std::move(shared)).first->second;
}

// ---------------------------------------------------------------- CPackedText

namespace {

__extension__ typedef unsigned __int128 UInt128;

constexpr char kHexDigits[] = "0123456789ABCDEF";
// The alphabet of SQL IDs.
constexpr char kBase32Digits[] = "0123456789abcdfghjkmnpqrstuvwxyz";

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

int Base32Value(char c) {
    const void* at = std::memchr(kBase32Digits, c, 32);
    return c == '\0' || at == nullptr ? -1 : static_cast<int>(static_cast<const char*>(at) - kBase32Digits);
}

// Packs `text` at `bits` bits a character; false when a character is not in the alphabet.
template <typename Value>
bool Pack(std::string_view text, unsigned bits, Value value, UInt128& packed) {
    packed = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int digit = value(text[i]);
        if (digit < 0) return false;
        packed |= static_cast<UInt128>(digit) << (i * bits);
    }
    return true;
}

void Unpack(UInt128 packed, std::size_t size, unsigned bits, const char* digits, char* out) {
    const unsigned mask = (1u << bits) - 1;
    for (std::size_t i = 0; i < size; ++i)
        out[i] = digits[static_cast<unsigned>(packed >> (i * bits)) & mask];
}

}  // namespace

CSharedText::SBlock* CPackedText::Block() const noexcept {
    if (Tag() != kHeapTag) return nullptr;
    CSharedText::SBlock* block = nullptr;
    std::memcpy(&block, m_Bytes, sizeof block);
    return block;
}

void CPackedText::Assign(std::string_view text) {
    std::memset(m_Bytes, 0, sizeof m_Bytes);
    if (text.size() <= kInlineCapacity) {
        std::memcpy(m_Bytes, text.data(), text.size());
        SetRaw(text.size());
        return;
    }
    UInt128 packed = 0;
    if (text.size() <= kHexCapacity && Pack(text, 4, HexValue, packed)) {
        std::memcpy(m_Bytes, &packed, kTagAt);  // little-endian: the low 88 bits
        m_Bytes[kTagAt] = static_cast<unsigned char>(kHexTag | text.size());
        return;
    }
    if (text.size() <= kBase32Capacity && Pack(text, 5, Base32Value, packed)) {
        std::memcpy(m_Bytes, &packed, kTagAt);
        m_Bytes[kTagAt] = static_cast<unsigned char>(kBase32Tag | text.size());
        return;
    }
    CSharedText::SBlock* block = CSharedText::NewBlock(text);
    std::memcpy(m_Bytes, &block, sizeof block);
    m_Bytes[kTagAt] = kHeapTag;
}

CPackedText::CPackedText(const CPackedText& other) noexcept {
    std::memcpy(m_Bytes, other.m_Bytes, sizeof m_Bytes);
    CSharedText::AddRef(Block());
}

CPackedText::CPackedText(CPackedText&& other) noexcept {
    std::memcpy(m_Bytes, other.m_Bytes, sizeof m_Bytes);
    other.SetRaw(0);
}

CPackedText& CPackedText::operator=(const CPackedText& other) noexcept {
    CSharedText::AddRef(other.Block());  // before the release: other may be this
    CSharedText::Release(Block());
    std::memcpy(m_Bytes, other.m_Bytes, sizeof m_Bytes);
    return *this;
}

CPackedText& CPackedText::operator=(CPackedText&& other) noexcept {
    if (this != &other) {
        CSharedText::Release(Block());
        std::memcpy(m_Bytes, other.m_Bytes, sizeof m_Bytes);
        other.SetRaw(0);
    }
    return *this;
}

CPackedText& CPackedText::operator=(std::string_view text) {
    // The text may be this object's own heap block: packed before it is released.
    CPackedText packed(text);
    return *this = std::move(packed);
}

std::size_t CPackedText::size() const noexcept {
    const unsigned char tag = Tag();
    if (tag == kHeapTag) return CSharedText::View(Block()).size();
    if (tag & kBase32Tag) return tag & ~kBase32Tag;
    if (tag & kHexTag) return tag & ~kHexTag;
    return tag;
}

std::string_view CPackedText::View(Buffer& buffer) const noexcept {
    const unsigned char tag = Tag();
    if (tag == kHeapTag) return CSharedText::View(Block());
    if ((tag & (kHexTag | kBase32Tag)) == 0) return std::string_view(reinterpret_cast<const char*>(m_Bytes), tag);
    UInt128 packed = 0;
    std::memcpy(&packed, m_Bytes, kTagAt);
    const std::size_t length = size();
    if (tag & kBase32Tag) {
        Unpack(packed, length, 5, kBase32Digits, buffer);
    } else {
        Unpack(packed, length, 4, kHexDigits, buffer);
    }
    return std::string_view(buffer, length);
}

void CPackedText::AppendTo(std::string& out) const {
    Buffer buffer;
    out += View(buffer);
}

std::string CPackedText::str() const {
    Buffer buffer;
    return std::string(View(buffer));
}

// ------------------------------------------------------------------ CTimeText

namespace {

constexpr char kTimeShape[] = "0000-00-00/00:00:00";  // 0: a digit, else that character

bool PackTime(std::string_view text, std::uint64_t& digits) {
    if (text.size() != CTimeText::kTimeLength) return false;
    digits = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (kTimeShape[i] != '0') {
            if (text[i] != kTimeShape[i]) return false;
        } else {
            if (text[i] < '0' || text[i] > '9') return false;
            digits = digits * 10 + static_cast<std::uint64_t>(text[i] - '0');
        }
    }
    return true;
}

}  // namespace

CSharedText::SBlock* CTimeText::Block() const noexcept {
    if (m_Bits == 0 || IsPacked()) return nullptr;
    return reinterpret_cast<CSharedText::SBlock*>(static_cast<std::uintptr_t>(m_Bits));
}

void CTimeText::Assign(std::string_view text) {
    std::uint64_t digits = 0;
    if (PackTime(text, digits)) {
        m_Bits = digits << 1 | 1;
    } else {
        // Blocks are aligned: the lowest bit of their address is clear.
        m_Bits = reinterpret_cast<std::uintptr_t>(CSharedText::NewBlock(text));
    }
}

CTimeText& CTimeText::operator=(const CTimeText& other) noexcept {
    CSharedText::AddRef(other.Block());
    CSharedText::Release(Block());
    m_Bits = other.m_Bits;
    return *this;
}

CTimeText& CTimeText::operator=(CTimeText&& other) noexcept {
    if (this != &other) {
        CSharedText::Release(Block());
        m_Bits = other.m_Bits;
        other.m_Bits = 0;
    }
    return *this;
}

std::string_view CTimeText::View(Buffer& buffer) const noexcept {
    if (!IsPacked()) return CSharedText::View(Block());
    std::uint64_t digits = m_Bits >> 1;
    for (std::size_t i = kTimeLength; i-- > 0;) {
        if (kTimeShape[i] != '0') {
            buffer[i] = kTimeShape[i];
        } else {
            buffer[i] = static_cast<char>('0' + digits % 10);
            digits /= 10;
        }
    }
    return std::string_view(buffer, kTimeLength);
}

void CTimeText::AppendTo(std::string& out) const {
    Buffer buffer;
    out += View(buffer);
}

std::string CTimeText::str() const {
    Buffer buffer;
    return std::string(View(buffer));
}

bool operator==(const CTimeText& a, const CTimeText& b) noexcept {
    if (a.IsPacked() && b.IsPacked()) return a.m_Bits == b.m_Bits;
    CTimeText::Buffer buffer;
    return a == b.View(buffer);
}

std::strong_ordering operator<=>(const CTimeText& a, const CTimeText& b) noexcept {
    // Fixed-width digits order as their numbers do.
    if (a.IsPacked() && b.IsPacked()) return a.m_Bits <=> b.m_Bits;
    CTimeText::Buffer buffer;
    return a <=> b.View(buffer);
}

// ---------------------------------------------------------------- CUnsigned32

std::uint32_t CUnsigned32::Narrow(double value) noexcept {
    if (std::isnan(value) || value <= 0) return 0;
    if (value >= 4294967295.0) return 4294967295u;
    return static_cast<std::uint32_t>(value);
}

// ----------------------------------------------------------------------------

std::string& operator+=(std::string& out, const CPackedText& text) {
    text.AppendTo(out);
    return out;
}

std::string& operator+=(std::string& out, const CTimeText& text) {
    text.AppendTo(out);
    return out;
}

std::ostream& operator<<(std::ostream& out, const CSharedText& text) {
    return out << text.view();
}

std::ostream& operator<<(std::ostream& out, const CPackedText& text) {
    CPackedText::Buffer buffer;
    return out << text.View(buffer);
}

std::ostream& operator<<(std::ostream& out, const CTimeText& text) {
    CTimeText::Buffer buffer;
    return out << text.View(buffer);
}

namespace {

std::uint64_t TextBits(std::string_view text) noexcept {
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (const char c : text)
        h = (h ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
    return h;
}

}  // namespace

std::uint64_t CPackedText::KeyBits() const noexcept {
    const unsigned char tag = Tag();
    if (tag == kHeapTag) return TextBits(CSharedText::View(Block()));
    // Inline texts use their first `size` bytes; the packed forms all eleven.
    const std::size_t used = (tag & (kHexTag | kBase32Tag)) != 0 ? kTagAt : tag;
    std::uint64_t low = 0, high = 0;
    std::memcpy(&low, m_Bytes, used < 8 ? used : 8);
    if (used > 8) std::memcpy(&high, m_Bytes + 8, used - 8);
    return low ^ (high << 40) ^ (static_cast<std::uint64_t>(tag) << 56);
}

bool CPackedText::SameText(const CPackedText& other) const noexcept {
    const unsigned char tag = Tag();
    if (tag != kHeapTag && other.Tag() != kHeapTag) {
        if (tag != other.Tag()) return false;
        const std::size_t used = (tag & (kHexTag | kBase32Tag)) != 0 ? kTagAt : tag;
        return std::memcmp(m_Bytes, other.m_Bytes, used) == 0;
    }
    return *this == other;
}

std::uint64_t CTimeText::KeyBits() const noexcept {
    return IsPacked() ? m_Bits : TextBits(CSharedText::View(Block()));
}

bool CTimeText::SameText(const CTimeText& other) const noexcept {
    if (IsPacked() && other.IsPacked()) return m_Bits == other.m_Bits;
    return *this == other;
}

}  // namespace corvid
