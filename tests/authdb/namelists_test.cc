// Tests of the name lists, the mask conversions and the field-writing
// conventions.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

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
using vant::authdb::kAuditMaskHighest;
using vant::authdb::kSecclassHighest;
using vant::authdb::kSysPrivHighest;
using vant::authdb::kUserTypeHighest;

// A name list table's pairs, up to its null name.
std::vector<std::pair<std::string, unsigned>> pairs_of(const struct namepair *table) {
    std::vector<std::pair<std::string, unsigned>> all;
    for (; table->name != nullptr; ++table)
        all.emplace_back(table->name, table->value);
    return all;
}

// Values 0, 1, 2, ... named in order.
std::vector<std::pair<std::string, unsigned>> numbered(const std::vector<std::string> &names) {
    std::vector<std::pair<std::string, unsigned>> all;
    for (unsigned v = 0; v < names.size(); ++v)
        all.emplace_back(names[v], v);
    return all;
}

std::string stored(const unsigned int *mask, int highest, const struct namepair *table,
                   const char *description) {
    char *text = storenamepair(mask, highest, table, description);
    EXPECT_NE(text, nullptr);
    if (text == nullptr) return "(null)";
    std::string copy = text;
    free(text);
    return copy;
}

TEST(NameListTablesTest, FixedListsHoldTheSpecifiedNamesAndValues) {
    EXPECT_EQ(pairs_of(sys_priv), numbered({"suspendaudit", "configaudit", "writeaudit", "execsuid",
                                            "nopromain", "label_terminal", "chmodsugid", "chown"}));
    EXPECT_EQ(pairs_of(user_type),
              numbered({"root", "operator", "sso", "admin", "pseudo", "general", "retired"}));
    EXPECT_EQ(pairs_of(secclass), numbered({"d", "c1", "c2", "b1", "b2", "b3", "a1"}));
    EXPECT_EQ(
        pairs_of(audit_mask),
        numbered({"noevent",  "boot/down",     "login",          "process",     "ob_available",
                  "ob_map",   "ob_modify",     "ob_unavailable", "ob_create",   "ob_delete",
                  "dac_chg",  "access_denial", "sysadm",         "insuff_priv", "rsc_denial",
                  "ipc",      "proc_mod",      "audit",          "database",    "subsystem",
                  "privilege"}));
    EXPECT_EQ(pairs_of(auth_dev_type), numbered({"printer", "terminal", "tape"}));
}

TEST(StoreBoolTest, NonzeroIsEmptyZeroIsCancelled) {
    EXPECT_STREQ(storebool(5), "");
    EXPECT_STREQ(storebool(1), "");
    EXPECT_STREQ(storebool(-1), "");
    EXPECT_STREQ(storebool(0), "@");
}

// Conversions whose reports go to the recorder standing in for the audit
// delivery program.
class NamePairTest : public SandboxTest {
  protected:
    void SetUp() override {
        ASSERT_EQ(start(box, {.program = "/usr/sbin/nametest", .store_messages = true}), 0);
    }

    // The event, record and detail of each delivery, then its own arguments.
    std::vector<Args> reports() const {
        std::vector<Args> all;
        for (const Delivery &d : read_deliveries(box.recorder_log())) {
            if (d.args.size() < 9) ADD_FAILURE() << "short vector";
            if (d.args.size() < 9) continue;
            Args a = {d.args[2], d.args[3], d.args[6]};
            a.insert(a.end(), d.args.begin() + 9, d.args.end());
            all.push_back(a);
        }
        return all;
    }

    static Args unknown(const std::string &name) {
        return {"18", "25", "1", "14", name, "not a recognized name for the list"};
    }
    static Args nameless(const std::string &text) {
        return {"18", "25", "1", "14", text, "value has no corresponding name"};
    }
};

