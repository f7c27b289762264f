#pragma once
// The decisions and texts of the map panel that need no window: compass and
// coordinate texts, the info-bar line, the speed figure, the zoom chosen from
// a track's extent, and the script batches that send a track to the map page.
// The panel (MapView) and its tests both use these.
#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

class GpsData;
class GpsList;

namespace MapLogic
{

// Altitude at or above which a sample carries no altitude reading.
constexpr float kNoAltitude = 65535.0f;
// Zoom levels the page is asked for.
constexpr int kZoomNear = 18, kZoomStreet = 15, kZoomDistrict = 14, kZoomTown = 13;

// "-" for a negative direction; otherwise the compass point and the rounded
// figure: "NE 45°".
QString directionString(float direction, const QString& degreeUnit);
// "S 25°30'0.0\"": hemisphere letter, degrees, minutes and seconds.
QString locationString(bool isLatitude, float value, const QString& degreeUnit);
// The info bar's text for the stored position.
QString infoText(float latitude, float longitude, float speed, float altitude, float direction,
                 const QString& degreeUnit);
// The speed figure in the unit (0 km/h, 1 mph); "-" for a negative speed.
QString speedFigure(float speedKmh, int unit);
// "mph" for 1, "km/h" otherwise.
QString speedUnitString(int unit);

// True when the pair is a usable coordinate: finite, |lat| <= 90, |lon| <= 180.
bool isValidCoordinate(double latitude, double longitude);
// What the page may be sent for a coordinate pair: the pair itself, or (0, 0)
// (no position) when it is not finite or out of range.
std::pair<float, float> pageCoordinate(float latitude, float longitude);

// Great-circle distance in km on a sphere of radius 6378.137 km, rounded to
// four decimals.
double haversineKm(double lat1, double lon1, double lat2, double lon2);
// Zoom for the distance between a track's first and last positions.
int zoomForDistance(double km);

// The four page calls, printed as the page expects them.
QString setCenterScript(float latitude, float longitude);
QString addPathPointScript(float latitude, float longitude);
QString drawPathScript();
QString setZoomScript(int zoom);

// A track prepared for the page: every sample's coordinate in order (made safe
// by pageCoordinate), and the zoom to set afterwards (-1: none).
struct PathPlan {
    std::vector<std::pair<float, float>> points;
    int zoom = -1;
};
// Nothing to send (no track, no positions, no samples) gives an empty plan.
PathPlan planPath(const GpsList* list);
// One script of addPathPoint calls for points [from, to), joined by ';'.
QString pathBatchScript(const PathPlan& plan, size_t from, size_t to);

// What the panel is given for the sample of the current second (none: the
// reset sample's values 0, 0, 0, 0, -1). A sample without a position
// (latitude and longitude both 0) shows as no position, no speed, no course,
// and keeps only an altitude that says "no reading".
struct PanelPosition {
    float latitude = 0;
    float longitude = 0;
    float speed = 0;
    float altitude = 0;
    float direction = -1;
};
PanelPosition positionForSample(const GpsData* sample);
// An acceleration in g as thousandths of g, rounded half away from zero.
int gThousandths(float g);

} // namespace MapLogic
