#include "settings/settings_store.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <clocale>

using namespace varnesk;

namespace {

QString writeFile(const QTemporaryDir& dir, const char* name, const std::string& content)
{
    const QString path = dir.filePath(QString::fromLatin1(name));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content.data(), static_cast<qint64>(content.size()));
    return path;
}

std::string readFile(const QString& path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return f.readAll().toStdString();
}

} // namespace

TEST(SettingsStore, DefaultsOnFirstStartAndEveryKeyWritten)
{
    QTemporaryDir dir;
    SettingsStore s;
    ASSERT_TRUE(s.Load(dir.filePath(QStringLiteral("missing.ini"))));
    EXPECT_DOUBLE_EQ(s.real(Key::MapCentN), 36.5);
    EXPECT_DOUBLE_EQ(s.real(Key::MapCentE), 139.0);
    EXPECT_EQ(s.integer(Key::MapScale), 3);
    EXPECT_EQ(s.integer(Key::MainWidth), 860);
    EXPECT_EQ(s.colour(Key::MapCoastColor), 0x804000u);
    EXPECT_EQ(s.text(Key::ServerPortNo), "49505");
    EXPECT_EQ(s.operatorRow(9).text, "--");

    const QString path = dir.filePath(QStringLiteral("varnesk.ini"));
    ASSERT_TRUE(s.Save(path));
    const std::string text = readFile(path);
    for (const KeyDef& def : keyTable()) {
        SCOPED_TRACE(std::string(def.section) + "/" + std::string(def.name));
        const std::string header = "[" + std::string(def.section) + "]\n";
        const size_t at = text.find(header);
        ASSERT_NE(at, std::string::npos);
        const size_t next = text.find("\n[", at + 1);
        const std::string body = text.substr(at, next == std::string::npos ? std::string::npos : next - at);
        EXPECT_NE(body.find("\n" + std::string(def.name) + "="), std::string::npos);
    }
    EXPECT_NE(text.find("\nUserColor79=000000\n"), std::string::npos);
    EXPECT_NE(text.find("\nMapCoastColor=804000\n"), std::string::npos);

    SettingsStore again;
    ASSERT_TRUE(again.Load(path));
    for (const KeyDef& def : keyTable()) {
        if (def.type == ValueType::Real) {
            EXPECT_DOUBLE_EQ(again.real(def.key), s.real(def.key));
        }
    }
    EXPECT_EQ(again.text(Key::TextFontName), "MS Gothic");
}

TEST(SettingsStore, HandEditedFileLoadsWithCorrections)
{
    QTemporaryDir dir;
    const QString path =
        writeFile(dir, "v.ini",
                  "[MAP]\r\n3Letter=1\r\nshowregno = 1\r\nZeroDel=1\r\nMapCentN=abc\r\n"
                  "[color]\r\nTextBack=ffffff\r\nListBack=FFFFFF\r\nUserColor35=00FF00\r\nUserText5=JL\r\n"
                  "[Txt]\r\nMaxBytes=500\r\n"
                  "[Net]\r\nMaxConnect=0\r\nClientPortNo=1024\r\nServerPortNo=70000\r\nServer=1\r\nServerDec=0\r\n"
                  "[Wave]\r\nDual=2\r\n[Extra]\r\nKeep=me\r\n");
    SettingsStore s;
    ASSERT_TRUE(s.Load(path));
    s.applyStartupCorrections();
    EXPECT_TRUE(s.boolean(Key::ThreeLetter));
    EXPECT_TRUE(s.boolean(Key::ShowRegNo));
    EXPECT_TRUE(s.boolean(Key::ZeroDel));
    EXPECT_DOUBLE_EQ(s.real(Key::MapCentN), 36.5);
    EXPECT_NE(s.colour(Key::TextBack), 0xFFFFFFu);
    EXPECT_EQ(s.colour(Key::ListBack), 0xFFFFFFu);
    EXPECT_EQ(s.operatorRow(5).colours[2], 0x00FF00u);
    EXPECT_EQ(s.operatorRow(5).text, "JL");
    EXPECT_EQ(s.integer(Key::MaxBytes), 1000);
    EXPECT_EQ(s.integer(Key::MaxConnect), 1);
    EXPECT_EQ(s.text(Key::ClientPortNo), "49152");
    EXPECT_EQ(s.text(Key::ServerPortNo), "65535");
    EXPECT_EQ(s.integer(Key::Dual), 0);

    ASSERT_TRUE(s.Save(path));
    const std::string text = readFile(path);
    EXPECT_NE(text.find("\nDual=2\n"), std::string::npos);
    EXPECT_NE(text.find("[Extra]\nKeep=me\n"), std::string::npos);
    SettingsStore again;
    ASSERT_TRUE(again.Load(path));
    EXPECT_EQ(again.integer(Key::Dual), 2);
}

TEST(SettingsStore, MaxBytesBounds)
{
    struct Case {
        int in;
        int want;
    } cases[] = {{500, 1000}, {999, 1000}, {1000, 1000}, {64000, 64000}, {64001, 63999}, {100000, 63999}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        SettingsStore s;
        s.setInteger(Key::MaxBytes, c.in);
        s.applyStartupCorrections();
        EXPECT_EQ(s.integer(Key::MaxBytes), c.want);
    }
}

