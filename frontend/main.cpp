// tessel: smooths rates observed at points in the plane.
#include "frontend/driver.h"

int main(int argc, char** argv) { return runProgram(argc, argv); }
