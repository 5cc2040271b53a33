# suggest_crs(): a projected CRS in which a table's places keep finite
# coordinates, chosen from where they lie on the earth: the UTM zone when
# every place lies in one zone, else a Lambert azimuthal equal-area
# projection centred on them when they fit in the hemisphere around that
# centre, else the Equal Earth projection of the whole world.

suggest_crs <- function(x) {
  if (!requireNamespace("sf", quietly = TRUE)) {
    stop("suggest_crs: the sf package is needed", call. = FALSE)
  }
  if (!inherits(x, c("sf", "sfc"))) {
    stop(sprintf("suggest_crs: x must be an sf table or an sfc geometry column, not %s",
                 class(x)[[1L]]), call. = FALSE)
  }
  geometry <- sf::st_geometry(x)
  if (is.na(sf::st_crs(geometry))) {
    stop("suggest_crs: x has no CRS, so where its places lie on the earth is unknown",
         call. = FALSE)
  }
  geometry <- geometry[!sf::st_is_empty(geometry)]
  degrees <- sf::st_coordinates(sf::st_transform(geometry, 4326))
  finite <- is.finite(degrees[, "X"]) & is.finite(degrees[, "Y"])
  if (!any(finite)) stop("suggest_crs: x has no place with finite coordinates", call. = FALSE)
  lon <- (degrees[finite, "X"] + 180) %% 360 - 180
  lat <- degrees[finite, "Y"]

  arc <- longitude_arc(lon)
  zone <- floor((arc$middle + 180) / 6) %% 60 + 1
  west <- zone * 6 - 186
  candidates <- list()
  if (all((lon - west) %% 360 <= 6) && all(lat >= -80 & lat <= 84)) {
    candidates <- list(sf::st_crs((if (mean(lat) >= 0) 32600 else 32700) + zone))
  } else {
    centre <- c(arc$middle, (min(lat) + max(lat)) / 2)
    if (all(angle_from(centre, lon, lat) <= 90)) {
      candidates <- list(sf::st_crs(sprintf(
        "+proj=laea +lat_0=%s +lon_0=%s +x_0=0 +y_0=0 +datum=WGS84 +units=m +no_defs",
        format(round(centre[[2]], 2)), format(round(centre[[1]], 2)))))
    }
  }
  # The first under which every place stays finite; Equal Earth maps the
  # whole world.
  for (crs in c(candidates, list(sf::st_crs(8857)))) {
    projected <- sf::st_transform(geometry, crs)
    xy <- sf::st_coordinates(projected)
    if (!any(sf::st_is_empty(projected)) && all(is.finite(xy[, c("X", "Y")]))) break
  }
  crs
}

# The shortest arc of the circle of longitudes that holds every longitude
# (which may cross the 180th meridian): its middle, in [-180, 180).
longitude_arc <- function(lon) {
  sorted <- sort(unique(lon))
  gaps <- diff(c(sorted, sorted[[1L]] + 360))
  widest <- which.max(gaps)
  start <- sorted[[widest %% length(sorted) + 1L]]
  width <- 360 - gaps[[widest]]
  list(middle = (start + width / 2 + 180) %% 360 - 180, width = width)
}

# Degrees of arc from the centre (longitude, latitude) to each place.
angle_from <- function(centre, lon, lat) {
  radians <- pi / 180
  cosine <- sin(centre[[2]] * radians) * sin(lat * radians) +
    cos(centre[[2]] * radians) * cos(lat * radians) * cos((lon - centre[[1]]) * radians)
  acos(pmin(1, pmax(-1, cosine))) / radians
}
