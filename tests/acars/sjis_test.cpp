// Shift-JIS (CP932) conversion for the windows.
#include "acars/sjis.h"

#include <gtest/gtest.h>

using namespace varnesk;

TEST(Sjis, ControlAndAsciiBytesKeepTheirCodePoints)
{
    const std::string bytes("\x5C\x7E\x7F\x1A\x1C\x01 A", 8);
    const QString s = sjisToQString(bytes);
    ASSERT_EQ(s.size(), 8);
    EXPECT_EQ(s[0].unicode(), 0x5C);
    EXPECT_EQ(s[1].unicode(), 0x7E);
    EXPECT_EQ(s[2].unicode(), 0x7F);
    EXPECT_EQ(s[3].unicode(), 0x1A);
    EXPECT_EQ(s[4].unicode(), 0x1C);
    EXPECT_EQ(qstringToSjis(s), bytes);
}

TEST(Sjis, JapaneseRoundTripAndBadBytes)
{
    EXPECT_EQ(sjisToQString("\x93\xFA\x96\x7B\xB1"), QStringLiteral("日本ｱ"));
    EXPECT_EQ(qstringToSjis(QStringLiteral("受信テキスト")), "\x8E\xF3\x90\x4D\x83\x65\x83\x4C\x83\x58\x83\x67");
    // A lead byte without its trail byte and an undefined byte become U+FFFD;
    // the rest is kept.
    EXPECT_EQ(sjisToQString("A\x82"), QStringLiteral("A\uFFFD"));
    EXPECT_EQ(sjisToQString("\xA0"
                            "B"),
              QStringLiteral("\uFFFDB"));
    // A character CP932 lacks becomes "?".
    EXPECT_EQ(qstringToSjis(QStringLiteral("a\u20ACb")), "a?b");
}
