/* The I/O floor: the least a program that smooths a table must do. It reads
 * the table the benchmarks give the program (a header row, then rows of x,
 * y, rate and weight separated by commas) with fgets and sscanf, and prints
 * a header and one value per row (the rate, "%lf", as the program prints
 * its values), with no smoothing at all. make bench times the program
 * against it on the same file, one run after the other.
 * Usage: io_floor FILE > values.txt   (exit status 1 on a read, parse or
 * write failure, with a message on standard error) */
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: io_floor FILE\n");
    return 1;
  }
  FILE* in = fopen(argv[1], "r");
  if (in == NULL) {
    perror(argv[1]);
    return 1;
  }
  char line[4096];
  long row = 0;
  if (fgets(line, sizeof line, in) == NULL || printf("Smoothed Rate\n") < 0) {
    fprintf(stderr, "io_floor: no header row in %s\n", argv[1]);
    return 1;
  }
  while (fgets(line, sizeof line, in) != NULL) {
    double x, y, rate, weight;
    ++row;
    if (sscanf(line, "%lf,%lf,%lf,%lf", &x, &y, &rate, &weight) != 4) {
      fprintf(stderr, "io_floor: row %ld is not four numbers\n", row);
      return 1;
    }
    if (printf("%lf\n", rate) < 0) {
      perror("io_floor: standard output");
      return 1;
    }
  }
  if (ferror(in) || fclose(in) != 0 || fflush(stdout) != 0) {
    fprintf(stderr, "io_floor: reading %s or writing the values failed\n", argv[1]);
    return 1;
  }
  return 0;
}
