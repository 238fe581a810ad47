#include <gtest/gtest.h>

#include "engine/types/value.h"

namespace engine {
namespace {

TEST(ValueBasics, DefaultValueIsUntypedNull) {
    Value v;
    EXPECT_TRUE(v.isNull());
    EXPECT_TRUE(v.type().isNullLiteral());
    EXPECT_EQ(v.typeId(), TypeId::Int);
}

}  // namespace
}  // namespace engine
