// The map pages' shared script: a Leaflet map on the page's tile service over
// an offline grid, the route of the whole file, the driven track, the car
// marker, and the web channel to the program's "JSBridge".
(function () {
  "use strict";

  // The driven track takes the next colour after each clear.
  var COLOURS = [
    "#e6194b", "#3cb44b", "#ffe119", "#4363d8", "#f58231", "#911eb4",
    "#46f0f0", "#f032e6", "#bcf60c", "#fabebe", "#008080", "#e6beff",
    "#9a6324", "#fffac8", "#800000", "#aaffc3", "#808000", "#ffd8b1",
    "#000075", "#808080", "#ff4500", "#2e8b57", "#1e90ff", "#ff1493"
  ];
  var HEADINGS = 8;  // icons/car_0.svg (north) .. car_7.svg (northwest)
  var FIRST_CAR_ZOOM = 16;
  var ZOOMED_OUT_BELOW = 10;

  var map = null;
  var route = null;
  var routeShown = true;
  var routeFitPending = false;
  var track = null;
  var colourIndex = 0;
  var car = null;
  var carLabel = null;
  var carIcon = -1;
  var bridge = null;

  function finite(value) {
    return typeof value === "number" && isFinite(value);
  }

  // Index of the compass icon for a heading in degrees, any value wrapped.
  function headingIndex(direction) {
    var degrees = Number(direction);
    if (!isFinite(degrees)) {
      degrees = 0;
    }
    degrees = ((degrees % 360) + 360) % 360;
    return Math.floor((degrees + 22) / 45) % HEADINGS;
  }

  // Drawn in the page, so the map shows and takes clicks with no network.
  var OfflineGrid = L.GridLayer.extend({
    createTile: function (coords) {
      var size = this.getTileSize();
      var tile = document.createElement("canvas");
      tile.width = size.x;
      tile.height = size.y;
      var g = tile.getContext("2d");
      g.fillStyle = "#eef2f3";
      g.fillRect(0, 0, size.x, size.y);
      g.strokeStyle = "#b8c4c8";
      g.strokeRect(0.5, 0.5, size.x - 1, size.y - 1);
      g.fillStyle = "#8a9aa0";
      g.font = "11px sans-serif";
      g.fillText(coords.z + "/" + coords.x + "/" + coords.y, 6, 16);
      return tile;
    }
  });

  // A tile layer whose template may also name {q}, the tile's quadkey.
  var ServiceTiles = L.TileLayer.extend({
    getTileUrl: function (coords) {
      var template = this._url;
      var key = "";
      for (var i = this._getZoomForUrl(); i > 0; i--) {
        var mask = 1 << (i - 1);
        key += ((coords.x & mask) ? 1 : 0) + ((coords.y & mask) ? 2 : 0);
      }
      this._url = template.replace("{q}", key);
      var url = L.TileLayer.prototype.getTileUrl.call(this, coords);
      this._url = template;
      return url;
    }
  });

  function reportClick(latlng) {
    if (bridge) {
      bridge.ClickLineCallBack(String(latlng.lat), String(latlng.lng));
    }
  }

  function start(config) {
    var m = L.map("map", { center: config.center || [22.54, 114.06], zoom: config.zoom || 4 });
    new OfflineGrid({ maxZoom: 19 }).addTo(m);
    if (config.tiles) {
      new ServiceTiles(config.tiles, {
        subdomains: config.subdomains || "abc",
        maxZoom: config.maxZoom || 19,
        attribution: config.attribution || ""
      }).addTo(m);
    }
    route = L.polyline([], { color: "#1565c0", weight: 6, opacity: 0.8 }).addTo(m);
    route.on("click", function (e) { reportClick(e.latlng); });
    track = L.polyline([], { color: COLOURS[0], weight: 4 }).addTo(m);
    m.on("resize", function () {
      if (routeFitPending) {
        fitRoute();
      }
    });
    map = m;
    new QWebChannel(qt.webChannelTransport, function (channel) {
      bridge = channel.objects.JSBridge;
      bridge.loadMap_finish();
    });
  }

  // Brings the map to the route. A map without a size (its view hidden)
  // would fit it at the whole world's zoom, so that waits until it has one.
  function fitRoute() {
    var size = map.getSize();
    routeFitPending = size.x === 0 || size.y === 0;
    if (!routeFitPending && route.getLatLngs().length > 0) {
      map.fitBounds(route.getBounds(), { maxZoom: FIRST_CAR_ZOOM });
    }
  }

  function DrawBackLine(gpslist) {
    if (!map) {
      return;
    }
    var points = route.getLatLngs().slice();
    String(gpslist).split(";").forEach(function (piece) {
      var parts = piece.split(",");
      if (parts.length < 2) {
        return;
      }
      var lat = parseFloat(parts[0]);
      var lng = parseFloat(parts[1]);
      if (finite(lat) && finite(lng)) {
        points.push(L.latLng(lat, lng));
      }
    });
    route.setLatLngs(points);
    fitRoute();
  }

  function ClearBackLine() {
    if (map) {
      route.setLatLngs([]);
    }
  }

  function HideBackLine() {
    if (map && routeShown) {
      map.removeLayer(route);
      routeShown = false;
    }
  }

  function ShowBackLine() {
    if (map && !routeShown) {
      route.addTo(map);
      track.bringToFront();
      routeShown = true;
    }
  }

  function DrawTrackLine(id, latitude, longitude) {
    if (!map || !finite(latitude) || !finite(longitude)) {
      return;
    }
    track.addLatLng([latitude, longitude]);
    map.panTo([latitude, longitude], { animate: false });
  }

  function ClearTrackLine() {
    if (!map) {
      return;
    }
    track.setLatLngs([]);
    colourIndex = (colourIndex + 1) % COLOURS.length;
    track.setStyle({ color: COLOURS[colourIndex] });
  }

  function carIconOf(index) {
    return L.icon({ iconUrl: "icons/car_" + index + ".svg", iconSize: [32, 32], iconAnchor: [16, 16] });
  }

  function MoveCar(id, latitude, longitude, direction) {
    if (!map || !finite(latitude) || !finite(longitude)) {
      return;
    }
    var index = headingIndex(direction);
    if (!car) {
      // The label is text, never markup, whatever the id holds.
      carLabel = document.createElement("span");
      car = L.marker([latitude, longitude], { icon: carIconOf(index) }).addTo(map);
      car.bindTooltip(carLabel, { permanent: true, direction: "top", offset: [0, -16] });
      if (map.getZoom() < ZOOMED_OUT_BELOW) {
        map.setView([latitude, longitude], FIRST_CAR_ZOOM);
      }
    } else {
      car.setLatLng([latitude, longitude]);
      if (index !== carIcon) {
        car.setIcon(carIconOf(index));
      }
    }
    carIcon = index;
    carLabel.textContent = String(id);
  }

  function ClearCarMarker() {
    if (map && car) {
      map.removeLayer(car);
      car = null;
      carLabel = null;
      carIcon = -1;
    }
  }

  function plain(latlngs) {
    return latlngs.map(function (p) { return [p.lat, p.lng]; });
  }

  // What the page shows, for inspection.
  function state() {
    return {
      ready: map !== null,
      route: route ? plain(route.getLatLngs()) : [],
      routeShown: routeShown,
      track: track ? plain(track.getLatLngs()) : [],
      trackColour: COLOURS[colourIndex],
      colourIndex: colourIndex,
      car: car ? { lat: car.getLatLng().lat, lng: car.getLatLng().lng, icon: carIcon,
                   label: carLabel.textContent } : null
    };
  }

  window.OrdavexMap = { start: start, state: state, map: function () { return map; },
                        route: function () { return route; } };
  window.DrawBackLine = DrawBackLine;
  window.ClearBackLine = ClearBackLine;
  window.HideBackLine = HideBackLine;
  window.ShowBackLine = ShowBackLine;
  window.DrawTrackLine = DrawTrackLine;
  window.ClearTrackLine = ClearTrackLine;
  window.MoveCar = MoveCar;
  window.ClearCarMarker = ClearCarMarker;
}());
