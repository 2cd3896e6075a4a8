#include "platform/stream.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>

namespace {

std::vector<std::uint8_t> le32(std::initializer_list<std::uint32_t> values) {
    std::vector<std::uint8_t> out;
    for (std::uint32_t v : values) {
        for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(v >> (8 * i)));
    }
    return out;
}

TEST(StreamTest, ReadIntPastTheEndKeepsThePresentBytesAndThenYieldsZero) {
    TempDir tmp;
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        std::vector<std::int32_t> expected; // successive ReadInt results
        std::vector<bool> eofAfter;         // Eof after each read
    };
    const Case cases[] = {
        {"empty", {}, {0, 0}, {true, true}},
        {"one int", le32({0xFFFFFFFE}), {-2, 0}, {true, true}},
        {"int and two bytes",
         {0x10, 0x20, 0x30, 0x40, 0x34, 0x12},
         {0x40302010, 0x1234, 0},
         {false, true, true}},
        {"single byte", {0x80}, {0x80, 0}, {true, true}},
        {"lap record",
         le32({400, 300, 401, 299}),
         {400, 300, 401, 299},
         {false, false, false, true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const StreamRef s = OpenFile(tmp.write("f.lap", c.bytes));
        ASSERT_TRUE(s);
        EXPECT_EQ(Eof(s), c.bytes.empty());
        for (std::size_t i = 0; i < c.expected.size(); ++i) {
            EXPECT_EQ(ReadInt(s), c.expected[i]) << "read " << i;
            EXPECT_EQ(Eof(s), c.eofAfter[i]) << "read " << i;
        }
        EXPECT_EQ(StreamPos(s), std::int64_t(c.bytes.size()));
        CloseFile(s);
    }
}

TEST(StreamTest, ValuesAreLittleEndianWithOrWithoutThePrefix) {
    TempDir tmp;
    std::vector<std::uint8_t> bytes = {0xAB,                                   // byte
                                       0x34, 0x12,                             // short
                                       0xFE, 0xFF, 0xFF, 0xFF,                 // int -2
                                       0x00, 0x00, 0xC0, 0x3F,                 // float 1.5
                                       1,    2,    3,    4,    5, 6, 7, 0x80}; // long
    const std::string path = tmp.write("values.bin", bytes);
    for (const std::string& url : {"littleendian::" + path, path}) {
        SCOPED_TRACE(url);
        const StreamRef s = OpenStream(url, true, true);
        ASSERT_TRUE(s);
        EXPECT_EQ(StreamSize(s), 19);
        EXPECT_EQ(ReadByte(s), 0xAB);
        EXPECT_EQ(ReadShort(s), 0x1234);
        EXPECT_EQ(ReadInt(s), -2);
        EXPECT_EQ(ReadFloat(s), 1.5f);
        EXPECT_EQ(StreamPos(s), 11);
        EXPECT_EQ(ReadLong(s), std::int64_t(0x8007060504030201ull));
        EXPECT_TRUE(Eof(s));
        EXPECT_EQ(ReadByte(s), 0);
        EXPECT_EQ(ReadFloat(s), 0.0f);
        CloseStream(s);
    }
    // A float cut short keeps its low-order bytes: 00 00 C0 of 1.5f alone make a tiny denormal.
    const StreamRef s = OpenFile(tmp.write("cut.bin", {0x00, 0x00, 0xC0}));
    const std::uint32_t bits = 0x00C00000;
    float expected;
    std::memcpy(&expected, &bits, 4);
    EXPECT_EQ(ReadFloat(s), expected);
}

TEST(StreamTest, SeekAndPeekLikeTheModelLoader) {
    TempDir tmp;
    const StreamRef s = OpenStream(
        "littleendian::" + tmp.write("m.b3d", {'B', 'B', '3', 'D', 8, 0, 0, 0, 99, 0, 0, 0}));
    ASSERT_TRUE(s);
    // Peek a tag: remember the position, read four bytes, go back.
    const std::int64_t at = StreamPos(s);
    std::string tag;
    for (int i = 0; i < 4; ++i) tag += char(ReadByte(s));
    EXPECT_EQ(SeekStream(s, at), 0);
    EXPECT_EQ(tag, "BB3D");
    EXPECT_EQ(ReadLong(s), 0x0000000844334242ll);
    EXPECT_EQ(ReadInt(s), 99);
    EXPECT_TRUE(Eof(s));
    // Seeks are clamped to the stream.
    EXPECT_EQ(SeekStream(s, 100), 12);
    EXPECT_TRUE(Eof(s));
    EXPECT_EQ(SeekStream(s, -5), 0);
    EXPECT_FALSE(Eof(s));
    EXPECT_EQ(ReadByte(s), 'B');
}

TEST(StreamTest, ReadsAcrossTheBufferWindowAndSeeksAnywhere) {
    TempDir tmp;
    std::vector<std::uint32_t> values(100000);
    for (std::uint32_t i = 0; i < values.size(); ++i) values[i] = i * 2654435761u;
    std::vector<std::uint8_t> bytes(values.size() * 4);
    for (std::size_t i = 0; i < values.size(); ++i) {
        for (int b = 0; b < 4; ++b) bytes[4 * i + b] = std::uint8_t(values[i] >> (8 * b));
    }
    const StreamRef s = OpenFile(tmp.write("big.bin", bytes));
    ASSERT_TRUE(s);
    for (std::size_t i = 0; i < values.size(); ++i) {
        ASSERT_EQ(std::uint32_t(ReadInt(s)), values[i]) << i;
    }
    EXPECT_TRUE(Eof(s));
    // Unaligned reads that straddle window boundaries, backwards and forwards.
    for (std::int64_t pos : {65534ll, 131070ll, 3ll, 399997ll, 262143ll, 65535ll}) {
        SeekStream(s, pos);
        std::uint32_t expected = 0;
        for (int b = 0; b < 4 && pos + b < std::int64_t(bytes.size()); ++b) {
            expected |= std::uint32_t(bytes[std::size_t(pos + b)]) << (8 * b);
        }
        EXPECT_EQ(std::uint32_t(ReadInt(s)), expected) << pos;
    }
}

TEST(StreamTest, ClosedAndNullStreamsAreHarmless) {
    TempDir tmp;
    const StreamRef s = OpenFile(tmp.write("x.bin", le32({1, 2})));
    ASSERT_TRUE(s);
    EXPECT_EQ(ReadInt(s), 1);
    CloseFile(s);
    CloseFile(s); // twice does nothing
    const StreamRef null;
    for (const StreamRef& h : {s, null}) {
        EXPECT_TRUE(Eof(h));
        EXPECT_EQ(ReadInt(h), 0);
        EXPECT_EQ(ReadByte(h), 0);
        EXPECT_EQ(ReadLong(h), 0);
        EXPECT_EQ(ReadFloat(h), 0.0f);
        EXPECT_EQ(StreamPos(h), 0);
        EXPECT_EQ(StreamSize(h), 0);
        EXPECT_EQ(SeekStream(h, 4), 0);
        WriteInt(h, 5);
        CloseStream(h);
    }
}

TEST(StreamTest, OpenFailsForMissingFilesAndDirectories) {
    TempDir tmp;
    EXPECT_FALSE(OpenFile(tmp.path("missing.lap")));
    EXPECT_FALSE(OpenStream("littleendian::" + tmp.path("missing.b3d")));
    EXPECT_FALSE(OpenFile(tmp.dir().string()));
    EXPECT_FALSE(OpenStream(tmp.dir().string(), true, true));
    EXPECT_FALSE(WriteFile(tmp.dir().string()));
    EXPECT_FALSE(OpenFile(""));
    EXPECT_FALSE(OpenStream(tmp.write("a.bin", {1}), false, false));
}

TEST(StreamTest, ReadWriteOpenNeedsWritePermission) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
    TempDir tmp;
    const std::string path = tmp.write("ro.b3d", {1, 2, 3, 4});
    std::filesystem::permissions(path, std::filesystem::perms::owner_read);
    EXPECT_FALSE(OpenStream("littleendian::" + path, true, true));
    const StreamRef readOnly = OpenFile(path);
    ASSERT_TRUE(readOnly);
    EXPECT_EQ(ReadInt(readOnly), 0x04030201);
}

