#include "tests/exchange/collectmatrix.h"

// The class's routes: its folder and its study plans' folders.
INSTANTIATE_TEST_SUITE_P(ClassRoutes, CollectMatrixPart,
                         testing::ValuesIn(matrixParts(kClassRoutes)), partName);
