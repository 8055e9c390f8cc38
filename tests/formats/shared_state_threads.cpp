// Process-wide state of the drawing and file code, used from several threads
// at once (label "threads": run under ThreadSanitizer by the tsan preset).
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "crs/datum_table.h"
#include "crs/geographic.h"
#include "formats/shape/mapped_file.h"
#include "formats/shape/shape_draw.h"
#include "formats/shape/shape_record.h"

namespace {

// Each drawing thread transforms its own points many times over: what it
// reads back is always its own, never another thread's.
TEST(SharedStateThreads, EachDrawingThreadHasItsOwnPointBuffer) {
    ShpDrawTransform t;
    ShpSetDrawTransform(&t, RECT{0, 0, 1000, 1000}, CDoubleRect(0, 0, 1000, 1000));
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int k = 0; k < 4; ++k) {
        threads.emplace_back([&, k] {
            const int n = 100 + 37 * k;
            std::vector<uint8_t> bytes(16 * static_cast<size_t>(n));
            for (int i = 0; i < n; ++i)
                ShapeStorePoint(bytes.data(), i, {100.0 * k + i % 50, 7.0 * k + i % 90});
            for (int round = 0; round < 300; ++round) {
                POINT* p = ShpTransformPoints(t, n, bytes.data());
                for (int i = 0; i < n; ++i) {
                    const POINT want = ShpWorldToDevice(t, 100.0 * k + i % 50, 7.0 * k + i % 90);
                    if (!p || p[i].x != want.x || p[i].y != want.y) ++wrong;
                }
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(wrong.load(), 0);
}

// Systems made and freed on several threads keep the live count and load
// the datum table once between them; the map window size is read whole
// while another thread sets it.
TEST(SharedStateThreads, CountersAndSettings) {
    FreeDatumTable();  // the first look-up comes from the threads below
    const int32_t before = CCoordSys::LiveCount();
    std::atomic<bool> stop{false};
    std::atomic<int> odd{0};
    std::thread setter([&] {
        for (int i = 0; i < 2000; ++i) EFileIO::SetMapWindowSize(i % 2 ? 0x10000 : 0x20000);
        stop = true;
    });
    std::thread reader([&] {
        while (!stop) {
            const uint32_t w = EFileIO::GetMapWindowSize();
            if (w != 0x10000 && w != 0x20000 && w != EFileIO::kWholeFile) ++odd;
        }
    });
    std::vector<std::thread> makers;
    for (int k = 0; k < 4; ++k)
        makers.emplace_back([] {
            for (int i = 0; i < 500; ++i) {
                CGeographic g;
                g.SetDatum(Wgs84Datum());
            }
        });
    for (auto& m : makers) m.join();
    setter.join();
    reader.join();
    EFileIO::ResetForTests();
    EXPECT_EQ(odd.load(), 0);
    EXPECT_EQ(CCoordSys::LiveCount(), before);
    EXPECT_EQ(GetDatumCount(), 1);
    ReleaseDatumTable();
}

}  // namespace
