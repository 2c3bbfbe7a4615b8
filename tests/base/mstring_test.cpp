#include "base/mstring.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <unistd.h>

#include "base/binfile.h"
#include "base/number_format.h"
#include "support/capture_shell.h"

using namespace ordena;

TEST(MString, PiecesClipToTheText) {
    MString s("abcdef");
    EXPECT_EQ(s.mid(2, 3), "cde");
    EXPECT_EQ(s.mid(4, 10), "ef");
    EXPECT_TRUE(s.mid(6, 1).isEmpty());
    EXPECT_TRUE(s.mid(-1, 2).isEmpty());
    EXPECT_TRUE(s.mid(2, 0).isEmpty());
    EXPECT_EQ(s.substr(1, 3), "bcd");
    EXPECT_TRUE(s.substr(3, 2).isEmpty());
    EXPECT_EQ(MString(3), "   ");
    EXPECT_TRUE(MString(-4).isEmpty());
    EXPECT_EQ(MString::fromBytes("ab\0cd", 5), "ab");
}

TEST(MString, FindAndCount) {
    EXPECT_EQ(MString("a%%b").find(MString("%%")), 1);
    EXPECT_EQ(MString("ab").find(MString("abc")), -1);
    EXPECT_EQ(MString("abc").find('c'), 2);
    EXPECT_EQ(MString("abc").find('z'), -1);
    EXPECT_EQ(MString("a,b,,c").count(','), 3);
    EXPECT_EQ(MString().count(','), 0);
}

TEST(MString, BlanksAndParentheses) {
    EXPECT_EQ(MString("  x   y").collapseBlanks(), " x y");
    EXPECT_EQ(MString(" a b ").removeBlanks(), "ab");
    EXPECT_EQ(MString("  a b  ").trim(), "a b");
    EXPECT_EQ(MString("  a ").trimLeft(), "a ");
    EXPECT_EQ(MString("\ta\t").trim(), "\ta\t");  // tabs are not blanks
    EXPECT_EQ(MString("  (1,2)  ").trimParentheses(), "1,2");
    EXPECT_EQ(MString("(1)(2)").trimParentheses(), "1)(2");
    EXPECT_EQ(MString("AbZ9").lower(), "abz9");
    EXPECT_EQ(MString("ab").rightJustify(5), "   ab");
    EXPECT_EQ(MString("abcdef").rightJustify(3), "abcdef");
}

TEST(MString, OverlayAndCentreStayInsideTheLine) {
    MString line = MString::repeat(' ', 10);
    line.overlay("abc", 8);
    EXPECT_EQ(line, "        ab");
    line.overlay("xyz", -2);
    EXPECT_EQ(line, "z       ab");
    MString c = MString::repeat('.', 10);
    EXPECT_EQ(c.centre("ab", 0, 10), "....ab....");
    MString d = MString::repeat('.', 4);
    d.centre("abcdefgh", 0, 4);  // starts at -2: the first two are dropped
    EXPECT_EQ(d, "cdef");
}

TEST(MString, NumberTests) {
    for (const char* yes : {"1.5", "-2", "+.5", "-.", "1.2.3", "007", "  12  "}) EXPECT_TRUE(MString(yes).isNumber()) << yes;
    for (const char* no : {"", ".", "-", "+", "1e5", "1 2", "2-", "x1"}) EXPECT_FALSE(MString(no).isNumber()) << no;
    EXPECT_TRUE(MString("").isDigits());
    EXPECT_TRUE(MString("0123").isDigits());
    EXPECT_FALSE(MString("-1").isDigits());
    EXPECT_TRUE(MString("").isBlank());
    EXPECT_TRUE(MString("   ").isBlank());
}

TEST(MString, IndexOutOfRangeReportsAndUsesTheFirstCharacter) {
    test::ScopedCapture cap;
    MString s("abc");
    EXPECT_EQ(s[3], '\0');
    EXPECT_TRUE(cap.shell.errors.empty());
    s[7] = 'x';
    EXPECT_EQ(s, "xbc");
    ASSERT_EQ(cap.shell.errors.size(), 1u);
    EXPECT_EQ(cap.shell.errors[0], "MString index > length of string. Assignment made to first element");
    s[3] = 'q';  // the terminator cannot be overwritten into the text
    EXPECT_EQ(s, "xbc");
}

