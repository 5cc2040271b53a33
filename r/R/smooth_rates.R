# smooth_rates(): the generic, its method for four numeric columns and its
# method for data frames. The R side checks what is R's own (missing and
# unknown arguments, column names, types, single whole numbers) and words
# the messages; the core's column entry checks the columns' lengths and
# values and the options' ranges, and maps the missing rows.

# Dispatches on x: four numeric columns (default), a data frame, an sf table.
smooth_rates <- function(x, ...) UseMethod("smooth_rates")

smooth_rates.default <- function(x, y, rate, weight, neighbors = 10L, triples = 7L,
                                 iterations = 10L, theta = 135, progress = interactive(),
                                 diagnostics = FALSE, ...) {
  no_other_arguments(...)
  absent <- c(x = missing(x), y = missing(y), rate = missing(rate), weight = missing(weight))
  if (any(absent)) {
    stop(sprintf("smooth_rates: argument '%s' is missing", names(which(absent))[[1L]]),
         call. = FALSE)
  }
  columns <- list(x = x, y = y, rate = rate, weight = weight)
  found <- smooth_columns(columns, options_of(neighbors, triples, iterations, theta, progress,
                                              diagnostics))
  if (diagnostics) data.frame(smoothed = found$values, found$diagnostics) else found$values
}

smooth_rates.data.frame <- function(x, rate, weight, neighbors = 10L, triples = 7L,
                                    iterations = 10L, theta = 135, coords = c("x", "y"),
                                    progress = interactive(), diagnostics = FALSE, ...) {
  no_other_arguments(...)
  if (!is.character(coords) || length(coords) != 2L || anyNA(coords)) {
    stop("smooth_rates: coords must name the two coordinate columns, e.g. c(\"x\", \"y\")",
         call. = FALSE)
  }
  columns <- list(x = table_column(x, coords[[1L]], "coords[1]"),
                  y = table_column(x, coords[[2L]], "coords[2]"),
                  rate = table_column(x, rate, "rate"),
                  weight = table_column(x, weight, "weight"))
  found <- smooth_columns(columns, options_of(neighbors, triples, iterations, theta, progress,
                                              diagnostics))
  if (!diagnostics) return(found$values)
  data.frame(smoothed = found$values, found$diagnostics, row.names = row.names(x))
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

shown <- function(value) paste(deparse(value), collapse = "")

# The message for a count option that is not a whole number within the
# core's range, from its name and the value as given.
count_message <- function(name, value, minimum, maximum) {
  sprintf("smooth_rates: %s must be a whole number from %d to %d, not %s", name,
          as.integer(minimum), as.integer(maximum), shown(value))
}

# The options as the compiled entry takes them, each of R's type: a single
# whole number for each count, a single number for theta (whose ranges the
# core checks), TRUE or FALSE for the flags.
options_of <- function(neighbors, triples, iterations, theta, progress, diagnostics) {
  counts <- list(neighbors = neighbors, triples = triples, iterations = iterations)
  for (name in names(counts)) {
    value <- counts[[name]]
    if (!is.numeric(value) || length(value) != 1L || is.na(value) || value != round(value)) {
      stop(count_message(name, value, 0, .Call(tessel_option_limits)[[name]]), call. = FALSE)
    }
  }
  if (!is.numeric(theta) || length(theta) != 1L) {
    stop(sprintf("smooth_rates: theta must be one finite number of degrees, not %s", shown(theta)),
         call. = FALSE)
  }
  for (flag in c("progress", "diagnostics")) {
    value <- get(flag)
    if (!is.logical(value) || length(value) != 1L || is.na(value)) {
      stop(sprintf("smooth_rates: %s must be TRUE or FALSE, not %s", flag, shown(value)),
           call. = FALSE)
    }
  }
  list(counts = counts, theta = theta, progress = progress, diagnostics = diagnostics)
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

# The core's refusal (see the compiled entry) in R's words.
refusal_message <- function(refused, options) {
  if (refused$kind == "option") {
    if (refused$what == "theta") {
      return(sprintf("smooth_rates: theta must be one finite number of degrees, not %s",
                     shown(options$theta)))
    }
    return(count_message(refused$what, options$counts[[refused$what]], refused$minimum,
                         refused$maximum))
  }
  switch(refused$what,
         "lengths differ" = sprintf("smooth_rates: x, y, rate and weight differ in length: %s",
                                    paste(sprintf("%.0f", refused$lengths), collapse = ", ")),
         "infinite value" = sprintf("smooth_rates: %s holds an infinite value in row %.0f",
                                    refused$column, refused$row),
         paste0("smooth_rates: ", refused$message))
}

# Smooths four columns through the core's column entry: list(values,
# diagnostics), the diagnostics a list of columns when asked for.
smooth_columns <- function(columns, options) {
  for (name in names(columns)) {
    column <- columns[[name]]
    if (is.logical(column) && is.null(dim(column)) && all(is.na(column))) {
      # What read.csv makes of a column that holds nothing but NA.
      column <- as.double(column)
    }
    if (!is.numeric(column) || !is.null(dim(column)) && length(dim(column)) > 1L) {
      stop(sprintf("smooth_rates: %s must be a numeric vector, not %s", name,
                   class(column)[[1L]]), call. = FALSE)
    }
    columns[[name]] <- if (is.double(column)) column else as.double(column)
  }
  update <- NULL
  if (options$progress) {
    progress <- run_progress_bar()
    update <- progress$update
    # Ended on every way out, so that an error or an interrupt leaves no
    # half-drawn line.
    on.exit(if (!progress$bar$finished) progress$bar$terminate(), add = TRUE)
  }
  found <- .Call(tessel_smooth_columns, columns$x, columns$y, columns$rate, columns$weight,
                 as.double(unlist(options$counts)), as.double(options$theta), update,
                 options$diagnostics)
  if (!is.null(found$refused)) stop(refusal_message(found$refused, options), call. = FALSE)
  if (!is.null(update)) update("done", 1)
  found
}
