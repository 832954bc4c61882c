#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "quillory.h"
#include "test_support.h"

namespace {

TEST(Stream, MemoryWriteGrowsGeometricallyAndReadsBackLittleEndian) {
    C_Stream s;
    ASSERT_TRUE(s.OpenMemoryWrite());
    const std::uint8_t one = 7;
    EXPECT_EQ(C_Stream::Write(&one, 1, 1, &s), 1u);
    EXPECT_EQ(s.capacity, 1u);
    EXPECT_EQ(C_Stream::Write(&one, 1, 1, &s), 1u);
    EXPECT_EQ(s.capacity, 4u);
    const std::uint32_t value = 0xA1B2C3D4;
    ASSERT_TRUE(C_Stream::WriteValue(&s, value));
    ASSERT_EQ(s.Size(), 6u);
    EXPECT_EQ(s.Data()[2], 0xD4);
    s.OpenMemoryRead();
    std::uint32_t back = 0;
    EXPECT_EQ(C_Stream::ReadByte(&s), 7);
    EXPECT_EQ(C_Stream::ReadByte(&s), 7);
    ASSERT_TRUE(C_Stream::ReadValue(&s, back));
    EXPECT_EQ(back, value);
    EXPECT_FALSE(C_Stream::ReadValue(&s, back));
    EXPECT_EQ(back, 0u);
}

TEST(Stream, ShortMemoryReadsCopyWhatRemainsAndZeroTheRest) {
    const std::uint8_t bytes[14] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
    C_Stream s;
    ASSERT_TRUE(s.OpenMemoryRead(bytes, sizeof bytes));
    std::uint32_t words[3];
    EXPECT_EQ(C_Stream::Read(words, 4, 3, &s), 12u);
    EXPECT_EQ(C_Stream::IsEof(&s), 0);
    std::uint8_t rest[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    EXPECT_EQ(C_Stream::Read(rest, 1, 4, &s), 2u);
    EXPECT_EQ(rest[1], 14);
    EXPECT_EQ(rest[2], 0);
    EXPECT_NE(C_Stream::IsEof(&s), 0);
    EXPECT_EQ(C_Stream::ReadByte(&s), 0);
    EXPECT_EQ(C_Stream::Seek(&s, 0, SEEK_SET), 0);
    EXPECT_EQ(s.offset, 14u);  // seeking is for files only
    EXPECT_FALSE(s.OpenMemoryRead(nullptr, 5));
}

TEST(Stream, FilesCountElementsAndEofNeedsAReadPastTheEnd) {
    const std::string path = Quillory_TempPath("stream12.bin");
    {
        C_Stream w;
        ASSERT_TRUE(w.OpenFileWrite(path.c_str()));
        const std::uint32_t words[3] = {1, 2, 3};
        EXPECT_EQ(C_Stream::Write(words, 4, 3, &w), 3u);
    }  // the destructor closes the file
    C_Stream r;
    ASSERT_TRUE(r.OpenFileRead(path.c_str()));
    EXPECT_EQ(C_Stream::Remaining(&r), 12u);
    std::uint32_t words[4];
    EXPECT_EQ(C_Stream::Read(words, 4, 3, &r), 3u);
    EXPECT_EQ(words[2], 3u);
    EXPECT_EQ(C_Stream::IsEof(&r), 0);
    EXPECT_EQ(C_Stream::Read(words, 4, 1, &r), 0u);
    EXPECT_NE(C_Stream::IsEof(&r), 0);
    EXPECT_EQ(C_Stream::Remaining(&r), 0u);
    EXPECT_NE(C_Stream::IsEof(&r), 0);  // asking what is left does not forget the end
    EXPECT_EQ(C_Stream::Seek(&r, 0, SEEK_SET), 0);
    EXPECT_EQ(C_Stream::IsEof(&r), 0);
    ASSERT_TRUE(r.OpenMemoryRead("xy", 2));  // the file is closed, not leaked
    EXPECT_EQ(r.file, nullptr);
    EXPECT_EQ(C_Stream::ReadByte(&r), 'x');
    EXPECT_FALSE(r.CloseFile());
}

TEST(Stream, NullAndUnopenedStreamsTransferNothing) {
    std::uint8_t byte = 1;
    EXPECT_EQ(C_Stream::Read(&byte, 1, 1, nullptr), 0u);
    EXPECT_EQ(C_Stream::Write(&byte, 1, 1, nullptr), 0u);
    EXPECT_EQ(C_Stream::Seek(nullptr, 0, SEEK_SET), 0);
    EXPECT_EQ(C_Stream::IsEof(nullptr), 0);
    C_Stream s;
    EXPECT_FALSE(s.OpenFileRead(Quillory_TempPath("does/not/exist").c_str()));
    EXPECT_EQ(C_Stream::Read(&byte, 1, 1, &s), 0u);
    EXPECT_EQ(C_Stream::IsEof(&s), 0);
    EXPECT_FALSE(s.CloseFile());
}

}  // namespace
