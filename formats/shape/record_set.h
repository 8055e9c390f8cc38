// Record sets: sets of 1-based shapefile record numbers, the answers of
// spatial queries, kept in an EBitSet. A bit set that is all clear or all
// set keeps no words (its state is told by the set count alone); the words
// are made when an operation needs them. Bit i is bit i % 32 of word i / 32;
// bits above the last stay 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class EBitSet {
public:
    EBitSet() = default;
    explicit EBitSet(int n) : n_(n < 0 ? 0 : n) {}
    EBitSet(const EBitSet& other) = default;
    EBitSet& operator=(const EBitSet& other) = default;
    virtual ~EBitSet() = default;

    int GetSize() const { return n_; }
    int GetCount() const { return count_; }
    // Indexes outside 0 to n-1 test false and change nothing.
    bool Test(int i) const;
    void Set(int i);
    // Set(i) for each of the n numbers.
    void SetMany(const int32_t* numbers, size_t n);
    void Clear(int i);
    void SetAll();
    void ClearAll();
    // Clipped to the set; a range starting outside it changes nothing.
    void SetRange(int first, int count);
    void ClearRange(int first, int count);
    int FindNext(int i) const;
    int FindPrev(int i) const;
    // Combine with a set of the same bit count; false (and nothing changed)
    // for another bit count.
    bool And(const EBitSet& other);
    bool Or(const EBitSet& other);
    bool Xor(const EBitSet& other);
    void Invert();
    bool operator==(const EBitSet& other) const;
    void SetSize(int m);
    void Grow(int k, bool set);

    // Bit count, word count, set count, then the words; 32-bit little-endian.
    void Store(std::vector<uint8_t>& out);
    // False (and the set left as it was) for counts that do not fit the data.
    bool Load(const uint8_t* data, size_t size, size_t* used = nullptr);

    // Makes the words of a uniform set, so they can be read directly.
    void AllocateWords();
    const uint32_t* GetWords() const { return words_.empty() ? nullptr : words_.data(); }
    int GetWordCount() const { return static_cast<int>(words_.size()); }
    void Recount();

private:
    bool AllSet() const { return n_ > 0 && count_ == n_; }
    bool Empty() const { return count_ <= 0; }
    int Words() const { return (n_ + 31) / 32; }
    void MaskLast();
    void ApplyRange(int first, int count, bool set);

    int n_ = 0;
    int count_ = 0;
    std::vector<uint32_t> words_;
};

class ERecordSetBase {
public:
    virtual ~ERecordSetBase() = default;
    virtual bool Add(int n) = 0;
    virtual bool AddRange(int first, int count) = 0;
    virtual bool Remove(int n) = 0;
    virtual void RemoveAll() = 0;
    virtual bool Contains(int n) const = 0;
    virtual int Count() const = 0;
    virtual int First() = 0;
    virtual int Next() = 0;
    virtual int Prev() = 0;
    virtual bool AtEnd() const = 0;
};

class ERecordSet final : public ERecordSetBase {
public:
    ERecordSet() = default;
    // Record numbers 0 to capacity.
    explicit ERecordSet(int capacity);
    ERecordSet(const ERecordSet& other);
    ERecordSet& operator=(const ERecordSet& other);
    ~ERecordSet() override = default;

    bool Add(int n) override;
    bool AddRange(int first, int count) override;
    // Add(n) for each of the count numbers (those outside the set are left out).
    void AddMany(const int32_t* numbers, size_t count);
    bool Remove(int n) override;
    void RemoveAll() override;
    bool Contains(int n) const override;
    int Count() const override;
    int First() override;
    int Next() override;
    int Prev() override;
    bool AtEnd() const override;

    bool Intersect(const ERecordSet& other);
    bool Union(const ERecordSet& other);
    bool SymmetricDifference(const ERecordSet& other);
    int FindNext(int n) const;
    int FindPrev(int n) const;

    EBitSet* GetBits() const { return bits_.get(); }
    // The words with bit k for record number k, made for a uniform set; null
    // without a bit set.
    const uint32_t* GetWords();
    int GetCapacity() const { return bits_ ? bits_->GetSize() - 1 : -1; }

private:
    std::unique_ptr<EBitSet> bits_;
    int cursor_ = 0;
};
