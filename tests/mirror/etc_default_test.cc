// Tests of the /etc/default key lines: reading them, reconciling them with
// the database's values, and rewriting them under their lock files.
#include <unistd.h>

#include <string>

#include "mirror/etc_default_files.h"
#include "mirror/etc_default_fixture.h"
#include "platform/clock.h"

// Replaces the library's nap for the whole program: lock waits are cut
// short.
static void fake_nap(long milliseconds) {
    usleep(static_cast<useconds_t>(milliseconds));
}
[[maybe_unused]] static const bool nap_replaced =
    (vant::platform::set_sleep_function(fake_nap), true);

namespace vant::test {
namespace {

using mirror::get_dflt_fields;
using mirror::lock_dflt_files;
using mirror::put_dflt_fields;
using mirror::replace_dflt_files;
using mirror::unlock_dflt_files;
using mirror::validate_dflt_fields;

constexpr int kAbsent = -1;

using DfltTest = DefaultFilesTest;

Defaults read_files() {
    Defaults d;
    EXPECT_EQ(get_dflt_fields(&d.f, &d.fl), 1);
    return d;
}

// ---------------------------------------------------------------------
// Reading

TEST_F(DfltTest, ReadsTheFourKeyLinesAndNothingElse) {
    box.write(kDefaultLogin, "CONSOLE=/dev/console\nPASSREQ=NO\nIDLEWEEKS=6\n");
    box.write(kDefaultPasswd, "MINWEEKS=1\nMAXWEEKS=8\n");
    Defaults d = read_files();
    Defaults expected = Defaults().minchg(kWeek).exp(8 * kWeek).life(6 * kWeek).nullpw(1);
    EXPECT_TRUE(d.same_fields_as(expected));
    EXPECT_EQ(d.f.u_minchg, kWeek);
    EXPECT_EQ(d.f.u_exp, 8 * kWeek);
    EXPECT_EQ(d.f.u_life, 6 * kWeek);
    EXPECT_EQ(d.f.u_nullpw, 1);

    box.remove(kDefaultLogin);
    box.remove(kDefaultPasswd);
    d = read_files();
    EXPECT_TRUE(d.same_fields_as(Defaults()));
}

TEST_F(DfltTest, WeeksAreClampedAndTheFirstLineWithAValueCounts) {
    struct Case {
        const char *text;
        long weeks;  // kAbsent: no u_minchg
    };
    for (const Case &c :
         {Case{"MINWEEKS=5000\n", 3550}, Case{"MINWEEKS=-2\n", 0}, Case{"MINWEEKS=4x\n", 4},
          Case{"MINWEEKS=2\nMINWEEKS=3\n", 2}, Case{"X=1\nMINWEEKS=7", 7},
          Case{"MINWEEKS\n", kAbsent}, Case{"MINWEEKS=\n", kAbsent}, Case{"MINWEEKSX=5\n", kAbsent},
          Case{"# MINWEEKS=5\n", kAbsent}}) {
        SCOPED_TRACE(c.text);
        box.write(kDefaultPasswd, c.text);
        Defaults d = read_files();
        EXPECT_EQ(d.has(PR_U_MINCHG), c.weeks != kAbsent);
        if (c.weeks != kAbsent) {
            EXPECT_EQ(d.f.u_minchg, c.weeks * kWeek);
        }
    }
}

TEST_F(DfltTest, OnlyAnExactYesRefusesNullPasswords) {
    struct Case {
        const char *text;
        int nullpw;
    };
    for (const Case &c :
         {Case{"PASSREQ=YES\n", 0}, Case{"PASSREQ=yes\n", 1}, Case{"PASSREQ=NO\n", 1},
          Case{"PASSREQ=YES \n", 1}, Case{"PASSREQ=\n", kAbsent}, Case{"PASSREQ\n", kAbsent}}) {
        SCOPED_TRACE(c.text);
        box.write(kDefaultLogin, c.text);
        Defaults d = read_files();
        EXPECT_EQ(d.has(PR_U_NULLPW), c.nullpw != kAbsent);
        if (c.nullpw != kAbsent) {
            EXPECT_EQ(d.f.u_nullpw, c.nullpw);
        }
    }
}

// /etc/default/login is read first; a file whose writer has left its lock
// behind ends the read.
TEST_F(DfltTest, AFileLeftLockedEndsTheRead) {
    box.write(kDefaultLogin, "IDLEWEEKS=2\n");
    box.write(kDefaultPasswd, "MINWEEKS=1\n");
    box.write("/etc/default/passwd-t", "");
    Defaults d;
    EXPECT_EQ(get_dflt_fields(&d.f, &d.fl), 0);
    EXPECT_TRUE(d.has(PR_U_LIFE));
    EXPECT_FALSE(d.has(PR_U_MINCHG));

    box.write("/etc/default/login-t", "");
    d = Defaults();
    EXPECT_EQ(get_dflt_fields(&d.f, &d.fl), 0);
    EXPECT_TRUE(d.same_fields_as(Defaults()));

    set_open_lock(OPEN_NO_WAIT);
    d = read_files();
    EXPECT_TRUE(d.has(PR_U_LIFE));
    EXPECT_TRUE(d.has(PR_U_MINCHG));
}

// ---------------------------------------------------------------------
// Reconciling

struct Sides {
    Defaults db, file;
};

TEST(DfltValidateTest, NullPasswordSettingCaseByCase) {
    struct Case {
        int integrity, authority;
        int db, file;  // values; kAbsent: not present
        int result;
        int db_after, file_after;
    };
    const Case cases[] = {
        // Integrity on: a missing "PASSREQ" line means "YES".
        {1, 1, kAbsent, kAbsent, 1, kAbsent, kAbsent},
        {1, 1, 1, kAbsent, -1, 1, 0},
        {1, 1, 0, kAbsent, 1, 0, 0},
        {1, 1, kAbsent, 0, -1, kAbsent, 0},
        {1, 1, 1, 1, 1, 1, 1},
        {1, 1, 0, 1, -1, 0, 1},
        {1, 0, 0, 1, -1, 0, 1},
        // Integrity off, the files authoritative.
        {0, 0, 0, 1, 1, 1, 1},
        {0, 0, kAbsent, 1, 1, 1, 1},
        {0, 0, 1, kAbsent, 1, 1, kAbsent},
        // Integrity off, the database authoritative.
        {0, 1, 0, 1, 1, 0, 1},
        {0, 1, kAbsent, 1, 1, 1, 1},
        {0, 1, 1, kAbsent, 1, 1, kAbsent},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << c.integrity << c.authority << " db " << c.db << " file " << c.file);
        Sides s;
        if (c.db != kAbsent) s.db.nullpw(c.db);
        if (c.file != kAbsent) s.file.nullpw(c.file);
        EXPECT_EQ(validate_dflt_fields(c.integrity, c.authority, &s.db.f, &s.db.fl, &s.file.f,
                                       &s.file.fl),
                  c.result);
        EXPECT_EQ(s.db.has(PR_U_NULLPW) ? s.db.f.u_nullpw : kAbsent, c.db_after);
        EXPECT_EQ(s.file.has(PR_U_NULLPW) ? s.file.f.u_nullpw : kAbsent, c.file_after);
    }
}

TEST(DfltValidateTest, AgingFieldsCaseByCaseInWeeks) {
    struct Case {
        int integrity, authority;
        vant_time_t db, file;  // seconds; kAbsent: not present
        int result;
        vant_time_t db_after;
    };
    const vant_time_t half = kWeek / 2;
    const Case cases[] = {
        // Integrity on: presence and rounded weeks must agree.
        {1, 1, kAbsent, kAbsent, 1, kAbsent},
        {1, 1, 3 * kWeek + half - 1, 3 * kWeek, 1, 3 * kWeek + half - 1},
        {1, 1, 3 * kWeek + half, 3 * kWeek, -1, 3 * kWeek + half},
        {1, 0, 3 * kWeek, kAbsent, -1, 3 * kWeek},
        {1, 1, kAbsent, 3 * kWeek, -1, kAbsent},
        // Integrity off, the files authoritative: different weeks are replaced.
        {0, 0, 3 * kWeek + 1000, 3 * kWeek, 1, 3 * kWeek + 1000},
        {0, 0, 5 * kWeek, 3 * kWeek, 1, 3 * kWeek},
        {0, 0, kAbsent, 3 * kWeek, 1, 3 * kWeek},
        {0, 0, 5 * kWeek, kAbsent, 1, 5 * kWeek},
        // Integrity off, the database authoritative: only gaps are filled.
        {0, 1, 5 * kWeek, 3 * kWeek, 1, 5 * kWeek},
        {0, 1, kAbsent, 3 * kWeek, 1, 3 * kWeek},
    };
    struct Field {
        uint32_t bit;
        vant_time_t pr_field::*seconds;
    };
    for (Field field : {Field{PR_U_LIFE, &pr_field::u_life}, Field{PR_U_EXP, &pr_field::u_exp},
                        Field{PR_U_MINCHG, &pr_field::u_minchg}}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(::testing::Message()
                         << "field " << field.bit << " regime " << c.integrity << c.authority
                         << " db " << c.db << " file " << c.file);
            Sides s;
            if (c.db != kAbsent) {
                s.db.f.*field.seconds = c.db;
                PR_SET(s.db.fl, field.bit);
            }
            if (c.file != kAbsent) {
                s.file.f.*field.seconds = c.file;
                PR_SET(s.file.fl, field.bit);
            }
            EXPECT_EQ(validate_dflt_fields(c.integrity, c.authority, &s.db.f, &s.db.fl, &s.file.f,
                                           &s.file.fl),
                      c.result);
            EXPECT_EQ(s.db.has(field.bit) ? s.db.f.*field.seconds : kAbsent, c.db_after);
        }
    }
}

