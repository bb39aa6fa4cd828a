#include "tests/exchange/collectmatrix.h"

// The class's routes: its folder and its study plans' folders.
TEST_F(CollectMatrix, EveryKindOnTheClassRoutesInEveryVariantAsTheGrid)
{
    runMatrix(kClassRoutes);
}
