#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "formats/shape/record_set.h"

TEST(RecordSet, StateTable) {
    ERecordSet s(10);
    EXPECT_TRUE(s.Add(10));
    EXPECT_FALSE(s.Add(11));
    EXPECT_FALSE(s.Add(-1));
    EXPECT_FALSE(s.Contains(12345));  // out of range reads nothing
    EXPECT_FALSE(s.Remove(-7));
    s.RemoveAll();
    EXPECT_TRUE(s.AddRange(1, 10));
    EXPECT_EQ(s.Count(), 10);
    EXPECT_FALSE(s.Contains(0));
    EXPECT_NE(s.GetBits()->GetWords(), nullptr);

    ERecordSet full(10);
    EXPECT_TRUE(full.AddRange(0, 11));
    EXPECT_EQ(full.GetBits()->GetWords(), nullptr);  // uniform, no words
    EXPECT_EQ(full.Count(), 11);
    EXPECT_TRUE(full.Contains(7));
    ERecordSet copy(full);
    EXPECT_TRUE(*copy.GetBits() == *full.GetBits());
    EXPECT_TRUE(full.Remove(3));
    EXPECT_EQ(full.Count(), 10);
    EXPECT_FALSE(full.Contains(3));

    ERecordSet empty(10);
    EXPECT_EQ(empty.First(), -1);
    EXPECT_TRUE(empty.AtEnd());
    EXPECT_EQ(s.First(), 1);
    for (int i = 2; i <= 10; ++i) EXPECT_EQ(s.Next(), i);
    EXPECT_EQ(s.Next(), -1);
    EXPECT_EQ(s.Next(), 1);  // a finished walk starts again

    EBitSet b(100);
    b.Set(63);
    EXPECT_EQ(b.FindNext(-1), 63);
    EXPECT_EQ(b.FindPrev(0), -1);
    EXPECT_EQ(b.FindPrev(100), 63);
    b.Clear(63);
    b.Invert();  // words present, empty: becomes all set
    EXPECT_EQ(b.GetCount(), 100);
    EXPECT_TRUE(b.Test(99));
    b.Clear(5);
    EXPECT_EQ(b.GetCount(), 99);
    EXPECT_FALSE(b.And(EBitSet(99)));  // other sizes are refused

    std::vector<uint8_t> stored;
    b.Store(stored);
    ASSERT_EQ(stored.size(), 12u + 16u);
    EBitSet loaded;
    ASSERT_TRUE(loaded.Load(stored.data(), stored.size()));
    EXPECT_TRUE(loaded == b);
    // Counts that do not fit are refused; a wrong set count is recounted.
    std::vector<uint8_t> bad = stored;
    bad[4] = 9;
    EXPECT_FALSE(loaded.Load(bad.data(), bad.size()));
    bad = stored;
    bad[8] = 100;  // claims all set
    ASSERT_TRUE(loaded.Load(bad.data(), bad.size()));
    EXPECT_EQ(loaded.GetCount(), 99);
    EXPECT_FALSE(loaded.Test(5));
    EXPECT_FALSE(loaded.Load(stored.data(), 20));
    ERecordSet uniform(40);
    uniform.AddRange(0, 41);
    std::vector<uint8_t> u;
    uniform.GetBits()->Store(u);
    EXPECT_EQ(u.size(), 12u + 8u);
}

// Every operation against a plain model, on the sizes where masks go wrong.
TEST(RecordSet, MatchesAModelOnAwkwardSizes) {
    std::mt19937 rng(7);
    for (int n : {0, 1, 31, 32, 33, 64, 95}) {
        SCOPED_TRACE(n);
        EBitSet b(n), other(n);
        std::vector<bool> m(static_cast<size_t>(n)), o(static_cast<size_t>(n));
        for (int step = 0; step < 400; ++step) {
            const int op = static_cast<int>(rng() % 12);
            const int i = n ? static_cast<int>(rng() % static_cast<unsigned>(n)) : 0;
            const int c = static_cast<int>(rng() % 40);
            switch (op) {
                case 0:
                    b.Set(i);
                    if (n) m[i] = true;
                    break;
                case 1:
                    b.Clear(i);
                    if (n) m[i] = false;
                    break;
                case 2:
                    b.SetRange(i, c);
                    for (int k = i; n && k < std::min(n, i + c); ++k) m[k] = true;
                    break;
                case 3:
                    b.ClearRange(i, c);
                    for (int k = i; n && k < std::min(n, i + c); ++k) m[k] = false;
                    break;
                case 4:
                    b.And(other);
                    for (int k = 0; k < n; ++k) m[k] = m[k] && o[k];
                    break;
                case 5:
                    b.Or(other);
                    for (int k = 0; k < n; ++k) m[k] = m[k] || o[k];
                    break;
                case 6:
                    b.Xor(other);
                    for (int k = 0; k < n; ++k) m[k] = m[k] != o[k];
                    break;
                case 7:
                    b.Invert();
                    m.flip();
                    break;
                case 8:
                    other.Set(i);
                    if (n) o[i] = true;
                    break;
                case 9:
                    (rng() & 1) ? b.SetAll() : b.ClearAll();
                    std::fill(m.begin(), m.end(), b.GetCount() > 0);
                    break;
                case 10: {
                    // Grow then shrink back, so the model stays comparable.
                    const bool set = rng() & 1;
                    b.Grow(5, set);
                    EXPECT_EQ(b.GetCount(), static_cast<int>(std::count(m.begin(), m.end(), true)) +
                                                (set ? 5 : 0));
                    b.SetSize(n);
                    break;
                }
                case 11: {
                    // A list with repeats and numbers outside the set.
                    const int32_t list[] = {i, -1, n, i, (i + 3) % std::max(n, 1), INT32_MIN};
                    b.SetMany(list, static_cast<size_t>(c % 7));
                    for (int k = 0; k < c % 7; ++k)
                        if (list[k] >= 0 && list[k] < n) m[static_cast<size_t>(list[k])] = true;
                    break;
                }
            }
            ASSERT_EQ(b.GetCount(), static_cast<int>(std::count(m.begin(), m.end(), true))) << op;
            int next = -1, expect = -1;
            for (int k = i + 1; k < n; ++k)
                if (m[k]) {
                    expect = k;
                    break;
                }
            next = b.FindNext(i);
            ASSERT_EQ(next, expect) << op;
            expect = -1;
            for (int k = i - 1; k >= 0; --k)
                if (m[k]) {
                    expect = k;
                    break;
                }
            ASSERT_EQ(b.FindPrev(i), expect) << op;
        }
    }
}
