// varnesk-decode on IQ recordings of varnesk-gen --iq: traffic at 131.450 and
// 131.950 MHz with the receiver's crystal 20 ppm off comes out as exactly the
// blocks sent, each on its channel, from cu8, cs8 and cs16 alike; a recording
// whose name tells nothing decodes with the rate, centre and format given as
// options; bad files give one line and no output.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

struct ToolRun {
    int exitCode = -1;
    QByteArray out, err;
};

ToolRun run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(VARNESK_APP_DIR "/") + program, args);
    EXPECT_TRUE(p.waitForFinished(120000));
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

// "[Lch]…>frame" lines without the date and time, sorted.
std::vector<QByteArray> frames(const QByteArray& out)
{
    std::vector<QByteArray> lines;
    for (const QByteArray& line : out.split('\n')) {
        const qsizetype gt = line.indexOf('>');
        if (!line.isEmpty() && gt >= 0)
            lines.push_back(line.left(5) + line.mid(gt));
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::vector<QByteArray> expected(const QString& path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    std::vector<QByteArray> lines;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (!line.isEmpty())
            lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    return lines;
}

// 8 random blocks per channel at 1.024 MS/s (both channels fit with room),
// Eb/N0 12 dB, the crystal 20 ppm off (2.6 kHz at 131.45 MHz).
const QStringList kTraffic = {QStringLiteral("--random"), QStringLiteral("8"),     QStringLiteral("--ebn0"),
                              QStringLiteral("12"),       QStringLiteral("--ppm"), QStringLiteral("20"),
                              QStringLiteral("--seed"),   QStringLiteral("11"),    QStringLiteral("--iq-rate"),
                              QStringLiteral("1024000")};

TEST(IqDecodeTool, EveryFormatGivesExactlyTheBlocksSentOnTheirChannels)
{
    QTemporaryDir dir;
    const QString expectPath = dir.filePath(QStringLiteral("expect.txt"));
    std::vector<QByteArray> first;
    for (const char* format : {"cu8", "cs8", "cs16"}) {
        SCOPED_TRACE(format);
        const ToolRun gen = run(QStringLiteral("varnesk-gen"),
                                QStringList(kTraffic) << QStringLiteral("--iq") << QStringLiteral("--iq-format")
                                                      << QLatin1String(format) << QStringLiteral("--expect")
                                                      << expectPath << dir.filePath(QStringLiteral("traffic")));
        ASSERT_EQ(gen.exitCode, 0) << gen.err.toStdString();
        const QString path = QString::fromUtf8(gen.out.split('\n').front());
        EXPECT_TRUE(path.endsWith(QStringLiteral("traffic_131700000Hz_1024000sps.") + QLatin1String(format)));
        const std::vector<QByteArray> sent = expected(expectPath);
        ASSERT_EQ(sent.size(), 16u);
        EXPECT_EQ(std::count_if(sent.begin(), sent.end(), [](const QByteArray& l) { return l.startsWith("[Rch]"); }),
                  8);

        const ToolRun decode = run(QStringLiteral("varnesk-decode"), {QStringLiteral("--frames"), path});
        ASSERT_EQ(decode.exitCode, 0) << decode.err.toStdString();
        EXPECT_EQ(frames(decode.out), sent);
        if (first.empty())
            first = frames(decode.out);
        EXPECT_EQ(frames(decode.out), first);
        QFile::remove(path);
    }
}

TEST(IqDecodeTool, OptionsTellWhatTheNameDoesNot)
{
    QTemporaryDir dir;
    const QString plain = dir.filePath(QStringLiteral("capture.raw"));
    const QString expectPath = dir.filePath(QStringLiteral("expect.txt"));
    // Frequencies 131.475 and 131.725 MHz about a centre of 131.5 MHz.
    const ToolRun gen = run(QStringLiteral("varnesk-gen"),
                            QStringList(kTraffic)
                                << QStringLiteral("--iq") << QStringLiteral("--freq1") << QStringLiteral("131.475")
                                << QStringLiteral("--freq2") << QStringLiteral("131.725")
                                << QStringLiteral("--iq-centre") << QStringLiteral("131.5")
                                << QStringLiteral("--expect") << expectPath << dir.filePath(QStringLiteral("x.cs16")));
    ASSERT_EQ(gen.exitCode, 0) << gen.err.toStdString();
    // The name tells nothing: the tool says what to pass.
    EXPECT_TRUE(gen.out.contains("--iq-rate 1024000 --iq-centre 131.500000 --freqs \"131.475000 131.725000\""))
        << gen.out.toStdString();
    ASSERT_TRUE(QFile::rename(dir.filePath(QStringLiteral("x.cs16")), plain));

    const ToolRun decode = run(QStringLiteral("varnesk-decode"),
                               {QStringLiteral("--frames"), QStringLiteral("--iq-format"), QStringLiteral("cs16"),
                                QStringLiteral("--iq-rate"), QStringLiteral("1024k"), QStringLiteral("--iq-centre"),
                                QStringLiteral("131.5"), QStringLiteral("--freq1"), QStringLiteral("131.475"),
                                QStringLiteral("--freq2"), QStringLiteral("131.725"), plain});
    ASSERT_EQ(decode.exitCode, 0) << decode.err.toStdString();
    EXPECT_EQ(frames(decode.out), expected(expectPath));

    // The settings' frequencies (131.45 and 131.95) about that centre: the
    // second is outside the band, and nothing is decoded.
    const ToolRun refused = run(QStringLiteral("varnesk-decode"),
                                {QStringLiteral("--frames"), QStringLiteral("--iq-format"), QStringLiteral("cs16"),
                                 QStringLiteral("--iq-rate"), QStringLiteral("1024000"), QStringLiteral("--iq-centre"),
                                 QStringLiteral("131.5"), plain});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.out.isEmpty());
    EXPECT_TRUE(refused.err.contains("frequency 2 (131.950000 MHz) is outside the usable band"))
        << refused.err.toStdString();
}

TEST(IqDecodeTool, BadRecordingsGiveOneLineAndNoOutput)
{
    QTemporaryDir dir;
    struct Case {
        const char* name;
        int bytes;
        const char* want;
    };
    const Case cases[] = {
        {"cut_131700000Hz_2400000sps.cs16", 4001, "4001 bytes is not a whole number of cs16 samples (4 bytes each)"},
        {"zero_131700000Hz_0sps.cu8", 4000, "sample rate 0 Hz is outside"},
        {"high_7GHz_2400000sps.cu8", 4000, "centre frequency 7000000000 Hz is outside 1 MHz ... 6 GHz"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QLatin1String(c.name));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(c.bytes, '\x80'));
        f.close();
        const ToolRun decode =
            run(QStringLiteral("varnesk-decode"), {QStringLiteral("--frames"), QStringLiteral("--stats"), path});
        EXPECT_EQ(decode.exitCode, 1);
        EXPECT_TRUE(decode.out.isEmpty());
        const QList<QByteArray> lines = decode.err.split('\n');
        ASSERT_GE(lines.size(), 1);
        EXPECT_TRUE(lines.front().startsWith("varnesk-decode: " + path.toUtf8() + ": ")) << lines.front().toStdString();
        EXPECT_TRUE(lines.front().contains(c.want)) << lines.front().toStdString();
        // The statistics that follow count no audio at all.
        EXPECT_TRUE(decode.err.contains("audio: 0.0 s")) << decode.err.toStdString();
    }
}

} // namespace

