# Installs the package's shared library (and the objects' symbol tables
# when R CMD check had them written) as R itself would. Installed from the
# package folder of a repository (src/engine is a link to the repository's
# engine/ there), it then removes what configure and the build left in
# src/, so that the folder stays as it was; a source package's unpacked
# copy keeps them, as R leaves them.
libs <- file.path(R_PACKAGE_DIR, paste0("libs", R_ARCH))
built <- Sys.glob(paste0("*", SHLIB_EXT))
if (length(built) != 1L) stop("tessel: expected one shared library in src/, found ", length(built))
files <- c(built, if (file.exists("symbols.rds")) "symbols.rds")
if (!dir.exists(libs) && !dir.create(libs, recursive = TRUE)) stop("tessel: cannot create ", libs)
if (!all(file.copy(files, libs, overwrite = TRUE))) stop("tessel: cannot copy ", built, " to ", libs)
link <- Sys.readlink("engine")
if (!is.na(link) && nzchar(link)) unlink(c(files, Sys.glob("*.o"), "Makevars"))
