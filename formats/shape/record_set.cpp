#include "formats/shape/record_set.h"

#include <bit>
#include <cstring>
#include <new>

#include "platform/byte_order.h"

namespace {
using byte_order::LoadLe32;
void PutLe32(std::vector<uint8_t>& out, uint32_t v) {
    uint8_t bytes[4];
    byte_order::StoreLe32(bytes, v);
    out.insert(out.end(), bytes, bytes + 4);
}
}  // namespace

void EBitSet::MaskLast() {
    if (words_.empty() || n_ % 32 == 0) return;
    words_.back() &= 0xFFFFFFFFu >> (32 - n_ % 32);
}

void EBitSet::AllocateWords() {
    if (!words_.empty() || n_ == 0) return;
    words_.assign(static_cast<size_t>(Words()), AllSet() ? 0xFFFFFFFFu : 0u);
    MaskLast();
}

void EBitSet::Recount() {
    if (words_.empty()) return;
    int c = 0;
    for (uint32_t w : words_) c += std::popcount(w);
    count_ = c;
}

bool EBitSet::Test(int i) const {
    if (i < 0 || i >= n_ || Empty()) return false;
    if (AllSet()) return true;
    if (words_.empty()) return false;
    return (words_[static_cast<size_t>(i) / 32] >> (i % 32)) & 1u;
}

void EBitSet::Set(int i) {
    if (i < 0 || i >= n_ || AllSet()) return;
    AllocateWords();
    uint32_t& w = words_[static_cast<size_t>(i) / 32];
    if (!(w & (1u << (i % 32)))) ++count_;
    w |= 1u << (i % 32);
}

void EBitSet::SetMany(const int32_t* numbers, size_t n) {
    if (n == 0 || AllSet()) return;
    AllocateWords();
    uint32_t* words = words_.data();
    const uint32_t size = static_cast<uint32_t>(n_);
    int added = 0;
    for (size_t k = 0; k < n; ++k) {
        const uint32_t i = static_cast<uint32_t>(numbers[k]);  // negatives wrap past the size
        if (i >= size) continue;
        const uint32_t bit = 1u << (i % 32);
        uint32_t& w = words[i / 32];
        added += (w & bit) == 0;
        w |= bit;
    }
    count_ += added;
}

void EBitSet::Clear(int i) {
    if (i < 0 || i >= n_ || Empty()) return;
    AllocateWords();
    uint32_t& w = words_[static_cast<size_t>(i) / 32];
    if (w & (1u << (i % 32))) --count_;
    w &= ~(1u << (i % 32));
}

void EBitSet::SetAll() {
    if (!words_.empty()) {
        std::fill(words_.begin(), words_.end(), 0xFFFFFFFFu);
        MaskLast();
    }
    count_ = n_;
}

void EBitSet::ClearAll() {
    std::fill(words_.begin(), words_.end(), 0u);
    count_ = 0;
}

void EBitSet::ApplyRange(int first, int count, bool set) {
    if (first < 0 || first >= n_ || count <= 0) return;
    if (count > n_ - first) count = n_ - first;
    if (first == 0 && count == n_) {
        set ? SetAll() : ClearAll();
        return;
    }
    if (set ? AllSet() : Empty()) return;
    AllocateWords();
    const int end = first + count - 1;
    for (int w = first / 32; w <= end / 32; ++w) {
        const int lo = w == first / 32 ? first % 32 : 0;
        const int hi = w == end / 32 ? end % 32 : 31;
        const uint32_t mask = (0xFFFFFFFFu << lo) & (0xFFFFFFFFu >> (31 - hi));
        if (set)
            words_[static_cast<size_t>(w)] |= mask;
        else
            words_[static_cast<size_t>(w)] &= ~mask;
    }
    Recount();
}

void EBitSet::SetRange(int first, int count) {
    ApplyRange(first, count, true);
}

void EBitSet::ClearRange(int first, int count) {
    ApplyRange(first, count, false);
}

