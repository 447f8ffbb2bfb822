// A system whose users come partly from a real directory server: the
// login sandbox, the site's directory settings naming the provider built
// here, and slapd loaded with a few hundred users and groups.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "directory/slapd_server.h"
#include "login/login_fixture.h"
#include "platform/nis.h"

namespace vant::test {

inline constexpr const char *kDirectoryPassword = "Dir-pass-1";

// Entries no sound line can be made of.
inline const std::string kMalformedUsers =
    "dn: uid=badnum,ou=people,dc=example,dc=org\nobjectClass: posixAccount\nuid: badnum\n"
    "cn: x\nuidNumber: 12x\ngidNumber: 100\nhomeDirectory: /home/x\n\n"
    "dn: uid=bigid,ou=people,dc=example,dc=org\nobjectClass: posixAccount\nuid: bigid\n"
    "cn: x\nuidNumber: 70000\ngidNumber: 100\nhomeDirectory: /home/x\n\n"
    "dn: uid=nohome,ou=people,dc=example,dc=org\nobjectClass: posixAccount\nuid: nohome\n"
    "cn: x\nuidNumber: 21000\ngidNumber: 100\n\n"
    "dn: cn=colon,ou=people,dc=example,dc=org\nobjectClass: posixAccount\nuid: bad:colon\n"
    "cn: colon\nuidNumber: 21001\ngidNumber: 100\nhomeDirectory: /home/x\n\n"
    // "bad\nline", in base64
    "dn: cn=newline,ou=people,dc=example,dc=org\nobjectClass: posixAccount\nuid:: YmFkCmxpbmU=\n"
    "cn: newline\nuidNumber: 21002\ngidNumber: 100\nhomeDirectory: /home/x\n\n";

inline constexpr int kDirectoryUsers = 300;
inline constexpr int kDirectoryGroups = 60;

class DirectoryTest : public LoginTest {
  protected:
    SlapdServer server;

    void SetUp() override {
        LoginTest::SetUp();
        mirroring(false, true);
        passwd_file("-user0002\n+\n");
        box.mkdir("/usr");
        box.mkdir("/usr/lib");
        box.mkdir("/usr/lib/vant");
        ASSERT_EQ(symlink(VANT_DIRECTORY_PROVIDER, box.path(kProvider).c_str()), 0);
        box.mkdir("/etc/vant");
        box.write("/etc/vant/directory.secret", std::string(kDirectorySecret) + "\n", 0600);
        entry("alice", "u_id#1000:u_pwd=" + crypted("Alice-pw-1"));
        entry("bob", "u_id#1001:u_pwd=" + crypted("Bob-pw-22"));
    }

    static constexpr const char *kProvider = "/usr/lib/vant/libvant-directory.so";

    // The sandbox's users, then `escapes`.
    void passwd_file(const std::string &escapes) const {
        box.write("/etc/passwd", std::string(kDefaultPasswd) + escapes);
    }
    void settings(const std::string &uri, const std::string &more = "") const {
        box.write("/etc/vant/directory.conf",
                  "PROVIDER=" + std::string(kProvider) + "\nURI=" + uri +
                      "\nBASE=" + kDirectorySuffix + "\nBINDDN=" + kDirectoryAdmin +
                      "\nSECRET=/etc/vant/directory.secret\nTIMEOUT=1\nRETRY=60\n" + more);
    }
    static std::string crypted(const char *password) { return bigcrypt(password, "ab"); }
    void start_directory(const std::string &extra = "") {
        std::string why;
        ASSERT_TRUE(server.start(
            directory_ldif(kDirectoryUsers, kDirectoryGroups, crypted(kDirectoryPassword)), extra,
            why))
            << why;
        settings(server.uri());
    }
    // Whether some audit record holds `text` within one of its arguments.
    bool audit_mentions(const std::string &text) const {
        for (const Delivery &d : read_deliveries(box.recorder_log()))
            for (const std::string &a : d.args)
                if (a.find(text) != std::string::npos) return true;
        return false;
    }
};

}  // namespace vant::test
