#include "formats/shape/shape_file_pair.h"

#include <algorithm>
#include <cstring>

#include "core/file_stream.h"
#include "core/path.h"
#include "formats/shape/index_entry.h"
#include "platform/fs/fs.h"

namespace {

bool IsFileCode(uint32_t code) {
    return code >= 9991 && code <= 9994;
}

}  // namespace

void ESwapItems(void* buffer, int itemSize, int count) {
    auto* p = static_cast<uint8_t*>(buffer);
    for (int i = 0; i < count; ++i, p += itemSize) std::reverse(p, p + itemSize);
}

EShapeFilePair::EShapeFilePair(WStringView path) : path_(path) {}

EShapeFilePair::~EShapeFilePair() {
    Close();
}

int32_t EShapeFilePair::Field(const uint8_t* header, int offset) const {
    return static_cast<int32_t>(byteOrder_ == 1 ? byte_order::LoadLe32(header + offset)
                                                : byte_order::LoadBe32(header + offset));
}

WString EShapeFilePair::GetIndexFileName(WStringView path) {
    WString name(path);
    if (name.empty()) return name;
    const size_t n = name.size();
    if (n >= 7 && text::EqualsNoCase(WStringView(name).substr(n - 4), u".adf"))
        name[n - 5] = u'x';
    else
        name[n - 1] = u'x';
    return name;
}

bool EShapeFilePair::WriteHeader(EFileIO& file, uint8_t* header) {
    const uint64_t size = std::max<uint64_t>(file.GetSize(), kHeaderSize);
    byte_order::StoreBe32(header + 24, static_cast<uint32_t>(size / 2));
    if (!file.SeekTo(0, 0)) return false;
    return file.Write(header, kHeaderSize) == kHeaderSize;
}

bool EShapeFilePair::Create(int32_t headerValue, bool writable, bool temporary, int kind,
                            int32_t recordLength) {
    Close();
    byteOrder_ = 0;
    prefix_ = 0;
    main_ = std::make_unique<EFileIO>(path_);
    if (!main_->Create(true, false)) {
        main_.reset();
        return false;
    }
    writable_ = writable;
    temporary_ = temporary;
    kind_ = kind;
    recordCount_ = 0;
    current_ = -1;
    currentDeleted_ = false;
    needsPack_ = false;
    const bool fixed = recordLength > 0;
    const uint32_t code = kind == 0 ? (fixed ? 9991 : 9992) : (fixed ? 9993 : 9994);
    std::memset(main_header_, 0, sizeof main_header_);
    byte_order::StoreBe32(main_header_, code);
    byte_order::StoreBe32(main_header_ + 4, static_cast<uint32_t>(headerValue));
    byte_order::StoreBe32(main_header_ + 8, static_cast<uint32_t>(recordLength));
    bool ok = WriteHeader(*main_, main_header_);
    if (ok && code == 9994) {
        withIndex_ = true;
        index_ = std::make_unique<EFileIO>(GetIndexFileName(path_));
        std::memcpy(index_header_, main_header_, kHeaderSize);
        ok = index_->Create(true, false) && WriteHeader(*index_, index_header_);
        indexPosition_ = kHeaderSize;
    }
    if (!ok) {
        const bool idx = index_ != nullptr;
        index_.reset();
        main_.reset();
        fs::DeleteFile(path_);
        if (idx) fs::DeleteFile(GetIndexFileName(path_));
        return false;
    }
    return true;
}