int EBitSet::FindNext(int i) const {
    int j = i < -1 ? 0 : i + 1;
    if (j >= n_ || Empty()) return -1;
    if (AllSet()) return j;
    if (words_.empty()) return -1;
    size_t w = static_cast<size_t>(j) / 32;
    uint32_t bits = words_[w] & (0xFFFFFFFFu << (j % 32));
    while (!bits) {
        if (++w >= words_.size()) return -1;
        bits = words_[w];
    }
    const int found = static_cast<int>(w * 32) + std::countr_zero(bits);
    return found < n_ ? found : -1;
}

int EBitSet::FindPrev(int i) const {
    if (Empty() || i <= 0) return -1;
    int j = i > n_ ? n_ - 1 : i - 1;
    if (AllSet()) return j;
    if (words_.empty()) return -1;
    for (; j >= 0; --j)
        if ((words_[static_cast<size_t>(j) / 32] >> (j % 32)) & 1u) return j;
    return -1;
}

bool EBitSet::And(const EBitSet& o) {
    if (o.n_ != n_) return false;
    if (n_ == 0) {
        count_ = 0;
        return true;
    }
    if (Empty() || o.AllSet()) return true;
    if (o.Empty()) {
        ClearAll();
        return true;
    }
    AllocateWords();
    for (size_t w = 0; w < words_.size(); ++w) words_[w] &= o.words_[w];
    Recount();
    return true;
}

bool EBitSet::Or(const EBitSet& o) {
    if (o.n_ != n_) return false;
    if (n_ == 0) {
        count_ = 0;
        return true;
    }
    if (AllSet() || o.Empty()) return true;
    if (o.AllSet()) {
        SetAll();
        return true;
    }
    AllocateWords();
    for (size_t w = 0; w < words_.size(); ++w) words_[w] |= o.words_[w];
    MaskLast();
    Recount();
    return true;
}

bool EBitSet::Xor(const EBitSet& o) {
    if (o.n_ != n_) return false;
    if (n_ == 0) {
        count_ = 0;
        return true;
    }
    if (o.Empty()) return true;
    if (o.AllSet()) {
        Invert();
        return true;
    }
    AllocateWords();
    for (size_t w = 0; w < words_.size(); ++w) words_[w] ^= o.words_[w];
    MaskLast();
    Recount();
    return true;
}

void EBitSet::Invert() {
    if (n_ == 0) {
        count_ = 0;
        return;
    }
    if (Empty()) {
        SetAll();
        return;
    }
    if (AllSet()) {
        ClearAll();
        return;
    }
    for (uint32_t& w : words_) w = ~w;
    MaskLast();
    count_ = n_ - count_;
}

bool EBitSet::operator==(const EBitSet& o) const {
    if (this == &o) return true;
    if (n_ != o.n_ || count_ != o.count_) return false;
    if (n_ == 0 || Empty() || AllSet()) return true;
    for (int w = 0; w < Words(); ++w) {
        const uint32_t a = words_.empty() ? 0 : words_[static_cast<size_t>(w)];
        const uint32_t b = o.words_.empty() ? 0 : o.words_[static_cast<size_t>(w)];
        if (a != b) return false;
    }
    return true;
}

void EBitSet::SetSize(int m) {
    if (m < 0) m = 0;
    if (words_.empty() && AllSet() && m > n_) AllocateWords();
    if (words_.empty()) {
        if (count_ > m) count_ = m;
        n_ = m;
        return;
    }
    if (m == n_) return;
    if (m < n_) ClearRange(m, n_ - m);
    n_ = m;
    words_.resize(static_cast<size_t>(Words()), 0u);  // new words start clear
    MaskLast();
    Recount();
    if (words_.empty()) count_ = 0;
}

void EBitSet::Grow(int k, bool set) {
    if (k <= 0) return;
    if (words_.empty() && set && AllSet()) {
        n_ += k;
        count_ = n_;
        return;
    }
    if (words_.empty() && !set && Empty()) {
        n_ += k;
        return;
    }
    const int old = n_;
    SetSize(n_ + k);
    if (set) SetRange(old, k);
}

void EBitSet::Store(std::vector<uint8_t>& out) {
    AllocateWords();
    PutLe32(out, static_cast<uint32_t>(n_));
    PutLe32(out, static_cast<uint32_t>(Words()));
    PutLe32(out, static_cast<uint32_t>(count_));
    for (int w = 0; w < Words(); ++w) PutLe32(out, words_[static_cast<size_t>(w)]);
}

