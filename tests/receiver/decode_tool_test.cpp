// varnesk-decode --frames prints every frame the receiver captures, before the
// block decoder's plausibility checks: the two off-air recordings give their
// seven blocks, although the decoder drops five of them (a short uplink and
// flight numbers with letters).
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace {

std::vector<std::string> framesOf(const std::string& fileEnding)
{
    std::string path;
    for (const auto& entry : std::filesystem::directory_iterator(VARNESK_FIXTURES))
        if (entry.path().filename().string().ends_with(fileEnding))
            path = entry.path().string();
    EXPECT_FALSE(path.empty());
    QProcess tool;
    tool.start(QStringLiteral(VARNESK_APP_DIR "/varnesk-decode"),
               {QStringLiteral("--frames"), QString::fromStdString(path)});
    EXPECT_TRUE(tool.waitForFinished(60000));
    EXPECT_EQ(tool.exitCode(), 0);
    // "[Lch]<date and time>>+*…": keep the channel and what follows the first '>'.
    std::vector<std::string> lines;
    for (const QByteArray& line : tool.readAllStandardOutput().split('\n')) {
        const qsizetype gt = line.indexOf('>');
        if (line.isEmpty() || gt < 0)
            continue;
        lines.push_back(line.left(5).toStdString() + line.mid(gt + 1).toStdString());
    }
    return lines;
}

TEST(DecodeTool, FramesOfTheOffAirRecordings)
{
    const std::string syn = "+*<SYN><SYN><SOH>";
    EXPECT_EQ(framesOf("-ch0ch1-22050-stereo.wav"),
              (std::vector<std::string>{
                  "[Rch]" + syn + "E.PH-BXR<NAK>5V4<STX>S53AKL1681<ETX>",
                  "[Rch]" + syn + "E.LN-DYY<NAK>Q06<STX>S47ADY083J<ETX>",
                  "[Lch]" + syn
                      + "G.F-GTAE<NAK>H13<STX>D65CAF7728#DFB00000/V206,05,124,183,02,00,00000/"
                        "V3XX,XX,XXX,XXX,XXXX/V4XX,XX,XXX,XXX,XXXX/V5XX,XX,XXX,XXX,XXXX/V6XX,XX,XXX,XXX,XXXX/"
                        "V7044,078,00081,22222222222111/V8042,083,00061,22222222222111/<ETX>",
                  "[Lch]" + syn + "x.LN-DYY5_<DEL>A<ETX>",
              }));
    EXPECT_EQ(framesOf("-ch2ch3-22050-stereo.wav"), (std::vector<std::string>{
                                                        "[Rch]" + syn + "2.LN-DYY<NAK>Q04<STX>S46ADY083J<ETX>",
                                                        "[Lch]" + syn + "2.G-DBCKW_<DEL>0<STX>S64ABA031T<ETX>",
                                                        "[Lch]" + syn + "E.G-DBCK<NAK>Q09<STX>S63ABA031T<ETX>",
                                                    }));
}

TEST(DecodeTool, StatsAccountForEverySync)
{
    // Noisy traffic on both channels: some captures of the classic chain are
    // lost to parity or CRC, and every sync found is accounted for once.
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("noisy.wav"));
    QProcess gen;
    gen.start(QStringLiteral(VARNESK_APP_DIR "/varnesk-gen"),
              {QStringLiteral("--random"), QStringLiteral("60"), QStringLiteral("--ebn0"), QStringLiteral("12"),
               QStringLiteral("--seed"), QStringLiteral("5"), wav});
    ASSERT_TRUE(gen.waitForFinished(60000));
    ASSERT_EQ(gen.exitCode(), 0);

    QProcess tool;
    tool.start(QStringLiteral(VARNESK_APP_DIR "/varnesk-decode"),
               {QStringLiteral("--demod"), QStringLiteral("classic"), QStringLiteral("--frames"),
                QStringLiteral("--stats"), wav});
    ASSERT_TRUE(tool.waitForFinished(60000));
    ASSERT_EQ(tool.exitCode(), 0);
    const qsizetype printed = tool.readAllStandardOutput().count('\n');
    const QString stats = QString::fromUtf8(tool.readAllStandardError());
    const QRegularExpression receiver(
        QStringLiteral("receiver (\\w+): syncs (\\d+), delivered (\\d+), parity breaks (\\d+), bad CRC (\\d+), "
                       "length-limit closes (\\d+), buffer overruns (\\d+), capture open (\\d+)"));
    qulonglong delivered = 0, lost = 0;
    int channels = 0;
    for (auto m = receiver.globalMatch(stats); m.hasNext();) {
        const QRegularExpressionMatch r = m.next();
        SCOPED_TRACE(r.captured(1).toStdString());
        ++channels;
        qulonglong sum = 0;
        for (int i = 3; i <= 8; ++i)
            sum += r.captured(i).toULongLong();
        EXPECT_EQ(r.captured(2).toULongLong(), sum);
        EXPECT_GT(r.captured(3).toULongLong(), 40u);
        delivered += r.captured(3).toULongLong();
        lost += r.captured(4).toULongLong() + r.captured(5).toULongLong();
    }
    EXPECT_EQ(channels, 2);
    EXPECT_EQ(delivered, static_cast<qulonglong>(printed));
    EXPECT_GT(lost, 0u);
    EXPECT_TRUE(stats.contains(QStringLiteral("times real time")));
    EXPECT_TRUE(stats.contains(QStringLiteral("decoder left: frames")));
}