bool EShapeFilePair::Open(bool writable, bool withIndex, bool shareWrite) {
    Close();
    auto fail = [this] {
        index_.reset();
        main_.reset();
        memoryIndex_.clear();
        memoryIndexLoaded_ = false;
        recordCount_ = 0;
        return false;
    };
    // A pair a process left half replaced goes back to one side first.
    if (!fs::RecoverRenames(GetSwapJournal(path_))) return fail();
    main_ = std::make_unique<EFileIO>(path_);
    if (!main_->Open(!writable, true, shareWrite, false, false)) return fail();
    writable_ = writable;
    temporary_ = false;
    needsPack_ = false;
    withIndex_ = false;

    // The byte order from the first bytes; a file of only a header is legal,
    // so fewer than 260 bytes must do.
    const uint64_t size = main_->GetSize();
    uint8_t head[kPrefixSize + kHeaderSize] = {};
    const uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(size, sizeof head));
    if (want < kHeaderSize || !main_->SeekTo(0, 0) || main_->Read(head, want) != want)
        return fail();
    if (want >= kPrefixSize + kHeaderSize && head[0] == 0x00 && head[1] == 0x04 &&
        IsFileCode(byte_order::LoadLe32(head + kPrefixSize))) {
        byteOrder_ = 1;
        prefix_ = kPrefixSize;
    } else if (IsFileCode(byte_order::LoadBe32(head))) {
        byteOrder_ = 0;
        prefix_ = 0;
    } else {
        return fail();
    }
    // Writes always use the plain big-endian form.
    if (writable && byteOrder_ == 1) return fail();
    std::memcpy(main_header_, head + prefix_, kHeaderSize);
    kind_ = GetFileCode() >= 9993 ? 1 : 0;

    const int32_t recordLength = Field(main_header_, 8);
    // The stored file length is trusted only as far as the bytes exist.
    auto usable = [&](const uint8_t* header, uint64_t bytes) -> int64_t {
        const int64_t stored = int64_t{Field(header, 24)} * 2;
        const int64_t real = static_cast<int64_t>(bytes) - prefix_;
        return std::max<int64_t>(0, std::min(stored < 0 ? 0 : stored, real));
    };
    if (withIndex && recordLength <= 0) {
        withIndex_ = true;
        index_ = std::make_unique<EFileIO>(GetIndexFileName(path_));
        if (!index_->Open(!writable, true, shareWrite, false, false)) return fail();
        const uint64_t isize = index_->GetSize();
        if (isize < static_cast<uint64_t>(prefix_ + kHeaderSize) || !index_->SeekTo(prefix_, 0) ||
            index_->Read(index_header_, kHeaderSize) != kHeaderSize)
            return fail();
        if (!IsFileCode(static_cast<uint32_t>(Field(index_header_, 0)))) return fail();
        recordCount_ = std::min(index_entry::Count(usable(index_header_, isize)), 0x7FFFFFFF / 8);
        indexPosition_ = prefix_ + kHeaderSize;
        if (!writable && recordCount_ > 0) {
            if (!LoadIndex()) return fail();
            index_.reset();
        }
    } else if (recordLength > 0) {
        const int64_t bytes = usable(main_header_, size);
        recordCount_ = bytes >= kHeaderSize
                           ? static_cast<int>((bytes - kHeaderSize) / (2 * int64_t{recordLength}))
                           : 0;
    } else {
        recordCount_ = -1;
    }
    current_ = 0;
    currentDeleted_ = false;
    return true;
}

bool EShapeFilePair::LoadIndex() {
    std::vector<uint8_t> raw(static_cast<size_t>(recordCount_) * index_entry::kSize);
    if (!index_->SeekTo(index_entry::Position(0, prefix_), 0)) return false;
    // Read in pieces: a mapped file hands out at most what its window allows.
    size_t done = 0;
    while (done < raw.size()) {
        const uint32_t want = static_cast<uint32_t>(std::min<size_t>(raw.size() - done, 1 << 20));
        const uint32_t got = index_->Read(raw.data() + done, want);
        if (got == 0) return false;
        done += got;
    }
    memoryIndex_.resize(static_cast<size_t>(recordCount_));
    for (int i = 0; i < recordCount_; ++i)
        memoryIndex_[static_cast<size_t>(i)] =
            index_entry::Decode(raw.data() + index_entry::kSize * i, byteOrder_ == 1);
    memoryIndexLoaded_ = true;
    return true;
}

bool EShapeFilePair::Commit() {
    if (!writable_ || !main_) return true;
    bool ok = WriteHeader(*main_, main_header_) && main_->Flush();
    if (index_) ok = WriteHeader(*index_, index_header_) && index_->Flush() && ok;
    return ok;
}

bool EShapeFilePair::Flush() {
    bool ok = Commit();
    if (ok && needsPack_ && !temporary_) ok = Pack();
    currentDeleted_ = false;
    return ok;
}

bool EShapeFilePair::Close() {
    if (!main_) return true;
    bool ok = true;
    if (writable_) {
        if (needsPack_ && !temporary_) ok = Pack();
        ok = Commit() && ok;
    }
    main_.reset();
    index_.reset();
    if (temporary_) {
        fs::DeleteFile(path_);
        if (withIndex_) fs::DeleteFile(GetIndexFileName(path_));
    }
    recordCount_ = 0;
    current_ = 0;
    indexPosition_ = 0;
    memoryIndex_.clear();
    memoryIndexLoaded_ = false;
    needsPack_ = false;
    writable_ = false;
    return ok;
}

