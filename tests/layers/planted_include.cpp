// Planted by tests/layers/CMakeLists.txt: one include, compiled as the code of one layer of the
// data source sees its headers.
#include PLANTED_HEADER
