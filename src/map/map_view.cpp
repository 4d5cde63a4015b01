// Projection: x = trunc((λ − left edge) × s) with a one-turn wrap, y = trunc(s × (hh/s + φc − φ)).
#include "map/map_view.h"

#include "settings/settings_store.h"

#include <cmath>
#include <cstdlib>

namespace varnesk {

namespace {

// Pixel coordinates of absurd inputs (a latitude of 1e300) are held far
// outside any map instead of overflowing the integer conversion.
constexpr double kPixelLimit = 1.0e7;

int toPixel(double v)
{
    if (!(v > -kPixelLimit))
        return -static_cast<int>(kPixelLimit);
    if (v > kPixelLimit)
        return static_cast<int>(kPixelLimit);
    return static_cast<int>(std::trunc(v));
}

} // namespace

void MapView::load(const SettingsStore& settings)
{
    centreLat = settings.real(Key::MapCentN);
    centreLon = settings.real(Key::MapCentE);
    if (!std::isfinite(centreLat))
        centreLat = 36.5;
    if (!std::isfinite(centreLon))
        centreLon = 139.0;
    int index = settings.integer(Key::MapScale);
    if (index < 0 || index >= kScaleCount)
        index = kDefaultScaleIndex;
    scaleIndex = index;
    scale = kScaleList[static_cast<size_t>(index)];
}

void MapView::store(SettingsStore& settings) const
{
    settings.setReal(Key::MapCentN, centreLat);
    settings.setReal(Key::MapCentE, centreLon);
    settings.setInteger(Key::MapScale, scaleIndex);
}

double MapView::leftEdgeLon() const
{
    return centreLon - (width / 2) / scale;
}

ProjectedPoint MapView::project(double lat, double lon) const
{
    ProjectedPoint p;
    double u = lon - leftEdgeLon();
    if (u > 360) {
        u -= 360;
        p.wrap = -360;
    } else if (u < 0) {
        u += 360;
        p.wrap = 360;
    }
    p.x = toPixel(u * scale);
    p.y = toPixel(scale * ((height / 2) / scale + centreLat - lat));
    return p;
}

ProjectedPoint MapView::projectSegmentEnd(double lat, double lon, double startWrap) const
{
    ProjectedPoint p;
    p.wrap = startWrap;
    p.x = toPixel((lon - leftEdgeLon() + startWrap) * scale);
    p.y = toPixel(scale * ((height / 2) / scale + centreLat - lat));
    return p;
}

bool MapView::isDrawable(int x, int y) const
{
    // "or", not "and": skipped only when beyond the left or top edge and at
    // the same time beyond the right or bottom edge.
    return (x > -kDrawableMarginPx && y > -kDrawableMarginPx)
           || (x < width + kDrawableMarginPx && y < height + kDrawableMarginPx);
}

bool MapView::setScaleIndex(int index)
{
    if (index < 0 || index >= kScaleCount)
        return false;
    scaleIndex = index;
    scale = kScaleList[static_cast<size_t>(index)];
    return true;
}

bool MapView::zoomIn()
{
    return scaleIndex < kScaleCount - 1 && setScaleIndex(scaleIndex + 1);
}

bool MapView::zoomOut()
{
    return scaleIndex > 0 && setScaleIndex(scaleIndex - 1);
}

bool MapView::zoomAbout(int x, int y, bool in)
{
    // The same halves as project(): pixel x is lon − leftEdgeLon() scaled.
    const double fromCentreX = x - width / 2, fromCentreY = y - height / 2;
    const double lon = centreLon + fromCentreX / scale;
    const double lat = centreLat - fromCentreY / scale;
    if (!(in ? zoomIn() : zoomOut()))
        return false;
    centreLon = lon - fromCentreX / scale;
    centreLat = lat + fromCentreY / scale;
    if (centreLon > 180)
        centreLon -= 360;
    if (centreLon < -180)
        centreLon += 360;
    return true;
}

void MapView::moveLeft()
{
    centreLon -= kPanStepPx / scale;
    if (centreLon < -180)
        centreLon += 360;
}

void MapView::moveRight()
{
    centreLon += kPanStepPx / scale;
    if (centreLon > 180)
        centreLon -= 360;
}

void MapView::moveUp()
{
    centreLat += kPanStepPx / scale;
}

void MapView::moveDown()
{
    centreLat -= kPanStepPx / scale;
}

void MapView::dragBy(int dx, int dy, bool latitudeToo)
{
    centreLon += dx / scale;
    if (latitudeToo)
        centreLat -= dy / scale;
    if (centreLon > 180)
        centreLon -= 360;
    if (centreLon < -180)
        centreLon += 360;
}

Gesture PressTracker::release(bool leftButton, int x, int y) const
{
    if (!leftButton)
        return Gesture::None;
    const int dx = pressX - x;
    const int dy = pressY - y;
    if (std::abs(dx) > kDragThresholdPx || std::abs(dy) > kDragThresholdPx)
        return Gesture::Drag;
    return Gesture::Click;
}

} // namespace varnesk
