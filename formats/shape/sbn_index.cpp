#include "formats/shape/sbn_index.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/file_stream.h"
#include "formats/shape/record_set.h"

namespace {

// A bin is kept in memory once it has been read this often and holds at
// least this many features: below that, reading it whole costs no more
// than finding the stretch a query meets.
constexpr uint8_t kReadsBeforeKeeping = 3;
constexpr int kFeaturesToKeep = 64;

// Grid units of a coordinate, clamped in floating point first: converting an
// out-of-range double to int is undefined (x86 gives INT_MIN, and the
// feature would vanish).
int ToGrid(double v, double lo, double hi) {
    if (!(v >= lo)) v = lo;  // also NaN
    if (v > hi) v = hi;
    return static_cast<int>(v);
}

double Scale(double minimum, double maximum) {
    const double width = maximum - minimum;
    // A zero width (points on one line) uses the full grid.
    return width > 0 ? 255.0 / width : 255.0;
}

[[noreturn]] void ThrowAccessDenied(WStringView path) {
    throw CFileException(CFileException::accessDenied, static_cast<uint32_t>(-1), WString(path));
}

void StoreBE64(uint8_t* p, double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    for (int i = 7; i >= 0; --i, bits >>= 8) p[i] = static_cast<uint8_t>(bits);
}

double LoadBE64(const uint8_t* p) {
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits = (bits << 8) | p[i];
    double v;
    std::memcpy(&v, &bits, 8);
    return v;
}

float LoadBE32Float(const uint8_t* p) {
    const uint32_t bits = byte_order::LoadBe32(p);
    float v;
    std::memcpy(&v, &bits, 4);
    return v;
}

// Without early exits: the outcome is hard to predict, the loads are cheap.
bool Overlaps(const uint8_t a[4], int x0, int y0, int x1, int y1) {
    return (a[0] <= x1) & (a[2] >= x0) & (a[1] <= y1) & (a[3] >= y0);
}

// Every bin's feature records exist, lie inside `.sbn` and hold exactly the
// bin's count, and the bins together file no more features than the header
// announces. A pair that fails (a cut `.sbn` or `.sbx`, a damaged table)
// would answer queries without some of its features, so it is no index.
bool BinsConsistent(EShapeFilePair& pair, const std::vector<ESpatialIndex::BinEntry>& bins,
                    int32_t shapeCount) {
    const int records = pair.GetRecordCount();
    const int64_t size = static_cast<int64_t>(pair.GetMainFile()->GetSize());
    int64_t total = 0;
    for (const ESpatialIndex::BinEntry& bin : bins) {
        if (bin.count < 0) return false;
        if (bin.count == 0) continue;
        // Record 1 is the table; feature records follow it.
        if (bin.first < 2 || bin.first > records) return false;
        int64_t left = bin.count;
        for (int r = bin.first - 1; left > 0; ++r) {
            if (r >= records) return false;
            const int64_t offset = pair.GetRecordOffset(r);
            const int length = pair.GetRecordLength(r);
            if (offset < 0 || length <= 0 || length % 8 != 0 || offset + 8 + length > size)
                return false;
            left -= length / 8;
        }
        if (left != 0) return false;
        total += bin.count;
        if (total > shapeCount) return false;
    }
    return true;
}

}  // namespace

bool EExtent::Intersects(const EExtent& o) const {
    if (!(o.xmin <= xmax && o.xmax >= xmin && o.ymin <= ymax && o.ymax >= ymin)) return false;
    if (hasZ && o.hasZ) return o.zmin <= zmax && o.zmax >= zmin;
    return true;
}

bool EExtent::Contains(const EExtent& o) const {
    return o.xmin >= xmin && o.xmax <= xmax && o.ymin >= ymin && o.ymax <= ymax;
}

bool EFileExists(WStringView path) {
    return EFileIO::FileExists(path);
}

// ---- reading ----

