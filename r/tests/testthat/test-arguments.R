# Every refusal, each with the message that names what is wrong, and the
# forms of input that are accepted as they are.

test_that("bad arguments stop with a message that names the fault", {
  ok <- c(0, 1, 2)
  table <- data.frame(x = ok, y = ok, r = ok, w = ok, label = c("a", "b", "c"))
  refusals <- list(
    list(quote(smooth_rates(ok, ok, ok, c(1, 2))), "x, y, rate and weight differ in length: 3, 3, 3, 2"),
    list(quote(smooth_rates(ok, ok, ok)), "argument 'weight' is missing"),
    list(quote(smooth_rates(ok, as.character(ok), ok, ok)), "y must be a numeric vector, not character"),
    list(quote(smooth_rates(ok, ok, factor(ok), ok)), "rate must be a numeric vector, not factor"),
    list(quote(smooth_rates(ok, ok, ok, list(1, 2, 3))), "weight must be a numeric vector, not list"),
    list(quote(smooth_rates(ok, ok, ok, cbind(ok, ok))), "weight must be a numeric vector, not matrix"),
    list(quote(smooth_rates(ok, ok, ok, c(1, -Inf, NaN))), "weight holds an infinite value in row 2"),
    list(quote(smooth_rates(c(NA, Inf, 0), ok, ok, ok)), "x holds an infinite value in row 2"),
    list(quote(smooth_rates(ok, ok, ok, ok, neighbors = 101)), "neighbors must be a whole number from 0 to 100, not 101"),
    list(quote(smooth_rates(ok, ok, ok, ok, triples = 81)), "triples must be a whole number from 0 to 80, not 81"),
    list(quote(smooth_rates(ok, ok, ok, ok, triples = 2.5)), "triples must be a whole number from 0 to 80, not 2.5"),
    list(quote(smooth_rates(ok, ok, ok, ok, iterations = -1)), "iterations must be a whole number from 0 to 100, not -1"),
    list(quote(smooth_rates(ok, ok, ok, ok, neighbors = "5")), "neighbors must be a whole number from 0 to 100, not \"5\""),
    list(quote(smooth_rates(ok, ok, ok, ok, theta = Inf)), "theta must be one finite number of degrees, not Inf"),
    list(quote(smooth_rates(ok, ok, ok, ok, neighbours = 5)), "unknown argument: neighbours"),
    list(quote(smooth_rates(ok, ok, ok, ok, 10, 7, 10, 135, 1)), "unknown argument: \\(unnamed\\)"),
    list(quote(smooth_rates(table, "r")), "argument 'weight' is missing"),
    list(quote(smooth_rates(table, "r", "pop")), "weight names no column of the table: \"pop\""),
    list(quote(smooth_rates(table, "label", "w")), "rate must be a numeric vector, not character"),
    list(quote(smooth_rates(table, "r", "w", coords = c("x", "z"))), "coords\\[2\\] names no column of the table: \"z\""),
    list(quote(smooth_rates(table, "r", c(1, 2))), "x, y, rate and weight differ in length: 3, 3, 3, 2")
  )
  for (refusal in refusals) {
    expect_error(eval(refusal[[1]]), paste0("^smooth_rates: ", refusal[[2]]),
                 label = deparse(refusal[[1]]))
  }
})

test_that("numeric forms of every kind give the same values", {
  x <- c(0, 1, 2, 3, 4, 0.5, 1.5)
  y <- c(0, 0, 0, 0, 0, 1, 1)
  rate <- c(1, 5, 2, 8, 3, 4, 6)
  weight <- c(1L, 1L, 2L, 1L, 1L, 3L, 1L)
  want <- smooth_rates(x, y, rate, as.double(weight), neighbors = 3, iterations = 2)
  expect_identical(smooth_rates(x, y, rate, weight, neighbors = 3L, iterations = 2.0), want)
  # A column that read.csv took for logical because all of it is NA is a
  # column of missing values.
  expect_identical(smooth_rates(x, y, rate, rep(NA, 7)), rep(NA_real_, 7))
  expect_identical(smooth_rates(data.frame(x = x, y = y, r = rate, w = weight), "r", weight,
                                neighbors = 3, iterations = 2), want)
  expect_identical(smooth_rates(x, y, rate, weight, neighbors = 0, triples = 0, iterations = 100),
                   rate)
})
