// The SDR source of a build without SoapySDR (VARNESK_SDR off): it opens
// nothing and says so in the box the user sees.
#include "app/sdr_capture_source.h"

#include "receiver/iq_channelizer.h"

#include <utility>

namespace varnesk {

SdrCaptureSource::SdrCaptureSource(Deliver deliver, Lost lost) : m_deliver(std::move(deliver)), m_lost(std::move(lost))
{
}

SdrCaptureSource::~SdrCaptureSource() = default;

bool SdrCaptureSource::open(const SdrOptions& options, QString& message)
{
    m_options = options;
    message = QStringLiteral("SDR受信機には対応していません");
    return false;
}

void SdrCaptureSource::close() { }

} // namespace varnesk