bool ESpatialIndex::Open(WStringView path, bool doubleBounds) {
    Close();
    if (!EFileExists(path)) return false;
    auto pair = std::make_unique<EShapeFilePair>(path);
    if (!pair->Open(false, true, false)) return false;
    uint8_t data[36];
    pair->GetHeaderData(data, sizeof data);
    const int32_t count = static_cast<int32_t>(byte_order::LoadBe32(data));
    EExtent e;
    if (doubleBounds) {
        e.xmin = LoadBE64(data + 4);
        e.ymin = LoadBE64(data + 12);
        e.xmax = LoadBE64(data + 20);
        e.ymax = LoadBE64(data + 28);
    } else {
        e.xmin = LoadBE32Float(data + 4);
        e.ymin = LoadBE32Float(data + 8);
        e.xmax = LoadBE32Float(data + 12);
        e.ymax = LoadBE32Float(data + 16);
    }
    // An extent that is inverted or not a number is no index.
    if (count < 0 || !(e.xmin <= e.xmax) || !(e.ymin <= e.ymax) || !std::isfinite(e.xmin) ||
        !std::isfinite(e.xmax) || !std::isfinite(e.ymin) || !std::isfinite(e.ymax))
        return false;
    std::vector<BinEntry> bins;
    if (pair->GetRecordCount() > 0) {
        // Nothing is allocated for more than the file holds.
        const int length = pair->GetRecordLength(0);
        if (static_cast<uint64_t>(length) > pair->GetMainFile()->GetSize()) return false;
        const int entries = std::min(length / 8, kMaxBins);
        std::vector<uint8_t> table(static_cast<size_t>(entries) * 8);
        if (entries > 0 && !pair->ReadRecord(0, table.data(), entries * 8)) return false;
        bins.resize(static_cast<size_t>(entries));
        for (int i = 0; i < entries; ++i) {
            bins[static_cast<size_t>(i)].first =
                static_cast<int32_t>(byte_order::LoadBe32(table.data() + 8 * static_cast<size_t>(i)));
            bins[static_cast<size_t>(i)].count =
                static_cast<int32_t>(byte_order::LoadBe32(table.data() + 8 * static_cast<size_t>(i) + 4));
        }
    }
    if (!BinsConsistent(*pair, bins, count)) return false;
    std::vector<Record> records(static_cast<size_t>(pair->GetRecordCount()));
    for (int r = 1; r < pair->GetRecordCount(); ++r)
        records[static_cast<size_t>(r)] = {pair->GetRecordOffset(r) + 8, pair->GetRecordLength(r)};
    EFileIO* file = pair->GetMainFile();
    if (file->IsMapped() && file->GetWindow() == 0 && file->GetWindowOffset() == 0 &&
        file->Seek(0, 1, 0))
        base_ = file->GetPointer();
    records_ = std::move(records);
    boxes_.assign(bins.size(), Box{0, 0, 0, 0, 0, kUnread});
    // Bins are numbered so that bin b's children are 2b and 2b + 1: from the
    // last bin up, each learns whether anything lies at or below it.
    live_.assign(bins.size(), 0);
    for (size_t b = bins.size(); b >= 1; --b) {
        bool live = bins[b - 1].count > 0;
        if (2 * b <= bins.size()) live = live || live_[2 * b - 1];
        if (2 * b + 1 <= bins.size()) live = live || live_[2 * b];
        live_[b - 1] = live;
    }
    pair_ = std::move(pair);
    shapeCount_ = count;
    extent_ = e;
    xscale_ = Scale(e.xmin, e.xmax);
    yscale_ = Scale(e.ymin, e.ymax);
    bins_ = std::move(bins);
    return true;
}

void ESpatialIndex::Close() {
    if (pair_) pair_->Close();
    pair_.reset();
    base_ = nullptr;
    records_.clear();
    boxes_.clear();
    sorted_ = {};
    features_ = {};
    live_ = {};
    hits_ = {};
    bins_.clear();
    buffer_.clear();
    shapeCount_ = 0;
}

