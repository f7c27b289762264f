// The map page driven by the application's map panel. The panel only calls
// four functions, by evaluating their text in this page:
//   mapSetCenter(lat, lon)  centre the map on the vehicle marker, returns "1"
//   addPathPoint(lat, lon)  append one point to the pending path
//   drawPath()              replace the drawn route by the pending points
//   setZoom(z)              set the zoom level
// the place under a point of the page, for the panel's context menu,
//   mapLatLngAt(x, y)       [lat, lon] at that point (CSS pixels), or null
// and, for a trip of several recordings,
//   setTripRoute(driven, ahead)  the rest of the trip's route: the stretch
//                                already driven (fainter) and the one still
//                                ahead, each an array of [lat, lon]; empty
//                                arrays remove it
// Samples without a position arrive as (0, 0); they stay in the pending path
// (the panel sends every sample in order) but are never drawn, so the route
// does not jump to the Gulf of Guinea.
//
// Query parameters: tiles=<URL template> chooses the tile server, tiles=none
// loads no tiles at all (tests, demos without a network).
//
// When tiles fail to load (no network, the server unreachable) a notice over
// the map says so; the route and the vehicle are drawn all the same. The panel
// gives the notice's text in the language in force (setTilesNotice); it goes
// away as soon as a tile loads again.
(function () {
  'use strict';

  var params = new URLSearchParams(window.location.search);
  var tileUrl = params.has('tiles') ? params.get('tiles') : 'https://tile.openstreetmap.org/{z}/{x}/{y}.png';

  var ROUTE_COLOUR = '#e8402e';
  var map = L.map('map', { zoomControl: true, attributionControl: true, fadeAnimation: false });
  map.setView([35.681, 139.767], 3, { reset: true });

  var marker = null;
  var pending = [];
  var route = null;
  var routePoints = 0;
  var drawCount = 0;
  var tripDriven = null;
  var tripAhead = null;
  var tripCounts = [0, 0];

  function toNumber(v) {
    return typeof v === 'number' ? v : parseFloat(v);
  }
  function isValid(lat, lon) {
    return isFinite(lat) && isFinite(lon) && Math.abs(lat) <= 90 && Math.abs(lon) <= 180;
  }
  function hasPosition(p) {
    return !(p[0] === 0 && p[1] === 0);
  }

  // Views are set with reset: a short pan would otherwise move by whole
  // pixels and leave the vehicle a little off the middle.
  window.mapSetCenter = function (lat, lon) {
    lat = toNumber(lat);
    lon = toNumber(lon);
    if (!isValid(lat, lon))
      return '0';
    var ll = L.latLng(lat, lon);
    if (marker)
      marker.setLatLng(ll);
    else
      marker = L.marker(ll, { interactive: false, keyboard: false }).addTo(map);
    map.setView(ll, map.getZoom(), { reset: true });
    return '1';
  };

  window.addPathPoint = function (lat, lon) {
    lat = toNumber(lat);
    lon = toNumber(lon);
    if (isValid(lat, lon))
      pending.push([lat, lon]);
  };

  window.drawPath = function () {
    var points = pending.filter(hasPosition);
    pending = [];
    if (route) {
      map.removeLayer(route);
      route = null;
    }
    if (points.length > 0)
      route = L.polyline(points, { color: ROUTE_COLOUR, weight: 4, opacity: 0.85, interactive: false }).addTo(map);
    routePoints = points.length;
    drawCount++;
  };

  // The rest of a trip lies under the current recording's route: the part
  // still ahead in the route's colour but lighter, the part already driven
  // fainter still, so the current stretch and the marker stand out.
  function tripLine(points, opacity) {
    var valid = [];
    for (var i = 0; i < (points || []).length; ++i) {
      var lat = toNumber(points[i][0]), lon = toNumber(points[i][1]);
      if (isValid(lat, lon) && hasPosition([lat, lon]))
        valid.push([lat, lon]);
    }
    if (valid.length === 0)
      return { layer: null, count: 0 };
    var layer = L.polyline(valid, {
      color: ROUTE_COLOUR, weight: 4, opacity: opacity, interactive: false
    }).addTo(map);
    layer.bringToBack();
    return { layer: layer, count: valid.length };
  }

  window.setTripRoute = function (driven, ahead) {
    if (tripDriven)
      map.removeLayer(tripDriven);
    if (tripAhead)
      map.removeLayer(tripAhead);
    var a = tripLine(ahead, 0.45);
    var d = tripLine(driven, 0.3);
    tripAhead = a.layer;
    tripDriven = d.layer;
    tripCounts = [d.count, a.count];
    return '1';
  };

  window.setZoom = function (z) {
    z = parseInt(z, 10);
    if (!isFinite(z))
      return;
    z = Math.max(map.getMinZoom(), Math.min(z, 19));
    if (marker)
      map.setView(marker.getLatLng(), z, { reset: true });
    else
      map.setView(map.getCenter(), z, { reset: true });
  };

  window.mapLatLngAt = function (x, y) {
    x = toNumber(x);
    y = toNumber(y);
    if (!isFinite(x) || !isFinite(y))
      return null;
    var ll = map.containerPointToLatLng(L.point(x, y)).wrap();
    return isValid(ll.lat, ll.lng) ? [ll.lat, ll.lng] : null;
  };

  // The panel's web view is resized with the window (full-map display):
  // keep the vehicle in the middle.
  map.on('resize', function () {
    if (marker)
      map.setView(marker.getLatLng(), map.getZoom(), { reset: true });
  });

  var noticeText = 'Map tiles unavailable offline: the route and position are still drawn';
  var notice = document.createElement('div');
  notice.id = 'tilesNotice';
  notice.style.cssText = 'position:absolute; z-index:1000; left:50%; top:12px; transform:translateX(-50%);' +
    'max-width:90%; padding:6px 12px; border-radius:4px; background:rgba(20,20,20,0.8); color:#f0f0f0;' +
    'font:13px sans-serif; text-align:center; pointer-events:none; display:none;';
  document.getElementById('map').appendChild(notice);
  var tilesFailing = false;
  function showNotice(on) {
    tilesFailing = on;
    notice.textContent = noticeText;
    notice.style.display = on ? 'block' : 'none';
  }
  window.setTilesNotice = function (text) {
    if (typeof text === 'string' && text.length > 0)
      noticeText = text;
    showNotice(tilesFailing);
  };

  // Read-back for the tests: the state of the map as JSON.
  window.__rovixState = function () {
    var c = map.getCenter();
    var first = null, last = null;
    if (route) {
      var lls = route.getLatLngs();
      first = [lls[0].lat, lls[0].lng];
      last = [lls[lls.length - 1].lat, lls[lls.length - 1].lng];
    }
    return JSON.stringify({
      center: [c.lat, c.lng],
      zoom: map.getZoom(),
      marker: marker ? [marker.getLatLng().lat, marker.getLatLng().lng] : null,
      routePoints: routePoints,
      routeFirst: first,
      routeLast: last,
      pendingPoints: pending.length,
      drawCount: drawCount,
      tilesNotice: tilesFailing ? notice.textContent : '',
      tripDriven: tripCounts[0],
      tripAhead: tripCounts[1],
      tripOpacity: [tripDriven ? tripDriven.options.opacity : null, tripAhead ? tripAhead.options.opacity : null,
                    route ? route.options.opacity : null],
      size: [map.getSize().x, map.getSize().y]
    });
  };

  // Tiles come after the page's own load so that an unreachable tile server
  // never holds back the end of loading; offline they simply fail.
  function addTiles() {
    if (!tileUrl || tileUrl === 'none')
      return;
    L.tileLayer(tileUrl, {
      maxZoom: 19,
      attribution: '&copy; <a href="https://www.openstreetmap.org/copyright">OpenStreetMap</a> contributors'
    }).on('tileerror', function () { showNotice(true); })
      .on('tileload', function () { showNotice(false); })
      .addTo(map);
  }
  if (document.readyState === 'complete')
    addTiles();
  else
    window.addEventListener('load', function () { setTimeout(addTiles, 0); });
})();
