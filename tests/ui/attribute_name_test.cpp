// The editor's attribute-name check, on bytes as the ANSI code page 932 gives them.
#include <gtest/gtest.h>

#include "ui/attribute_name.h"

namespace {

TEST(AttributeName, EmptyAndBackslashAreRefusedAndSecondBytesAreNotBackslashes) {
    const struct {
        const char* name;
        AttributeNameFault fault;
    } cases[] = {
        {"", AttributeNameFault::Empty},
        {"   ", AttributeNameFault::None},
        {"\\", AttributeNameFault::Backslash},
        {"a\\b", AttributeNameFault::Backslash},
        {"\x95\x5c", AttributeNameFault::None},  // 表
        {"\x95\x5c\x83\x5c", AttributeNameFault::None},  // 表ソ
        {"ab\x95", AttributeNameFault::None},  // a lead byte before the terminator
        {"\x95\x5c\\", AttributeNameFault::Backslash},  // 表 then a backslash
        {"\x82\xa0\\x", AttributeNameFault::Backslash},  // あ then a backslash
    };
    for (const auto& c : cases) EXPECT_EQ(checkAttributeName(c.name), c.fault) << '"' << c.name << '"';
}

TEST(AttributeName, ALeadByteBeforeTheTerminatorReadsNoFurther) {
    // The byte after the terminator is a backslash that the scan must not reach.
    const char bytes[] = {'x', '\x95', '\0', '\\', '\0'};
    EXPECT_EQ(checkAttributeName(bytes), AttributeNameFault::None);
}

}  // namespace
