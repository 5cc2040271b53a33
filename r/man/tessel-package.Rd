% The package's help page.
\name{tessel-package}
\alias{tessel-package}
\alias{tessel}
\docType{package}
\title{Smoothing of Rates Observed at Points in the Plane}
\description{
The smoothing core of the \command{tessel} program in R: one function,
\code{\link{smooth_rates}}, for numeric columns, data frames and \pkg{sf}
tables, with the program's values bit for bit, and \code{\link{suggest_crs}},
a projection for an \pkg{sf} table in longitude and latitude. The vignette,
\code{vignette("tessel", package = "tessel")}, smooths the example as a map of
districts and shows how to choose the options. The bundled example table,
\file{extdata/rates.csv}, holds 2,050 districts (\code{x_km}, \code{y_km},
\code{rate_per_1000}, \code{population}; a few \code{NA} fields).
}
\examples{
rates <- read.csv(system.file("extdata", "rates.csv", package = "tessel"))
str(smooth_rates(rates, "rate_per_1000", "population",
                 coords = c("x_km", "y_km")))
}
