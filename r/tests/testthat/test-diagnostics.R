# The diagnostics on the bundled example are the core's, as the shared
# table example.csv holds them (written by the C++ core; every language's
# tests compare with it), through each of the three doors; and they agree
# with the values: a missing row is NA, a value that never changed is the
# rate, a held value did not change in the last iteration.

test_that("the diagnostics are the shared table's, bit for bit, through every door", {
  rates <- read.csv(system.file("extdata", "rates.csv", package = "tessel"))
  want <- read.csv(test_path("diagnostics-example.csv"),
                   colClasses = c("integer", "numeric", "integer", "integer", "numeric",
                                  "numeric", "integer", "integer"))
  want$held <- want$held == 1L
  expect_identical(nrow(want), nrow(rates))
  values <- smooth_rates(rates, "rate_per_1000", "population", coords = c("x_km", "y_km"))
  doors <- list(
    vectors = function() smooth_rates(rates$x_km, rates$y_km, rates$rate_per_1000,
                                      rates$population, diagnostics = TRUE),
    "data frame" = function() smooth_rates(rates, "rate_per_1000", "population",
                                           coords = c("x_km", "y_km"), diagnostics = TRUE),
    sf = function() {
      skip_if_not_installed("sf")
      points <- lapply(seq_len(nrow(rates)), function(i) {
        xy <- c(rates$x_km[[i]], rates$y_km[[i]])
        if (anyNA(xy)) sf::st_point() else sf::st_point(xy)
      })
      table <- sf::st_sf(rates, geometry = sf::st_sfc(points, crs = 3857))
      got <- captured(smooth_rates(table, "rate_per_1000", "population", diagnostics = TRUE))
      expect_identical(got$warnings, lost_rows_warning(sum(sf::st_is_empty(table))))
      expect_s3_class(got$value, "sf")
      expect_identical(names(got$value), c(names(rates), "geometry", "smoothed", names(want)))
      sf::st_drop_geometry(got$value)[c("smoothed", names(want))]
    })
  for (door in names(doors)) {
    got <- doors[[door]]()
    expect_identical(list(names(got), got$smoothed), list(c("smoothed", names(want)), values),
                     label = door)
    # Bit for bit: expect_identical() would take NaN for NA.
    expect_true(identical(as.list(got[names(want)]), as.list(want), num.eq = FALSE), label = door)
  }
  missing <- !stats::complete.cases(rates)
  expect_true(identical(values[missing], rep(NA_real_, sum(missing))), label = "missing rows NA")
  expect_identical(values[want$last_change == 0 & !missing],
                   rates$rate_per_1000[want$last_change == 0 & !missing])
  expect_true(all(want$last_change[want$held] < 10))
})