void EShapeFilePair::GetHeader(uint8_t* buffer) const {
    std::memcpy(buffer, main_header_, kHeaderSize);
}

bool EShapeFilePair::SetHeader(const uint8_t* header) {
    if (!main_ || !writable_) return false;
    std::memcpy(main_header_, header, kHeaderSize);
    std::memcpy(index_header_, header, kHeaderSize);
    bool ok = WriteHeader(*main_, main_header_);
    if (index_) ok = WriteHeader(*index_, index_header_) && ok;
    current_ = -1;
    return ok;
}

void EShapeFilePair::GetHeaderData(uint8_t* buffer, size_t n) const {
    std::memcpy(buffer, main_header_ + 28, std::min<size_t>(n, kHeaderSize - 28));
}

bool EShapeFilePair::SetHeaderData(const uint8_t* data, size_t n) {
    if (!main_ || !writable_) return false;
    n = std::min<size_t>(n, kHeaderSize - 28);
    std::memcpy(main_header_ + 28, data, n);
    std::memcpy(index_header_ + 28, data, n);
    bool ok = WriteHeader(*main_, main_header_);
    if (index_) ok = WriteHeader(*index_, index_header_) && ok;
    current_ = -1;
    return ok;
}

bool EShapeFilePair::ReadIndexEntry(int i, int64_t* offset, int* length) {
    if (i == -1) i = current_ + 1;
    if (i < 0 || (recordCount_ >= 0 && i >= recordCount_)) return false;
    index_entry::Words w;
    if (memoryIndexLoaded_) {
        w = memoryIndex_[static_cast<size_t>(i)];
    } else {
        if (!index_) return false;
        uint8_t e[index_entry::kSize];
        const int64_t at = index_entry::Position(i, prefix_);
        if (!index_->Seek(at, sizeof e, 0) || index_->Read(e, sizeof e) != sizeof e) return false;
        indexPosition_ = at + index_entry::kSize;
        w = index_entry::Decode(e, byteOrder_ == 1);
    }
    *offset = index_entry::Bytes(w.offset);
    // The deletion marker and other negative lengths come back as -1.
    *length = w.length < 0
                  ? -1
                  : static_cast<int>(std::min<int64_t>(index_entry::Bytes(w.length), 0x7FFFFFFF));
    return true;
}

bool EShapeFilePair::WriteIndexEntry(int i, int64_t offset, int length) {
    if (!index_ || !writable_) return false;
    if (i == -1) i = current_ + 1;
    if (i < 0) return false;
    uint8_t e[index_entry::kSize];
    index_entry::Encode(e, offset, length);
    const int64_t at = index_entry::Position(i, prefix_);
    if (!index_->SeekTo(at, 0) || index_->Write(e, sizeof e) != sizeof e) return false;
    indexPosition_ = at + index_entry::kSize;
    return true;
}

int64_t EShapeFilePair::GetRecordOffset(int i) {
    const int32_t recordLength = Field(main_header_, 8);
    if (i <= 0) return prefix_ + kHeaderSize;
    if (recordLength > 0) return prefix_ + kHeaderSize + int64_t{i} * 2 * recordLength;
    int64_t offset = 0;
    int length = 0;
    if (!ReadIndexEntry(i, &offset, &length)) return -1;
    return prefix_ + offset;
}

int EShapeFilePair::GetRecordLength(int i) {
    if (i < 0) return 0;
    const int32_t recordLength = Field(main_header_, 8);
    if (recordLength > 0)
        return static_cast<int>(std::min<int64_t>(2 * int64_t{recordLength}, 0x7FFFFFFF));
    int64_t offset = 0;
    int length = 0;
    if (!ReadIndexEntry(i, &offset, &length) || length < 0) return 0;
    return length;
}

bool EShapeFilePair::EntryFits(int64_t offset, int64_t length) {
    const int64_t size = static_cast<int64_t>(main_->GetSize());
    return offset >= prefix_ + kHeaderSize && length >= 0 && offset + length <= size;
}

