# The package's values against the program's result tables (program/*.txt,
# written by the program itself; r/expected.sh keeps them up to date), every
# value as the program prints it. Each case goes in through a different door:
# numeric vectors, a data frame, an sf table of points.

read_cases <- function() {
  lines <- readLines(test_path("program", "cases.txt"))
  lines <- lines[!grepl("^(#|\\s*$)", lines)]
  lapply(strsplit(lines, "\\s+"), function(words) {
    flags <- matrix(words[-(1:2)], nrow = 2L)  # a letter above its value
    options <- as.list(as.numeric(flags[2L, ]))
    names(options) <- c(`-n` = "neighbors", `-t` = "triples", `-i` = "iterations",
                        `-a` = "theta")[flags[1L, ]]
    list(name = words[[1]], input = words[[2]], options = options)
  })
}

read_input <- function(input) {
  file <- if (input == "rates") {
    system.file("extdata", "rates.csv", package = "tessel")
  } else {
    test_path("program", input)
  }
  table <- read.csv(file)
  names(table) <- c("x", "y", "rate", "weight")
  table
}

as_printed <- function(values) c("Smoothed Rate", ifelse(is.na(values), "NA", sprintf("%f", values)))

test_that("the values are the program's, as it prints them", {
  cases <- read_cases()
  expect_gte(length(cases), 8L)
  for (k in seq_along(cases)) {
    case <- cases[[k]]
    table <- read_input(case$input)
    want <- readLines(test_path("program", paste0(case$name, ".txt")))
    expect_length(want, nrow(table) + 1L)
    door <- c("vectors", "data frame", "sf")[[(k - 1L) %% 3L + 1L]]
    if (door == "sf" && !requireNamespace("sf", quietly = TRUE)) door <- "vectors"
    values <- switch(door,
      vectors = do.call(smooth_rates, c(unname(as.list(table)), case$options)),
      `data frame` = do.call(smooth_rates, c(list(table, "rate", "weight"), case$options)),
      sf = {
        # A missing coordinate cannot make a point: that row's geometry is
        # empty, which is a missing row as well.
        points <- lapply(seq_len(nrow(table)), function(i) {
          xy <- c(table$x[[i]], table$y[[i]])
          if (anyNA(xy)) sf::st_point() else sf::st_point(xy)
        })
        shapes <- sf::st_sf(table[c("rate", "weight")], geometry = sf::st_sfc(points),
                            crs = 3857)
        do.call(smooth_rates, c(list(shapes, "rate", "weight"), case$options))
      })
    expect_type(values, "double")
    expect_identical(as_printed(values), want, label = paste(case$name, "through", door))
  }
})

test_that("missing rows come back NA in place and take no part", {
  table <- read_input("rates")
  whole <- smooth_rates(table$x, table$y, table$rate, table$weight)
  complete <- stats::complete.cases(table)
  expect_identical(is.na(whole), !complete)
  # NaN marks a missing value as NA does; the rest are the values of the
  # complete rows alone.
  with_nan <- table
  with_nan$rate[!complete] <- NaN
  with_nan$x[!complete] <- 1e300
  expect_identical(smooth_rates(with_nan, "rate", "weight"), whole)
  kept <- table[complete, ]
  expect_identical(whole[complete], smooth_rates(kept$x, kept$y, kept$rate, kept$weight))
  expect_identical(smooth_rates(NA_real_, 1, 1, 1), NA_real_)
  expect_identical(smooth_rates(numeric(0), numeric(0), numeric(0), numeric(0)), numeric(0))
})