bool EBitSet::Load(const uint8_t* data, size_t size, size_t* used) {
    if (!data || size < 12) return false;
    const int32_t n = static_cast<int32_t>(LoadLe32(data));
    const int32_t wc = static_cast<int32_t>(LoadLe32(data + 4));
    if (n < 0 || wc != (static_cast<int64_t>(n) + 31) / 32) return false;
    const size_t bytes = 12 + 4 * static_cast<size_t>(wc);
    if (bytes > size) return false;
    std::vector<uint32_t> words(static_cast<size_t>(wc));
    for (size_t w = 0; w < words.size(); ++w) words[w] = LoadLe32(data + 12 + 4 * w);
    EBitSet loaded(n);
    loaded.words_ = std::move(words);
    loaded.MaskLast();
    // The stored set count is not trusted: it decides the uniform states.
    loaded.Recount();
    if (loaded.words_.empty()) loaded.count_ = 0;
    *this = std::move(loaded);
    if (used) *used = bytes;
    return true;
}

// ---- record sets ----

ERecordSet::ERecordSet(int capacity) {
    if (capacity >= 0 && capacity < 0x7FFFFFFF)
        bits_.reset(new (std::nothrow) EBitSet(capacity + 1));
}

ERecordSet::ERecordSet(const ERecordSet& other) : cursor_(other.cursor_) {
    if (other.bits_) bits_.reset(new (std::nothrow) EBitSet(*other.bits_));
}

ERecordSet& ERecordSet::operator=(const ERecordSet& other) {
    if (this == &other) return *this;
    bits_.reset(other.bits_ ? new (std::nothrow) EBitSet(*other.bits_) : nullptr);
    cursor_ = other.cursor_;
    return *this;
}

bool ERecordSet::Add(int n) {
    if (!bits_ || n < 0 || n >= bits_->GetSize()) return false;
    bits_->Set(n);
    return true;
}

bool ERecordSet::AddRange(int first, int count) {
    if (!bits_ || first < 0 || first >= bits_->GetSize() || count < 0 || count > bits_->GetSize())
        return false;
    bits_->SetRange(first, count);
    return true;
}

void ERecordSet::AddMany(const int32_t* numbers, size_t count) {
    if (bits_) bits_->SetMany(numbers, count);
}

bool ERecordSet::Remove(int n) {
    if (!bits_ || !bits_->Test(n)) return false;
    bits_->Clear(n);
    return true;
}

void ERecordSet::RemoveAll() {
    if (bits_) bits_->ClearAll();
}

bool ERecordSet::Contains(int n) const {
    return bits_ && bits_->Test(n);
}

int ERecordSet::Count() const {
    return bits_ ? bits_->GetCount() : 0;
}

int ERecordSet::First() {
    cursor_ = bits_ ? bits_->FindNext(-1) : -1;
    return cursor_;
}

int ERecordSet::Next() {
    cursor_ = bits_ ? bits_->FindNext(cursor_) : -1;
    return cursor_;
}

int ERecordSet::Prev() {
    cursor_ = bits_ ? bits_->FindPrev(cursor_) : -1;
    return cursor_;
}

bool ERecordSet::AtEnd() const {
    return !bits_ || cursor_ < 0;
}

bool ERecordSet::Intersect(const ERecordSet& other) {
    return bits_ && other.bits_ && bits_->And(*other.bits_);
}

bool ERecordSet::Union(const ERecordSet& other) {
    return bits_ && other.bits_ && bits_->Or(*other.bits_);
}

bool ERecordSet::SymmetricDifference(const ERecordSet& other) {
    return bits_ && other.bits_ && bits_->Xor(*other.bits_);
}

int ERecordSet::FindNext(int n) const {
    return bits_ ? bits_->FindNext(n) : -1;
}

int ERecordSet::FindPrev(int n) const {
    return bits_ ? bits_->FindPrev(n) : -1;
}

const uint32_t* ERecordSet::GetWords() {
    if (!bits_) return nullptr;
    bits_->AllocateWords();
    return bits_->GetWords();
}
