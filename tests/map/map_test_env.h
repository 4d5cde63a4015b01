// A QGuiApplication for the map tests (text needs one), created once before
// the first test, and small helpers for the test files and pictures.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <cstdint>

namespace varnesk::test {

// Writes bytes to a new file in a temporary directory kept for the run.
QString writeTempFile(const char* name, const QByteArray& bytes);
// A file name in that directory that does not exist.
QString missingFile();

int countColour(const QImage& image, uint32_t rgb);
int countColourIn(const QImage& image, uint32_t rgb, int l, int t, int r, int b);

} // namespace varnesk::test
