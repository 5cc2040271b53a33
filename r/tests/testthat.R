# Runs the package tests with testthat.
library(testthat)
library(tessel)

test_check("tessel")
