"""tessel.suggest_crs: a projected CRS under which a GeoDataFrame's rows
keep finite coordinates and the distances between neighbours stay true.

The choice follows the data's extent in longitude and latitude, the
smallest arc of longitudes that holds every row (so data across the 180th
meridian are one block, not the whole world):
- the UTM zone, when the data fit in its 6 degrees of longitude (and
  between 80 S and 84 N);
- else a Lambert azimuthal equal-area projection centred on the data, when
  every row lies within 90 degrees of arc of that centre;
- else Equal Earth, an equal-area projection of the whole world, in the one
  of its EPSG forms (centred on Greenwich, the Americas or the Asia-Pacific)
  whose edge runs deepest through the widest gap in the data's longitudes.
Whatever the choice, every row's corners are projected to check them: a
non-finite one falls back to Equal Earth, finite everywhere.
"""
from __future__ import annotations

import sys
from typing import Any

import numpy as np

# Equal Earth's EPSG forms by their central meridian.
EQUAL_EARTH = {0.0: "EPSG:8857", -90.0: "EPSG:8858", 150.0: "EPSG:8859"}


def _geometry_of(frame: Any) -> Any:
    geopandas = sys.modules.get("geopandas")
    if geopandas is not None:
        if isinstance(frame, geopandas.GeoSeries):
            return frame
        if isinstance(frame, geopandas.GeoDataFrame):
            try:
                return frame.geometry
            except AttributeError:
                raise ValueError("the frame has no active geometry") from None
    raise TypeError(f"frame must be a GeoDataFrame or a GeoSeries, not {type(frame).__name__}")


def _corners(geometry: Any) -> tuple[np.ndarray, np.ndarray]:
    """Longitudes and latitudes of the corners of every row's bounding box
    (in the frame's CRS), the rows without a finite box left out."""
    from pyproj import Transformer

    if geometry.crs is None:
        raise ValueError("the frame has no CRS, so where its rows lie on the Earth is unknown; "
                         "set the CRS its coordinates are in first (frame.set_crs(...))")
    box = geometry.bounds.to_numpy(dtype=np.float64)
    box = box[np.isfinite(box).all(axis=1)]
    x = np.concatenate([box[:, 0], box[:, 2], box[:, 0], box[:, 2]])
    y = np.concatenate([box[:, 1], box[:, 1], box[:, 3], box[:, 3]])
    lon, lat = Transformer.from_crs(geometry.crs, "EPSG:4326", always_xy=True).transform(x, y)
    kept = np.isfinite(lon) & np.isfinite(lat)
    if not kept.any():
        raise ValueError("no row of the frame has a finite, non-empty geometry")
    return np.asarray(lon)[kept], np.asarray(lat)[kept]


def _arc(lon: np.ndarray) -> tuple[float, float]:
    """The smallest arc of longitudes holding them all, as (west, east):
    east - west is its width (east passes 180 when the arc crosses it)."""
    lon = np.unique(np.mod(lon + 180.0, 360.0) - 180.0)
    gaps = np.diff(np.append(lon, lon[0] + 360.0))
    after = int(np.argmax(gaps))  # the widest gap runs from lon[after] east
    west = lon[(after + 1) % len(lon)]
    east = lon[after] + (360.0 if after + 1 < len(lon) else 0.0)
    return float(west), float(east)


def _arc_degrees(lon0: float, lat0: float, lon: np.ndarray, lat: np.ndarray) -> np.ndarray:
    """Angle at the Earth's centre between (lon0, lat0) and each point."""
    p0, p, dl = np.radians(lat0), np.radians(lat), np.radians(lon - lon0)
    cos = np.sin(p0) * np.sin(p) + np.cos(p0) * np.cos(p) * np.cos(dl)
    return np.degrees(np.arccos(np.clip(cos, -1.0, 1.0)))


def _equal_earth(west: float, east: float) -> str:
    """The Equal Earth form whose edge (its central meridian + 180) lies
    deepest in the gap east of the data."""
    middle = east + (360.0 - (east - west)) / 2.0  # the gap's middle

    def off(centre: float) -> float:
        return abs((centre + 180.0 - middle + 180.0) % 360.0 - 180.0)

    return EQUAL_EARTH[min(EQUAL_EARTH, key=off)]


def _laea(lat0: float, lon0: float) -> Any:
    from pyproj import CRS

    lat0, lon0 = round(lat0, 2), round(lon0, 2)
    crs = CRS(f"+proj=laea +lat_0={lat0:g} +lon_0={lon0:g} +datum=WGS84 +units=m +no_defs")
    definition = crs.to_json_dict()
    definition["name"] = (f"WGS 84 / Lambert azimuthal equal-area centred at "
                          f"{abs(lat0):g} {'N' if lat0 >= 0 else 'S'} "
                          f"{abs(lon0):g} {'E' if lon0 >= 0 else 'W'}")
    return CRS.from_json_dict(definition)


def _finite_under(crs: Any, lon: np.ndarray, lat: np.ndarray) -> bool:
    from pyproj import Transformer

    x, y = Transformer.from_crs("EPSG:4326", crs, always_xy=True).transform(lon, lat)
    return bool(np.isfinite(x).all() and np.isfinite(y).all())


def suggest_crs(frame: Any) -> Any:
    """A projected CRS (a pyproj CRS) for smoothing a GeoDataFrame's rows:
    frame.to_crs(tessel.suggest_crs(frame)) gives every row finite
    coordinates in metres.

    frame: a GeoDataFrame (its active geometry) or a GeoSeries, in any CRS
        (a geographic one such as EPSG:4326 included); it must have a CRS.

    The CRS follows the rows' extent in longitude and latitude: their UTM
    zone when they fit in its 6 degrees of longitude; else a Lambert
    azimuthal equal-area projection centred on them when they lie within a
    quarter circle (90 degrees of arc) of their centre; else Equal Earth,
    equal-area over the whole world (EPSG:8857, or EPSG:8858 or 8859, the
    ones centred on the Americas and the Asia-Pacific, when that keeps the
    data clear of the map's edge). Data across the 180th meridian count as
    one block. Raises TypeError for anything but a GeoDataFrame or
    GeoSeries, ValueError for a frame without a CRS or without a finite
    geometry.
    """
    from pyproj import CRS

    lon, lat = _corners(_geometry_of(frame))
    west, east = _arc(lon)
    south, north = float(lat.min()), float(lat.max())
    centre_lon = (west + east) / 2.0
    centre_lon = (centre_lon + 180.0) % 360.0 - 180.0
    centre_lat = (south + north) / 2.0
    zone = int((west + 180.0) // 6.0) + 1  # the UTM zone of the data's west edge
    if east <= -180.0 + 6.0 * zone and south >= -80.0 and north <= 84.0:
        crs = CRS.from_epsg((32600 if centre_lat >= 0 else 32700) + zone)
    elif _arc_degrees(centre_lon, centre_lat, lon, lat).max() <= 90.0:
        crs = _laea(centre_lat, centre_lon)
    else:
        crs = CRS(_equal_earth(west, east))
    if not _finite_under(crs, lon, lat):
        crs = CRS(_equal_earth(west, east))
    return crs
