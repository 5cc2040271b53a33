# Every kind of refusal, each with the message that names what is wrong, and
# the forms of input that are accepted as they are.

test_that("bad arguments stop with a message that names the fault", {
  ok <- c(0, 1, 2)
  table <- data.frame(x = ok, y = ok, r = ok, w = ok, label = c("a", "b", "c"))
  refusals <- c(
    "smooth_rates(ok, ok, ok, c(1, 2))" = "x, y, rate and weight differ in length: 3, 3, 3, 2",
    "smooth_rates(ok, ok, ok)" = "argument 'weight' is missing",
    "smooth_rates(ok, as.character(ok), ok, ok)" = "y must be a numeric vector, not character",
    "smooth_rates(ok, ok, ok, cbind(ok, ok))" = "weight must be a numeric vector, not matrix",
    "smooth_rates(ok, ok, ok, c(1, -Inf, NaN))" = "weight holds an infinite value in row 2",
    "smooth_rates(c(NA, Inf, 0), ok, ok, ok)" = "x holds an infinite value in row 2",
    "smooth_rates(ok, ok, ok, ok, neighbors = 101)" = "neighbors must be a whole number from 0 to 100, not 101",
    "smooth_rates(ok, ok, ok, ok, iterations = 2.5)" = "iterations must be a whole number from 0 to 100, not 2.5",
    "smooth_rates(ok, ok, ok, ok, theta = Inf)" = "theta must be one finite number of degrees, not Inf",
    "smooth_rates(ok, ok, ok, ok, neighbours = 5)" = "unknown argument: neighbours",
    "smooth_rates(table, \"r\", \"pop\")" = "weight names no column of the table: \"pop\"",
    "smooth_rates(table, \"label\", \"w\")" = "rate must be a numeric vector, not character")
  for (call in names(refusals)) {
    expect_error(eval(str2lang(call)), paste0("^smooth_rates: ", refusals[[call]]), label = call)
  }
})

test_that("integers, vectors beside a data frame and all-NA logicals are accepted", {
  x <- c(0, 1, 2, 3, 4, 0.5, 1.5)
  y <- c(0, 0, 0, 0, 0, 1, 1)
  rate <- c(1, 5, 2, 8, 3, 4, 6)
  weight <- c(1L, 1L, 2L, 1L, 1L, 3L, 1L)
  want <- smooth_rates(x, y, rate, as.double(weight), neighbors = 3, iterations = 2)
  expect_identical(smooth_rates(x, y, rate, weight, neighbors = 3L, iterations = 2.0), want)
  expect_identical(smooth_rates(data.frame(x, y, r = rate), "r", weight, neighbors = 3,
                                iterations = 2), want)
  # What read.csv makes of a column of nothing but NA: a column of missing values.
  expect_identical(smooth_rates(x, y, rate, rep(NA, 7)), rep(NA_real_, 7))
})