TEST(DecodeTool, BothDemodulatorsPrintEveryFrameOnceWithItsSource)
{
    // At Eb/N0 8 dB the classic chain finds few blocks and the coherent one
    // nearly all; each frame is printed once, tagged with the demodulator that
    // delivered it, and the merge accounts for every line.
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("noisy.wav"));
    QProcess gen;
    gen.start(QStringLiteral(VARNESK_APP_DIR "/varnesk-gen"),
              {QStringLiteral("--random"), QStringLiteral("30"), QStringLiteral("--ebn0"), QStringLiteral("8"),
               QStringLiteral("--seed"), QStringLiteral("6"), QStringLiteral("--expect"),
               dir.filePath(QStringLiteral("expect.txt")), wav});
    ASSERT_TRUE(gen.waitForFinished(60000));
    ASSERT_EQ(gen.exitCode(), 0);
    QFile expectFile(dir.filePath(QStringLiteral("expect.txt")));
    ASSERT_TRUE(expectFile.open(QIODevice::ReadOnly));
    const QList<QByteArray> sent = expectFile.readAll().split('\n');

    QProcess tool;
    tool.start(QStringLiteral(VARNESK_APP_DIR "/varnesk-decode"),
               {QStringLiteral("--demod"), QStringLiteral("both"), QStringLiteral("--frames"),
                QStringLiteral("--stats"), wav});
    ASSERT_TRUE(tool.waitForFinished(60000));
    ASSERT_EQ(tool.exitCode(), 0);
    const QString stats = QString::fromUtf8(tool.readAllStandardError());
    const QRegularExpressionMatch merge =
        QRegularExpression(QStringLiteral("merge: passed from classic (\\d+), from coherent (\\d+)")).match(stats);
    ASSERT_TRUE(merge.hasMatch()) << stats.toStdString();
    int fromClassic = 0, fromCoherent = 0;
    std::vector<QByteArray> printed;
    for (const QByteArray& line : tool.readAllStandardOutput().split('\n')) {
        const qsizetype gt = line.indexOf('>');
        if (line.isEmpty() || gt < 0)
            continue;
        const QByteArray tag = line.left(gt);
        fromClassic += tag.endsWith(" classic");
        fromCoherent += tag.contains(" coherent");
        printed.push_back(line.left(5) + line.mid(gt));
        EXPECT_TRUE(sent.contains(printed.back())) << line.toStdString();
    }
    EXPECT_EQ(fromClassic, merge.captured(1).toInt());
    EXPECT_EQ(fromCoherent, merge.captured(2).toInt());
    EXPECT_EQ(static_cast<int>(printed.size()), fromClassic + fromCoherent);
    std::sort(printed.begin(), printed.end());
    EXPECT_EQ(std::adjacent_find(printed.begin(), printed.end()), printed.end());
    EXPECT_GE(printed.size(), 57u); // of 60
    EXPECT_GT(fromCoherent, fromClassic);
}

} // namespace