int ESpatialIndex::Query(const EExtent& q, ERecordSet& set) {
    if (!pair_) return 0;
    if (q.Contains(extent_)) {
        // Never more than the set holds: an index left over from before
        // records were removed still yields a consistent set and count.
        const int n = std::min(shapeCount_, set.GetCapacity());
        if (n <= 0 || !set.AddRange(1, n)) return 0;
        return n;
    }
    if (!q.Intersects(extent_)) return 0;
    uint8_t b[4];
    b[0] = static_cast<uint8_t>(ToGrid((q.xmin - extent_.xmin) * xscale_, 0, 255));
    b[1] = static_cast<uint8_t>(ToGrid((q.ymin - extent_.ymin) * yscale_, 0, 255));
    b[2] = static_cast<uint8_t>(ToGrid((q.xmax - extent_.xmin) * xscale_ + 1.0, 0, 255));
    b[3] = static_cast<uint8_t>(ToGrid((q.ymax - extent_.ymin) * yscale_ + 1.0, 0, 255));
    hits_.clear();
    Walk(1, 0, 0, 0, 255, 255, b);
    // Counted once: a damaged file may list a record in several bins.
    const int before = set.Count();
    set.AddMany(hits_.data(), hits_.size());
    return set.Count() - before;
}

void ESpatialIndex::Walk(int bin, int depth, int bx0, int by0, int bx1, int by1,
                         const uint8_t q[4]) {
    if (bin > static_cast<int>(bins_.size()) || !live_[static_cast<size_t>(bin - 1)]) return;
    if (depth > 0) {
        int& lo = (depth & 1) ? bx0 : by0;
        int& hi = (depth & 1) ? bx1 : by1;
        const int mid = lo + (hi - lo) / 2;
        if (bin & 1)
            hi = mid;
        else
            lo = mid;
    }
    if (q[0] > bx1 || q[2] < bx0 || q[1] > by1 || q[3] < by0) return;
    Visit(bin, q);
    if (2 * int64_t{bin} <= static_cast<int64_t>(bins_.size())) {
        Walk(2 * bin, depth + 1, bx0, by0, bx1, by1, q);
        Walk(2 * bin + 1, depth + 1, bx0, by0, bx1, by1, q);
    }
}

void ESpatialIndex::Visit(int bin, const uint8_t q[4]) {
    const Bin& entry = bins_[static_cast<size_t>(bin - 1)];
    // Open checked every bin's records against the files.
    if (entry.count <= 0 || entry.first <= 1 || entry.first > static_cast<int>(records_.size()))
        return;
    Box& box = boxes_[static_cast<size_t>(bin - 1)];
    if (box.sorted != kUnread &&
        !(box.x0 <= q[2] && box.x1 >= q[0] && box.y0 <= q[3] && box.y1 >= q[1]))
        return;
    if (box.sorted >= 0) {
        const SortedBin& s = sorted_[static_cast<size_t>(box.sorted)];
        const Feature* begin = features_.data() + s.first;
        const Feature* end = begin + s.count;
        const int a = s.axis;
        // A feature meets the query only if it starts at most `reach` before it.
        const int from = q[a] - s.reach;
        const Feature* f = from <= 0 ? begin
                                     : std::partition_point(begin, end, [&](const Feature& g) {
                                           return g.rect[a] < from;
                                       });
        for (; f < end && f->rect[a] <= q[a + 2]; ++f)
            if (Overlaps(f->rect, q[0], q[1], q[2], q[3])) hits_.push_back(f->record);
        return;
    }
    const bool learn = box.sorted == kUnread;
    const bool keep =
        !learn && entry.count >= kFeaturesToKeep && box.reads + 1 >= kReadsBeforeKeeping;
    const size_t first = features_.size();
    uint8_t bounds[4];
    if (!Scan(entry, q, keep ? &features_ : nullptr, learn ? bounds : nullptr)) {
        features_.resize(first);
        return;
    }
    if (learn) {
        box.x0 = bounds[0];
        box.y0 = bounds[1];
        box.x1 = bounds[2];
        box.y1 = bounds[3];
        box.sorted = kInFile;
    }
    if (box.reads < 255) ++box.reads;
    if (keep && features_.size() - first == static_cast<size_t>(entry.count)) {
        // Ordered along the longer side of the bin's box: the features of a
        // large bin lie along one of its split lines.
        const int axis = box.y1 - box.y0 > box.x1 - box.x0 ? 1 : 0;
        Sort(first, axis);
        box.sorted = static_cast<int32_t>(sorted_.size() - 1);
    } else {
        features_.resize(first);
    }
}

