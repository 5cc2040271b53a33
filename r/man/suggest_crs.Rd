% The help page of suggest_crs().
\name{suggest_crs}
\alias{suggest_crs}
\title{A Projected CRS for a Table's Extent}
\description{
Chooses a projected coordinate reference system in which every place of an
\pkg{sf} table keeps finite plane coordinates, from where the places lie on
the earth, for \code{sf::st_transform(x, suggest_crs(x))} before
\code{\link{smooth_rates}}.
}
\usage{
suggest_crs(x)
}
\arguments{
  \item{x}{an \pkg{sf} table or an \code{sfc} geometry column, in any CRS
    (geographic or projected); it must have one.}
}
\details{
The places' longitudes and latitudes (WGS 84) decide:
\itemize{
  \item when every place lies in one UTM zone (6 degrees of longitude,
    latitudes from -80 to 84), that zone's UTM projection (EPSG 326zz in the
    north, 327zz when the places lie mostly in the south);
  \item otherwise, when every place lies within 90 degrees of arc of the
    middle of the places' extent, a Lambert azimuthal equal-area projection
    centred there (\code{+proj=laea +lat_0=.. +lon_0=..}, in metres);
  \item otherwise, for places spread over most of the globe, the Equal Earth
    projection of the world (EPSG 8857), an equal-area one.
}
The extent in longitude is the shortest arc that holds every place, so a
table that crosses the 180th meridian is centred where it lies. A choice
under which some place would become empty or infinite gives way to the next.
Empty geometries are ignored.
}
\value{
An \code{sf::st_crs} object.
}
\seealso{\code{\link{smooth_rates}}, which refuses longitude and latitude.}
\examples{
if (requireNamespace("sf", quietly = TRUE)) {
  # Three towns in central Europe: one UTM zone.
  towns <- sf::st_sfc(sf::st_point(c(10, 50)), sf::st_point(c(11, 50.5)),
                      sf::st_point(c(12, 51)), crs = 4326)
  suggest_crs(towns)$input

  # Places from Lisbon to Moscow: an equal-area projection centred on them.
  wide <- sf::st_sfc(sf::st_point(c(-9.1, 38.7)), sf::st_point(c(37.6, 55.8)),
                     sf::st_point(c(13.4, 52.5)), crs = 4326)
  suggest_crs(wide)$input
}
}