// Each name sets its value's bit; the text is left as it was.
TEST_F(NamePairTest, ListsLoadIntoTheMaskAndUnknownNamesAreReported) {
    struct Row {
        std::string text;
        int highest;
        const struct namepair *table;
        unsigned int mask;
        std::vector<std::string> unknown;
    } rows[] = {
        {"execsuid,chown", kSysPrivHighest, sys_priv, (1u << 3) | (1u << 7), {}},
        {"root,bogus", kUserTypeHighest, user_type, 1u, {"bogus"}},
        {"sso,nosuch,retired", kUserTypeHighest, user_type, (1u << 2) | (1u << 6), {"nosuch"}},
        {"general,", kUserTypeHighest, user_type, 1u << 5, {}},  // the comma ends the list
        {"c2,,b1", kSecclassHighest, secclass, (1u << 2) | (1u << 3), {""}},
        {"ROOT,roo,rootx, root", kUserTypeHighest, user_type, 0, {"ROOT", "roo", "rootx", " root"}},
        {"chown,writeaudit", 6, sys_priv, 1u << 2, {"chown"}},  // above the highest
    };
    size_t reported = 0;
    for (const Row &row : rows) {
        SCOPED_TRACE(row.text);
        std::string text = row.text;
        unsigned int mask[1] = {0xFFFFFFFFu};
        loadnamepair(mask, row.highest, text.data(), row.table, "a list");
        EXPECT_EQ(mask[0], row.mask);
        EXPECT_EQ(text, row.text);
        std::vector<Args> all = reports();
        std::vector<Args> fresh(all.begin() + static_cast<long>(reported), all.end());
        reported = all.size();
        std::vector<Args> want;
        for (const std::string &name : row.unknown)
            want.push_back(unknown(name));
        EXPECT_EQ(fresh, want);
    }
}

TEST_F(NamePairTest, NamesAreStoredInOrderOfValue) {
    char text[] = "chown,label_terminal,suspendaudit";
    unsigned int mask[1];
    loadnamepair(mask, kSysPrivHighest, text, sys_priv, "system privileges");
    EXPECT_EQ(stored(mask, kSysPrivHighest, sys_priv, "system privileges"),
              "suspendaudit,label_terminal,chown");
    unsigned int all[1] = {0xFFu};
    EXPECT_EQ(stored(all, kSysPrivHighest, sys_priv, "system privileges"),
              "suspendaudit,configaudit,writeaudit,execsuid,nopromain,label_terminal,chmodsugid,"
              "chown");
}

TEST_F(NamePairTest, NullOrEmptyTextClearsTheMask) {
    unsigned int mask[2] = {0xFFu, 0xABu};
    loadnamepair(mask, kAuditMaskHighest, nullptr, audit_mask, "audit mask");
    EXPECT_EQ(mask[0], 0u);
    EXPECT_EQ(mask[1], 0xABu);  // beyond the highest value's word
    char empty[] = "";
    mask[0] = 0x10u;
    loadnamepair(mask, kAuditMaskHighest, empty, audit_mask, "audit mask");
    EXPECT_EQ(mask[0], 0u);
    EXPECT_TRUE(reports().empty());
}

TEST_F(NamePairTest, NameWhoseValueIsAboveTheHighestIsNotRecognized) {
    char text[] = "chown,writeaudit";
    unsigned int mask[1];
    loadnamepair(mask, 6, text, sys_priv, "system privileges");
    EXPECT_EQ(mask[0], 1u << 2);
    EXPECT_EQ(reports(), std::vector<Args>{unknown("chown")});
}

TEST_F(NamePairTest, FirstQualifyingPairWins) {
    const struct namepair table[] = {{"big", 9},   {"big", 2},   {"alias", 1},
                                     {"other", 1}, {"alias", 3}, {nullptr, 0}};
    char text[] = "big,alias";
    unsigned int mask[1];
    loadnamepair(mask, 5, text, table, "test list");
    EXPECT_EQ(mask[0], (1u << 2) | (1u << 1));
    // Storing takes the first pair with each value.
    EXPECT_EQ(stored(mask, 5, table, "test list"), "alias,big");
    EXPECT_TRUE(reports().empty());
}