bool ESpatialIndex::Scan(const Bin& entry, const uint8_t q[4], std::vector<Feature>* copy,
                         uint8_t bounds[4]) {
    const int records = static_cast<int>(records_.size());
    int left = entry.count;
    uint8_t x0 = 255, y0 = 255, x1 = 0, y1 = 0;
    for (int r = entry.first - 1; left > 0 && r < records; ++r) {
        const Record& record = records_[static_cast<size_t>(r)];
        const uint8_t* data = base_ ? base_ + record.offset : nullptr;
        if (!data) {
            if (buffer_.size() < static_cast<size_t>(record.length))
                buffer_.resize(static_cast<size_t>(record.length));
            if (!pair_->ReadRecord(r, buffer_.data(), record.length)) return false;
            data = buffer_.data();
        }
        const int features = std::min(record.length / 8, left);
        const uint8_t* end = data + 8 * static_cast<size_t>(features);
        if (bounds) {
            for (const uint8_t* f = data; f < end; f += 8) {
                x0 = std::min(x0, f[0]);
                y0 = std::min(y0, f[1]);
                x1 = std::max(x1, f[2]);
                y1 = std::max(y1, f[3]);
            }
        }
        if (copy) {
            for (const uint8_t* f = data; f < end; f += 8)
                copy->push_back(Feature{{f[0], f[1], f[2], f[3]},
                                        static_cast<int32_t>(byte_order::LoadBe32(f + 4))});
        }
        for (const uint8_t* f = data; f < end; f += 8)
            if (Overlaps(f, q[0], q[1], q[2], q[3]))
                hits_.push_back(static_cast<int32_t>(byte_order::LoadBe32(f + 4)));
        left -= features;
    }
    if (left != 0) return false;
    if (bounds) {
        bounds[0] = x0;
        bounds[1] = y0;
        bounds[2] = x1;
        bounds[3] = y1;
    }
    return true;
}

void ESpatialIndex::Sort(size_t first, int axis) {
    // A counting sort on the byte coordinate; features_ from `first` on.
    const size_t count = features_.size() - first;
    Feature* items = features_.data() + first;
    uint32_t starts[257] = {};
    int reach = 0;
    for (size_t i = 0; i < count; ++i) {
        ++starts[items[i].rect[axis] + 1];
        reach = std::max(reach, items[i].rect[axis + 2] - items[i].rect[axis]);
    }
    for (int k = 1; k <= 256; ++k) starts[k] += starts[k - 1];
    std::vector<Feature> ordered(count);
    for (size_t i = 0; i < count; ++i) ordered[starts[items[i].rect[axis]]++] = items[i];
    std::copy(ordered.begin(), ordered.end(), items);
    sorted_.push_back(SortedBin{static_cast<uint32_t>(first), static_cast<uint32_t>(count),
                                static_cast<uint8_t>(axis), static_cast<uint8_t>(reach)});
}

// ---- building ----

void EBinArray::SetSize(int size, int growBy) {
    if (growBy != -1) growBy_ = growBy;
    if (size <= 0) {
        entries_.clear();
        entries_.shrink_to_fit();
        size_ = 0;
        return;
    }
    const size_t n = static_cast<size_t>(size);
    if (n <= entries_.size()) {
        for (size_t i = static_cast<size_t>(size_); i < n; ++i) entries_[i] = {-1, 0};
    } else {
        int grow = growBy_;
        if (grow == 0) grow = std::clamp(size_ / 8, 4, 1024);
        const size_t target = std::max(n, entries_.size() + static_cast<size_t>(grow));
        for (size_t i = static_cast<size_t>(size_); i < entries_.size(); ++i) entries_[i] = {-1, 0};
        entries_.resize(target, Entry{-1, 0});
    }
    size_ = size;
}

