# Writes OUT with the date of this build (UTC, or SOURCE_DATE_EPOCH when set),
# touching the file only when the date changed so that a rebuild on the same
# day compiles nothing again.
string(TIMESTAMP VARNESK_BUILD_DATE "%Y/%m/%d" UTC)
file(WRITE "${OUT}.tmp" "// The date of the build, written at build time by cmake/build_date.cmake.
#pragma once

#include <string_view>

namespace varnesk {

inline constexpr std::string_view kBuildDate = \"${VARNESK_BUILD_DATE}\";

} // namespace varnesk
")
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.tmp")
