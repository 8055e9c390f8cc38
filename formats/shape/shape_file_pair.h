// EShapeFilePair: a main file laid out like a shapefile's (100-byte header,
// records) with, for variable-length records, an index file of 8-byte
// entries. The spatial bin index reads and writes its `.sbn`/`.sbx` through
// it. Header, record headers and entries are big-endian; a read-only open
// also accepts the prefixed little-endian form (0x00 0x04 mark, header at 256).
//
// Header: 0 file code (9991-9994), 4 header value, 8 record length in 16-bit
// words (0 or below: variable), 24 file length in words, 28-99 header data
// (opaque here). Codes: kind 0 gives 9991 (fixed) / 9992 (variable), kind 1
// gives 9993 (fixed) / 9994 (variable, with index file). Variable records
// carry an 8-byte header (number = index + 1, content length in words);
// entry i of the index is (offset, length) in words. A deleted record has
// the marker 0x88CA6C01 for its length.
//
// Every offset and length read from the files is checked against the bytes
// that exist: a record that would pass the end of the main file reads as
// false, never past it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "formats/shape/index_entry.h"
#include "formats/shape/mapped_file.h"
#include "formats/shape/shp_internal.h"
#include "platform/text/text.h"

class EShapeFilePair {
public:
    static constexpr int kHeaderSize = 100;
    static constexpr int kPrefixSize = 256;
    static constexpr int32_t kDeletedMarker = static_cast<int32_t>(0x88CA6C01);

    explicit EShapeFilePair(WStringView path);
    EShapeFilePair(const EShapeFilePair&) = delete;
    EShapeFilePair& operator=(const EShapeFilePair&) = delete;
    ~EShapeFilePair();

    bool Create(int32_t headerValue, bool writable, bool temporary, int kind, int32_t recordLength);
    bool Open(bool writable, bool withIndex, bool shareWrite);
    // Writes the headers (and packs a pair with deleted records); false when
    // a write failed. The files are closed either way.
    bool Close();
    bool Commit();
    bool Flush();
    bool IsOpen() const { return main_ != nullptr; }

    void GetHeader(uint8_t* buffer) const;
    bool SetHeader(const uint8_t* header);
    void GetHeaderData(uint8_t* buffer, size_t n) const;
    bool SetHeaderData(const uint8_t* data, size_t n);
    int32_t GetHeaderValue() const { return Field(main_header_, 4); }
    int32_t GetFileCode() const { return Field(main_header_, 0); }
    int GetRecordSize() const { return 2 * Field(main_header_, 8); }

    int GetRecordCount() const { return recordCount_; }
    int64_t GetRecordOffset(int i);
    int GetRecordLength(int i);
    bool ReadRecord(int i, void* buffer, int length);
    const uint8_t* GetRecordPointer(int i);
    bool WriteRecord(int i, const void* content, int length);
    int AppendRecord(const void* content, int length);
    bool DeleteRecord(int i);
    bool IsDeleted(int i);
    bool IsCurrentDeleted() const { return currentDeleted_; }
    bool Rewind();
    // (offset, length) in bytes; i = -1 reads the entry after the current
    // record. False when the entry cannot be read.
    bool ReadIndexEntry(int i, int64_t* offset, int* length);
    bool WriteIndexEntry(int i, int64_t offset, int length);

    bool Pack();
    bool DeleteFiles();
    bool Reopen(bool shareWrite);
    bool IsMapped() const { return main_ && main_->IsMapped(); }
    bool IsWritable() const { return writable_; }
    const WString& GetPath() const { return path_; }
    EFileIO* GetMainFile() const { return main_.get(); }

    static WString GetIndexFileName(WStringView path);
    // The journal beside the main file while a pack replaces both files
    // ("<main>.swap": for a `.sbn` the one the index rebuild keeps).
    static WString GetSwapJournal(WStringView path);
    // Refuses an existing target; moves the index file with the main file.
    static bool Rename(WString& path, WStringView newPath);
    static bool CopyPair(WStringView source, WStringView destination);

private:
    bool HasIndex() const { return Field(main_header_, 8) <= 0 && GetFileCode() == 9994; }
    int32_t Field(const uint8_t* header, int offset) const;
    bool WriteHeader(EFileIO& file, uint8_t* header);
    bool LoadIndex();
    bool EntryFits(int64_t offset, int64_t length);

    WString path_;
    bool writable_ = false;
    int kind_ = 0;
    uint8_t main_header_[kHeaderSize] = {};
    uint8_t index_header_[kHeaderSize] = {};
    int byteOrder_ = 0;  // 0 big-endian at 0, 1 the prefixed little-endian form
    int recordCount_ = 0;
    int current_ = -1;
    bool currentDeleted_ = false;
    int64_t indexPosition_ = 0;
    int prefix_ = 0;
    std::unique_ptr<EFileIO> main_;
    std::unique_ptr<EFileIO> index_;
    bool temporary_ = false;
    bool needsPack_ = false;
    bool withIndex_ = false;
    // (offset, length) in 16-bit words, for read-only pairs.
    std::vector<index_entry::Words> memoryIndex_;
    bool memoryIndexLoaded_ = false;
};

// Reverses the bytes of each of `count` items of `itemSize` bytes in place.
void ESwapItems(void* buffer, int itemSize, int count);
