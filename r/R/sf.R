# smooth_rates() for sf tables: each row's point is its geometry when that
# is a point, else its centroid (or a point on its surface); empty
# geometries, and points whose coordinates are not finite (what a
# projection makes of places it cannot map), are missing rows, with a
# warning. Longitude and latitude in degrees are refused, since the smoother
# measures plane distances and angles.

smooth_rates.sf <- function(x, rate, weight, neighbors = 10L, triples = 7L, iterations = 10L,
                            theta = 135, points = c("centroid", "surface"),
                            progress = interactive(), diagnostics = FALSE, ...) {
  no_other_arguments(...)
  points <- match.arg(points)
  if (!requireNamespace("sf", quietly = TRUE)) {
    stop("smooth_rates: the sf package is needed for sf tables", call. = FALSE)
  }
  geometry <- sf::st_geometry(x)
  if (isTRUE(sf::st_is_longlat(geometry))) {
    stop(paste0("smooth_rates: the table's coordinates are longitude and latitude in degrees ",
                "(a geographic CRS), in which distances and angles are not those of the plane; ",
                "project it first: sf::st_transform(x, suggest_crs(x))"), call. = FALSE)
  }
  options <- options_of(neighbors, triples, iterations, theta, progress, diagnostics)
  columns <- c(point_coordinates(geometry, points),
               list(rate = table_column(x, rate, "rate"),
                    weight = table_column(x, weight, "weight")))
  lost <- sum(!is.finite(columns$x) | !is.finite(columns$y))
  if (lost > 0L) {
    warning(sprintf(paste("%d rows have empty or infinite coordinates after projection;",
                          "they are returned as missing"), lost), call. = FALSE)
  }
  found <- smooth_columns(columns, options)
  if (!diagnostics) return(found$values)
  x$smoothed <- found$values
  for (name in names(found$diagnostics)) x[[name]] <- found$diagnostics[[name]]
  x
}

# x and y of every geometry's point; NA for empty geometries and for points
# with a coordinate that is not finite.
point_coordinates <- function(geometry, points) {
  n <- length(geometry)
  x <- rep(NA_real_, n)
  y <- rep(NA_real_, n)
  present <- !sf::st_is_empty(geometry)
  is_point <- present & as.character(sf::st_geometry_type(geometry, by_geometry = TRUE)) == "POINT"
  shapes <- present & !is_point
  if (any(shapes)) {
    to_point <- if (points == "centroid") sf::st_centroid else sf::st_point_on_surface
    geometry[shapes] <- to_point(geometry[shapes])
  }
  present <- !sf::st_is_empty(geometry)  # a degenerate shape may have no centroid
  if (any(present)) {
    xy <- sf::st_coordinates(geometry[present])
    x[present] <- xy[, "X"]
    y[present] <- xy[, "Y"]
  }
  lost <- !is.finite(x) | !is.finite(y)
  x[lost] <- NA_real_
  y[lost] <- NA_real_
  list(x = x, y = y)
}