// The first failure ends the reconciliation; what was done before stays.
TEST(DfltValidateTest, StopsAtTheFirstFailure) {
    Sides s;
    s.db.nullpw(0).life(kWeek).minchg(kWeek);
    s.file.life(2 * kWeek);
    EXPECT_EQ(validate_dflt_fields(1, 1, &s.db.f, &s.db.fl, &s.file.f, &s.file.fl), -1);
    EXPECT_TRUE(s.file.has(PR_U_NULLPW));
    EXPECT_EQ(validate_dflt_fields(1, 1, nullptr, &s.db.fl, &s.file.f, &s.file.fl), -1);
    EXPECT_EQ(validate_dflt_fields(0, 1, &s.db.f, &s.db.fl, &s.file.f, nullptr), -1);
}

// ---------------------------------------------------------------------
// Rewriting

class DfltWriteTest : public DefaultFilesTest {
  protected:
    // A whole update; the result of replace_dflt_files, or -1.
    int update(int present, const Defaults &d) {
        if (lock_dflt_files() != 1) return -1;
        if (put_dflt_fields(present, &d.f, &d.fl) != 1) {
            unlock_dflt_files();
            return -1;
        }
        return replace_dflt_files();
    }
    bool locks_left() const {
        return box.exists("/etc/default/passwd-t") || box.exists("/etc/default/login-t");
    }
};

