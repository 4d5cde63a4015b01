// Base64, the two Japanese conversions, the encoded subject, the wire body
// and the notification mail as built from a hit.
#include "search/mail_text.h"

#include "acars/sjis.h"
#include "search/search_watch.h"
#include "search_test_support.h"
#include "settings/settings_store.h"

#include <QByteArray>
#include <QStringList>

#include <iconv.h>

#include <gtest/gtest.h>

namespace varnesk {
namespace {

std::string sjis(const char* utf8)
{
    return qstringToSjis(QString::fromUtf8(utf8));
}

// The Unicode text of ISO-2022-JP bytes, by way of JisToShiftJis.
QString fromJis(std::string jis)
{
    JisToShiftJis(jis);
    return sjisToQString(jis);
}

TEST(Base64Encode, PaddingAndLines)
{
    struct Case {
        std::string in;
        std::string want;
    };
    const Case cases[] = {
        {"", ""},
        {"A", "QQ=="},
        {"ABCDE", "QUJDREU="},  // five bytes: seven characters and one "="
        {"ABCDEF", "QUJDREVG"}, // six bytes: eight characters, no "="
        {std::string("\xFF\xFE\x00", 3), "//4A"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(Base64Encode(c.in), c.want);
    }
    // 57 bytes fill one 76-character line; the 58th starts a second line.
    const std::string line57(57, 'x');
    EXPECT_EQ(Base64Encode(line57).size(), 76u);
    const std::string two = Base64Encode(line57 + "x");
    ASSERT_EQ(two.size(), 76u + 2 + 4);
    EXPECT_EQ(two.substr(76, 2), "\r\n");
    EXPECT_EQ(QByteArray::fromBase64(QByteArray::fromStdString(two)).toStdString(), line57 + "x");
}

TEST(JisToShiftJis, ConvertsTwoByteRunsAndDropsEscapes)
{
    struct Case {
        const char* name;
        std::string in;
        std::string want;
    };
    const Case cases[] = {
        {"plain", "JA8089 abc", "JA8089 abc"},
        {"shift-jis unchanged", sjis("便名を受信"), sjis("便名を受信")},
        {"ESC $ B", "A\x1B$B$r<u?.\x1B(BZ", "A" + sjis("を受信") + "Z"},
        {"ESC $ @ and ESC ( J", "\x1B$@!*\x1B(J~", sjis("！") + "~"},
        {"SI ends two-byte mode", "\x1B$B$\"\x0F$\"", sjis("あ") + "$\""},
        {"odd byte copied", "\x1B$B$\"$", sjis("あ") + "$"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string text = c.in;
        JisToShiftJis(text);
        EXPECT_EQ(text, c.want);
    }
}

// Every JIS X 0208 code that glibc's ISO-2022-JP decoder knows becomes the
// Shift-JIS code glibc's CP932 encoder gives for the same character.
TEST(JisToShiftJis, AgreesWithIconvOnEveryCode)
{
    iconv_t cd = iconv_open("CP932", "ISO-2022-JP");
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
    int checked = 0;
    for (int j1 = 0x21; j1 <= 0x7E; ++j1) {
        for (int j2 = 0x21; j2 <= 0x7E; ++j2) {
            std::string jis = "\x1B$B";
            jis.push_back(static_cast<char>(j1));
            jis.push_back(static_cast<char>(j2));
            jis += "\x1B(B";
            char out[8];
            char* src = jis.data();
            size_t left = jis.size();
            char* dst = out;
            size_t room = sizeof out;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            if (iconv(cd, &src, &left, &dst, &room) == static_cast<size_t>(-1))
                continue; // no character there, or none CP932 has
            const std::string want(out, static_cast<size_t>(dst - out));
            JisToShiftJis(jis);
            ASSERT_EQ(jis, want) << std::hex << j1 << " " << j2;
            ++checked;
        }
    }
    iconv_close(cd);
    EXPECT_GT(checked, 6800);
}

TEST(ShiftJisToJis, GivesSevenBitTextEndingInAscii)
{
    struct Case {
        const char* utf8;
        const char* want; // read back
    };
    const Case cases[] = {
        {"JA8089を受信しました！", "JA8089を受信しました！"},
        {"波～線", "波～線"}, // CP932's wave dash goes as JIS's (not 〓)
        {"ｶﾞｲﾄﾞ", "ガイド"},  // half-width katakana widened
        {"①番", "〓番"},      // no JIS X 0208 form
        {"abc", "abc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.utf8);
        const std::string jis = ShiftJisToJis(sjis(c.utf8));
        for (const char ch : jis)
            EXPECT_LT(static_cast<unsigned char>(ch), 0x80);
        if (jis.find('\x1B') != std::string::npos) {
            EXPECT_EQ(jis.substr(jis.size() - 3), "\x1B(B");
        }
        EXPECT_EQ(fromJis(jis), QString::fromUtf8(c.want));
    }
    // Each line returns to ASCII before its LF.
    EXPECT_EQ(ShiftJisToJis(sjis("便\nx")), "\x1B$BJX\x1B(B\nx");
    EXPECT_EQ(ShiftJisToJis(sjis("～")), "\x1B$B!A\x1B(B");
}

TEST(EncodeSubject, FoldsIntoCompleteEncodedWords)
{
    EXPECT_EQ(EncodeSubject("RegNo"), "=?iso-2022-jp?B?UmVnTm8=?=");
    const QString subject = QStringLiteral("JA8089を受信しました！") + QString(40, QChar(0x6F22)); // 漢 × 40
    const std::string encoded = EncodeSubject(qstringToSjis(subject));
    const QStringList words = QString::fromLatin1(encoded.c_str()).split(QStringLiteral("\r\n "));
    ASSERT_GT(words.size(), 1);
    QString decoded;
    for (const QString& word : words) {
        SCOPED_TRACE(word.toStdString());
        EXPECT_LE(word.size(), 75);
        ASSERT_TRUE(word.startsWith(QStringLiteral("=?iso-2022-jp?B?")) && word.endsWith(QStringLiteral("?=")));
        EXPECT_FALSE(word.contains(QLatin1Char('\r')) || word.contains(QLatin1Char('\n')));
        const std::string jis = QByteArray::fromBase64(word.mid(16, word.size() - 18).toLatin1()).toStdString();
        // Every word ends in ASCII mode on its own.
        if (jis.find('\x1B') != std::string::npos) {
            EXPECT_EQ(jis.substr(jis.size() - 3), "\x1B(B");
        }
        decoded += fromJis(jis);
    }
    EXPECT_EQ(decoded, subject);
}

TEST(WireBody, CrLfAndDotStuffing)
{
    EXPECT_EQ(WireBody("a\nb"), "a\r\nb");
    EXPECT_EQ(WireBody("a\r\nb\n"), "a\r\nb\r\n");
    EXPECT_EQ(WireBody(".\n..x\nmid.dle\n.end"), "..\r\n...x\r\nmid.dle\r\n..end");
    EXPECT_EQ(WireBody("a\rb"), "ab"); // no bare CR on the wire
}

TEST(PlainSubjectRecipient, OnlyTheCarrierDomain)
{
    EXPECT_EQ(kPlainSubjectDomain.size(), 13u);
    EXPECT_TRUE(IsPlainSubjectRecipient("someone@docomo.ne.jp"));
    EXPECT_TRUE(IsPlainSubjectRecipient("someone@DOCOMO.NE.JP"));
    EXPECT_FALSE(IsPlainSubjectRecipient("someone@docomo.ne.jp.example"));
    EXPECT_FALSE(IsPlainSubjectRecipient("someone@example.jp"));
    EXPECT_FALSE(IsPlainSubjectRecipient("docomo.ne.jp"));
}

class HitMail : public ::testing::Test {
protected:
    void SetUp() override
    {
        settings.setText(Key::MailFrom, "station@example.jp");
        settings.setText(Key::MailTo, "me@example.jp");
    }
    HitMailArgs args{"JA8089", "JL0123", true, sjis("特別塗装"), sjis("新千歳"), sjis("羽田")};
    SettingsStore settings;
    QDateTime now{QDate(2024, 5, 6), QTime(7, 8, 9)};
};

TEST_F(HitMail, SubjectEncodedOrPlain)
{
    struct Case {
        const char* name;
        bool mime;
        const char* to;
        bool byRegistration;
        bool encoded;
        const char* subject;
    };
    const Case cases[] = {
        {"registration", true, "me@example.jp", true, true, "JA8089を受信しました！"},
        {"flight", true, "me@example.jp", false, true, "JL0123を受信しました！"},
        {"MIMEConv off", false, "me@example.jp", true, false, "JA8089を受信しました！"},
        {"carrier domain", true, "me@docomo.ne.jp", true, false, "JA8089を受信しました！"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        settings.setBoolean(Key::MIMEConv, c.mime);
        settings.setText(Key::MailTo, c.to);
        args.byRegistration = c.byRegistration;
        const MailMessage mail = BuildHitMail(args, settings, now);
        EXPECT_EQ(mail.to, c.to);
        EXPECT_EQ(mail.from, "station@example.jp");
        if (c.encoded) {
            ASSERT_EQ(mail.subject.rfind("=?iso-2022-jp?B?", 0), 0u);
            const std::string jis =
                QByteArray::fromBase64(QByteArray::fromStdString(mail.subject.substr(16, mail.subject.size() - 18)))
                    .toStdString();
            EXPECT_EQ(fromJis(jis), QString::fromUtf8(c.subject));
        } else {
            EXPECT_EQ(mail.subject, sjis(c.subject));
        }
    }
}

TEST_F(HitMail, BodyLines)
{
    const MailMessage mail = BuildHitMail(args, settings, now);
    EXPECT_EQ(sjisToQString(mail.body).split(QLatin1Char('\n')), test::hitMailBodyLines());
    EXPECT_TRUE(
        QString::fromLatin1(kFlightSearchUrl.data(), kFlightSearchUrl.size()).endsWith(QStringLiteral("/air/?F=")));
}

TEST_F(HitMail, ReceivedTextCannotAddHeadersOrLines)
{
    args.registration = "JA\r\nBcc: x@evil.example";
    args.flight = "JL\n.\n01";
    args.remark = "a\rb";
    args.byRegistration = true;
    settings.setBoolean(Key::MIMEConv, false);
    const MailMessage mail = BuildHitMail(args, settings, now);
    EXPECT_EQ(mail.subject.find_first_of("\r\n"), std::string::npos);
    EXPECT_EQ(sjisToQString(mail.subject), QStringLiteral("JABcc: x@evil.exampleを受信しました！"));
    EXPECT_EQ(sjisToQString(mail.body).split(QLatin1Char('\n')).size(), 8);
    EXPECT_NE(mail.body.find("JL.01"), std::string::npos);
}

} // namespace
} // namespace varnesk