bool EShapeFilePair::ReadRecord(int i, void* buffer, int length) {
    if (!main_ || i < 0 || (recordCount_ >= 0 && i >= recordCount_) || length < 0) return false;
    const bool fixed = Field(main_header_, 8) > 0;
    const int64_t offset = GetRecordOffset(i);
    if (offset < 0) return false;
    current_ = i;
    if (fixed) {
        if (!EntryFits(offset, length)) return false;
        if (length == 0) return true;
        return main_->Seek(offset, static_cast<uint32_t>(length), 0) &&
               main_->Read(buffer, static_cast<uint32_t>(length)) == static_cast<uint32_t>(length);
    }
    uint8_t head[8];
    if (!EntryFits(offset, 8) || !main_->Seek(offset, 8, 0) || main_->Read(head, 8) != 8)
        return false;
    const int32_t stored = Field(head, 4);
    if (stored <= 0) {
        currentDeleted_ = true;
        return false;
    }
    currentDeleted_ = false;
    if (!EntryFits(offset + 8, length)) return false;
    if (length == 0) return true;
    return main_->Read(buffer, static_cast<uint32_t>(length)) == static_cast<uint32_t>(length);
}

const uint8_t* EShapeFilePair::GetRecordPointer(int i) {
    if (!main_ || !main_->IsMapped() || i < 0 || (recordCount_ >= 0 && i >= recordCount_))
        return nullptr;
    current_ = i;
    const int length = GetRecordLength(i);
    int64_t offset = GetRecordOffset(i);
    if (offset < 0 || length <= 0) return nullptr;
    if (Field(main_header_, 8) <= 0) offset += 8;
    if (!EntryFits(offset, length) || !main_->Seek(offset, static_cast<uint32_t>(length), 0))
        return nullptr;
    return main_->GetPointer();
}

bool EShapeFilePair::WriteRecord(int i, const void* content, int length) {
    if (!main_ || !index_ || !writable_ || i < 0 || i > recordCount_ || length < 0 || (length & 1))
        return false;
    int64_t offset;
    if (i == recordCount_) {
        offset = static_cast<int64_t>(main_->GetSize());
    } else {
        // In place only with the same length, or for the last record: the
        // records behind it are not moved.
        if (i != recordCount_ - 1 && GetRecordLength(i) != length) return false;
        offset = GetRecordOffset(i);
        if (offset < prefix_ + kHeaderSize) return false;
    }
    if (offset + 8 + length > 0x7FFFFFFE) return false;
    uint8_t head[8];
    byte_order::StoreBe32(head, static_cast<uint32_t>(i + 1));
    byte_order::StoreBe32(head + 4, static_cast<uint32_t>(length / 2));
    if (!main_->SeekTo(offset, 0) || main_->Write(head, 8) != 8) return false;
    if (length > 0 &&
        main_->Write(content, static_cast<uint32_t>(length)) != static_cast<uint32_t>(length))
        return false;
    current_ = i;
    if (!WriteIndexEntry(i, offset, length)) return false;
    if (i == recordCount_) ++recordCount_;
    return true;
}

int EShapeFilePair::AppendRecord(const void* content, int length) {
    const int i = recordCount_;
    return WriteRecord(i, content, length) ? i : -1;
}

bool EShapeFilePair::DeleteRecord(int i) {
    if (!main_ || !writable_ || i < 0 || i >= recordCount_) return false;
    if (i == current_ && currentDeleted_) return true;
    const int64_t offset = GetRecordOffset(i);
    if (offset < 0) return false;
    uint8_t marker[4];
    byte_order::StoreBe32(marker, static_cast<uint32_t>(kDeletedMarker));
    if (!main_->SeekTo(offset + 4, 0) || main_->Write(marker, 4) != 4) return false;
    if (index_) {
        const int64_t at = index_entry::Position(i, prefix_) + 4;
        if (!index_->SeekTo(at, 0) || index_->Write(marker, 4) != 4) return false;
    }
    current_ = -1;
    needsPack_ = true;
    return true;
}

bool EShapeFilePair::IsDeleted(int i) {
    if (i < 0 || i >= recordCount_) return true;
    if (i == current_ && currentDeleted_) return true;
    int32_t raw = 0;
    if (memoryIndexLoaded_) {
        raw = memoryIndex_[static_cast<size_t>(i)].length;
    } else if (index_) {
        uint8_t e[4];
        const int64_t at = index_entry::Position(i, prefix_) + 4;
        if (!index_->Seek(at, 4, 0) || index_->Read(e, 4) != 4) return true;
        raw = Field(e, 0);
    } else {
        return false;
    }
    return raw == kDeletedMarker;
}

