// varnesk-decode --json prints what the feed sends: one JSON object per frame
// of the two off-air recordings, with the station id of --ini or of the option.
#include <QFile>
#include <QHostInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

std::string recording(const std::string& ending)
{
    for (const auto& entry : std::filesystem::directory_iterator(VARNESK_FIXTURES))
        if (entry.path().filename().string().ends_with(ending))
            return entry.path().string();
    ADD_FAILURE() << "no recording " << ending;
    return {};
}

std::vector<QJsonObject> decodeJson(const QStringList& options, QStringList inputs = {})
{
    QProcess tool;
    QStringList args = options;
    if (inputs.isEmpty())
        inputs << QString::fromStdString(recording("-ch0ch1-22050-stereo.wav"))
               << QString::fromStdString(recording("-ch2ch3-22050-stereo.wav"));
    args << QStringLiteral("--json") << inputs;
    tool.start(QStringLiteral(VARNESK_APP_DIR "/varnesk-decode"), args);
    EXPECT_TRUE(tool.waitForFinished(60000));
    EXPECT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    std::vector<QJsonObject> objects;
    const QByteArray out = tool.readAllStandardOutput();
    EXPECT_TRUE(out.endsWith('\n'));
    for (const QByteArray& line : out.split('\n')) {
        if (line.isEmpty())
            continue;
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
        objects.push_back(doc.object());
    }
    return objects;
}

TEST(DecodeJson, EveryFrameOfTheOffAirRecordings)
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("feed.ini"));
    QFile f(ini);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[Feed]\r\nStationId=JA-TEST\r\n[Wave]\r\nFreq1=131.55\r\n");
    f.close();

    const std::vector<QJsonObject> lines = decodeJson({QStringLiteral("--ini"), ini});
    // "[Rch]…E.PH-BXR<NAK>5V4<STX>S53AKL1681<ETX>" and so on, in capture order.
    struct Want {
        int channel;
        const char* mode;
        const char* tail;
        const char* label;
        const char* blockId;
        const char* ack; // nullptr: NAK
        const char* msgno;
        const char* flight;
    };
    const Want want[] = {
        {1, "E", "PH-BXR", "5V", "4", nullptr, "S53A", "KL1681"},
        {1, "E", "LN-DYY", "Q0", "6", nullptr, "S47A", "DY083J"},
        {0, "G", "F-GTAE", "H1", "3", nullptr, "D65C", "AF7728"},
        {0, "x", "LN-DYY", "_d", "A", "5", nullptr, nullptr},
        {1, "2", "LN-DYY", "Q0", "4", nullptr, "S46A", "DY083J"},
        {0, "2", "G-DBCK", "_d", "0", "W", "S64A", "BA031T"},
        {0, "E", "G-DBCK", "Q0", "9", nullptr, "S63A", "BA031T"},
    };
    ASSERT_EQ(lines.size(), std::size(want));
    double last = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(i);
        const QJsonObject& o = lines[i];
        const Want& w = want[i];
        auto str = [&](const char* key) { return o.value(QLatin1String(key)).toString().toStdString(); };
        EXPECT_EQ(str("station_id"), "JA-TEST");
        EXPECT_EQ(o.value(QLatin1String("channel")).toInt(-1), w.channel);
        EXPECT_EQ(o.value(QLatin1String("error")).toInt(-1), 0);
        // The scanners' frequencies of [Wave]: the right one is not known.
        ASSERT_TRUE(o.value(QLatin1String("freq")).isDouble());
        EXPECT_DOUBLE_EQ(o.value(QLatin1String("freq")).toDouble(), w.channel == 0 ? 131.55 : 0.0);
        // The level of the recording's audio over the frame, below full scale.
        ASSERT_TRUE(o.value(QLatin1String("level")).isDouble());
        EXPECT_LT(o.value(QLatin1String("level")).toDouble(), 0.0);
        EXPECT_GT(o.value(QLatin1String("level")).toDouble(), -60.0);
        EXPECT_EQ(str("mode"), w.mode);
        EXPECT_EQ(str("tail"), w.tail);
        EXPECT_EQ(str("label"), w.label);
        EXPECT_EQ(str("block_id"), w.blockId);
        if (w.ack)
            EXPECT_EQ(str("ack"), w.ack);
        else
            EXPECT_EQ(o.value(QLatin1String("ack")), QJsonValue(false));
        EXPECT_EQ(o.contains(QLatin1String("msgno")), w.msgno != nullptr);
        if (w.msgno) {
            EXPECT_EQ(str("msgno"), w.msgno);
            EXPECT_EQ(str("flight"), w.flight);
        }
        // Every block here closes its message (ETX): "end" is for ETB.
        EXPECT_FALSE(o.contains(QLatin1String("end")));
        EXPECT_EQ(o.value(QLatin1String("app")).toObject().value(QLatin1String("name")).toString().toStdString(),
                  "varnesk");
        const double t = o.value(QLatin1String("timestamp")).toDouble();
        EXPECT_GE(t, last);
        last = t;
    }
    EXPECT_EQ(lines[2].value(QLatin1String("text")).toString().toStdString(),
              "#DFB00000/V206,05,124,183,02,00,00000/V3XX,XX,XXX,XXX,XXXX/V4XX,XX,XXX,XXX,XXXX/V5XX,XX,XXX,XXX,XXXX/"
              "V6XX,XX,XXX,XXX,XXXX/V7044,078,00081,22222222222111/V8042,083,00061,22222222222111/");
    for (size_t i : {0, 1, 3, 4, 5, 6})
        EXPECT_FALSE(lines[i].contains(QLatin1String("text"))) << i;

    // The option wins over the settings; without either the host name is sent.
    const std::vector<QJsonObject> named =
        decodeJson({QStringLiteral("--ini"), ini, QStringLiteral("--station-id"), QStringLiteral("東京")});
    ASSERT_EQ(named.size(), std::size(want));
    EXPECT_EQ(named[0].value(QLatin1String("station_id")).toString(), QStringLiteral("東京"));
    const std::vector<QJsonObject> plain =
        decodeJson({QStringLiteral("--ini"), dir.filePath(QStringLiteral("none.ini"))});
    ASSERT_EQ(plain.size(), std::size(want));
    EXPECT_EQ(plain[0].value(QLatin1String("station_id")).toString(), QHostInfo::localHostName());
    EXPECT_FALSE(QHostInfo::localHostName().isEmpty());
}

