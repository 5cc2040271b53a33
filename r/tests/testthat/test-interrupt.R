# An interrupt ends a long call with R's interrupt condition, releases the
# run's memory, and leaves the session able to smooth again. A child R
# session runs the calls; before each, inside the same tryCatch, it starts a
# shell that sends it SIGINT half a second later, while the call runs
# (through processx, since system() leaves SIGINT ignored). How soon the
# call ends is measured by the benchmark, not here: only a hang (the child's
# two minutes) fails by time.

test_that("an interrupt stops a long call, releases its memory, and smoothing goes on", {
  skip_on_cran()
  skip_if_not_installed("processx")
  skip_if_not(file.exists("/proc/self/status"))
  script <- tempfile(fileext = ".R")
  on.exit(unlink(script), add = TRUE)
  # Each round prints what the call gave and the address space in kB. The
  # killer is kept in a variable: a collected process object is ended at once.
  writeLines(c(
    sprintf("library(tessel, lib.loc = %s)", deparse(dirname(system.file(package = "tessel")))),
    "set.seed(1); n <- 200000; x <- runif(n); y <- runif(n); r <- runif(n); w <- runif(n)",
    "for (round in 1:3) {",
    "  got <- tryCatch({",
    "    killer <- processx::process$new('sh', c('-c', sprintf('sleep 0.5; kill -INT %d', Sys.getpid())))",
    "    smooth_rates(x, y, r, w, neighbors = 100, triples = 80, iterations = 100)",
    "  }, interrupt = function(e) 'interrupted')",
    "  cat(got[[1]], gsub('\\\\D', '', grep('^VmSize:', readLines('/proc/self/status'), value = TRUE)), '\\n')",
    "}",
    "cat(smooth_rates(0:4, rep(0, 5), c(1, 5, 2, 8, 3), rep(1, 5), neighbors = 2, iterations = 1), '\\n')"),
    script)
  child <- processx::run(file.path(R.home("bin"), "Rscript"), c("--vanilla", script),
                         timeout = 120, error_on_status = FALSE)
  expect_identical(child$status, 0L)
  lines <- strsplit(child$stdout, "\n")[[1]]
  expect_match(lines[[length(lines)]], "^5 2 5 3 8")
  # A run that kept its arrays would add well over 100 MB each time.
  sizes <- as.numeric(sub("^interrupted ", "", grep("^interrupted ", lines, value = TRUE)))
  expect_length(sizes, 3L)
  expect_lt(sizes[[3]] - sizes[[2]], 50 * 1024)
})
