# An interrupt ends a long call with R's interrupt condition, releases the
# run's memory, and leaves the session able to smooth again. A child R
# session runs the calls; this test sends it SIGINT and stops it in the end.

test_that("an interrupt stops a long call, releases its memory, and smoothing goes on", {
  skip_on_os("windows")
  skip_on_cran()
  skip_if_not_installed("processx")
  skip_if_not(file.exists("/proc/self/status"))
  library_dir <- dirname(system.file(package = "tessel"))
  script <- tempfile(fileext = ".R")
  on.exit(unlink(script), add = TRUE)
  writeLines(c(
    sprintf("library(tessel, lib.loc = %s)", deparse(library_dir)),
    "size <- function() sub('[^0-9]*([0-9]+).*', '\\\\1',",
    "  grep('^VmSize:', readLines('/proc/self/status'), value = TRUE))",
    "set.seed(1); n <- 200000",
    "x <- runif(n); y <- runif(n); r <- runif(n); w <- runif(n)",
    "for (round in 1:4) {",
    "  cat('ready\\n')",
    "  got <- tryCatch(smooth_rates(x, y, r, w, neighbors = 100, triples = 80, iterations = 100),",
    "                  interrupt = function(e) 'interrupted')",
    "  cat(got[[1]], size(), '\\n')",
    "}",
    "cat(smooth_rates(0:4, rep(0, 5), c(1, 5, 2, 8, 3), rep(1, 5), neighbors = 2,",
    "                 iterations = 1), '\\n')"), script)
  child <- processx::process$new(file.path(R.home("bin"), "Rscript"), c("--vanilla", script),
                                 stdout = "|", stderr = "|")
  on.exit(child$kill(), add = TRUE)
  lines <- character()
  # Reads the child's lines until count of them match pattern; 60 s at most.
  await <- function(pattern, count = 1L) {
    deadline <- Sys.time() + 60
    while (sum(grepl(pattern, lines)) < count && Sys.time() < deadline && child$is_alive()) {
      child$poll_io(200)
      lines <<- c(lines, child$read_output_lines())
    }
    lines <<- c(lines, child$read_output_lines())
    expect_gte(sum(grepl(pattern, lines)), count)
  }
  for (round in 1:4) {
    await("^ready$", round)
    Sys.sleep(0.5)
    child$interrupt()
    await("^interrupted ", round)
  }
  await("^5 2 5 3 8")
  expect_true(child$wait(10000)$get_exit_status() == 0L)
  sizes <- as.numeric(sub("^interrupted ", "", grep("^interrupted ", lines, value = TRUE)))
  # The process's address space after each interrupted run: a run that kept
  # its arrays would add well over 100 MB each time.
  expect_length(sizes, 4L)
  expect_lt(sizes[[4]] - sizes[[2]], 50 * 1024)
})