TEST_F(NamePairTest, MasksSpanSeveralWords) {
    const struct namepair table[] = {{"low", 0}, {"w1", 33}, {"w2", 64}, {nullptr, 0}};
    char text[] = "w2,w1,low";
    unsigned int mask[3] = {0xFFu, 0xFFu, 0xFFu};
    loadnamepair(mask, 64, text, table, "wide list");
    EXPECT_EQ(mask[0], 1u);
    EXPECT_EQ(mask[1], 1u << 1);
    EXPECT_EQ(mask[2], 1u);
    EXPECT_EQ(stored(mask, 64, table, "wide list"), "low,w1,w2");
    // With a lower highest value the top word is neither cleared nor used.
    mask[2] = 0xFFu;
    loadnamepair(mask, 40, text, table, "wide list");
    EXPECT_EQ(mask[2], 0xFFu);
    EXPECT_EQ(stored(mask, 40, table, "wide list"), "low,w1");
    EXPECT_EQ(reports(), std::vector<Args>{unknown("w2")});
}

TEST_F(NamePairTest, BitsAboveTheHighestAreIgnoredAndALongListGrowsItsText) {
    unsigned int mask[1] = {(1u << 9) | 1u}, only_high[1] = {1u << 9}, none[1] = {0};
    EXPECT_EQ(stored(mask, kUserTypeHighest, user_type, "user type"), "root");
    EXPECT_EQ(stored(only_high, kUserTypeHighest, user_type, "user type"), "");
    EXPECT_EQ(stored(none, kAuditMaskHighest, audit_mask, "audit mask"), "");
    unsigned int every[1] = {(1u << 21) - 1};
    EXPECT_EQ(stored(every, kAuditMaskHighest, audit_mask, "audit mask"),
              "noevent,boot/down,login,process,ob_available,ob_map,ob_modify,ob_unavailable,"
              "ob_create,ob_delete,dac_chg,access_denial,sysadm,insuff_priv,rsc_denial,ipc,"
              "proc_mod,audit,database,subsystem,privilege");
    EXPECT_TRUE(reports().empty());
}

TEST_F(NamePairTest, ValueWithoutANameIsReportedAndLeftOut) {
    // A command-privilege list as the authorization declarations build it,
    // with no name for value 1.
    struct namepair table[] = {{"auth", 0}, {"tape", 2}, {"mem", 3}, {nullptr, 0}};
    cmd_priv = table;
    ST_MAX_CPRIV = 3;
    unsigned int mask[1] = {0xFu | (1u << 5)};
    EXPECT_EQ(stored(mask, ST_MAX_CPRIV, cmd_priv, "command privileges"), "auth,tape,mem");
    unsigned int gap[1] = {1u << 1};
    EXPECT_EQ(stored(gap, ST_MAX_CPRIV, cmd_priv, "command privileges"), "");
    EXPECT_EQ(reports(), (std::vector<Args>{nameless("internal offset 1 of command privileges"),
                                            nameless("internal offset 1 of command privileges")}));
}

TEST_F(NamePairTest, NoTableKnowsNoNames) {
    char text[] = "auth";
    unsigned int mask[1] = {0xFFu};
    loadnamepair(mask, ST_MAX_CPRIV, text, cmd_priv, "command privileges");
    EXPECT_EQ(mask[0], 0u);
    unsigned int one[1] = {1u};
    EXPECT_EQ(stored(one, ST_MAX_CPRIV, cmd_priv, "command privileges"), "");
    EXPECT_EQ(reports(), (std::vector<Args>{unknown("auth"),
                                            nameless("internal offset 0 of command privileges")}));
}