TEST_F(DfltWriteTest, KeyLinesAreRewrittenInPlaceAndMissingOnesAppended) {
    box.write(kDefaultPasswd, "# password defaults\nMAXWEEKS=2\nPATH=/bin\n");
    box.write(kDefaultLogin, "CONSOLE=/dev/console\nPASSREQ=YES\nTIMEOUT=60\n");
    Defaults d = Defaults().minchg(3 * kWeek + kWeek / 2).exp(10 * kWeek).life(5 * kWeek).nullpw(1);
    EXPECT_EQ(update(1, d), 1);
    EXPECT_EQ(box.read(kDefaultPasswd),
              "# password defaults\nMAXWEEKS=10\nPATH=/bin\nMINWEEKS=4\n");
    EXPECT_EQ(box.read(kDefaultLogin),
              "CONSOLE=/dev/console\nPASSREQ=NO\nTIMEOUT=60\nIDLEWEEKS=5\n");
    EXPECT_FALSE(locks_left());

    // A field the record lacks loses its line.
    EXPECT_EQ(update(1, Defaults().life(5 * kWeek)), 1);
    EXPECT_EQ(box.read(kDefaultPasswd), "# password defaults\nPATH=/bin\n");
    EXPECT_EQ(box.read(kDefaultLogin), "CONSOLE=/dev/console\nTIMEOUT=60\nIDLEWEEKS=5\n");
}

