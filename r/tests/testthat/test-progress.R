# The progress bar: one bar over the whole call, drawn from the core's
# progress hook, its share only growing from 0 to 100 % through the phases
# in their order; nothing drawn with progress = FALSE; and an error raised
# while the bar draws stops the call as R's own error, after which R
# smooths again.

phase_order <- c("loading", "k-d tree", "renumbering", "search", "triples", "search and triples",
                 "iterations", "caller's order", "done")

# The frames that the bar drew, one per redraw: phase, percent; blank for
# a cleared line.
bar_frames <- function(messages) {
  text <- paste(messages, collapse = "")
  frames <- strsplit(text, "\r", fixed = TRUE)[[1]]
  frames <- frames[frames != ""]
  parts <- regmatches(frames, regexec("^(.{18}) \\[[=>-]+\\] +([0-9]+)%, +\\S+ left$", frames))
  data.frame(blank = grepl("^ +$", frames), drawn = lengths(parts) == 3L,
             phase = vapply(parts, function(p) trimws(p[2]), ""),
             percent = vapply(parts, function(p) as.numeric(p[3]), 0))
}

test_that("one bar grows from 0 to 100 % through the phases; progress = FALSE draws none", {
  old <- options(tessel.progress_bar = list(force = TRUE, show_after = 0))
  on.exit(options(old))
  set.seed(3)
  columns <- list(runif(3e5), runif(3e5), runif(3e5), runif(3e5, 1, 5))
  with_bar <- captured(do.call(smooth_rates, c(columns, progress = TRUE)))
  frames <- bar_frames(with_bar$messages)
  # One bar: its frames, then the one cleared line that ends it.
  expect_false(any(grepl("\n", with_bar$messages)))
  expect_identical(frames$blank, c(rep(FALSE, nrow(frames) - 1L), TRUE))
  drawn <- frames[!frames$blank, ]
  expect_gte(nrow(drawn), 5L)
  expect_identical(drawn$percent[c(1L, nrow(drawn))], c(0, 100))
  # Every frame drawn, its share and its phase (one of phase_order) in order.
  expect_true(all(drawn$drawn, diff(drawn$percent) >= 0, diff(match(drawn$phase, phase_order)) >= 0))
  # Each phase fills its own stretch of the bar: every phase starts further
  # on than the one before, and only the last reaches 100 %.
  starts <- drawn$percent[!duplicated(drawn$phase)]
  expect_true(length(starts) >= 3L && all(diff(starts) > 0))
  expect_true(all(drawn$percent[drawn$phase != drawn$phase[nrow(drawn)]] < 100))

  without <- captured(do.call(smooth_rates, c(columns, progress = FALSE)))
  expect_identical(without, list(value = with_bar$value, warnings = character(),
                                 messages = character()))
  expect_error(smooth_rates(0, 0, 1, 1, progress = NA), "^smooth_rates: progress must be TRUE or FALSE, not NA$")
})

test_that("an error raised while the bar draws stops the call as R's error, releasing its memory", {
  old <- options(tessel.progress_bar = list(force = TRUE, show_after = 0))
  on.exit(options(old))
  set.seed(4)
  columns <- list(runif(2e5), runif(2e5), runif(2e5), runif(2e5, 1, 5))
  want <- do.call(smooth_rates, c(columns, progress = FALSE))
  address_space <- function() {  # kB, or NA off Linux
    status <- if (file.exists("/proc/self/status")) readLines("/proc/self/status") else "VmSize: NA"
    suppressWarnings(as.numeric(gsub("\\D", "", grep("^VmSize:", status, value = TRUE))))
  }
  sizes <- numeric()
  # Raised in the middle of a parallel phase, while the workers run.
  for (stop_in in c("search and triples", "iterations", "iterations")) {
    expect_error(withCallingHandlers(do.call(smooth_rates, c(columns, progress = TRUE)),
                                     message = function(m) {
                                       if (grepl(stop_in, conditionMessage(m))) {
                                         stop("the console went away")
                                       }
                                       invokeRestart("muffleMessage")
                                     }), "^the console went away$")
    sizes <- c(sizes, address_space())
  }
  # A run that kept its arrays would add some 60 MB each time.
  if (!anyNA(sizes)) expect_lt(sizes[[3]] - sizes[[2]], 20 * 1024)
  expect_identical(captured(do.call(smooth_rates, c(columns, progress = TRUE)))$value, want)
})
