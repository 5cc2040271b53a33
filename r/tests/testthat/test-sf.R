# sf tables: points smooth as they are, other shapes at their centroids
# unless asked otherwise, rows without a usable point are missing with one
# warning, longitude and latitude in any geographic CRS are refused, and
# suggest_crs() gives a projection under which every place is finite.

test_that("shapes smooth at their centroids by default or points on their surfaces", {
  skip_if_not_installed("sf")
  table <- setNames(read.csv(system.file("extdata", "rates.csv", package = "tessel"))[1:300, ],
                    c("x", "y", "rate", "weight"))
  # Points, C-shaped polygons (whose centroid lies in the C's opening, far
  # from its surface point) and lines in turn, each turned its own way; a row
  # without a point, and every 50th, an empty polygon.
  c_shape <- rbind(c(0, 0), c(3, 0), c(3, 1), c(1, 1), c(1, 2), c(3, 2), c(3, 3), c(0, 3), c(0, 0))
  shape <- function(x, y, i) {
    if (anyNA(c(x, y)) || i %% 50L == 0L) return(sf::st_polygon())
    at <- function(xy) sweep(xy %*% rbind(c(cos(0.7 * i), sin(0.7 * i)), c(-sin(0.7 * i), cos(0.7 * i))),
                             2, c(x, y), "+")
    switch(i %% 3L + 1L, sf::st_point(c(x, y)), sf::st_polygon(list(at(c_shape))),
           sf::st_linestring(at(rbind(c(0, 0), c(1, 2), c(3, 2)))))
  }
  geometry <- sf::st_sfc(Map(shape, table$x, table$y, seq_len(nrow(table))), crs = 3857)
  shapes <- sf::st_sf(table[c("rate", "weight")], geometry = geometry)
  empty <- sum(sf::st_is_empty(geometry))
  for (points in list(NULL, "centroid", "surface")) {
    at <- if (identical(points, "surface")) sf::st_point_on_surface else sf::st_centroid
    xy <- vapply(geometry, function(g) if (sf::st_is_empty(g)) c(NA, NA) else unclass(at(g))[1:2],
                 numeric(2))
    want <- smooth_rates(xy[1, ], xy[2, ], table$rate, table$weight, neighbors = 8)
    got <- captured(smooth_rates(shapes, "rate", "weight", neighbors = 8, points = points))
    expect_identical(got, list(value = want, warnings = lost_rows_warning(empty),
                               messages = character()), label = deparse(points))
  }
  # A table without a CRS is taken as planar; one of empty rows alone is all NA.
  expect_identical(captured(smooth_rates(sf::st_set_crs(shapes, NA), "rate", "weight",
                                         neighbors = 8, points = "surface"))$value, want)
  expect_identical(captured(smooth_rates(shapes[c(50, 100), ], "rate", "weight"))$value,
                   c(NA_real_, NA_real_))
  expect_error(smooth_rates(shapes, "rate", "weight", points = "middle"), "should be one of")
})

test_that("longitude and latitude are refused in any geographic CRS, naming suggest_crs", {
  skip_if_not_installed("sf")
  towns <- sf::st_sf(rate = c(1, 2, 3), weight = 1,
                     geometry = sf::st_sfc(lapply(10:12, function(x) sf::st_point(c(x, 50)))))
  for (crs in c(4326, 4269, 4258)) {
    expect_error(smooth_rates(sf::st_set_crs(towns, crs), "rate", "weight"),
                 "longitude and latitude.*project it first: sf::st_transform\\(x, suggest_crs\\(x\\)\\)$",
                 label = crs)
  }
})

test_that("suggest_crs keeps every place finite: one UTM zone, else centred equal-area, else the world", {
  skip_if_not_installed("sf")
  places <- function(lon, lat, crs = 4326) {
    sf::st_sf(rate = seq_along(lon) %% 7, weight = 1 + seq_along(lon) %% 3,
              geometry = sf::st_sfc(Map(function(a, b) sf::st_point(c(a, b)), lon, lat), crs = crs))
  }
  set.seed(11)
  world <- places(runif(400, -180, 180), runif(400, -80, 80))
  choices <- list(
    list(places(c(10, 11, 12), c(50, 50.5, 51)), "^EPSG:32632$"),
    list(places(c(-70, -71, -69.5), c(-33, -34, -35), crs = 4269), "^EPSG:32719$"),
    list(places(c(-9.1, 37.6, 13.4), c(38.7, 55.8, 52.5)), "^\\+proj=laea \\+lat_0=47\\.25 \\+lon_0=14\\.25 "),
    list(places(c(178, -179, 179.5), c(-17, -16, -18)), "^\\+proj=laea \\+lat_0=-17 \\+lon_0=179\\.5 "),
    list(sf::st_transform(places(c(-9.1, 37.6, 13.4), c(38.7, 55.8, 52.5)), 3035), "^\\+proj=laea \\+lat_0=47\\.25 "),
    list(world, "^EPSG:8857$"))
  for (choice in choices) {
    crs <- suggest_crs(choice[[1]])
    expect_match(crs$input, choice[[2]])
    projected <- sf::st_transform(choice[[1]], crs)
    expect_true(all(is.finite(sf::st_coordinates(projected))), label = crs$input)
  }

  # One UTM zone for the whole world loses places, with one warning that
  # counts them; the suggested CRS loses none.
  utm <- sf::st_transform(world, 32633)
  lost <- sum(!apply(is.finite(sf::st_coordinates(utm)), 1, all) | sf::st_is_empty(utm))
  expect_gt(lost, 0)
  got <- captured(smooth_rates(utm, "rate", "weight"))
  expect_identical(list(got$warnings, sum(is.na(got$value))), list(lost_rows_warning(lost), lost))
  got <- captured(smooth_rates(sf::st_transform(world, suggest_crs(world)), "rate", "weight"))
  expect_identical(list(got$warnings, anyNA(got$value)), list(character(), FALSE))
  expect_error(suggest_crs(sf::st_set_crs(world, NA)), "^suggest_crs: x has no CRS")
})