// Writing entries: an entry name, then fields with pr_newline after the
// name and after each field.
class LineWrapTest : public SandboxTest {
  protected:
    void SetUp() override { box.write("/entry", ""); }

    FILE *open(const char *mode) const { return fopen(box.path("/entry").c_str(), mode); }
};

TEST_F(LineWrapTest, CountGrowsUntilTheFourthItemThenContinues) {
    FILE *fp = open("w");
    ASSERT_NE(fp, nullptr);
    int error = 0;
    EXPECT_EQ(pr_newline(fp, 1, &error), 2);
    EXPECT_EQ(pr_newline(fp, 2, &error), 3);
    EXPECT_EQ(pr_newline(fp, 3, &error), 4);
    EXPECT_EQ(pr_newline(fp, 4, &error), 1);
    EXPECT_EQ(pr_newline(fp, 7, &error), 1);
    EXPECT_EQ(error, 0);
    fclose(fp);
    EXPECT_EQ(box.read("/entry"), "\\\n\t:\\\n\t:");
}

TEST_F(LineWrapTest, ContinuationFollowsTheThirdSeventhAndEleventhField) {
    FILE *fp = open("w");
    ASSERT_NE(fp, nullptr);
    int error = 0;
    fprintf(fp, "%s:", "alice");
    int count = pr_newline(fp, 1, &error);
    for (int field = 1; field <= 12; ++field) {
        fprintf(fp, "f%d:", field);
        count = pr_newline(fp, count, &error);
    }
    fprintf(fp, "%s:\n", "chkent");
    fclose(fp);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(box.read("/entry"),
              "alice:f1:f2:f3:\\\n\t:f4:f5:f6:f7:\\\n\t:f8:f9:f10:f11:\\\n\t:f12:chkent:\n");
}

TEST_F(LineWrapTest, FieldOnALineOfItsOwnNeverDoublesTheContinuation) {
    FILE *fp = open("w");
    ASSERT_NE(fp, nullptr);
    int error = 0;
    auto own_line = [&](int count, const char *field) {
        if (count > 1) count = pr_newline(fp, 4, &error);
        fprintf(fp, "%s:", field);
        return pr_newline(fp, 4, &error);
    };
    fprintf(fp, "bob:");
    int count = pr_newline(fp, 1, &error);
    fprintf(fp, "u_id#7:");
    count = pr_newline(fp, count, &error);
    count = own_line(count, "u_pwd=xyz");   // breaks before and after
    count = own_line(count, "u_pwd2=abc");  // the line has just begun: no break before
    fprintf(fp, "u_lock@:");
    count = pr_newline(fp, count, &error);
    fprintf(fp, "chkent:\n");
    fclose(fp);
    EXPECT_EQ(count, 2);
    std::string text = box.read("/entry");
    EXPECT_EQ(text, "bob:u_id#7:\\\n\t:u_pwd=xyz:\\\n\t:u_pwd2=abc:\\\n\t:u_lock@:chkent:\n");
    EXPECT_EQ(text.find("\\\n\t:\\\n\t:"), std::string::npos);
}

TEST_F(LineWrapTest, WriteErrorStopsAllFurtherWrapping) {
    FILE *readonly = open("r");
    ASSERT_NE(readonly, nullptr);
    setvbuf(readonly, nullptr, _IONBF, 0);
    int error = 0;
    EXPECT_EQ(pr_newline(readonly, 4, &error), 1);
    EXPECT_NE(error, 0);
    fclose(readonly);

    // Once the flag is set nothing is written and the count stands still.
    FILE *fp = open("w");
    ASSERT_NE(fp, nullptr);
    EXPECT_EQ(pr_newline(fp, 4, &error), 4);
    EXPECT_EQ(pr_newline(fp, 2, &error), 2);
    EXPECT_EQ(pr_newline(fp, 9, &error), 9);
    fclose(fp);
    EXPECT_EQ(box.read("/entry"), "");
}

}  // namespace
}  // namespace vant::test
