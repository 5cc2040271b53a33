# The package's values against the program's result tables (program/*.txt,
# written by the program itself; r/expected.sh keeps them up to date), every
# value as the program prints it. The cases take turns at the three doors:
# numeric vectors, a data frame, an sf table of points.

read_input <- function(input) {
  file <- if (input == "rates") system.file("extdata", "rates.csv", package = "tessel") else
    test_path("program", input)
  stats::setNames(read.csv(file), c("x", "y", "rate", "weight"))
}

test_that("the values are the program's, as it prints them", {
  cases <- grep("^(#|\\s*$)", readLines(test_path("program", "cases.txt")), invert = TRUE,
                value = TRUE)
  expect_gte(length(cases), 8L)
  option_names <- c(`-n` = "neighbors", `-t` = "triples", `-i` = "iterations", `-a` = "theta")
  for (k in seq_along(cases)) {
    words <- strsplit(cases[[k]], "\\s+")[[1]]
    flags <- matrix(words[-(1:2)], nrow = 2L)  # a letter above its value
    options <- stats::setNames(as.list(as.numeric(flags[2L, ])), option_names[flags[1L, ]])
    table <- read_input(words[[2]])
    door <- c("vectors", "data frame", "sf")[[(k - 1L) %% 3L + 1L]]
    if (door == "sf" && !requireNamespace("sf", quietly = TRUE)) door <- "vectors"
    if (door == "sf") {
      # A missing coordinate cannot make a point: that row's geometry is
      # empty, which is a missing row as well, with a warning.
      points <- lapply(seq_len(nrow(table)), function(i) {
        xy <- c(table$x[[i]], table$y[[i]])
        if (anyNA(xy)) sf::st_point() else sf::st_point(xy)
      })
      table <- sf::st_sf(table[c("rate", "weight")], geometry = sf::st_sfc(points), crs = 3857)
    }
    arguments <- if (door == "vectors") unname(as.list(table)) else list(table, "rate", "weight")
    got <- captured(do.call(smooth_rates, c(arguments, options)))
    lost <- if (door == "sf") sum(sf::st_is_empty(table)) else 0L
    expect_identical(got$warnings, lost_rows_warning(lost), label = paste(words[[1]], "warnings"))
    want <- readLines(test_path("program", paste0(words[[1]], ".txt")))
    expect_identical(c("Smoothed Rate", ifelse(is.na(got$value), "NA", sprintf("%f", got$value))),
                     want, label = paste(words[[1]], "through", door))
  }
})

test_that("NaN marks a missing row as NA does; no rows give no values", {
  table <- with_nan <- read_input("rates")
  gone <- !stats::complete.cases(table)
  with_nan[gone, c("rate", "x")] <- list(NaN, 1e300)
  expect_identical(smooth_rates(with_nan, "rate", "weight"), smooth_rates(table, "rate", "weight"))
  expect_identical(smooth_rates(numeric(0), numeric(0), numeric(0), numeric(0)), numeric(0))
})
