// The spatial bin index of a shapefile: `.sbn` (bins and their features) and
// `.sbx` (its record index), the pair desktop tools write beside a `.shp`.
//
// The shapefile's extent is quantised to a 256 x 256 grid of byte
// coordinates; the grid is a binary tree of bins (bin 1 the root, bin b has
// children 2b and 2b + 1) that halve their parent alternately along x (odd
// depths) and y (even depths), the even child taking the upper half. Every
// shape is filed under the smallest bin that holds its byte rectangle.
//
// File layout (a pair of EShapeFilePair, code 9994, header value -400, all
// numbers big-endian): header data at 28 is the shape count and the extent
// as four doubles (xmin, ymin, xmax, ymax); record 1 is the bin table, one
// (first feature record number, feature count) pair per bin; then the
// feature records, at most 100 features of 8 bytes each (x0, y0, x1, y1 as
// bytes, the record number as a 32-bit integer), in bin order.
//
// Reading trusts nothing: a pair whose bins point outside the files, hold
// negative counts or more features than the header announces is refused at
// open (callers then scan the shapes), the table is at most 2^24 - 1 entries
// and what the file holds, and coordinates are clamped in floating point
// before they become bytes.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "formats/shape/shape_file_pair.h"
#include "platform/text/text.h"

class ERecordSet;

// The index classes' rectangle. The Z range takes part only when both
// rectangles of a test carry it.
struct EExtent {
    double xmin = 0, ymin = 0, xmax = 0, ymax = 0, zmin = 0, zmax = 0;
    bool hasZ = false;

    EExtent() = default;
    EExtent(double x0, double y0, double x1, double y1) : xmin(x0), ymin(y0), xmax(x1), ymax(y1) {}
    // Closed overlap: touching edges count.
    bool Intersects(const EExtent& other) const;
    // `other` lies within this rectangle in x and y, edges included.
    bool Contains(const EExtent& other) const;
};

bool EFileExists(WStringView path);

class ESpatialIndex {
public:
    // Largest bin table read (a tree of 24 levels).
    static constexpr int kMaxBins = (1 << 24) - 1;

    ESpatialIndex() = default;
    ESpatialIndex(const ESpatialIndex&) = delete;
    ESpatialIndex& operator=(const ESpatialIndex&) = delete;
    ~ESpatialIndex() { Close(); }

    // doubleBounds false reads the older header with four floats.
    bool Open(WStringView path, bool doubleBounds = true);
    void Close();
    bool IsOpen() const { return pair_ && pair_->IsOpen(); }
    // Adds the record numbers of every feature whose byte rectangle meets the
    // query's to the set; returns how many were added.
    int Query(const EExtent& rectangle, ERecordSet& set);

    int GetShapeCount() const { return shapeCount_; }
    const EExtent& GetExtent() const { return extent_; }
    int GetBinCount() const { return static_cast<int>(bins_.size()); }

    struct BinEntry {
        int32_t first;
        int32_t count;
    };

private:
    using Bin = BinEntry;
    // A feature record decoded: byte rectangle and record number.
    struct Feature {
        uint8_t rect[4];
        int32_t record;
    };
    void Walk(int bin, int depth, int bx0, int by0, int bx1, int by1, const uint8_t q[4]);
    void Visit(int bin, const uint8_t q[4]);
    // Reads a bin's features from the file into hits_ where they meet q,
    // every one of them into `copy` when given, and the rectangle around them
    // into `bounds` when given. False when a read fails or the records end early.
    bool Scan(const Bin& entry, const uint8_t q[4], std::vector<Feature>* copy,
              uint8_t bounds[4]);
    // Orders features_ from `first` to its end by their lower coordinate on
    // `axis` and records them as a kept bin.
    void Sort(size_t first, int axis);

    // Where each record's features start in `.sbn` and their bytes; with
    // the whole file mapped, base_ points at its first byte and queries read
    // the features in place.
    struct Record {
        int64_t offset;
        int length;
    };
    std::vector<Record> records_;
    const uint8_t* base_ = nullptr;
    // What a bin's first read taught: the byte rectangle around its features
    // (the features stuck in a large bin lie along its split lines, so most
    // queries pass the bin without reading it), and for a large bin read
    // often, where its features are kept in memory, ordered along the bin's
    // longer side so that a query reads only the stretch it meets.
    static constexpr int32_t kUnread = -2;
    static constexpr int32_t kInFile = -1;
    struct Box {
        uint8_t x0, y0, x1, y1;
        uint8_t reads;
        int32_t sorted;  // kUnread, kInFile or an index into sorted_
    };
    struct SortedBin {
        uint32_t first;  // in features_
        uint32_t count;
        uint8_t axis;    // 0 ordered by x0, 1 by y0
        uint8_t reach;   // largest x1 - x0 (or y1 - y0) of its features
    };
    std::vector<Box> boxes_;
    std::vector<SortedBin> sorted_;
    std::vector<Feature> features_;
    // Per bin: whether it or a bin below it holds features.
    std::vector<uint8_t> live_;
    // The record numbers a query found, handed to the set at its end.
    std::vector<int32_t> hits_;
    std::unique_ptr<EShapeFilePair> pair_;
    int shapeCount_ = 0;
    EExtent extent_;
    double xscale_ = 0, yscale_ = 0;
    std::vector<Bin> bins_;
    std::vector<uint8_t> buffer_;
};

// The bins of a builder: (first item, count) per bin, (-1, 0) when empty.
class EBinArray {
public:
    struct Entry {
        int32_t first;
        int32_t count;
    };
    // growBy -1 keeps the stored value; 0 grows by an eighth (4 to 1024).
    void SetSize(int size, int growBy = -1);
    int GetSize() const { return size_; }
    Entry& operator[](int i) { return entries_[static_cast<size_t>(i)]; }
    const Entry& operator[](int i) const { return entries_[static_cast<size_t>(i)]; }

private:
    std::vector<Entry> entries_;  // allocated size = entries_.size()
    int size_ = 0;
    int growBy_ = 0;
};

class ESpatialIndexBuilder {
public:
    static constexpr int kMaxLevels = 19;
    static constexpr int kFeaturesPerRecord = 100;

    ESpatialIndexBuilder(int shapeCount, const EExtent& extent);
    ESpatialIndexBuilder(const ESpatialIndexBuilder&) = delete;
    ESpatialIndexBuilder& operator=(const ESpatialIndexBuilder&) = delete;

    // False (nothing added) for inverted or non-finite bounds, bounds outside
    // the extent, or more shapes than announced.
    bool AddShape(int recordNumber, const EExtent& bounds);
    // Writes the pair; throws CFileException (access denied) when it cannot.
    // A partly written pair is removed.
    void Write(WStringView path);

    int GetLevels() const { return levels_; }
    // The bin of a byte rectangle (x0, y0, x1, y1).
    int FindBin(const uint8_t rect[4]) const;
    // The byte rectangle of bounds, as AddShape files it.
    void Quantise(const EExtent& bounds, uint8_t rect[4]) const;
    static int LevelsFor(int shapeCount);

private:
    struct Item {
        uint8_t rect[4];
        int32_t record;
        int32_t next;
    };
    void Merge();

    int shapeCount_;
    EExtent extent_;
    double xscale_, yscale_;
    int levels_;
    EBinArray bins_;
    int highestBin_ = 0;
    std::vector<Item> items_;  // the work file: 12 bytes per shape
};
