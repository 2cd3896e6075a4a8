// The scene file reader on small files: whole records, records past the end, shape values that
// are not whole numbers, and a record cut short by the end of the file.
#include "demo/escena.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace {

using Record = std::array<float, 7>;

// Little-endian bytes of the records, one after the other.
std::vector<std::uint8_t> Bytes(const std::vector<Record>& records) {
    std::vector<std::uint8_t> out;
    for (const Record& r : records)
        for (float f : r) {
            const std::uint32_t bits = std::bit_cast<std::uint32_t>(f);
            for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(bits >> (8 * i)));
        }
    return out;
}

// Record n of a test scene: shape n mod 7, and distinct coordinates and angles.
Record TestRecord(int n) {
    const float f = float(n);
    return {float(n % 7), f * 2 - 5, f * 0.5f, -f, 10 * f, 20 * f + 0.25f, -30 * f};
}

void ExpectRecord(const RegistroEscena& got, const Record& want, int tipo) {
    EXPECT_EQ(got.tipo, tipo);
    EXPECT_EQ(got.x, want[1]);
    EXPECT_EQ(got.y, want[2]);
    EXPECT_EQ(got.z, want[3]);
    EXPECT_EQ(got.pitch, want[4]);
    EXPECT_EQ(got.yaw, want[5]);
    EXPECT_EQ(got.roll, want[6]);
}

class SceneFileTest : public testing::Test {
  protected:
    StreamRef open(const std::vector<std::uint8_t>& bytes) {
        const StreamRef s = OpenFile(tmp_.write("escena.esc", bytes), true, false);
        EXPECT_NE(s, nullptr);
        return s;
    }
    TempDir tmp_;
};

TEST_F(SceneFileTest, AFullFileOf448BytesGivesItsSixteenRecordsInOrder) {
    std::vector<Record> records;
    for (int n = 0; n < kRegistrosEscena; ++n) records.push_back(TestRecord(n));
    const std::vector<std::uint8_t> bytes = Bytes(records);
    ASSERT_EQ(bytes.size(), 448u);
    const StreamRef s = open(bytes);
    for (int n = 0; n < kRegistrosEscena; ++n) {
        SCOPED_TRACE(n);
        ExpectRecord(LeeRegistroEscena(s), records[std::size_t(n)], n % 7);
        EXPECT_EQ(StreamPos(s), std::int64_t(kBytesRegistroEscena) * (n + 1));
    }
    EXPECT_TRUE(Eof(s));
}

TEST_F(SceneFileTest, RecordsPastTheEndOfATenRecordFileReadAsZeros) {
    std::vector<Record> records;
    for (int n = 0; n < 10; ++n) records.push_back(TestRecord(n + 1));
    const StreamRef s = open(Bytes(records));
    for (int n = 0; n < 10; ++n)
        ExpectRecord(LeeRegistroEscena(s), records[std::size_t(n)], (n + 1) % 7);
    for (int n = 10; n < kRegistrosEscena; ++n) {
        SCOPED_TRACE(n);
        ExpectRecord(LeeRegistroEscena(s), Record{}, 0);
    }
    // A null stream, like a closed one, reads as zeros too.
    ExpectRecord(LeeRegistroEscena(nullptr), Record{}, 0);
    CloseFile(s);
    ExpectRecord(LeeRegistroEscena(s), Record{}, 0);
}

TEST_F(SceneFileTest, TheShapeValueIsTruncatedTowardZero) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        float value;
        int tipo;
    } cases[] = {{2.9f, 2}, {6.999f, 6},          {-0.5f, 0},           {-1.5f, -1},
                 {7.0f, 7}, {nan, kTipoSinForma}, {inf, kTipoSinForma}, {-3e9f, kTipoSinForma}};
    std::vector<Record> records;
    for (const Case& c : cases) records.push_back({c.value, 1, 2, 3, 4, 5, 6});
    const StreamRef s = open(Bytes(records));
    for (const Case& c : cases) {
        const RegistroEscena r = LeeRegistroEscena(s);
        EXPECT_EQ(r.tipo, c.tipo) << c.value;
        EXPECT_EQ(r.roll, 6.0f);
    }
}

TEST_F(SceneFileTest, ARecordCutShortKeepsTheBytesPresentInTheLowOrderPlaces) {
    const Record whole = TestRecord(3);
    const Record cut = {4, 1.5f, 3.1f, 9, 9, 9, 9};
    std::vector<std::uint8_t> bytes = Bytes({whole, cut});
    // Keep the cut record's shape, x and the first byte of y.
    bytes.resize(kBytesRegistroEscena + 9);
    const StreamRef s = open(bytes);
    ExpectRecord(LeeRegistroEscena(s), whole, 3);
    const RegistroEscena r = LeeRegistroEscena(s);
    EXPECT_EQ(r.tipo, 4);
    EXPECT_EQ(r.x, 1.5f);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(r.y), std::bit_cast<std::uint32_t>(3.1f) & 0xffu);
    EXPECT_EQ(r.z, 0.0f);
    EXPECT_EQ(r.pitch, 0.0f);
    EXPECT_EQ(r.yaw, 0.0f);
    EXPECT_EQ(r.roll, 0.0f);
    EXPECT_TRUE(Eof(s));
}

} // namespace