TEST_F(DfltWriteTest, AFileWhoseLinesStayTheSameIsNotWritten) {
    box.write(kDefaultPasswd, "MINWEEKS=3\n");
    box.write(kDefaultLogin, "CONSOLE=/dev/console\n");
    move_time(kDefaultPasswd, -100);
    move_time(kDefaultLogin, -100);
    Stamp passwd = stamp(kDefaultPasswd), login = stamp(kDefaultLogin);
    EXPECT_EQ(update(1, Defaults().minchg(3 * kWeek)), 1);
    EXPECT_EQ(stamp(kDefaultPasswd), passwd);
    EXPECT_EQ(stamp(kDefaultLogin), login);
    EXPECT_FALSE(locks_left());
}

// Later lines of a key go only when the file is rewritten anyway.
TEST_F(DfltWriteTest, DuplicateKeyLinesGoOnlyWithAChange) {
    box.write(kDefaultPasswd, "MAXWEEKS=8\nX=1\nMAXWEEKS=9\n");
    move_time(kDefaultPasswd, -100);
    Stamp before = stamp(kDefaultPasswd);
    EXPECT_EQ(update(1, Defaults().exp(8 * kWeek)), 1);
    EXPECT_EQ(stamp(kDefaultPasswd), before);
    EXPECT_EQ(box.read(kDefaultPasswd), "MAXWEEKS=8\nX=1\nMAXWEEKS=9\n");

    EXPECT_EQ(update(1, Defaults().exp(8 * kWeek).minchg(kWeek)), 1);
    EXPECT_EQ(box.read(kDefaultPasswd), "MAXWEEKS=8\nX=1\nMINWEEKS=1\n");
}

TEST_F(DfltWriteTest, RemovingTheEntryRemovesEveryKeyLine) {
    box.write(kDefaultPasswd, "# c\nMINWEEKS=1\nPATH=x\nMAXWEEKS=2\n");
    box.write(kDefaultLogin, "PASSREQ=NO\nIDLEWEEKS=3\nTIMEOUT=60\n");
    Defaults d = Defaults().minchg(kWeek).exp(2 * kWeek).life(3 * kWeek).nullpw(1);
    EXPECT_EQ(update(0, d), 1);
    EXPECT_EQ(box.read(kDefaultPasswd), "# c\nPATH=x\n");
    EXPECT_EQ(box.read(kDefaultLogin), "TIMEOUT=60\n");
}

TEST_F(DfltWriteTest, AMissingFileIsMadeOnlyWhenItHasSomethingToHold) {
    EXPECT_EQ(update(1, Defaults().minchg(kWeek)), 1);
    EXPECT_EQ(box.read(kDefaultPasswd), "MINWEEKS=1\n");
    EXPECT_FALSE(box.exists(kDefaultLogin));

    EXPECT_EQ(update(1, Defaults().nullpw(0).life(5 * kWeek)), 1);
    EXPECT_EQ(box.read(kDefaultLogin), "IDLEWEEKS=5\nPASSREQ=YES\n");
    EXPECT_FALSE(locks_left());
}

TEST_F(DfltWriteTest, LocksAreTakenBothOrNone) {
    box.write("/etc/default/login-t", "");  // left by a writer that died
    EXPECT_EQ(lock_dflt_files(), 0);
    EXPECT_FALSE(box.exists("/etc/default/passwd-t"));
    EXPECT_TRUE(box.exists("/etc/default/login-t"));

    box.remove("/etc/default/login-t");
    box.write(kDefaultPasswd, "MINWEEKS=1\n");
    ASSERT_EQ(lock_dflt_files(), 1);
    EXPECT_TRUE(box.exists("/etc/default/passwd-t"));
    EXPECT_TRUE(box.exists("/etc/default/login-t"));
    Defaults d = Defaults().minchg(2 * kWeek);
    EXPECT_EQ(put_dflt_fields(1, &d.f, &d.fl), 1);
    unlock_dflt_files();
    EXPECT_FALSE(locks_left());
    EXPECT_EQ(box.read(kDefaultPasswd), "MINWEEKS=1\n");
}

}  // namespace
}  // namespace vant::test