// An IQ recording knows its channels' frequencies: every line says its own,
// and a WAV file read after it gives the unknown 0.0 again.
TEST(DecodeJson, IqRecordingLinesCarryTheirFrequency)
{
    QTemporaryDir dir;
    const QString iq = dir.filePath(QStringLiteral("two_131700000Hz_1024000sps.cu8"));
    QProcess gen;
    gen.start(QStringLiteral(VARNESK_APP_DIR "/varnesk-gen"),
              {QStringLiteral("--iq"), QStringLiteral("--iq-rate"), QStringLiteral("1024000"),
               QStringLiteral("--random"), QStringLiteral("3"), QStringLiteral("--ebn0"), QStringLiteral("30"), iq});
    ASSERT_TRUE(gen.waitForFinished(120000));
    ASSERT_EQ(gen.exitCode(), 0) << gen.readAllStandardError().toStdString();

    const std::vector<QJsonObject> lines =
        decodeJson({QStringLiteral("--ini"), dir.filePath(QStringLiteral("none.ini"))},
                   {iq, QString::fromStdString(recording("-ch0ch1-22050-stereo.wav"))});
    int withFrequency = 0;
    for (const QJsonObject& o : lines) {
        ASSERT_TRUE(o.value(QLatin1String("freq")).isDouble());
        if (o.value(QLatin1String("freq")).toDouble() == 0.0)
            continue;
        ++withFrequency;
        const double want = o.value(QLatin1String("channel")).toInt() == 0 ? 131.45 : 131.95;
        EXPECT_DOUBLE_EQ(o.value(QLatin1String("freq")).toDouble(), want);
    }
    EXPECT_EQ(withFrequency, 6);
    EXPECT_GT(lines.size(), 6u); // the WAV file's frames, without a frequency
}

} // namespace
