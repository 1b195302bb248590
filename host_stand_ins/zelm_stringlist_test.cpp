#include "zelm_stringlist.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(ZelmStringlist, HeaderStandsAlone)
{
    const zelm_stringlist list;
    EXPECT_EQ(list.count(), 0);
}

TEST(ZelmStringlist, BuiltFromText)
{
    EXPECT_EQ(zelm_stringlist(zelm_string(""), ',').count(), 0);
    const zelm_stringlist list(zelm_string("1,,3"), ',');
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(list[0], "1");
    EXPECT_EQ(list[1].length(), 0);
    EXPECT_EQ(list[2], "3");
    const zelm_stringlist edges(zelm_string(",a,"), ',');
    EXPECT_EQ(edges.count(), 3);
    EXPECT_EQ(zelm_stringlist(zelm_string("single"), ',').count(), 1);
}

TEST(ZelmStringlist, OutOfRangeReadsEmpty)
{
    const zelm_stringlist list(zelm_string("a,b"), ',');
    EXPECT_EQ(list[-1].length(), 0);
    EXPECT_EQ(list[2].length(), 0);
    EXPECT_EQ(list[1000000].length(), 0);
    EXPECT_EQ(zelm_stringlist()[0].length(), 0);
}

TEST(ZelmStringlist, AppendJoinAndIterate)
{
    zelm_stringlist list;
    list << zelm_string("x") << zelm_string("") << zelm_string("z");
    EXPECT_EQ(list.toString(','), "x,,z");
    EXPECT_EQ(zelm_stringlist().toString(',').length(), 0);
    std::vector<std::string> seen;
    for (const zelm_string& item : list)
        seen.emplace_back(item.c_str());
    EXPECT_EQ(seen, (std::vector<std::string>{"x", "", "z"}));

    zelm_stringlist copy(list);
    copy << zelm_string("w");
    EXPECT_EQ(list.count(), 3);
    EXPECT_EQ(copy.toString('|'), "x||z|w");
    list = copy;
    const zelm_stringlist& same = list;
    list = same;  // assigning a list to itself keeps it
    EXPECT_EQ(list.toString('|'), "x||z|w");
    zelm_stringlist moved(std::move(copy));
    EXPECT_EQ(moved.count(), 4);
}

TEST(ZelmStringlist, ManyEntries)
{
    zelm_stringlist list;
    for (int i = 0; i < 1000; ++i)
        list << zelm_string(i);
    EXPECT_EQ(list.count(), 1000);
    EXPECT_EQ(list[999], "999");
    EXPECT_EQ(zelm_stringlist(list.toString(','), ',').count(), 1000);
}
