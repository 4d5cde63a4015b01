#include "map_test_env.h"

#include "map/canvas.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace varnesk::test {

namespace {

class GuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        // Kept to the end of the process: destroying it from the exit
        // handlers, after Qt's own statics, crashes.
        if (!QGuiApplication::instance())
            new QGuiApplication(m_argc, m_argv);
        installMapFonts();
    }

private:
    int m_argc = 1;
    char m_name[16] = "test_map";
    char* m_argv[2] = {m_name, nullptr};
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

QTemporaryDir& tempDir()
{
    static QTemporaryDir dir;
    return dir;
}

} // namespace

QString writeTempFile(const char* name, const QByteArray& bytes)
{
    const QString path = tempDir().filePath(QString::fromLatin1(name));
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
    return path;
}

QString missingFile()
{
    return tempDir().filePath(QStringLiteral("no-such-file.txt"));
}

int countColour(const QImage& image, uint32_t rgb)
{
    return countColourIn(image, rgb, 0, 0, image.width(), image.height());
}

int countColourIn(const QImage& image, uint32_t rgb, int l, int t, int r, int b)
{
    int n = 0;
    for (int y = std::max(t, 0); y < std::min(b, image.height()); ++y)
        for (int x = std::max(l, 0); x < std::min(r, image.width()); ++x)
            if ((image.pixel(x, y) & 0xFFFFFFu) == (rgb & 0xFFFFFFu))
                ++n;
    return n;
}

} // namespace varnesk::test
