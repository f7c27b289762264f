#include "core/PictureZoom.h"

#include <algorithm>
#include <cmath>

namespace
{
double finiteOr(double value, double fallback)
{
    return std::isfinite(value) ? value : fallback;
}

double clampFactor(double factor)
{
    factor = std::clamp(finiteOr(factor, kPictureZoomMin), kPictureZoomMin, kPictureZoomMax);
    // Steps in and out again leave rounding dust; 1.0000001x would still
    // count as zoomed and keep the pan alive.
    return factor < kPictureZoomMin + 1e-9 ? kPictureZoomMin : factor;
}

double clampPan(double pan, double factor)
{
    const double limit = (1.0 - 1.0 / factor) / 2.0;
    return std::clamp(finiteOr(pan, 0.0), -limit, limit);
}

// Where the enlarged picture's leading edge lies in the view, in view fractions.
double leadingEdge(double factor, double pan)
{
    return (1.0 - factor) / 2.0 + pan * factor;
}

// The pan that puts the picture's fraction `t` at view position `at`.
double panPutting(double t, double at, double factor)
{
    const double edge = at - t * factor;
    return (edge - (1.0 - factor) / 2.0) / factor;
}
} // namespace

double PictureZoom::log2Zoom() const
{
    return std::log2(clampFactor(factor));
}

PictureZoom pmClampZoom(PictureZoom zoom)
{
    zoom.factor = clampFactor(zoom.factor);
    zoom.panX = clampPan(zoom.panX, zoom.factor);
    zoom.panY = clampPan(zoom.panY, zoom.factor);
    return zoom;
}

PictureZoom pmZoomAbout(const PictureZoom& current, double factor, double x, double y)
{
    const PictureZoom from = pmClampZoom(current);
    const double to = clampFactor(factor);
    x = std::clamp(finiteOr(x, 0.5), 0.0, 1.0);
    y = std::clamp(finiteOr(y, 0.5), 0.0, 1.0);
    // The picture's point under the cursor before the step stays under it.
    const double tx = (x - leadingEdge(from.factor, from.panX)) / from.factor;
    const double ty = (y - leadingEdge(from.factor, from.panY)) / from.factor;
    PictureZoom out;
    out.factor = to;
    out.panX = panPutting(tx, x, to);
    out.panY = panPutting(ty, y, to);
    return pmClampZoom(out);
}

PictureZoom pmZoomSteps(const PictureZoom& zoom, double steps, double x, double y)
{
    const PictureZoom from = pmClampZoom(zoom);
    const double factor = from.factor * std::pow(kPictureZoomStep, finiteOr(steps, 0.0));
    return pmZoomAbout(from, factor, x, y);
}

PictureZoom pmPanBy(const PictureZoom& zoom, double dx, double dy)
{
    PictureZoom out = pmClampZoom(zoom);
    out.panX += finiteOr(dx, 0.0) / out.factor;
    out.panY += finiteOr(dy, 0.0) / out.factor;
    return pmClampZoom(out);
}

PictureRegion pmZoomVisiblePart(const PictureZoom& zoom)
{
    const PictureZoom z = pmClampZoom(zoom);
    PictureRegion r;
    r.width = r.height = 1.0 / z.factor;
    r.x = std::clamp(-leadingEdge(z.factor, z.panX) / z.factor, 0.0, 1.0 - r.width);
    r.y = std::clamp(-leadingEdge(z.factor, z.panY) / z.factor, 0.0, 1.0 - r.height);
    return r;
}
