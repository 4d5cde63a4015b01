// A build without SoapySDR: [Wave] Source "sdr" opens nothing and the box
// says that SDR receivers are not supported.
#include "app/sdr_capture_source.h"

#include <gtest/gtest.h>

namespace varnesk {
namespace {

TEST(SdrUnavailable, OpenIsRefusedWithItsMessage)
{
    int delivered = 0;
    SdrCaptureSource source([&](const ChannelBlock&) { ++delivered; }, [](const QString&) {});
    QString message;
    EXPECT_FALSE(source.open(SdrOptions{}, message));
    EXPECT_EQ(message, QStringLiteral("SDR受信機には対応していません"));
    EXPECT_FALSE(source.isOpen());
    source.close();
    EXPECT_EQ(delivered, 0);
}

} // namespace
} // namespace varnesk