int ESpatialIndexBuilder::LevelsFor(int shapeCount) {
    int levels = 2;
    while (levels < kMaxLevels && 8 * ((int64_t{1} << levels) - 1) < shapeCount) ++levels;
    return levels;
}

ESpatialIndexBuilder::ESpatialIndexBuilder(int shapeCount, const EExtent& extent)
    : shapeCount_(shapeCount < 0 ? 0 : shapeCount),
      extent_(extent),
      xscale_(Scale(extent.xmin, extent.xmax)),
      yscale_(Scale(extent.ymin, extent.ymax)),
      levels_(LevelsFor(shapeCount)) {
    extent_.hasZ = false;
    bins_.SetSize((1 << levels_) - 1, 256);
    items_.reserve(static_cast<size_t>(std::min(shapeCount_, 1 << 20)));
}

void ESpatialIndexBuilder::Quantise(const EExtent& b, uint8_t r[4]) const {
    r[0] = static_cast<uint8_t>(ToGrid((b.xmin - extent_.xmin) * xscale_, 0, 255));
    r[1] = static_cast<uint8_t>(ToGrid((b.ymin - extent_.ymin) * yscale_, 0, 255));
    r[2] =
        static_cast<uint8_t>(std::min(ToGrid((b.xmax - extent_.xmin) * xscale_, 0, 255) + 1, 255));
    r[3] =
        static_cast<uint8_t>(std::min(ToGrid((b.ymax - extent_.ymin) * yscale_, 0, 255) + 1, 255));
}

int ESpatialIndexBuilder::FindBin(const uint8_t r[4]) const {
    int bin = 1;
    int lo[2] = {0, 0}, hi[2] = {256, 256};
    for (int level = 2; level <= levels_; ++level) {
        const int axis = (level & 1) ? 1 : 0;  // x at even levels
        const int mid = (lo[axis] + hi[axis]) / 2;
        if (r[axis] > mid) {
            bin = 2 * bin;
            lo[axis] = mid;
        } else if (r[axis + 2] <= mid) {
            bin = 2 * bin + 1;
            hi[axis] = mid;
        } else {
            break;
        }
    }
    return bin;
}

bool ESpatialIndexBuilder::AddShape(int recordNumber, const EExtent& b) {
    if (static_cast<int>(items_.size()) >= shapeCount_) return false;
    if (!(b.xmin <= b.xmax && b.ymin <= b.ymax)) return false;
    // A box that is not finite has no place in the grid (and an extent
    // widened to hold it would make the whole index unreadable).
    if (!std::isfinite(b.xmin) || !std::isfinite(b.xmax) || !std::isfinite(b.ymin) ||
        !std::isfinite(b.ymax))
        return false;
    if (!(b.xmin >= extent_.xmin && b.xmax <= extent_.xmax && b.ymin >= extent_.ymin &&
          b.ymax <= extent_.ymax))
        return false;
    Item item;
    Quantise(b, item.rect);
    const int bin = FindBin(item.rect);
    highestBin_ = std::max(highestBin_, bin);
    EBinArray::Entry& e = bins_[bin - 1];
    item.record = recordNumber;
    item.next = e.first;
    e.first = static_cast<int32_t>(items_.size());
    ++e.count;
    items_.push_back(item);
    return true;
}

