// Audit records written to the audit device, and the request that sets a
// process's audit masks. Device records are little-endian and go out in one
// write of their whole length.
#include <fcntl.h>
#include <pwd.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>

#include "frame/authaudit.h"
#include "frame/frame.h"
#include "platform/clock.h"
#include "platform/root.h"
#include "vant.h"

using namespace vant::frame;

namespace {

constexpr const char *kAuditDevice = "/dev/auditw";
constexpr unsigned long kSetMasksRequest = 5;

constexpr size_t kAuditBufferSize = 1044;
// The header's length field is 16 bits wide.
constexpr size_t kMaxRecord = 0xFFFF;
constexpr size_t kLoginFixed = 44;
constexpr size_t kPasswdLength = 32;
constexpr size_t kLockLength = 36;
constexpr size_t kAuditFixed = 28;
constexpr size_t kLoginNameWidth = 8;
constexpr size_t kLockNameWidth = 12;

// Where the login record's directory text comes from when the home
// directory cannot be entered, in order.
constexpr const char *kFallbackDirectories[] = {"/", "/bin"};

struct DeviceState {
    unsigned char audit_buffer[kAuditBufferSize];
};
DeviceState state;

void put16(unsigned char *p, size_t at, unsigned value) {
    p[at] = static_cast<unsigned char>(value);
    p[at + 1] = static_cast<unsigned char>(value >> 8);
}

void put32(unsigned char *p, size_t at, uint32_t value) {
    put16(p, at, value & 0xFFFF);
    put16(p, at + 2, value >> 16);
}

void put_header(unsigned char *p, size_t length, int event, int record) {
    put16(p, 0, static_cast<unsigned>(length));
    put16(p, 12, static_cast<unsigned>(event));
    put16(p, 14, static_cast<unsigned>(record));
}

// The user name, at most `width` characters and never past the record's
// own field, which need not hold a NUL.
void put_name(unsigned char *p, size_t at, const struct pr_passwd *pr, size_t width) {
    memcpy(p + at, pr->ufld.u_name,
           strnlen(pr->ufld.u_name, std::min<size_t>(width, VANT_NAME_LEN)));
}

// A text field of `size` bytes: the text, cut if need be, and the NUL that
// the zero-filled record already holds.
void put_text(unsigned char *p, size_t at, const char *text, size_t size) {
    if (size > 0) memcpy(p + at, text, size - 1);
}

// The size of a text field holding `text` with its NUL, within `room`.
size_t text_size(const char *text, size_t room) {
    return std::min(strlen(text) + 1, room);
}

// Never created: a device that is missing must lose the record, not leave
// it in a plain file. Appending keeps each record whole in such a file.
int open_device() {
    return vant::platform::open_file(kAuditDevice, O_WRONLY | O_APPEND);
}

// The device's answer is not examined: a record it refuses is lost.
void write_and_close(int fd, const unsigned char *p, size_t length) {
    [[maybe_unused]] ssize_t written = write(fd, p, length);
    close(fd);
}

// True only when the whole record went out and the device closed cleanly.
bool device_took(const unsigned char *p, size_t length) {
    int fd = open_device();
    if (fd < 0) return false;
    bool written = write(fd, p, length) == static_cast<ssize_t>(length);
    bool closed = close(fd) == 0;
    return written && closed;
}

// Where a variable-length record is built: the shared buffer, or for a
// record too long for it, a zero-filled block of exactly its length.
class RecordStorage {
  public:
    RecordStorage() = default;
    RecordStorage(const RecordStorage &) = delete;
    RecordStorage &operator=(const RecordStorage &) = delete;
    ~RecordStorage() { free(block_); }

    // Zero-filled storage of `length` bytes; null when no block can be had.
    unsigned char *take(size_t length) {
        if (length <= kAuditBufferSize) {
            memset(state.audit_buffer, 0, length);
            return state.audit_buffer;
        }
        block_ = static_cast<unsigned char *>(calloc(1, length));
        return block_;
    }

