// The per-level selection memory.
#include <gtest/gtest.h>

#include "core/browse/selectionstack.h"

TEST(SelectionStack, EveryLevelComesBackWithItsSelectionAtAnyDepth)
{
    SelectionStack stack;
    int depth = 0;
    // Far deeper than the 128 levels a fixed table would hold.
    for (int level = 0; level < 300; ++level)
        stack.descend(depth, level + 5);
    EXPECT_EQ(depth, 300);
    EXPECT_EQ(stack[depth], 0);
    for (int level = 299; level >= 0; --level) {
        stack.ascend(depth);
        EXPECT_EQ(depth, level);
        EXPECT_EQ(stack[depth], level + 5);
    }
    stack.ascend(depth);  // at the root nothing is left to leave
    EXPECT_EQ(depth, 0);
    EXPECT_EQ(stack[0], 0);
}
