% The help page of smooth_rates() and its methods.
\name{smooth_rates}
\alias{smooth_rates}
\alias{smooth_rates.default}
\alias{smooth_rates.data.frame}
\alias{smooth_rates.sf}
\title{Smooth Rates Observed at Points in the Plane}
\description{
For every point the smoother takes its nearest neighbours, picks triples (the
point and two neighbours nearly on one straight line with it) and, over a
number of iterations, clamps the point's value between weighted medians of the
values its triples offer; points at the edge of the data use values
extrapolated along the line. The values are those of the \command{tessel}
program, bit for bit: \code{sprintf("\%f", value)} is the line the program
prints for the row.
}
\usage{
smooth_rates(x, ...)

\method{smooth_rates}{default}(x, y, rate, weight, neighbors = 10L, triples = 7L,
  iterations = 10L, theta = 135, progress = interactive(),
  diagnostics = FALSE, ...)

\method{smooth_rates}{data.frame}(x, rate, weight, neighbors = 10L, triples = 7L,
  iterations = 10L, theta = 135, coords = c("x", "y"),
  progress = interactive(), diagnostics = FALSE, ...)

\method{smooth_rates}{sf}(x, rate, weight, neighbors = 10L, triples = 7L,
  iterations = 10L, theta = 135, points = c("centroid", "surface"),
  progress = interactive(), diagnostics = FALSE, ...)
}
\arguments{
  \item{x}{the x coordinates (a numeric vector), or a data frame, or an
    \pkg{sf} table whose geometries give the points.}
  \item{y}{the y coordinates, in the same unit as \code{x}.}
  \item{rate}{the observed rates. For a data frame or an sf table, the name of
    a column, or a numeric vector of one value per row.}
  \item{weight}{the weights (a population, say), as \code{rate}.}
  \item{neighbors}{nearest neighbours per point, a whole number from 0 to 100
    (fewer when there are fewer other points).}
  \item{triples}{the most triples per point, a whole number from 0 to 80.}
  \item{iterations}{the number of iterations, a whole number from 0 to 100; 0
    returns the rates unchanged.}
  \item{theta}{the threshold angle in degrees: two neighbours form a triple
    with the point when the angle at the point exceeds it.}
  \item{coords}{the names of the data frame's x and y columns.}
  \item{points}{where a geometry that is not a point is smoothed: at its
    centroid (\code{sf::st_centroid}) or at a point on its surface
    (\code{sf::st_point_on_surface}), which for a bent or holed district lies
    inside it.}
  \item{progress}{\code{TRUE} to show one progress bar over the whole call
    (the phase, the share done and the time left), \code{FALSE} for none. By
    default there is one in interactive sessions only, so scripts run by
    \command{Rscript} stay silent.}
  \item{diagnostics}{\code{TRUE} to return, besides each smoothed value, what
    the smoother found at the row (see Value).}
  \item{...}{nothing else: an argument that no parameter takes (a misspelt
    option, say) stops the call.}
}
\details{
A row with \code{NA} or \code{NaN} among its four values is missing: it takes
no part in the smoothing and comes back \code{NA}, in its place. A column that
holds nothing but \code{NA} (which \code{read.csv} reads as logical) is a
column of missing values.

Stops with a message naming the fault for columns that are not numeric
vectors or differ in length, an infinite value (naming its row, counted from
1), an option out of range or not a single whole number, a \code{theta} that
is not one finite number, a column name that the table does not have, and any
other argument. The core's column entry checks the columns and the ranges
and leaves out the missing rows; R words its refusals.

Coordinates are used as they are: their unit does not matter as long as x and
y share it.

For an sf table, a point geometry is used as it is and any other geometry
(polygons, lines, multipoints, collections) through its centroid or a point
on its surface. A row whose geometry is empty or whose point has an infinite
coordinate (what \code{sf::st_transform()} makes of places that a projection
cannot map, such as places far from a UTM zone) is a missing row, and the
call warns once: \dQuote{N rows have empty or infinite coordinates after
projection; they are returned as missing}. The smoother measures distances
and angles in the plane, so a table in a geographic CRS (longitude and
latitude, any CRS for which \code{sf::st_is_longlat()} is true) is refused:
project it first, \code{sf::st_transform(x, suggest_crs(x))}
(\code{\link{suggest_crs}}). A table without a CRS is taken to be planar.

The call runs on all the machine's cores. It prints nothing but the progress
bar (on the standard error stream, where it can redraw its line, and only
once the call has run half a second) and never reads the console. An
interrupt (Esc or Ctrl-C) ends it soon, with R's usual interrupt condition,
and releases its memory.
}
\value{
A double vector of the smoothed values, one per row, in row order.

With \code{diagnostics = TRUE}, a data frame with one row per input row (for
a data frame, with its row names): \code{smoothed}, the values, and
\describe{
  \item{\code{neighbors}}{the neighbours found (at most \code{neighbors});}
  \item{\code{radius}}{the distance to the farthest of them, in the
    coordinates' unit (\code{NaN} when there are none);}
  \item{\code{interior_triples}, \code{end_triples}}{the triples the point
    was given: interior ones or, failing those (a point at the edge of the
    data), end ones;}
  \item{\code{low_screen}, \code{high_screen}}{the two screens of the last
    iteration, weighted medians of the lower and of the higher values its
    triples offer, between which the value is clamped (\code{NaN} where the
    point had no triples or no iteration ran);}
  \item{\code{held}}{\code{TRUE} where the last iteration left the value
    where it was because the point's own weight held it: its triple count
    times its weight at least the weight of its screens' entries together;}
  \item{\code{last_change}}{the last iteration (1 to \code{iterations}) that
    changed the value in any bit, 0 when none did.}
}
A missing row has \code{smoothed} \code{NA}, no neighbours or triples,
\code{NaN} radius and screens, \code{held} \code{FALSE} and
\code{last_change} 0. These are the core's own numbers, the same in the
program's C++ library and the Python package. For an sf table the result is
the table itself with these columns added (\code{smoothed} first).
Asking for them changes no value.
}
\examples{
# The bundled example: 2,050 districts with rates per 1,000 and populations.
rates <- read.csv(system.file("extdata", "rates.csv", package = "tessel"))
smoothed <- smooth_rates(rates$x_km, rates$y_km, rates$rate_per_1000,
                         rates$population)
head(sprintf("\%f", smoothed))

# The same through the data frame, with six neighbours.
rates$smoothed <- smooth_rates(rates, "rate_per_1000", "population",
                               coords = c("x_km", "y_km"), neighbors = 6)
summary(rates$smoothed - rates$rate_per_1000)

# Five points on a line: every value changes.
smooth_rates(0:4, rep(0, 5), c(1, 5, 2, 8, 3), rep(1, 5), neighbors = 2,
             iterations = 1)

\donttest{
if (requireNamespace("sf", quietly = TRUE)) {
  # Districts as polygons: the Voronoi cells of the points, in metres of a
  # projected CRS, smoothed at their centroids.
  complete <- rates[!is.na(rates$x_km) & !is.na(rates$y_km), ]
  complete[c("x", "y")] <- complete[c("x_km", "y_km")] * 1000
  points <- sf::st_as_sf(complete, coords = c("x", "y"), crs = 32633)
  box <- sf::st_as_sfc(sf::st_bbox(points))
  cells <- sf::st_collection_extract(
    sf::st_voronoi(sf::st_union(points), box), "POLYGON")
  cells <- sf::st_intersection(cells, box)
  owner <- sapply(sf::st_intersects(points, cells), `[`, 1)
  districts <- sf::st_set_geometry(points, cells[owner])
  districts$smoothed <- smooth_rates(districts, "rate_per_1000", "population")

  # What the smoother found at each district: the outliers that kept their
  # rates were held by their own populations.
  found <- smooth_rates(districts, "rate_per_1000", "population",
                        diagnostics = TRUE)
  head(sf::st_drop_geometry(found)[found$held, ])

  # Longitude and latitude are refused; suggest_crs() names a projection.
  degrees <- sf::st_transform(districts, 4326)
  try(smooth_rates(degrees, "rate_per_1000", "population"))
  projected <- sf::st_transform(degrees, suggest_crs(degrees))
  summary(smooth_rates(projected, "rate_per_1000", "population"))
}
}
}
