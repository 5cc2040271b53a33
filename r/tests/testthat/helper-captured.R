# Runs expr and returns its value with the warnings and messages it signalled
# (muffled), for tests that compare them exactly.
captured <- function(expr) {
  warnings <- character()
  messages <- character()
  value <- withCallingHandlers(expr, warning = function(w) {
    warnings <<- c(warnings, conditionMessage(w))
    invokeRestart("muffleWarning")
  }, message = function(m) {
    messages <<- c(messages, conditionMessage(m))
    invokeRestart("muffleMessage")
  })
  list(value = value, warnings = warnings, messages = messages)
}

# The warning of an sf table with n rows that have no usable point.
lost_rows_warning <- function(n) {
  if (n == 0L) return(character())
  sprintf("%d rows have empty or infinite coordinates after projection; they are returned as missing",
          n)
}
