// Visiting many records of a shapefile: a walk through the mapped `.shp`, a
// walk that reads record by record, and a visit of the records of a record
// set. All follow the `.shx` order (a file rewritten out of order by another
// program is still numbered by its index), skip deleted and empty records,
// can filter by an extent, stop when the callback returns 0 and can poll the
// user-abort check.
#pragma once

#include <cstdint>

#include "core/abort_check.h"
#include "core/double_rect.h"
#include "formats/shape/shape_record.h"

class ERecordSet;

// Gets each live record; the content pointer is valid during the call only.
// Return nonzero to go on, 0 to stop.
using ShpVisitCallback = int (*)(ShpHandle h, int record, ShapeRecord* shape, void* user);

// Visit flags: bit 0 polls the caller's abort check (ShpSetAbortPoll) after
// visited records: after the first, then at most once per interval.
constexpr int kShpVisitPollAbort = 1;

// Records first to end - 1 (end -1: all). An extent of four zeros is none.
// 1, or 0 when the file cannot be mapped or a record is damaged (code 12).
int ShpForEachMapped(ShpHandle h, ShpVisitCallback callback, void* user, const CDoubleRect* extent,
                     int first, int end, int flags);
// 1, or 0 on a read or memory failure (codes 12 and 8).
int ShpForEachRead(ShpHandle h, ShpVisitCallback callback, void* user, const CDoubleRect* extent,
                   int first, int end, int flags);
// Bit k of `words` is record number k (index k - 1); bit 0 never names one.
// Stops after `members` set bits or at record index `limit`.
int ShpForEachInSet(ShpHandle h, ShpVisitCallback callback, void* user, int limit, int members,
                    const uint32_t* words, int flags);
// The same over a record set, also one whose members are kept without words.
int ShpForEachInSet(ShpHandle h, ShpVisitCallback callback, void* user, const ERecordSet& set,
                    int flags);

// 0 for `.shp`, 1 for `.shx`. A view shorter than the file is made again.
void* ShpMapFile(ShpHandle h, int which);
void ShpUnmapFile(ShpHandle h, int which);
int ShpMapFiles(ShpHandle h);
void ShpUnmapFiles(ShpHandle h);
// The record's content in the mapped `.shp`; null when not mapped or when the
// record does not lie whole inside the view.
ShapeRecord* ShpGetMappedShape(ShpHandle h, int record);

// The abort poll of the walks and how often they may ask it; null (the
// default) never stops a walk. The engine itself never looks at the message
// queue: the caller gives the poll.
// Returns the poll it replaces.
CAbortCheck::Poll ShpSetAbortPoll(bool (*poll)(),
                                  uint32_t intervalMs = CAbortCheck::kDefaultIntervalMs);
// A check over that poll, for walks built on top of these.
CAbortCheck ShpAbortCheck();