bool EShapeFilePair::Rewind() {
    if (!main_) return false;
    current_ = -1;
    currentDeleted_ = false;
    bool ok = main_->GetSize() <= static_cast<uint64_t>(prefix_ + kHeaderSize) ||
              main_->SeekTo(prefix_ + kHeaderSize, 0);
    if (index_) {
        indexPosition_ = prefix_ + kHeaderSize;
        ok = (index_->GetSize() <= static_cast<uint64_t>(indexPosition_) ||
              index_->SeekTo(indexPosition_, 0)) &&
             ok;
    }
    return ok;
}

bool EShapeFilePair::Pack() {
    if (!main_ || !writable_ || !index_) return false;
    // The compacted copy is written beside the pair and renamed over it, so
    // a failure part way leaves the pair as it was.
    CPath folder(path_);
    WString copyPath;
    MakeTempFileName(folder.GetDirectory(), u"VFL", 0, copyPath);
    if (copyPath.empty()) return false;
    bool ok = true;
    {
        EShapeFilePair copy(copyPath);
        if (!copy.Create(GetHeaderValue(), true, true, 1, Field(main_header_, 8))) return false;
        ok = copy.SetHeaderData(main_header_ + 28, kHeaderSize - 28);
        std::vector<uint8_t> buffer(1024);
        for (int i = 0; ok && i < recordCount_; ++i) {
            // An entry or record that cannot be read fails the pack: taken
            // for deleted, its record would be lost.
            int64_t offset = 0;
            int length = 0;
            if (!ReadIndexEntry(i, &offset, &length)) {
                ok = false;
                break;
            }
            if (length < 0) continue;  // deleted
            if (buffer.size() < static_cast<size_t>(length)) buffer.resize(length + 1024u);
            currentDeleted_ = false;
            if (!ReadRecord(i, buffer.data(), length)) {
                if (currentDeleted_) continue;
                ok = false;
                break;
            }
            ok = copy.AppendRecord(buffer.data(), length) >= 0;
        }
        ok = ok && copy.Commit();
        if (ok) copy.temporary_ = false;  // keep the files for the swap
        copy.Close();
    }
    const WString copyIndex = GetIndexFileName(copyPath);
    if (ok) {
        main_.reset();
        index_.reset();
        // Both files or neither: a main file without its index is no pair.
        // The old pair is kept aside until the packed one is open in its
        // place, and reopened when that fails.
        // The journal lets the next open finish or undo a swap this process
        // could not complete.
        fs::RenameSet swap(GetSwapJournal(path_));
        ok = swap.Replace(copyPath, path_) && swap.Replace(copyIndex, GetIndexFileName(path_));
        needsPack_ = false;
        if (ok && Open(true, true, false)) {
            swap.Commit();
        } else {
            ok = false;
            swap.Rollback();
            Open(true, true, false);
        }
    }
    fs::DeleteFile(copyPath);
    fs::DeleteFile(copyIndex);
    if (ok) needsPack_ = false;
    return ok;
}

WString EShapeFilePair::GetSwapJournal(WStringView path) { return WString(path) + u".swap"; }

bool EShapeFilePair::DeleteFiles() {
    Close();
    fs::DeleteFile(path_);
    fs::DeleteFile(GetIndexFileName(path_));
    return !EFileIO::FileExists(path_);
}

bool EShapeFilePair::Reopen(bool shareWrite) {
    if (!main_) return false;
    const int64_t pos = main_->GetPosition();
    if (!main_->Open(!writable_, true, shareWrite, false, false)) return false;
    if (pos > 0) main_->SeekTo(pos, 0);
    return true;
}

bool EShapeFilePair::Rename(WString& path, WStringView newPath) {
    fs::RenameSet renames;
    if (!renames.Move(path, newPath)) return false;
    const WString index = GetIndexFileName(path);
    if (EFileIO::FileExists(index) && !renames.Move(index, GetIndexFileName(newPath))) return false;
    renames.Commit();
    path.assign(newPath);
    return true;
}

bool EShapeFilePair::CopyPair(WStringView source, WStringView destination) {
    const WString destIndex = GetIndexFileName(destination);
    fs::DeleteFile(destination);
    fs::DeleteFile(destIndex);
    if (!fs::CopyFile(source, destination, false)) return false;
    const WString srcIndex = GetIndexFileName(source);
    if (EFileIO::FileExists(srcIndex)) {
        if (!fs::CopyFile(srcIndex, destIndex, false)) return false;
        if (!EFileIO::FileExists(destIndex)) return false;
    }
    return EFileIO::FileExists(destination);
}