TEST(StreamTest, WritesLandInTheFileAndInTheReadWindow) {
    TempDir tmp;
    const std::string path = tmp.path("w.bin");
    {
        const StreamRef w = WriteFile(path);
        ASSERT_TRUE(w);
        WriteByte(w, 0x1FF); // only the low byte
        WriteShort(w, 0xBEEF);
        WriteInt(w, -7);
        WriteFloat(w, -0.25f);
        WriteLong(w, 0x0102030405060708ll);
        EXPECT_EQ(StreamPos(w), 19);
        EXPECT_EQ(ReadInt(w), 0); // not readable
    }                             // released: closed and flushed
    const std::vector<std::uint8_t> expected = {
        0xFF, 0xEF, 0xBE, 0xF9, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x80, 0xBE, 8, 7, 6, 5, 4, 3, 2, 1};
    EXPECT_EQ(tmp.read("w.bin"), expected);

    // Read and write on one stream: a write into bytes already read is seen by a later read.
    const StreamRef rw = OpenStream(path, true, true);
    ASSERT_TRUE(rw);
    EXPECT_EQ(ReadByte(rw), 0xFF);
    SeekStream(rw, 3);
    WriteInt(rw, 123456);
    SeekStream(rw, 3);
    EXPECT_EQ(ReadInt(rw), 123456);
    SeekStream(rw, 19);
    WriteShort(rw, 0x4142); // grows the file
    EXPECT_EQ(StreamSize(rw), 21);
    SeekStream(rw, 19);
    EXPECT_EQ(ReadShort(rw), 0x4142);
    CloseStream(rw);
    EXPECT_EQ(tmp.read("w.bin").size(), 21u);

    const StreamRef mem = TStream::OpenMemory({1, 0, 0, 0});
    EXPECT_EQ(ReadInt(mem), 1);
    WriteInt(mem, 2);
    SeekStream(mem, 0);
    EXPECT_EQ(ReadLong(mem), 0x0000000200000001ll);
}

TEST(StreamTest, FileTypeAndWorkingDirectory) {
    TempDir tmp;
    const std::string file = tmp.write("tex.png", {0});
    EXPECT_EQ(FileType(file), 1);
    EXPECT_EQ(FileType(tmp.dir().string()), 2);
    EXPECT_EQ(FileType(tmp.path("none.png")), 0);
    EXPECT_EQ(FileType(""), 0);

    const std::string before = CurrentDir();
    ASSERT_FALSE(before.empty());
    ASSERT_TRUE(ChangeDir(tmp.dir().string()));
    EXPECT_EQ(std::filesystem::path(CurrentDir()), std::filesystem::canonical(tmp.dir()));
    EXPECT_EQ(FileType("tex.png"), 1); // relative names resolve in the new directory
    EXPECT_FALSE(ChangeDir("no_such_folder"));
    EXPECT_FALSE(ChangeDir("tex.png"));
    EXPECT_FALSE(ChangeDir(""));
    EXPECT_EQ(std::filesystem::path(CurrentDir()), std::filesystem::canonical(tmp.dir()));
    ASSERT_TRUE(ChangeDir(before));
    EXPECT_EQ(CurrentDir(), before);
}

} // namespace
