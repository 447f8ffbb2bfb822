// The name lists and their conversions to and from masks.
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "authdb/namelists.h"
#include "support/recorder_log.h"
#include "support/sandbox.h"
#include "support/startup.h"
#include "vant.h"

namespace vant::test {
namespace {

using Args = std::vector<std::string>;

std::string stored(std::vector<unsigned> mask, int highest, const struct namepair *table) {
    char *text = storenamepair(mask.data(), highest, table, "a list");
    std::string copy = text != nullptr ? text : "(null)";
    free(text);
    return copy;
}

class NamePairTest : public SandboxTest {
  protected:
    void SetUp() override {
        ASSERT_EQ(start(box, {.program = "/usr/sbin/nametest", .store_messages = true}), 0);
    }
    // Event, record and detail of each delivery, then its own arguments.
    std::vector<Args> reports() const {
        std::vector<Args> all;
        for (const Delivery &d : read_deliveries(box.recorder_log())) {
            Args a = {d.args.at(2), d.args.at(3), d.args.at(6)};
            a.insert(a.end(), d.args.begin() + 9, d.args.end());
            all.push_back(a);
        }
        box.remove("/recorder.log");
        return all;
    }
    static Args unknown(const std::string &name) {
        return {"18", "25", "1", "14", name, "not a recognized name for the list"};
    }
    static Args nameless(int value) {
        Args a = unknown("internal offset " + std::to_string(value) + " of a list");
        a.back() = "value has no corresponding name";
        return a;
    }
};

// Each name sets its value's bit, the first pair of a name counting; the
// text is left as it was, and a stored mask names each value by its first
// pair.
TEST_F(NamePairTest, ListsLoadIntoTheMaskAndBackAndUnknownNamesAreReported) {
    const struct namepair dup[] = {{"big", 9},   {"big", 2},   {"alias", 1},
                                   {"other", 1}, {"alias", 3}, {nullptr, 0}};
    const struct namepair wide[] = {{"low", 0}, {"w1", 33}, {"w2", 64}, {nullptr, 0}};
    struct Row {
        std::string text;
        int highest;
        const struct namepair *table;
        std::vector<unsigned> mask;
        std::string stored;
        std::vector<std::string> unknown;
    } rows[] = {
        {"chown,suspendaudit", 7, sys_priv, {0x81}, "suspendaudit,chown", {}},
        {"root,bogus", 6, user_type, {1u}, "root", {"bogus"}},
        {"general,", 6, user_type, {1u << 5}, "general", {}},  // the comma ends the list
        {"c2,,b1", 6, secclass, {0xC}, "c2,b1", {""}},
        {"ROOT,roo,rootx, root", 6, user_type, {0}, "", {"ROOT", "roo", "rootx", " root"}},
        {"chown,writeaudit", 6, sys_priv, {1u << 2}, "writeaudit", {"chown"}},  // above the highest
        {"big,alias", 5, dup, {0x6}, "alias,big", {}},
        {"w2,w1,low", 64, wide, {1u, 1u << 1, 1u}, "low,w1,w2", {}},
        // With a lower highest value the top word is neither cleared nor used.
        {"w2,w1,low", 40, wide, {1u, 1u << 1, 0xFFu}, "low,w1", {"w2"}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.text);
        std::string text = row.text;
        std::vector<unsigned> mask(row.mask.size(), 0xFFFFFFFFu);
        if (row.mask.size() == 3) mask[2] = 0xFFu;
        loadnamepair(mask.data(), row.highest, text.data(), row.table, "a list");
        EXPECT_EQ(mask, row.mask);
        EXPECT_EQ(text, row.text);
        EXPECT_EQ(stored(mask, row.highest, row.table), row.stored);
        std::vector<Args> want;
        for (const std::string &name : row.unknown)
            want.push_back(unknown(name));
        EXPECT_EQ(reports(), want);
    }
    unsigned mask[2] = {0xFFu, 0xABu};
    loadnamepair(mask, 20, nullptr, audit_mask, "a list");
    EXPECT_EQ(mask[0], 0u);
    EXPECT_EQ(mask[1], 0xABu);  // beyond the highest value's word
}

// A command-privilege list as the authorization declarations build it, with
// no name for value 1, and then none at all.
TEST_F(NamePairTest, ValueWithoutANameIsReportedAndLeftOut) {
    struct namepair table[] = {{"auth", 0}, {"tape", 2}, {"mem", 3}, {nullptr, 0}};
    EXPECT_EQ(stored({0xFu | (1u << 5)}, 3, table), "auth,tape,mem");
    EXPECT_EQ(stored({1u << 1}, 3, table), "");
    EXPECT_EQ(reports(), (std::vector<Args>{nameless(1), nameless(1)}));
    char text[] = "auth";
    unsigned int mask[1] = {0xFFu};
    loadnamepair(mask, ST_MAX_CPRIV, text, cmd_priv, "a list");
    EXPECT_EQ(mask[0], 0u);
    EXPECT_EQ(stored({1u}, ST_MAX_CPRIV, cmd_priv), "");
    EXPECT_EQ(reports(), (std::vector<Args>{unknown("auth"), nameless(0)}));
    EXPECT_STREQ(storebool(-1), "");
    EXPECT_STREQ(storebool(0), "@");
}

}  // namespace
}  // namespace vant::test