namespace {

// The "level" of every feed line, per "channel".
std::vector<std::pair<int, double>> jsonLevels(const QByteArray& out)
{
    std::vector<std::pair<int, double>> levels;
    for (const QByteArray& line : out.split('\n')) {
        const qsizetype c = line.indexOf("\"channel\":");
        const qsizetype l = line.indexOf("\"level\":");
        if (c >= 0 && l >= 0)
            levels.emplace_back(line.mid(c + 10).split(',')[0].toInt(),
                                line.mid(l + 8).split(',')[0].split('}')[0].toDouble());
    }
    return levels;
}

} // namespace

TEST(IqDecodeTool, ManyFrequenciesEachGiveAChannelWithItsTagAndItsCarriersLevel)
{
    // Five frequencies across 2 MHz at 2.4 MS/s, the crystal 20 ppm off;
    // channel 2's carrier 20 dB below channel 1's.
    QTemporaryDir dir;
    const QString expectPath = dir.filePath(QStringLiteral("expect.txt"));
    const QString freqs = QStringLiteral("131.550 130.025 130.425 130.450 131.125");
    const ToolRun gen =
        run(QStringLiteral("varnesk-gen"),
            {QStringLiteral("--iq"), QStringLiteral("--freqs"), freqs, QStringLiteral("--levels"),
             QStringLiteral("0 -20 0 -6 0"), QStringLiteral("--random"), QStringLiteral("4"), QStringLiteral("--ebn0"),
             QStringLiteral("30"), QStringLiteral("--ppm"), QStringLiteral("20"), QStringLiteral("--seed"),
             QStringLiteral("5"), QStringLiteral("--expect"), expectPath, dir.filePath(QStringLiteral("five"))});
    ASSERT_EQ(gen.exitCode, 0) << gen.err.toStdString();
    const QString file = QString::fromUtf8(gen.out.split('\n')[0]);
    const std::vector<QByteArray> want = expected(expectPath);
    ASSERT_EQ(want.size(), 20u);
    EXPECT_EQ(std::count_if(want.begin(), want.end(), [](const QByteArray& l) { return l.startsWith("[C05]"); }), 4);

    const ToolRun decode =
        run(QStringLiteral("varnesk-decode"), {QStringLiteral("--frames"), QStringLiteral("--freqs"), freqs, file});
    ASSERT_EQ(decode.exitCode, 0) << decode.err.toStdString();
    EXPECT_EQ(frames(decode.out), want);

    const ToolRun json =
        run(QStringLiteral("varnesk-decode"), {QStringLiteral("--json"), QStringLiteral("--freqs"), freqs, file});
    ASSERT_EQ(json.exitCode, 0) << json.err.toStdString();
    const std::vector<std::pair<int, double>> levels = jsonLevels(json.out);
    ASSERT_EQ(levels.size(), 20u);
    auto meanOf = [&](int channel) {
        double sum = 0;
        int n = 0;
        for (const auto& [c, level] : levels)
            if (c == channel) {
                sum += level;
                ++n;
            }
        EXPECT_EQ(n, 4) << channel;
        return sum / std::max(n, 1);
    };
    EXPECT_NEAR(meanOf(0) - meanOf(1), 20.0, 0.5);
    EXPECT_NEAR(meanOf(0) - meanOf(3), 6.0, 0.5);
    EXPECT_NEAR(meanOf(0) - meanOf(4), 0.0, 0.5);
    EXPECT_TRUE(json.out.contains("\"freq\":130.425")) << json.out.left(400).toStdString();
}
