# Runs the R package's tests (r/tests/testthat, against the installed
# package) and ends with a line of counts and a status that says whether
# any test failed:
#   Rscript r/run_tests.R TESTS_DIR
directory <- commandArgs(trailingOnly = TRUE)[[1]]
results <- as.data.frame(testthat::test_dir(directory, package = "tessel",
                                            load_package = "installed", stop_on_failure = FALSE))
failed <- sum(results$failed) + sum(results$error)
cat(sprintf("R: %d passed, %d failed, %d skipped\n", sum(results$nb) - sum(results$failed), failed,
            sum(results$skipped)))
quit(status = if (failed > 0) 1 else 0)
