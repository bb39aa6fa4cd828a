#include "tests/exchange/collectmatrix.h"

// The teacher's routes: his folder, his binary folder, the web by class and by teacher, the
// web's make-up results.
TEST_F(CollectMatrix, EveryKindOnTheTeacherRoutesInEveryVariantAsTheGrid)
{
    runMatrix(~kClassRoutes);
}