TEST(MString, IntegerText) {
    EXPECT_EQ(itoMString(-42), "-42");
    EXPECT_EQ(itoMString(0), "0");
    EXPECT_EQ(itoMString(1234567), "1234567");
}

TEST(MString, FormattedRealsAtTheirBoundaries) {
    EXPECT_EQ(dtoMString(3.14159, "%6.2f"), "  3.14");
    EXPECT_EQ(dtoMString(999.99, "%6.2f"), "999.99");
    EXPECT_EQ(dtoMString(1000, "%6.2f"), "1000.00");
    EXPECT_EQ(dtoMString(1000.01, "%6.2f"), "_BIG_");
    EXPECT_EQ(dtoMString(-99.99, "%6.2f"), "-99.99");
    EXPECT_EQ(dtoMString(-100, "%6.2f"), "-100.00");
    EXPECT_EQ(dtoMString(-100.5, "%6.2f"), "_BIG_");
    EXPECT_EQ(dtoMString(0.1234, "%4.3f"), "0.123");
    EXPECT_EQ(dtoMString(1.5, "%4.3f"), "_BIG_");
    EXPECT_EQ(dtoMString(1.0, "%3.4f"), "_ERR_");
    EXPECT_EQ(dtoMString(0.0, "%10.5f"), "   0.00000");
    EXPECT_EQ(dtoMString(1.0 / 0.0, "%10.5f"), "_BIG_");
    EXPECT_EQ(dtoMString(-2.5, "%6.0f"), "    -2");
}

TEST(MString, FormatWiderThanTwentyEndsTheProgram) {
    test::ScopedCapture cap;
    EXPECT_THROW(dtoMString(1.0, "%21.2f"), FatalExit);
    ASSERT_EQ(cap.shell.errors.size(), 1u);
    EXPECT_EQ(cap.shell.errors[0], "Fatal error: dtoMString format too large");
    EXPECT_EQ(dtoMString(1.0, "%20.2f").length(), 20);
}

TEST(MString, ByteLevelFileForms) {
    auto path = std::filesystem::temp_directory_path() / ("mstring_io_" + std::to_string(::getpid()));
    {
        BinaryFile f(path.string(), "wb");
        ASSERT_TRUE(MString("ab").write(f));
        ASSERT_TRUE(MString("xyz").writeFixed(f, 5));
        ASSERT_TRUE(MString("longer").writeFixed(f, 2));
        ASSERT_TRUE(f.close());
    }
    {
        std::FILE* raw = std::fopen(path.c_str(), "rb");
        unsigned char bytes[13] = {};
        ASSERT_EQ(std::fread(bytes, 1, 13, raw), 13u);
        std::fclose(raw);
        const unsigned char expected[13] = {2, 0, 0, 0, 'a', 'b', 'x', 'y', 'z', ' ', ' ', 'l', 'o'};
        for (int i = 0; i < 13; ++i) EXPECT_EQ(bytes[i], expected[i]) << i;
    }
    {
        BinaryFile f(path.string(), "rb");
        MString a, b, c;
        ASSERT_TRUE(a.read(f));
        ASSERT_TRUE(b.readFixed(f, 5));
        ASSERT_TRUE(c.readFixed(f, 2));
        EXPECT_EQ(a, "ab");
        EXPECT_EQ(b, "xyz  ");
        EXPECT_EQ(c, "lo");
        MString d;
        EXPECT_FALSE(d.read(f));  // nothing left: a clean failure
    }
    {
        // A corrupt length larger than the file fails without a huge allocation.
        BinaryFile f(path.string(), "wb");
        f.writeInt32(2000000000);
        f.writeBytes("abc", 3);
        f.close();
        BinaryFile g(path.string(), "rb");
        MString e;
        EXPECT_FALSE(e.read(g));
    }
    std::filesystem::remove(path);
}
