# smooth_rates(): the generic, its method for four numeric columns and its
# method for data frames. Every argument is checked here, so that the
# compiled entry only ever sees complete rows of finite doubles and options
# within the core's limits.

# Dispatches on x: four numeric columns (default), a data frame, an sf table.
smooth_rates <- function(x, ...) UseMethod("smooth_rates")

smooth_rates.default <- function(x, y, rate, weight, neighbors = 10L, triples = 7L,
                                 iterations = 10L, theta = 135, progress = interactive(), ...) {
  no_other_arguments(...)
  absent <- c(x = missing(x), y = missing(y), rate = missing(rate), weight = missing(weight))
  if (any(absent)) {
    stop(sprintf("smooth_rates: argument '%s' is missing", names(which(absent))[[1L]]),
         call. = FALSE)
  }
  columns <- list(x = x, y = y, rate = rate, weight = weight)
  smooth_columns(columns, options_of(neighbors, triples, iterations, theta, progress))
}

smooth_rates.data.frame <- function(x, rate, weight, neighbors = 10L, triples = 7L,
                                    iterations = 10L, theta = 135, coords = c("x", "y"),
                                    progress = interactive(), ...) {
  no_other_arguments(...)
  if (!is.character(coords) || length(coords) != 2L || anyNA(coords)) {
    stop("smooth_rates: coords must name the two coordinate columns, e.g. c(\"x\", \"y\")",
         call. = FALSE)
  }
  columns <- list(x = table_column(x, coords[[1L]], "coords[1]"),
                  y = table_column(x, coords[[2L]], "coords[2]"),
                  rate = table_column(x, rate, "rate"),
                  weight = table_column(x, weight, "weight"))
  smooth_columns(columns, options_of(neighbors, triples, iterations, theta, progress))
}

# Stops on arguments that no parameter took (a misspelt option name would
# otherwise be ignored without a word).
no_other_arguments <- function(...) {
  if (...length() > 0L) {
    names <- names(list(...))
    shown <- if (is.null(names)) rep("", ...length()) else names
    shown[shown == ""] <- "(unnamed)"
    stop(sprintf("smooth_rates: unknown argument%s: %s", if (length(shown) > 1L) "s" else "",
                 paste(shown, collapse = ", ")), call. = FALSE)
  }
}

# A column of a table: a column name, or a numeric vector of one value per
# row.
table_column <- function(table, column, what) {
  if (missing(column)) stop(sprintf("smooth_rates: argument '%s' is missing", what), call. = FALSE)
  if (is.character(column)) {
    if (length(column) != 1L || is.na(column) || !(column %in% names(table))) {
      stop(sprintf("smooth_rates: %s names no column of the table: %s", what,
                   paste(deparse(column), collapse = "")), call. = FALSE)
    }
    return(table[[column]])
  }
  column
}

# The options as the compiled entry takes them, after checking each.
options_of <- function(neighbors, triples, iterations, theta, progress) {
  count <- function(value, name, top) {
    if (!is.numeric(value) || length(value) != 1L || is.na(value) || value != round(value) ||
        value < 0 || value > top) {
      stop(sprintf("smooth_rates: %s must be a whole number from 0 to %d, not %s", name, top,
                   paste(deparse(value), collapse = "")), call. = FALSE)
    }
    as.integer(value)
  }
  if (!is.numeric(theta) || length(theta) != 1L || !is.finite(theta)) {
    stop(sprintf("smooth_rates: theta must be one finite number of degrees, not %s",
                 paste(deparse(theta), collapse = "")), call. = FALSE)
  }
  if (!is.logical(progress) || length(progress) != 1L || is.na(progress)) {
    stop(sprintf("smooth_rates: progress must be TRUE or FALSE, not %s",
                 paste(deparse(progress), collapse = "")), call. = FALSE)
  }
  list(neighbors = count(neighbors, "neighbors", 100L), triples = count(triples, "triples", 80L),
       iterations = count(iterations, "iterations", 100L), theta = as.double(theta),
       progress = progress)
}

# One progress bar over a whole call: the phase, the bar, the share done and
# the time left, drawn on stderr once the call has run half a second (and
# only where progress_bar finds a console that can redraw a line). Returns
# the function that the compiled entry calls with each phase and share, and
# the bar, which the caller ends. The option tessel.progress_bar, a list of
# progress_bar$new() arguments, overrides these (tests use force = TRUE to
# draw it where stderr is not a terminal, and show_after = 0).
run_progress_bar <- function() {
  settings <- utils::modifyList(
    list(format = ":phase [:bar] :percent, :eta left", total = 1000, show_after = 0.5,
         clear = TRUE),
    as.list(getOption("tessel.progress_bar")))
  bar <- do.call(progress::progress_bar$new, settings)
  # Phase names padded to the longest, so that the bar keeps its length. The
  # bar never goes back: within its iterations the core reports each pass
  # over the points from the iteration's start again.
  shown <- 0
  update <- function(phase, share) {
    shown <<- max(shown, share)
    if (!bar$finished) bar$update(shown, tokens = list(phase = sprintf("%-18s", phase)))
  }
  list(bar = bar, update = update)
}

# Smooths four checked columns: rows with an NA or NaN are left out and come
# back NA.
smooth_columns <- function(columns, options) {
  for (name in names(columns)) {
    column <- columns[[name]]
    if (is.logical(column) && is.null(dim(column)) && all(is.na(column))) {
      # What read.csv makes of a column that holds nothing but NA.
      column <- columns[[name]] <- as.double(column)
    }
    if (!is.numeric(column) || !is.null(dim(column)) && length(dim(column)) > 1L) {
      stop(sprintf("smooth_rates: %s must be a numeric vector, not %s", name,
                   class(column)[[1L]]), call. = FALSE)
    }
    infinite <- which(is.infinite(column))
    if (length(infinite)) {
      stop(sprintf("smooth_rates: %s holds an infinite value in row %d", name, infinite[[1L]]),
           call. = FALSE)
    }
  }
  sizes <- lengths(columns)
  n <- sizes[[1L]]
  if (any(sizes != n)) {
    stop(sprintf("smooth_rates: x, y, rate and weight differ in length: %s",
                 paste(sizes, collapse = ", ")), call. = FALSE)
  }
  if (n > .Machine$integer.max) {
    stop(sprintf("smooth_rates: %.0f rows are more than %d", n, .Machine$integer.max),
         call. = FALSE)
  }
  complete <- !(is.na(columns$x) | is.na(columns$y) | is.na(columns$rate) | is.na(columns$weight))
  kept <- lapply(columns, function(column) as.double(unclass(column)[complete]))
  values <- rep(NA_real_, n)
  update <- NULL
  if (options$progress) {
    progress <- run_progress_bar()
    update <- progress$update
    # Ended on every way out, so that an error or an interrupt leaves no
    # half-drawn line.
    on.exit(if (!progress$bar$finished) progress$bar$terminate(), add = TRUE)
  }
  values[complete] <- .Call(tessel_smooth_points, kept$x, kept$y, kept$rate, kept$weight,
                            options$neighbors, options$triples, options$iterations, options$theta,
                            update)
  if (!is.null(update)) update("done", 1)
  values
}