void ESpatialIndexBuilder::Merge() {
    auto count = [&](int64_t b) -> int {
        return b >= 1 && b <= bins_.GetSize() ? bins_[static_cast<int>(b) - 1].count : 0;
    };
    // Grandchildren are looked at only when both numbers are below the
    // highest bin (the tool that defined the format does the same).
    auto childrenEmpty = [&](int64_t child) {
        const int64_t g = 2 * child;
        if (g < highestBin_ && g + 1 < highestBin_) return count(g) <= 0 && count(g + 1) <= 0;
        return true;
    };
    auto takeOver = [&](int parent, int child) {
        EBinArray::Entry& p = bins_[parent - 1];
        EBinArray::Entry& c = bins_[child - 1];
        if (c.count <= 0 || c.first < 0) return;
        int last = c.first;
        while (items_[static_cast<size_t>(last)].next >= 0)
            last = items_[static_cast<size_t>(last)].next;
        items_[static_cast<size_t>(last)].next = p.first;
        p.first = c.first;
        p.count += c.count;
        c = {-1, 0};
    };
    for (int k = levels_ - 1; k >= 2; --k) {
        for (int b = 1 << (k - 1); b <= (1 << k) - 1; ++b) {
            const int own = count(b), c1 = count(2 * int64_t{b}), c2 = count(2 * int64_t{b} + 1);
            if (own >= 8 || c1 + c2 <= 0 || own + c1 + c2 > 8) continue;
            if (!childrenEmpty(2 * int64_t{b}) || !childrenEmpty(2 * int64_t{b} + 1)) continue;
            takeOver(b, 2 * b);
            takeOver(b, 2 * b + 1);
        }
    }
}

void ESpatialIndexBuilder::Write(WStringView path) {
    Merge();
    while (highestBin_ > 0 && bins_[highestBin_ - 1].count <= 0) --highestBin_;

    EShapeFilePair pair(path);
    if (!pair.Create(-400, true, false, 1, 0)) ThrowAccessDenied(path);
    auto fail = [&] {
        pair.Close();
        fs::DeleteFile(path);
        fs::DeleteFile(EShapeFilePair::GetIndexFileName(path));
        ThrowAccessDenied(path);
    };
    uint8_t data[36];
    byte_order::StoreBe32(data, static_cast<uint32_t>(shapeCount_));
    StoreBE64(data + 4, extent_.xmin);
    StoreBE64(data + 12, extent_.ymin);
    StoreBE64(data + 20, extent_.xmax);
    StoreBE64(data + 28, extent_.ymax);
    if (!pair.SetHeaderData(data, sizeof data)) fail();

    std::vector<uint8_t> table(static_cast<size_t>(highestBin_) * 8, 0);
    if (pair.AppendRecord(table.data(), static_cast<int>(table.size())) != 0) fail();
    std::vector<uint8_t> record(kFeaturesPerRecord * 8);
    for (int b = 1; b <= highestBin_; ++b) {
        const EBinArray::Entry& e = bins_[b - 1];
        if (e.count <= 0) continue;
        int item = e.first;
        int left = e.count;
        int firstRecord = -1;
        while (left > 0) {
            const int n = std::min(left, kFeaturesPerRecord);
            for (int i = 0; i < n; ++i) {
                if (item < 0) fail();  // a broken chain would write garbage
                const Item& it = items_[static_cast<size_t>(item)];
                uint8_t* f = record.data() + 8 * i;
                std::memcpy(f, it.rect, 4);
                byte_order::StoreBe32(f + 4, static_cast<uint32_t>(it.record));
                item = it.next;
            }
            const int index = pair.AppendRecord(record.data(), n * 8);
            if (index < 0) fail();
            if (firstRecord < 0) firstRecord = index;
            left -= n;
        }
        byte_order::StoreBe32(table.data() + 8 * static_cast<size_t>(b - 1),
                   static_cast<uint32_t>(firstRecord + 1));
        byte_order::StoreBe32(table.data() + 8 * static_cast<size_t>(b - 1) + 4,
                   static_cast<uint32_t>(e.count));
    }
    if (!pair.WriteRecord(0, table.data(), static_cast<int>(table.size()))) fail();
    if (!pair.Close()) fail();
}
