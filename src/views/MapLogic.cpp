#include "views/MapLogic.h"

#include "core/GpsList.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace MapLogic
{

QString directionString(float direction, const QString& degreeUnit)
{
    if (!(direction >= 0))
        return QStringLiteral("-");
    const char* point;
    if (direction >= 337.5f || direction <= 22.5f)
        point = "N";
    else if (direction <= 67.5f)
        point = "NE";
    else if (direction <= 112.5f)
        point = "E";
    else if (direction <= 157.5f)
        point = "SE";
    else if (direction <= 202.5f)
        point = "S";
    else if (direction <= 247.5f)
        point = "SW";
    else if (direction <= 292.5f)
        point = "W";
    else
        point = "NW";
    const int figure = static_cast<int>(direction + 0.5f);
    return QStringLiteral("%1 %2%3").arg(QLatin1String(point)).arg(figure).arg(degreeUnit);
}

QString locationString(bool isLatitude, float value, const QString& degreeUnit)
{
    QString letter = isLatitude ? QStringLiteral("N") : QStringLiteral("E");
    if (value < 0) {
        letter = isLatitude ? QStringLiteral("S") : QStringLiteral("W");
        value = -value;
    }
    QString degrees = QStringLiteral("0"), minutes = QStringLiteral("00"), seconds = QStringLiteral("00");
    if (value != 0 && std::isfinite(value)) {
        const double v = value;
        const int whole = static_cast<int>(v);
        const double m = (v - whole) * 60.0;
        const int wholeMinutes = static_cast<int>(m);
        degrees = QString::number(whole);
        minutes = QString::asprintf("%02d", wholeMinutes);
        seconds = QString::asprintf("%.1f", (m - wholeMinutes) * 60.0);
    }
    return QStringLiteral("%1 %2%3%4'%5\"").arg(letter, degrees, degreeUnit, minutes, seconds);
}

QString infoText(float latitude, float longitude, float speed, float altitude, float direction,
                 const QString& degreeUnit)
{
    const QString d = direction >= 0 ? directionString(direction, degreeUnit) : QStringLiteral(" ");
    if (latitude != 0 && longitude != 0 && speed >= 0) {
        const QString position =
            QStringLiteral("%1 [%2%3%4. %5%6%7]")
                .arg(d, QString::asprintf("%.5f", std::fabs(static_cast<double>(latitude))), degreeUnit,
                     QString(QLatin1Char(latitude < 0 ? 'S' : 'N')),
                     QString::asprintf("%.5f", std::fabs(static_cast<double>(longitude))), degreeUnit,
                     QString(QLatin1Char(longitude < 0 ? 'W' : 'E')));
        if (altitude >= kNoAltitude || !std::isfinite(altitude))
            return position + QStringLiteral("  Alt.-");
        return position + QString::asprintf("  Alt.%.1fm", static_cast<double>(altitude));
    }
    return d + QStringLiteral(" [-. -]  Alt.-");
}

QString speedFigure(float speedKmh, int unit)
{
    if (!(speedKmh >= 0))
        return QStringLiteral("-");
    double v = speedKmh;
    if (unit == 1)
        v *= 0.62137;
    return QString::number(static_cast<long long>(v + 0.5));
}

QString speedUnitString(int unit)
{
    return unit == 1 ? QStringLiteral("mph") : QStringLiteral("km/h");
}

bool isValidCoordinate(double latitude, double longitude)
{
    return std::isfinite(latitude) && std::isfinite(longitude) && std::fabs(latitude) <= 90.0 &&
           std::fabs(longitude) <= 180.0;
}

std::pair<float, float> pageCoordinate(float latitude, float longitude)
{
    if (!isValidCoordinate(latitude, longitude))
        return {0.0f, 0.0f};
    return {latitude, longitude};
}

double haversineKm(double lat1, double lon1, double lat2, double lon2)
{
    const double pi = 3.141592653589793;
    const double radius = 6378.137;
    const double p1 = lat1 * pi / 180.0, p2 = lat2 * pi / 180.0;
    const double dl = (lon1 - lon2) * pi / 180.0;
    const double a = std::sin((p1 - p2) / 2);
    const double b = std::sin(dl / 2);
    const double h = std::min(1.0, a * a + std::cos(p1) * std::cos(p2) * b * b);
    const double distance = 2 * radius * std::asin(std::sqrt(h));
    return static_cast<double>(static_cast<long long>(distance * 10000 + 0.5)) / 10000;
}

int zoomForDistance(double km)
{
    if (km < 0.1)
        return kZoomNear;
    if (km < 0.5)
        return kZoomStreet;
    if (km < 1.0)
        return kZoomDistrict;
    return kZoomTown;
}

QString setCenterScript(float latitude, float longitude)
{
    const auto p = pageCoordinate(latitude, longitude);
    return QString::asprintf("mapSetCenter(%f, %f)", static_cast<double>(p.first),
                             static_cast<double>(p.second));
}

QString addPathPointScript(float latitude, float longitude)
{
    const auto p = pageCoordinate(latitude, longitude);
    return QString::asprintf("addPathPoint(%f, %f)", static_cast<double>(p.first),
                             static_cast<double>(p.second));
}

QString drawPathScript()
{
    return QStringLiteral("drawPath()");
}

QString setZoomScript(int zoom)
{
    return QString::asprintf("setZoom(%d)", zoom);
}

PathPlan planPath(const GpsList* list)
{
    PathPlan plan;
    if (!list || !list->IsGPSReady() || list->GetDataCount() == 0)
        return plan;
    const auto& samples = list->gpslist();
    plan.points.reserve(samples.size());
    bool haveStart = false;
    std::pair<float, float> start{0, 0}, end{0, 0};
    for (const GpsData& s : samples) {
        const auto p = pageCoordinate(s.fLatitude(), s.fLongitude());
        plan.points.push_back(p);
        if (p.first != 0 && p.second != 0) {
            if (!haveStart) {
                start = p;
                haveStart = true;
            }
            end = p;
        }
    }
    if (plan.points.size() >= 2)
        plan.zoom = zoomForDistance(haversineKm(start.first, start.second, end.first, end.second));
    return plan;
}

QString pathBatchScript(const PathPlan& plan, size_t from, size_t to)
{
    to = std::min(to, plan.points.size());
    QString script;
    if (from >= to)
        return script;
    script.reserve(static_cast<qsizetype>((to - from) * 40));
    // std::to_chars prints like "%f" without looking at the C locale, and is
    // several times faster than a formatted print per point.
    char buf[128];
    for (size_t i = from; i < to; ++i) {
        const auto& p = plan.points[i];
        char* out = buf;
        char* const last = buf + sizeof buf;
        std::memcpy(out, "addPathPoint(", 13);
        out += 13;
        out = std::to_chars(out, last, static_cast<double>(p.first), std::chars_format::fixed, 6).ptr;
        *out++ = ',';
        *out++ = ' ';
        out = std::to_chars(out, last, static_cast<double>(p.second), std::chars_format::fixed, 6).ptr;
        *out++ = ')';
        *out++ = ';';
        script.append(QLatin1String(buf, static_cast<qsizetype>(out - buf)));
    }
    return script;
}

PanelPosition positionForSample(const GpsData* sample)
{
    PanelPosition p;
    if (!sample)
        return p;
    const double altitude = sample->dAltitude();
    if (sample->fLatitude() == 0 && sample->fLongitude() == 0) {
        p.altitude = altitude == static_cast<double>(kNoAltitude) ? kNoAltitude : 0.0f;
        return p;
    }
    p.latitude = sample->fLatitude();
    p.longitude = sample->fLongitude();
    p.speed = sample->fSpeed();
    p.altitude = static_cast<float>(altitude);
    p.direction = sample->fDirection();
    return p;
}

int gThousandths(float g)
{
    double v = g;
    if (!std::isfinite(v))
        return 0;
    v = v > 0 ? v + 0.0005 : v - 0.0005;
    v *= 1000.0;
    if (v > 2147483647.0 || v < -2147483648.0)
        return v > 0 ? 2147483647 : -2147483647 - 1;
    return static_cast<int>(v);
}

} // namespace MapLogic
