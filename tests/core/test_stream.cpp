#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "quillory.h"
#include "test_support.h"

namespace {

std::string TempPath(const std::string& name) { return Quillory_TempPath(name); }

TEST(Stream, MemoryWriteGrowsGeometrically) {
    C_Stream s;
    ASSERT_TRUE(s.OpenMemoryWrite());
    const std::uint8_t one = 7;
    EXPECT_EQ(C_Stream::Write(&one, 1, 1, &s), 1u);
    EXPECT_EQ(s.capacity, 1u);
    EXPECT_EQ(C_Stream::Write(&one, 1, 1, &s), 1u);
    EXPECT_EQ(s.capacity, 4u);
    EXPECT_EQ(s.size, 2u);
    EXPECT_EQ(s.offset, 2u);
}

TEST(Stream, MemoryReadReturnsBytesAndStopsAtTheEnd) {
    const std::uint8_t bytes[14] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
    C_Stream s;
    ASSERT_TRUE(s.OpenMemoryRead(bytes, sizeof bytes));
    std::uint32_t words[3];
    EXPECT_EQ(C_Stream::Read(words, 4, 3, &s), 12u);
    EXPECT_EQ(C_Stream::IsEof(&s), 0);
    std::uint8_t rest[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    EXPECT_EQ(C_Stream::Read(rest, 1, 4, &s), 2u);  // a short read copies what remains
    EXPECT_EQ(rest[0], 13);
    EXPECT_EQ(rest[1], 14);
    EXPECT_EQ(rest[2], 0);  // and never leaves stale bytes behind
    EXPECT_NE(C_Stream::IsEof(&s), 0);
    EXPECT_EQ(C_Stream::ReadByte(&s), 0);
    EXPECT_EQ(s.offset, 14u);
    EXPECT_EQ(C_Stream::Seek(&s, 0, SEEK_SET), 0);
    EXPECT_EQ(s.offset, 14u);  // seeking is for files only
}

TEST(Stream, FileReadCountsElementsAndEofNeedsAReadPastTheEnd) {
    const std::string path = TempPath("stream12.bin");
    {
        C_Stream w;
        ASSERT_TRUE(w.OpenFileWrite(path.c_str()));
        const std::uint32_t words[3] = {1, 2, 3};
        EXPECT_EQ(C_Stream::Write(words, 4, 3, &w), 3u);
        EXPECT_TRUE(w.CloseFile());
    }
    C_Stream r;
    ASSERT_TRUE(r.OpenFileRead(path.c_str()));
    EXPECT_EQ(C_Stream::Remaining(&r), 12u);
    std::uint32_t words[3];
    EXPECT_EQ(C_Stream::Read(words, 4, 3, &r), 3u);
    EXPECT_EQ(words[2], 3u);
    EXPECT_EQ(C_Stream::IsEof(&r), 0);
    C_Stream::ReadByte(&r);
    EXPECT_NE(C_Stream::IsEof(&r), 0);
    EXPECT_TRUE(r.CloseFile());
    EXPECT_FALSE(r.CloseFile());
}

TEST(Stream, NullAndUnopenedStreamsTransferNothing) {
    std::uint8_t byte = 1;
    EXPECT_EQ(C_Stream::Read(&byte, 1, 1, nullptr), 0u);
    EXPECT_EQ(C_Stream::Write(&byte, 1, 1, nullptr), 0u);
    EXPECT_EQ(C_Stream::Seek(nullptr, 0, SEEK_SET), 0);
    EXPECT_EQ(C_Stream::IsEof(nullptr), 0);
    EXPECT_EQ(C_Stream::ReadByte(nullptr), 0);

    C_Stream s;
    EXPECT_FALSE(s.OpenFileRead(TempPath("does/not/exist").c_str()));
    EXPECT_EQ(C_Stream::Read(&byte, 1, 1, &s), 0u);
    EXPECT_EQ(C_Stream::IsEof(&s), 0);
    EXPECT_FALSE(s.CloseFile());
}

TEST(Stream, WrittenBytesReadBackFromTheSameStream) {
    C_Stream s;
    s.OpenMemoryWrite();
    const std::uint32_t value = 0xA1B2C3D4;
    ASSERT_TRUE(C_Stream::WriteValue(&s, value));
    ASSERT_EQ(s.Size(), 4u);
    EXPECT_EQ(s.Data()[0], 0xD4);  // little-endian on every target
    s.OpenMemoryRead();
    std::uint32_t back = 0;
    ASSERT_TRUE(C_Stream::ReadValue(&s, back));
    EXPECT_EQ(back, value);
    EXPECT_FALSE(C_Stream::ReadValue(&s, back));
    EXPECT_EQ(back, 0u);
}

TEST(Stream, SwitchingKindsAndEofAfterRemaining) {
    const std::string path = TempPath("stream3.bin");
    {
        C_Stream w;
        ASSERT_TRUE(w.OpenFileWrite(path.c_str()));
        EXPECT_EQ(C_Stream::Write("abc", 1, 3, &w), 3u);
    }  // the destructor closes the file
    C_Stream r;
    ASSERT_TRUE(r.OpenFileRead(path.c_str()));
    std::uint8_t bytes[4];
    EXPECT_EQ(C_Stream::Read(bytes, 1, 4, &r), 3u);
    EXPECT_NE(C_Stream::IsEof(&r), 0);
    EXPECT_EQ(C_Stream::Remaining(&r), 0u);
    EXPECT_NE(C_Stream::IsEof(&r), 0);  // asking what is left does not forget the end
    EXPECT_EQ(C_Stream::Seek(&r, 0, SEEK_SET), 0);
    EXPECT_EQ(C_Stream::IsEof(&r), 0);

    ASSERT_TRUE(r.OpenMemoryRead("xy", 2));  // the file is closed, not leaked
    EXPECT_EQ(r.file, nullptr);
    EXPECT_EQ(C_Stream::ReadByte(&r), 'x');
    EXPECT_FALSE(r.OpenMemoryRead(nullptr, 5));
}

}  // namespace