  private:
    unsigned char *block_ = nullptr;
};

// Enters the directory a login starts in; the text is the logical path.
const char *enter_login_directory(const struct passwd *pwd) {
    if (pwd != nullptr && pwd->pw_dir != nullptr &&
        vant::platform::change_directory(pwd->pw_dir) == 0)
        return pwd->pw_dir;
    for (const char *dir : kFallbackDirectories)
        if (vant::platform::change_directory(dir) == 0) return dir;
    return ".";
}

// The terminal open on standard input.
unsigned terminal_device() {
    struct stat st;
    return fstat(STDIN_FILENO, &st) == 0 ? static_cast<unsigned>(st.st_rdev & 0xFFFF) : 0;
}

struct LoginTexts {
    const char *dir;
    size_t d;
    const char *tty;
    size_t t;
    size_t length() const { return kLoginFixed + d + t; }
};

// Without memory for a long record, the texts are dropped, terminal first,
// until the record fits the shared buffer.
unsigned char *login_storage(RecordStorage &storage, LoginTexts &texts) {
    unsigned char *p = storage.take(texts.length());
    if (p != nullptr) return p;
    texts.t = 0;
    if (texts.length() > kAuditBufferSize) texts.d = 0;
    return storage.take(texts.length());
}

void write_login(const struct pr_passwd *pr, const struct passwd *pwd, int result, LoginTexts texts,
                 int fd) {
    RecordStorage storage;
    unsigned char *p = login_storage(storage, texts);
    put_header(p, texts.length(), kEventLogin, kRecordLogin);
    put_name(p, 20, pr, kLoginNameWidth);
    put16(p, 28, static_cast<unsigned>(result));
    put16(p, 30, pr->ufld.u_id);
    put16(p, 32, pwd != nullptr ? pwd->pw_gid : getgid());
    put16(p, 34, terminal_device());
    put32(p, 36, static_cast<uint32_t>(texts.d));
    put32(p, 40, static_cast<uint32_t>(texts.t));
    put_text(p, kLoginFixed, texts.dir, texts.d);
    put_text(p, kLoginFixed + texts.d, texts.tty, texts.t);
    write_and_close(fd, p, texts.length());
}

int deliver_password(const struct pr_passwd *pr, int result) {
    char name[VANT_NAME_LEN + 1] = {};
    memcpy(name, pr->ufld.u_name, strnlen(pr->ufld.u_name, VANT_NAME_LEN));
    const char *vector[kMaxArgs] = {};
    fillin_base_vec(vector, kEventDatabase, kRecordPasswd, result);
    vector[kArgCommand] = name;
    return call_audit_program(kDeliveryProgram, vector);
}

}  // namespace

namespace vant::frame {

bool audit_control_block(const struct pr_passwd *pr, unsigned char (&block)[kControlBlockSize]) {
    if (!PR_ISSET(pr->uflg, PR_U_AUDITCNTL) || !PR_ISSET(pr->uflg, PR_U_AUDITDISP)) return false;
    memset(block, 0, sizeof block);
    put32(block, 12, pr->ufld.u_auditcntl);
    put32(block, 16, pr->ufld.u_auditdisp);
    return true;
}

}  // namespace vant::frame

namespace vant::frame {

void audit_login(const struct pr_passwd *pr, const struct passwd *pwd, const char *tty,
                 int result) {
    frame::check_auth_parameters();
    LoginTexts texts{enter_login_directory(pwd), 0, tty != nullptr ? tty : "", 0};
    texts.d = text_size(texts.dir, kMaxRecord - kLoginFixed);
    if (tty != nullptr) texts.t = text_size(tty, kMaxRecord - kLoginFixed - texts.d);
    int fd = open_device();
    if (fd < 0) return;
    write_login(pr, pwd, result, texts, fd);
}

int audit_passwd(const struct pr_passwd *pr, int result) {
    frame::check_auth_parameters();
    unsigned char *p = state.audit_buffer;
    memset(p, 0, kPasswdLength);
    put_header(p, kPasswdLength, kEventDatabase, kRecordPasswd);
    put_name(p, 20, pr, kLoginNameWidth);
    put16(p, 28, static_cast<unsigned>(result));
    if (device_took(p, kPasswdLength)) return 0;
    return deliver_password(pr, result);
}

void audit_lock(const struct pr_passwd *pr, uint16_t kind, uint16_t count) {
    frame::check_auth_parameters();
    int fd = open_device();
    if (fd < 0) return;
    unsigned char *p = state.audit_buffer;
    memset(p, 0, kLockLength);
    put_header(p, kLockLength, kEventDatabase, kRecordLock);
    put_name(p, 20, pr, kLockNameWidth);
    put16(p, 32, kind);
    put16(p, 34, count);
    write_and_close(fd, p, kLockLength);
}

void sa_audit_audit(uint16_t code, const char *text) {
    frame::check_auth_parameters();
    int fd = open_device();
    if (fd < 0) return;
    if (text == nullptr) text = "";
    size_t l = text_size(text, kMaxRecord - kAuditFixed);
    RecordStorage storage;
    unsigned char *p = storage.take(kAuditFixed + l);
    if (p == nullptr) {
        l = 0;
        p = storage.take(kAuditFixed);
    }
    put_header(p, kAuditFixed + l, kEventSysadm, kRecordAudit);
    put32(p, 4, static_cast<uint32_t>(vant::platform::now()));
    put16(p, 18, static_cast<unsigned>(getpid()));
    put16(p, 20, code);
    put_text(p, kAuditFixed, text, l);
    write_and_close(fd, p, kAuditFixed + l);
}

void audit_adjust_mask(const struct pr_passwd *pr) {
    frame::check_auth_parameters();
    unsigned char block[kControlBlockSize];
    if (!audit_control_block(pr, block)) return;
    int fd = open_device();
    if (fd < 0) return;
    // What the device makes of the request is its own affair.
    [[maybe_unused]] int ignored = ioctl(fd, kSetMasksRequest, block);
    close(fd);
}

}  // namespace vant::frame
