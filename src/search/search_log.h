// The diagnostics category of the search area ("varnesk.search").
#pragma once

#include <QLoggingCategory>

namespace varnesk {
Q_DECLARE_LOGGING_CATEGORY(lcSearch)
} // namespace varnesk
