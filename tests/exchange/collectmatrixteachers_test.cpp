#include "tests/exchange/collectmatrix.h"

// The teacher's routes: his folder, his binary folder, the web by class and by teacher, the
// web's make-up results.
INSTANTIATE_TEST_SUITE_P(TeacherRoutes, CollectMatrixPart,
                         testing::ValuesIn(matrixParts(~kClassRoutes)), partName);
