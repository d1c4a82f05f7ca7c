// Compiled with one layer's include directories and one header in KEL_PROBE:
// a header of the layer or of a layer below compiles, one above does not.
#include KEL_PROBE