TEST(SettingsStore, ColourForms)
{
    EXPECT_EQ(ParseColour("804000"), 0x804000u);
    EXPECT_EQ(ParseColour("00FFFF"), 0x00FFFFu);
    EXPECT_NE(ParseColour("ffffff"), 0xFFFFFFu);
    EXPECT_FALSE(ParseColour("FFF").has_value());
    EXPECT_EQ(FormatColour(0x0080FF), "0080FF");
}

TEST(SettingsStore, EditorArtefactsAndUnusableValues)
{
    QTemporaryDir dir;
    // A byte order mark before the first section, and reals that parse but mean nothing.
    const QString path =
        writeFile(dir, "bom.ini", "\xEF\xBB\xBF[Map]\r\nMapScale=7\r\nMapCentN=nan\r\nMapCentE=inf\r\n");
    SettingsStore s;
    ASSERT_TRUE(s.Load(path));
    EXPECT_EQ(s.integer(Key::MapScale), 7);
    EXPECT_DOUBLE_EQ(s.real(Key::MapCentN), 36.5);
    EXPECT_DOUBLE_EQ(s.real(Key::MapCentE), 139.0);

    // A text value with a line break stays one line and cannot forge a key.
    s.setText(Key::Name, "A\nMaxBytes=1\r\n[Wave]");
    s.operatorRow(0).text = "JL\nX=1";
    ASSERT_TRUE(s.Save(path));
    SettingsStore again;
    ASSERT_TRUE(again.Load(path));
    EXPECT_EQ(again.integer(Key::MaxBytes), 10000);
    EXPECT_EQ(again.text(Key::Name), "A MaxBytes=1  [Wave]");
    EXPECT_EQ(again.operatorRow(0).text, "JL X=1");

    // A lone carriage return inside a value (an editor's old line end) reads
    // as the blank a save writes, so a second start reads the same values.
    writeFile(dir, "cr.ini",
              "[Net]\r\nName=A\rB\r\n[Color]\r\nUserText0=JL\rMaxBytes=1\r\n[X]\r\nK=1\r2\r\nL=\r=3\r\n");
    SettingsStore first;
    ASSERT_TRUE(first.Load(dir.filePath(QStringLiteral("cr.ini"))));
    EXPECT_EQ(first.text(Key::Name), "A B");
    EXPECT_EQ(first.operatorRow(0).text, "JL MaxBytes=1");
    ASSERT_TRUE(first.Save(path));
    SettingsStore second;
    ASSERT_TRUE(second.Load(path));
    EXPECT_EQ(second.text(Key::Name), first.text(Key::Name));
    EXPECT_EQ(second.operatorRow(0).text, first.operatorRow(0).text);
    const std::string saved = readFile(path);
    EXPECT_NE(saved.find("K=1 2\n"), std::string::npos);
    // Blanks around a value go, a carriage return turned blank included.
    EXPECT_NE(saved.find("L==3\n"), std::string::npos);
}

TEST(SettingsStore, RealsKeepTheirDotUnderACommaLocale)
{
    // The desktop gives the program the user's locale; under German numbers a
    // map centre written as "35,25" would come back as the default next start.
    const QString localedef = QStandardPaths::findExecutable(QStringLiteral("localedef"));
    if (localedef.isEmpty())
        GTEST_SKIP() << "no localedef here";
    QTemporaryDir dir;
    QProcess make;
    make.start(localedef, {QStringLiteral("-i"), QStringLiteral("de_DE"), QStringLiteral("-f"), QStringLiteral("UTF-8"),
                           dir.filePath(QStringLiteral("de_DE.UTF-8"))});
    if (!make.waitForFinished(30000) || make.exitCode() != 0)
        GTEST_SKIP() << "the de_DE locale cannot be built here";
    const QByteArray oldLocPath = qgetenv("LOCPATH");
    qputenv("LOCPATH", QFile::encodeName(dir.path()));
    const bool comma = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    if (!comma) {
        qputenv("LOCPATH", oldLocPath);
        GTEST_SKIP() << "the de_DE locale cannot be used here";
    }

    SettingsStore s;
    s.setReal(Key::MapCentN, 35.25);
    s.setReal(Key::MapCentE, 139.0);
    const QString path = dir.filePath(QStringLiteral("v.ini"));
    const bool saved = static_cast<bool>(s.Save(path));
    std::setlocale(LC_NUMERIC, "C");
    qputenv("LOCPATH", oldLocPath);
    ASSERT_TRUE(saved);

    const std::string text = readFile(path);
    EXPECT_NE(text.find("\nMapCentN=35.25\n"), std::string::npos);
    EXPECT_NE(text.find("\nMapCentE=139\n"), std::string::npos);
    SettingsStore again;
    ASSERT_TRUE(again.Load(path));
    EXPECT_DOUBLE_EQ(again.real(Key::MapCentN), 35.25);
}
