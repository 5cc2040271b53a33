# sf tables: shapes smooth at their centroids (or points on their
# surfaces), points as they are, empty geometries are missing rows, and
# longitude and latitude are refused.

# The Voronoi cells of the bundled example's points, clipped to their
# bounding box, one row per point in the table's order.
district_cells <- function(table, crs) {
  points <- sf::st_as_sf(table, coords = c("x", "y"), crs = crs)
  box <- sf::st_as_sfc(sf::st_bbox(points))
  cells <- sf::st_collection_extract(sf::st_voronoi(sf::st_union(points), box), "POLYGON")
  cells <- sf::st_intersection(cells, box)
  owner <- vapply(sf::st_intersects(points, cells), function(hits) hits[[1L]], integer(1))
  sf::st_sf(table[c("rate", "weight")], geometry = cells[owner])
}

example_table <- function() {
  table <- read.csv(system.file("extdata", "rates.csv", package = "tessel"))
  names(table) <- c("x", "y", "rate", "weight")
  table[!is.na(table$x) & !is.na(table$y), ]
}

test_that("polygons smooth at their centroids or at points on their surfaces", {
  skip_if_not_installed("sf")
  table <- example_table()
  districts <- district_cells(table, 32633)
  for (points in c("centroid", "surface")) {
    at <- if (points == "centroid") sf::st_centroid else sf::st_point_on_surface
    xy <- sf::st_coordinates(at(sf::st_geometry(districts)))
    want <- smooth_rates(xy[, "X"], xy[, "Y"], table$rate, table$weight, neighbors = 8)
    got <- smooth_rates(districts, "rate", "weight", neighbors = 8, points = points)
    expect_identical(got, want)
  }
  # The cells' centroids are not their points: the values differ somewhere.
  expect_false(identical(smooth_rates(districts, "rate", "weight"),
                         smooth_rates(table$x, table$y, table$rate, table$weight)))
})

test_that("empty geometries are missing rows; points, lines and shapes may mix", {
  skip_if_not_installed("sf")
  table <- example_table()[1:200, ]
  empty <- c(3L, 50L, 51L, 200L)
  # A line and a multipoint whose centroids are their rows' points (moved
  # to whole numbers, so that the centroids are exact).
  line <- 10L
  several <- 20L
  table[c(line, several), c("x", "y")] <- round(table[c(line, several), c("x", "y")])
  geometry <- lapply(seq_len(nrow(table)), function(i) sf::st_point(c(table$x[[i]], table$y[[i]])))
  for (i in empty) geometry[[i]] <- sf::st_polygon()
  geometry[[line]] <- sf::st_linestring(rbind(c(table$x[[line]] - 1, table$y[[line]]),
                                              c(table$x[[line]] + 1, table$y[[line]])))
  geometry[[several]] <- sf::st_multipoint(rbind(c(table$x[[several]], table$y[[several]] - 2),
                                                 c(table$x[[several]], table$y[[several]] + 2)))
  shapes <- sf::st_sf(table[c("rate", "weight")], geometry = sf::st_sfc(geometry, crs = 3857))
  got <- smooth_rates(shapes, "rate", "weight", iterations = 3)
  want <- rep(NA_real_, nrow(table))
  kept <- -empty
  want[kept] <- smooth_rates(table$x[kept], table$y[kept], table$rate[kept], table$weight[kept],
                             iterations = 3)
  expect_identical(got, want)
  # A table without a CRS is taken as planar; rate and weight may be vectors.
  sf::st_crs(shapes) <- NA
  expect_identical(smooth_rates(shapes, shapes$rate, "weight", iterations = 3), want)
  all_empty <- sf::st_sf(rate = 1:2, weight = 1:2, geometry = sf::st_sfc(sf::st_point(),
                                                                         sf::st_point()))
  expect_identical(smooth_rates(all_empty, "rate", "weight"), c(NA_real_, NA_real_))
})

test_that("longitude and latitude are refused, naming st_transform", {
  skip_if_not_installed("sf")
  places <- sf::st_sf(rate = c(1, 2, 3), weight = c(1, 1, 1),
                      geometry = sf::st_sfc(sf::st_point(c(10, 50)), sf::st_point(c(11, 50)),
                                            sf::st_point(c(12, 51)), crs = 4326))
  expect_error(smooth_rates(places, "rate", "weight"),
               "longitude and latitude.*sf::st_transform\\(\\) to a projected CRS")
  expect_identical(smooth_rates(sf::st_transform(places, 32632), "rate", "weight"),
                   c(1, 2, 3))
  expect_error(smooth_rates(places, "rate", "weight", points = "middle"), "should be one of")
  expect_error(smooth_rates(places, "rate", "weight", neighbours = 3), "unknown argument")
})
