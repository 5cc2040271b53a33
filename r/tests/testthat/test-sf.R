# sf tables: points smooth as they are, other shapes at their centroids (or
# points on their surfaces), empty geometries are missing rows, and
# longitude and latitude are refused.

test_that("shapes smooth at their centroids or points on their surfaces; empty ones are missing", {
  skip_if_not_installed("sf")
  table <- read.csv(system.file("extdata", "rates.csv", package = "tessel"))[1:300, ]
  names(table) <- c("x", "y", "rate", "weight")
  # Points, triangles and lines in turn; a row without a point, and every
  # 50th, an empty polygon. A triangle's centroid is not its surface point.
  shape <- function(x, y, i) {
    if (anyNA(c(x, y)) || i %% 50L == 0L) return(sf::st_polygon())
    switch(i %% 3L + 1L, sf::st_point(c(x, y)),
           sf::st_polygon(list(rbind(c(x, y), c(x + 2, y), c(x, y + 3), c(x, y)))),
           sf::st_linestring(rbind(c(x, y), c(x + 1, y + 2), c(x + 3, y + 2))))
  }
  geometry <- sf::st_sfc(Map(shape, table$x, table$y, seq_len(nrow(table))), crs = 3857)
  shapes <- sf::st_sf(table[c("rate", "weight")], geometry = geometry)
  for (points in c("centroid", "surface")) {
    at <- if (points == "centroid") sf::st_centroid else sf::st_point_on_surface
    xy <- vapply(geometry, function(g) if (sf::st_is_empty(g)) c(NA, NA) else unclass(at(g))[1:2],
                 numeric(2))
    want <- smooth_rates(xy[1, ], xy[2, ], table$rate, table$weight, neighbors = 8)
    expect_identical(smooth_rates(shapes, "rate", "weight", neighbors = 8, points = points), want)
  }
  # A table without a CRS is taken as planar; one of empty rows alone is all NA.
  expect_identical(smooth_rates(sf::st_set_crs(shapes, NA), "rate", "weight", neighbors = 8,
                                points = "surface"), want)
  expect_identical(smooth_rates(shapes[c(50, 100), ], "rate", "weight"), c(NA_real_, NA_real_))
})

test_that("longitude and latitude are refused, naming st_transform", {
  skip_if_not_installed("sf")
  places <- sf::st_sf(rate = c(1, 2, 3), weight = c(1, 1, 1),
                      geometry = sf::st_sfc(sf::st_point(c(10, 50)), sf::st_point(c(11, 50)),
                                            sf::st_point(c(12, 51)), crs = 4326))
  expect_error(smooth_rates(places, "rate", "weight"),
               "longitude and latitude.*sf::st_transform\\(\\) to a projected CRS")
  expect_error(smooth_rates(places, "rate", "weight", points = "middle"), "should be one of")
})
