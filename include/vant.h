/*
 * libvant: the shared library of the trusted computing base.
 *
 * One header for client programs. It compiles as C99 and as C++.
 * Results returned through pointers live in the library's static storage
 * and are overwritten by the next call of the same family: copy what you keep.
 */
#ifndef VANT_H
#define VANT_H

#include <stdint.h>
#include <stdio.h>
#include <sys/types.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define VANT_API __attribute__((visibility("default")))
#define VANT_NORETURN __attribute__((noreturn))
#define VANT_PRINTF(f, a) __attribute__((format(printf, f, a)))
#else
#define VANT_API
#define VANT_NORETURN
#define VANT_PRINTF(f, a)
#endif

struct passwd;

/* ---------------------------------------------------------------------
 * Records shared by the databases
 * ------------------------------------------------------------------- */

/* Ids are 16 bits wide throughout; times are 32-bit seconds since 1970. */
typedef uint16_t vant_id_t;
typedef int32_t vant_time_t;
typedef uint32_t vant_mask_t;

#define VANT_NAME_LEN 8     /* user names, owner names */
#define VANT_PWD_LEN 113    /* two salt characters and ten 11-character segments */
#define VANT_TTY_LEN 12     /* terminal names in user records */
#define VANT_DEVNAME_LEN 11 /* terminal entry names */
#define VANT_LABEL_LEN 99

/* The fields of a Protected Password entry, in record order. */
struct pr_field {
    char u_name[VANT_NAME_LEN + 1];
    vant_id_t u_id;
    char u_pwd[VANT_PWD_LEN + 1];
    char u_savedpwd[VANT_PWD_LEN + 1]; /* u_pwd exactly as read from the entry */
    vant_mask_t u_type;
    char u_owner[VANT_NAME_LEN + 1];
    int u_priority;
    vant_mask_t u_cmdpriv;
    vant_mask_t u_syspriv;
    vant_mask_t u_auditcntl;
    vant_mask_t u_auditdisp;
    vant_time_t u_minchg;
    int u_maxlen;
    vant_time_t u_exp;
    vant_time_t u_life;
    vant_time_t u_succhg;
    vant_time_t u_unsucchg;
    vant_id_t u_pswduser;
    unsigned char u_pickpw;
    unsigned char u_genpwd;
    unsigned char u_restrict;
    unsigned char u_nullpw;
    vant_time_t u_suclog;
    char u_suctty[VANT_TTY_LEN + 1];
    vant_time_t u_unsuclog;
    char u_unsuctty[VANT_TTY_LEN + 1];
    int16_t u_numunsuclog;
    uint16_t u_maxtries;
    unsigned char u_lock;
    unsigned char u_singleuserpswd;
    vant_mask_t u_secclass;
    unsigned char u_integrity;
    unsigned char u_tcbpw;
    int16_t u_pwseg;
};

/* Presence bits of the user fields: three 16-bit words. */
struct pr_flag {
    uint16_t words[3];
};

/*
 * A field constant carries its word (bits 16 and up) and its bit value in
 * that word (low 16 bits), so the constants keep the record table's layout.
 */
#define PR_FIELD_BIT(word, value) ((((uint32_t)(word)-1u) << 16) | (uint32_t)(value))
#define PR_U_NAME PR_FIELD_BIT(1, 0x0001)
#define PR_U_ID PR_FIELD_BIT(1, 0x0002)
#define PR_U_PWD PR_FIELD_BIT(1, 0x0004)
#define PR_U_SAVEDPWD PR_FIELD_BIT(1, 0x0008)
#define PR_U_TYPE PR_FIELD_BIT(1, 0x0010)
#define PR_U_OWNER PR_FIELD_BIT(1, 0x0020)
#define PR_U_PRIORITY PR_FIELD_BIT(1, 0x0040)
#define PR_U_CMDPRIV PR_FIELD_BIT(1, 0x0080)
#define PR_U_SYSPRIV PR_FIELD_BIT(1, 0x0100)
#define PR_U_AUDITCNTL PR_FIELD_BIT(1, 0x0200)
#define PR_U_AUDITDISP PR_FIELD_BIT(1, 0x0400)
#define PR_U_MINCHG PR_FIELD_BIT(1, 0x0800)
#define PR_U_MAXLEN PR_FIELD_BIT(1, 0x1000)
#define PR_U_EXP PR_FIELD_BIT(1, 0x2000)
#define PR_U_LIFE PR_FIELD_BIT(1, 0x4000)
#define PR_U_SUCCHG PR_FIELD_BIT(1, 0x8000)
#define PR_U_UNSUCCHG PR_FIELD_BIT(2, 0x0001)
#define PR_U_PSWDUSER PR_FIELD_BIT(2, 0x0002)
#define PR_U_PICKPW PR_FIELD_BIT(2, 0x0004)
#define PR_U_GENPWD PR_FIELD_BIT(2, 0x0008)
#define PR_U_RESTRICT PR_FIELD_BIT(2, 0x0010)
#define PR_U_NULLPW PR_FIELD_BIT(2, 0x0020)
#define PR_U_SUCLOG PR_FIELD_BIT(2, 0x0040)
#define PR_U_SUCTTY PR_FIELD_BIT(2, 0x0080)
#define PR_U_UNSUCTTY PR_FIELD_BIT(2, 0x0100)
#define PR_U_UNSUCLOG PR_FIELD_BIT(2, 0x0200)
#define PR_U_NUMUNSUCLOG PR_FIELD_BIT(2, 0x0400)
#define PR_U_MAXTRIES PR_FIELD_BIT(2, 0x0800)
#define PR_U_LOCK PR_FIELD_BIT(2, 0x1000)
#define PR_U_SINGLEUSERPSWD PR_FIELD_BIT(2, 0x4000)
#define PR_U_SECCLASS PR_FIELD_BIT(2, 0x8000)
#define PR_U_INTEGRITY PR_FIELD_BIT(3, 0x0001)
#define PR_U_TCBPW PR_FIELD_BIT(3, 0x0002)
#define PR_U_PWSEG PR_FIELD_BIT(3, 0x0004)

/* flags: a struct pr_flag lvalue; field: one of the PR_U_ constants. */
#define PR_WORD_(flags, field) ((flags).words[(field) >> 16])
#define PR_ISSET(flags, field) ((PR_WORD_(flags, field) & ((field)&0xFFFFu)) != 0)
#define PR_SET(flags, field) (PR_WORD_(flags, field) |= (uint16_t)((field)&0xFFFFu))
#define PR_CLR(flags, field) (PR_WORD_(flags, field) &= (uint16_t) ~((field)&0xFFFFu))

/* A user's record: the entry's own half, then the System Default half. */
struct pr_passwd {
    struct pr_field ufld;
    struct pr_flag uflg;
    struct pr_field sfld;
    struct pr_flag sflg;
};

/* The fields of a Terminal Control entry, in record order. */
struct t_field {
    char t_devname[VANT_DEVNAME_LEN + 1];
    vant_id_t t_uid;
    vant_time_t t_logtime;
    vant_id_t t_unsucuid;
    vant_time_t t_unsuctime;
    vant_id_t t_prevuid;
    vant_time_t t_prevtime;
    uint16_t t_failures;
    uint16_t t_maxtries;
    uint32_t t_logdelay;
    char t_label[VANT_LABEL_LEN + 1];
    unsigned char t_lock;
    uint16_t t_login_timeout;
};

/* Presence bits of the terminal fields: one 16-bit word. */
struct t_flag {
    uint16_t word;
};

#define PR_T_DEVNAME 0x0001u
#define PR_T_UID 0x0002u
#define PR_T_LOGTIME 0x0004u
#define PR_T_UNSUCUID 0x0008u
#define PR_T_UNSUCTIME 0x0010u
#define PR_T_PREVUID 0x0020u
#define PR_T_PREVTIME 0x0040u
#define PR_T_FAILURES 0x0080u
#define PR_T_MAXTRIES 0x0100u
#define PR_T_LOGDELAY 0x0200u
#define PR_T_LABEL 0x0400u
#define PR_T_LOCK 0x0800u
#define PR_T_LOGIN_TIMEOUT 0x1000u

/* flags: a struct t_flag lvalue; field: one of the PR_T_ constants. */
#define PR_T_ISSET(flags, field) (((flags).word & (field)) != 0)
#define PR_T_SET(flags, field) ((flags).word |= (uint16_t)(field))
#define PR_T_CLR(flags, field) ((flags).word &= (uint16_t) ~(field))

/* A terminal's record: the entry's own half, then the System Default half. */
struct pr_term {
    struct t_field ufld;
    struct t_flag uflg;
    struct t_field sfld;
    struct t_flag sflg;
};

/* ---------------------------------------------------------------------
 * Start-up, starting identity, quiet zone
 * ------------------------------------------------------------------- */

VANT_API extern char *command_name;

VANT_API int set_auth_parameters(int argc, char **argv);
VANT_API void check_auth_parameters(void);

VANT_API vant_id_t starting_luid(void);
VANT_API vant_id_t starting_ruid(void);
VANT_API vant_id_t starting_euid(void);
VANT_API vant_id_t starting_rgid(void);
VANT_API vant_id_t starting_egid(void);
VANT_API int is_starting_luid(int uid);
VANT_API int is_starting_ruid(int uid);
VANT_API int is_starting_euid(int uid);
VANT_API int is_starting_rgid(int gid);
VANT_API int is_starting_egid(int gid);

VANT_API int enter_quiet_zone(void);
VANT_API int exit_quiet_zone(void);

/* ---------------------------------------------------------------------
 * The kernel's security system call
 * ------------------------------------------------------------------- */

/* Privilege types; a privilege vector is one 32-bit word. */
#define VANT_PRIV_KERNEL_AUTHS 1
typedef uint32_t priv_t;

VANT_API int stopio(const char *path);
VANT_API int getluid(void);
VANT_API int setluid(int uid);
VANT_API int statpriv(int type, priv_t *vector, int object, int *word);
VANT_API int chpriv(int type, priv_t *vector, int object, int *word);
VANT_API int getpriv(int type, priv_t *vector);
VANT_API int setpriv(int type, priv_t *vector);

VANT_API void nap(long milliseconds);

/* ---------------------------------------------------------------------
 * Messages
 * ------------------------------------------------------------------- */

#define VANT_MSG_PRINT 0
#define VANT_MSG_CATALOG 1
#define VANT_MSG_STORE 2

#define VANT_SEV_WARNING 1
#define VANT_SEV_FATAL 2
#define VANT_MSG_LOST 3 /* get_auth_msg: messages were lost for lack of memory */

VANT_API void set_auth_msg(int behaviour);
VANT_API int get_auth_msg_behaviour(void);
VANT_API const char *intl_msg(int number, const char *default_text);
VANT_API void store_msg(int severity, const char *format, ...) VANT_PRINTF(2, 3);
VANT_API int get_auth_msg(char **text);

/* Message texts, numbered 1 to 81 in this order; a program may repoint them. */
VANT_API extern const char *vant_palindrome, *vant_pwlogin, *vant_pwgroup, *vant_spelling,
    *vant_memory, *vant_badalloc, *vant_nomemory, *vant_badexec, *vant_goodreturn,
    *vant_cannotopenfile, *vant_nofilecontrolentry, *vant_cannotchgmode, *vant_cannotchgownergroup,
    *vant_unknown, *vant_defaultsdb, *vant_badread, *vant_fcdberror, *vant_noresource,
    *vant_baduidreset, *vant_badgidreset, *vant_signalstates, *vant_signalrestore, *vant_badkernel,
    *vant_badargs, *vant_authparms, *vant_badopen, *vant_toomanysubsys, *vant_missingcolon,
    *vant_badstdout, *vant_badstderr, *vant_badstdin, *vant_authblankline, *vant_authnolinefeed;
VANT_API extern const char *smpm_notcdb, *smpm_dbcorrupt, *smpm_notprpw, *smpm_nosprpw,
    *smpm_acctlk, *smpm_termlk, *smpm_retired, *smpm_console, *smpm_nosetpw, *smpm_circular,
    *smpm_badchars, *smpm_3diff, *smpm_gpwrej, *smpm_reuse, *smpm_shortn, *smpm_short, *smpm_easygs,
    *smpm_nonull, *smpm_nisfail, *smpm_nowprpw, *smpm_norrprpw, *smpm_norrtcdb, *smpm_norwtcdb,
    *smpm_norwprpw, *smpm_nochdir, *smpm_noulimit, *smpm_badsupg, *smpm_badluid, *smpm_badgid,
    *smpm_baduid, *smpm_nokauth, *smpm_noauthfile, *smpm_noauth, *smpm_never, *smpm_lsp1,
    *smpm_lup1, *smpm_lsl1, *smpm_lsl2, *smpm_lul1, *smpm_lul2, *smpm_lul3, *smpm_lul4, *smpm_lul5,
    *smpm_lul6, *smpm_cantfork, *smpm_lostchl, *smpm_initcond1, *smpm_initcond2;

/* ---------------------------------------------------------------------
 * User and group id maps
 * ------------------------------------------------------------------- */

VANT_API int pw_nametoid(const char *name);
VANT_API char *pw_idtoname(int id);
VANT_API int gr_nametoid(const char *name);
VANT_API char *gr_idtoname(int id);

/* ---------------------------------------------------------------------
 * Audit records
 * ------------------------------------------------------------------- */

/* Object codes of databases and resources. */
#define VANT_OBJ_FILE 1
#define VANT_OBJ_RESOURCE 6
#define VANT_OBJ_PRPW 14
#define VANT_OBJ_TTYS 15
#define VANT_OBJ_FILES 16
#define VANT_OBJ_DEFAULT 18
#define VANT_OBJ_AUTHORIZE 19
#define VANT_OBJ_DEVASSIGN 20

/* Results of logins and password changes. */
#define VANT_LOGIN_OK 1
#define VANT_LOGIN_FAILED 2
#define VANT_LOGOFF 3
#define VANT_PASSWD_CHANGED 1
#define VANT_PASSWD_FAILED 2

VANT_API int audit_auth_entry(const char *object, int code, const char *text);
VANT_API void audit_lax_file(const char *file, const char *text);
VANT_API int audit_no_resource(const char *resource, int code, const char *reason);
VANT_API int intl_audit_no_resource(const char *resource, const char *resource_msg, int code,
                                    const char *reason, const char *reason_msg);
VANT_API int sa_audit_no_resource(const char *resource, int code, const char *reason);
VANT_API int audit_no_memory(void);
VANT_API int audit_security_failure(int code, unsigned long id1, unsigned long id2,
                                    const char *action, const char *result);
VANT_API int sa_audit_security_failure(int code, unsigned long id1, unsigned long id2,
                                       const char *action, const char *result);
VANT_API int audit_subsystem(int code, const char *text1, const char *text2);
VANT_API int sa_audit_subsystem(int code, const char *text1, const char *text2);
VANT_API int sa_audit_lock(int code, const char *name);
VANT_API void audit_login(const struct pr_passwd *pr, const struct passwd *pwd, const char *tty,
                          int result);
VANT_API int audit_passwd(const struct pr_passwd *pr, int result);
VANT_API void audit_lock(const struct pr_passwd *pr, uint16_t kind, uint16_t count);
VANT_API void sa_audit_audit(uint16_t code, const char *text);
VANT_API void audit_adjust_mask(const struct pr_passwd *pr);

/* ---------------------------------------------------------------------
 * Protected-files switch
 * ------------------------------------------------------------------- */

VANT_API int oktofaketcb(void);

/* ---------------------------------------------------------------------
 * Authcap database files and entries
 * ------------------------------------------------------------------- */

#define VANT_OBJ_NONE 17
#define VANT_AUTHCAP_MAX 10240 /* an entry with its NUL */

VANT_API int make_transition_files(const char *path, char **new_name, char **old_name);
VANT_API void asetdefaults(int which);
VANT_API char *find_auth_file(const char *name, int object);
VANT_API void open_auth_file(const char *name, int object, FILE **result);
VANT_API void end_authcap(int object);

VANT_API int agetent(char **buf, int *len, const char *name, int object, long *pos, FILE *fp);
VANT_API int agetuser(const char *name);
VANT_API int agettty(long *pos, FILE *fp, const char *name);
VANT_API char *agetfile(long *pos, FILE *fp, const char *name);
VANT_API char *agetdvag(long *pos, FILE *fp, const char *name);
VANT_API int agetdefault(void);
VANT_API char *agetdefault_buf(void);

VANT_API int agetflag(const char *id);
/* The area must have room for the value: at most VANT_AUTHCAP_MAX bytes. */
VANT_API char *agetstr(const char *id, char **area);
VANT_API int agtnum(const char *id, long *value);
VANT_API int agetuid(const char *id);
VANT_API int agetgid(const char *id);
VANT_API char **agetstrlist(char *text);

/* ---------------------------------------------------------------------
 * System Default database
 * ------------------------------------------------------------------- */

#define VANT_DEFAULT_NAME_LEN 20 /* compared over at most this many characters */

/* One System Default entry: its name, then the defaults of every user field
 * and of every terminal field, each half with its presence bits. */
struct pr_default {
    char d_name[VANT_DEFAULT_NAME_LEN];
    unsigned char d_name_present;
    struct pr_field prd;
    struct pr_flag prg;
    struct t_field tcd;
    struct t_flag tcg;
};

/* The record every read fills; null until setprdfent first runs. */
VANT_API extern struct pr_default *pr_default;

VANT_API int setprdfent(void);
VANT_API void endprdfent(void);
VANT_API struct pr_default *getprdfent(void);
/* For "default" the result may be a private copy instead of pr_default. */
VANT_API struct pr_default *getprdfnam(const char *name);
/* Replaces, adds or (record without a name) deletes the entry name; 1 when
 * everything that had to be written was written. */
VANT_API int putprdfnam(const char *name, struct pr_default *record);
VANT_API void disable_etc_default(void);
VANT_API void enable_etc_default(void);
VANT_API int integreq(void);

/* ---------------------------------------------------------------------
 * Name lists and field writing
 * ------------------------------------------------------------------- */

/* A name list: pairs ended by a null name; the first matching pair wins. */
struct namepair {
    const char *name;
    unsigned int value;
};

VANT_API extern struct namepair sys_priv[], user_type[], secclass[], audit_mask[], auth_dev_type[];
/* Each name of the fixed lists, as a text of its own. */
VANT_API extern const char *spliteral1, *spliteral2, *spliteral3, *spliteral4, *spliteral5,
    *spliteral6, *spliteral7, *spliteral8, *utliteral1, *utliteral2, *utliteral3, *utliteral4,
    *utliteral5, *utliteral6, *utliteral7, *cliteral1, *cliteral2, *cliteral3, *cliteral4,
    *cliteral5, *cliteral6, *cliteral7, *aliteral1, *aliteral2, *aliteral3, *aliteral4, *aliteral5,
    *aliteral6, *aliteral7, *aliteral8, *aliteral9, *aliteral10, *aliteral11, *aliteral12,
    *aliteral13, *aliteral14, *aliteral15, *aliteral16, *aliteral17, *aliteral18, *aliteral19,
    *aliteral20, *aliteral21, *adliteral1, *adliteral2, *adliteral3;
VANT_API extern struct namepair *cmd_priv; /* built from the authorization file */
VANT_API extern int ST_MAX_CPRIV;

VANT_API void loadnamepair(unsigned int *mask, int highest, char *text,
                           const struct namepair *table, const char *description);
VANT_API char *storenamepair(const unsigned int *mask, int highest, const struct namepair *table,
                             const char *description);
VANT_API const char *storebool(int value);
VANT_API int pr_newline(FILE *fp, int count, int *error);

/* ---------------------------------------------------------------------
 * Secure file creation, database replacement, lockout
 * ------------------------------------------------------------------- */

#define CFS_GOOD_RETURN 0
#define CFS_CAN_NOT_OPEN_FILE 1
#define CFS_NO_FILE_CONTROL_ENTRY 2
#define CFS_CAN_NOT_CHG_MODE 3
#define CFS_CAN_NOT_CHG_OWNER_GROUP 4

VANT_API int create_file_securely(const char *path, int how, const char *purpose);
VANT_API int replace_file(char *new_name, const char *path, char *old_name);
VANT_API const char *cfs_to_string(int code);
VANT_API const char *cfs_to_english_string(int code);
VANT_API int setuid_least_privilege(void);
VANT_API int locked_out(struct pr_passwd *pr);

/* ---------------------------------------------------------------------
 * File Control database
 * ------------------------------------------------------------------- */

struct f_field {
    char *f_name; /* path or pattern; points into the entry just read */
    vant_id_t f_owner;
    vant_id_t f_group;
    uint16_t f_mode;
    char f_type; /* r, d, c, b or f */
    uint32_t f_size;
    vant_time_t f_mtime;
    vant_time_t f_ctime;
    uint32_t f_cksum;
};

struct f_flag {
    uint16_t word;
};

#define PR_F_NAME 0x0001u
#define PR_F_OWNER 0x0002u
#define PR_F_GROUP 0x0004u
#define PR_F_MODE 0x0008u
#define PR_F_TYPE 0x0010u
#define PR_F_SIZE 0x0020u
#define PR_F_MTIME 0x0040u
#define PR_F_CTIME 0x0080u
#define PR_F_CKSUM 0x0100u

#define PR_F_ISSET(flags, field) (((flags).word & (field)) != 0)
#define PR_F_SET(flags, field) ((flags).word |= (uint16_t)(field))
#define PR_F_CLR(flags, field) ((flags).word &= (uint16_t) ~(field))

struct pr_file {
    struct f_field ufld;
    struct f_flag uflg;
};

VANT_API int setprfient(void);
VANT_API void endprfient(void);
VANT_API struct pr_file *getprfient(void);
VANT_API struct pr_file *getprfinam(const char *path);
VANT_API int putprfinam(const char *name, struct pr_file *record);

/* ---------------------------------------------------------------------
 * Password tools and the column formatter
 * ------------------------------------------------------------------- */

/* 1 when the password is hard enough to guess; else 0, with the reason
 * printed on stream when it is not null. */
VANT_API int acceptable_password(const char *password, FILE *stream);

/* Up to 80 characters, in 8-character segments: two salt characters and
 * 11 characters per segment. Static result. */
VANT_API char *bigcryptmax(const char *key, const char *salt);
/* As bigcryptmax, counting only the segments the System Default entry
 * allows (u_pwseg). */
VANT_API char *bigcrypt(const char *key, const char *salt);

/* Reads at most min(maxlen, 80) characters with echo off, from in (or
 * /dev/tty) after writing prompt to out (or standard error); in is closed
 * unless it is stdin. A null prompt clears the static result. */
VANT_API char *getpasswd(const char *prompt, int maxlen);
VANT_API char *fgetpasswd(const char *prompt, int maxlen, FILE *in, FILE *out);
VANT_API int pw_was_eof(void);

/* word holds maxlen + 1 characters, hyphenated_word 2 * maxlen. The seed is
 * used on the first call only. Returns the length, or -1. */
VANT_API int randomword(char *word, char *hyphenated_word, unsigned short minlen,
                        unsigned short maxlen, int restricted, long seed);
VANT_API int passlen(int lifetime, int delay, int alphabet);
VANT_API long get_seed(void);
VANT_API void set_seed(long seed);

/* Prints text on standard output after a label of indent columns, broken
 * after separators to the terminal's width. */
VANT_API void printbuf(const char *text, int indent, const char *separators);

/* ---------------------------------------------------------------------
 * Authorization declarations
 * ------------------------------------------------------------------- */

VANT_API int total_auths(void);
VANT_API int widest_auth(void);
VANT_API int primary_auth(const char *name);
VANT_API int secondary_auth(const char *name);
VANT_API const char *primary_of_secondary_auth(const char *name);
VANT_API int build_cmd_priv(void);

/* ---------------------------------------------------------------------
 * Subsystem authorizations
 * ------------------------------------------------------------------- */

/* 1 when the user holds the authorization (a primary or secondary name)
 * within the subsystem (a primary name), else 0. */
VANT_API int user_has_auth(const char *user, const char *subsystem, const char *authorization);
/* The same questions about the user running the program; authorized_user
 * asks within the subsystem named by the program's effective group. */
VANT_API int privileged_user(const char *subsystem);
VANT_API int authorized_user(const char *authorization);

/* Grant the user exactly the named authorizations, or, for the one-name
 * list {"default"} (or a null vector), make it a default user. 0, or -1. */
VANT_API int write_authorizations(const char *user, char *const *names, int count);
VANT_API int write_authorization_bits(const char *user, const vant_mask_t *vector);

/* One subsystem of a command-privilege vector: a primary name and the
 * null-terminated list of its set secondaries. The final entry has a null
 * primary and lists every other set bit. */
struct subsys_vec_entry {
    char *primary;
    char **names;
};

/* Both results are one allocation each, released with one free. */
VANT_API char **build_kern_vec(const priv_t *vector);
VANT_API struct subsys_vec_entry *build_subsys_vec(const vant_mask_t *vector);
VANT_API void add_secondary_auths(vant_mask_t *vector);
/* The vector of the user running the program, in static storage; or null. */
VANT_API vant_mask_t *get_subsys_auths(void);

/* ---------------------------------------------------------------------
 * Field codecs of the user and terminal records
 * ------------------------------------------------------------------- */

VANT_API int read_pw_fields(struct pr_field *fields, struct pr_flag *flags);
VANT_API int store_pw_fields(FILE *fp, const char *name, struct pr_field *fields,
                             struct pr_flag *flags);
VANT_API void read_tc_fields(struct t_field *fields, struct t_flag *flags);
VANT_API int store_tc_fields(FILE *stream, const char *name, struct t_field *fields,
                             struct t_flag *flags);

/* ---------------------------------------------------------------------
 * Mirroring controls
 * ------------------------------------------------------------------- */

#define OVERRIDE_NONE 0
#define OVERRIDE_NO_INTEGRITY 1
#define OVERRIDE_ETC_FILES 2
#define OVERRIDE_PROTECTED_ONLY 3
#define OPEN_NO_WAIT 0
#define OPEN_WAIT_FOR_LOCK 1
#define WRITE_MIRROR 0
#define WRITE_PROTECTED_ONLY 1

VANT_API void set_override_mode(int mode);
VANT_API int get_override_mode(void);
VANT_API void set_open_lock(int on);
VANT_API int get_open_lock(void);
VANT_API void set_write_mode(int mode);
VANT_API int get_write_mode(void);

/* ---------------------------------------------------------------------
 * Terminal Control and Device Assignment databases
 * ------------------------------------------------------------------- */

/* Readers fill one record of the library's, which the next read overwrites.
 * Only a record's own half is written. */
VANT_API int setprtcent(void);
VANT_API void endprtcent(void);
VANT_API struct pr_term *getprtcent(void);
VANT_API struct pr_term *getprtcnam(const char *name);
/* Replaces, adds or (record without t_devname) deletes the terminal name;
 * 1 on success, 0 with the database unchanged. */
VANT_API int putprtcnam(const char *name, struct pr_term *record);

/* The fields of a Device Assignment entry. The texts and lists point into
 * storage that the next read (or enddvagent) reuses or releases. */
struct v_field {
    char *v_name;       /* the entry's name */
    char **v_devs;      /* device file paths, ended by a null pointer */
    vant_mask_t v_type; /* a mask over auth_dev_type */
    char **v_users;     /* user names, ended by a null pointer */
};

/* Presence bits of the device fields: one 16-bit word. */
struct v_flag {
    uint16_t word;
};

#define PR_V_NAME 0x0001u
#define PR_V_DEVS 0x0002u
#define PR_V_TYPE 0x0004u
#define PR_V_USERS 0x0008u

/* flags: a struct v_flag lvalue; field: one of the PR_V_ constants. */
#define PR_V_ISSET(flags, field) (((flags).word & (field)) != 0)
#define PR_V_SET(flags, field) ((flags).word |= (uint16_t)(field))
#define PR_V_CLR(flags, field) ((flags).word &= (uint16_t) ~(field))

/* A device's record: the entry's own half, then the System Default half. */
struct dev_asg {
    struct v_field ufld;
    struct v_flag uflg;
    struct v_field sfld;
    struct v_flag sflg;
};

VANT_API int setdvagent(void);
/* Also releases the record the readers returned. */
VANT_API void enddvagent(void);
VANT_API struct dev_asg *getdvagent(void);
VANT_API struct dev_asg *getdvagnam(const char *name);
/* Replaces, adds or (record without a name) deletes the device name; 1 on
 * success, 0 with the database unchanged. */
VANT_API int putdvagnam(const char *name, struct dev_asg *record);
/* One block, released with free, that owns every text it points to; null
 * for a null record or when memory is short. */
VANT_API struct dev_asg *copydvagent(const struct dev_asg *record);

/* ---------------------------------------------------------------------
 * Protected Password database
 * ------------------------------------------------------------------- */

/* Lookups fill one record of the library's, which the next lookup
 * overwrites. */
VANT_API int setprpwent(void);
VANT_API void endprpwent(void);
VANT_API struct pr_passwd *getprpwent(void);
VANT_API struct pr_passwd *getprpwnam(const char *name);
VANT_API struct pr_passwd *getprpwuid(int uid);
/* Creates, replaces or (record without u_name) removes the user's entry,
 * and, when the site mirrors, the user's /etc/passwd and /etc/shadow lines
 * with it; 1 when every file that had to change has changed. */
VANT_API int putprpwnam(const char *name, struct pr_passwd *record);
/* Compares the user's entry with the user's /etc/passwd and /etc/shadow
 * lines by the integrity rule of the mirroring, whatever the site's
 * settings: sets in differing the bit of every field on which they
 * disagree (PR_U_NAME when one side is missing) and returns how many;
 * -1 when the user has neither, or is served by NIS. */
VANT_API int checkprpwnam(const char *name, struct pr_flag *differing);

/* ---------------------------------------------------------------------
 * Login and password-change services
 * ------------------------------------------------------------------- */

/* Request types. */
#define SMP_LOGIN 0
#define SMP_PASSWD 1         /* a password change; the subject is the caller */
#define SMP_SWITCH 2         /* an identity switch: the login user id stays */
#define SMP_OVERRIDE_LOGIN 3 /* override mode whenever a terminal is given */

/* Result codes of every smp_ service. */
#define SMP_NOMEM (-1)
#define SMP_DONE 0
#define SMP_NOPRIV 1
#define SMP_TERM_LOCKED 2
#define SMP_NO_USER 3
#define SMP_NO_CHECK 4 /* no password needs to be checked */
#define SMP_CHECK_PW 5 /* check the password (or the old one) first */
#define SMP_MUST_SET_PW 6
#define SMP_BAD_PW 7
#define SMP_ACCT_LOCKED 8
#define SMP_PW_EXPIRED 9
#define SMP_PW_OK 10
#define SMP_PW_TOO_SOON 11 /* accepted; changed too recently to change again */
#define SMP_NEW_PW_OK 12
#define SMP_NEW_PW_REJECTED 13
#define SMP_CHOOSE_OR_GENERATE 14
#define SMP_MUST_GENERATE 15
#define SMP_MUST_CHOOSE 16
#define SMP_PW_MISMATCH 17
#define SMP_FAIL 18       /* a text is given */
#define SMP_OVERRIDDEN 19 /* a failure passed over in override mode; a text is given */
#define SMP_RETIRED 20
#define SMP_CANNOT_CHANGE 21
#define SMP_HUSHED 22

/* One attempt, made by smp_check_user and passed to every later service of
 * the attempt. Its layout is the library's; the caller owns it and releases
 * it with smp_free_attempt (or leaves it to the end of the process). */
typedef struct smp_attempt smp_attempt;

/* Texts handed back through char ** belong to the library and stay valid
 * until the next service that hands one back. */
VANT_API int smp_check_user(int request, char *user, char *tty, uid_t subject_uid,
                            smp_attempt **attempt, int *retries, char **text, int *nis, int *delay);
/* Wipes and releases an attempt record; a null record is nothing. */
VANT_API void smp_free_attempt(smp_attempt *attempt);
/* Compares the typed password with the stored one; the account's state
 * decides the result of a match. */
VANT_API int smp_check_pw(char *password, smp_attempt *attempt, char **text);
/* The account's state as smp_check_pw judges it after a match, for an
 * attempt whose user proved who they are by other means. */
VANT_API int smp_check_account(smp_attempt *attempt, char **text);
/* Counts and audits a refused attempt: by its last result, or always. */
VANT_API void smp_audit_fail(smp_attempt *attempt, int always);
/* Whether the caller may change the target's password, and whether the old
 * one must be checked first (request SMP_PASSWD only). */
VANT_API int smp_pw_change(smp_attempt *attempt, char **text);
/* Whether the new password is chosen, generated, or either. */
VANT_API int smp_pw_choice(smp_attempt *attempt, char **text);
/* A pronounceable password into password (81 characters); *divided points
 * at it split into syllables, in the library's storage. */
VANT_API int smp_generate_pw(char *password, char **divided, smp_attempt *attempt);
/* Judges a proposed new password; a rejection costs a retry and gives the
 * reason. */
VANT_API int smp_try_pw(char *password, smp_attempt *attempt, int *retries, char **text);
/* The same judgement for passwords of no account: kind 1 dial-up, 2 file
 * system, 3 group. */
VANT_API int goodpw_set_other_checks(int kind);
VANT_API int goodpw_check_other(char *password, char *current_crypt, char **text);
/* Stores the new password (entered twice) in the account's entry, and with
 * NIS in the directory; both texts are wiped. */
VANT_API int smp_set_pw(char *password, char *again, smp_attempt *attempt, int *retries,
                        char **text);
/* The last-login lines, as copies the caller releases; SMP_HUSHED when the
 * login is to be quiet. */
VANT_API int smp_get_messages(smp_attempt *attempt, char **success_text, char **failure_text);
/* Records a logoff on the terminal (a device path, or null) and audits it. */
VANT_API int smp_audit_logoff(char *tty, char *user, char **text);
/* Prepare and release a terminal (its device path) through the
 * initial-conditions program. */
VANT_API int smp_setup_tty(char *tty, char **text);
VANT_API int smp_logout_tty(char *tty, char *extra, char **text);
/* 1 when the account belongs to a person rather than a role. */
VANT_API int smp_user_is_individual(smp_attempt *attempt);
/* Records the successful login and turns the process (still the superuser)
 * into the user's: directory, limits, login user id, groups, ids, kernel
 * authorizations. Hands back the environment for the user's shell (a table
 * and its texts, both for the caller to free: environment[0] first) and the
 * shell, which stays valid until the attempt is released. */
VANT_API int smp_set_identity(smp_attempt *attempt, char **text, char ***environment, char **shell);
/* The environment and shell smp_set_identity would hand back, owned as
 * there, with nothing recorded and no identity changed: for a login
 * program that stops short of the change. SMP_DONE, SMP_FAIL for an
 * attempt that never found its account, or SMP_NOMEM. */
VANT_API int smp_login_environment(smp_attempt *attempt, char ***environment, char **shell);
/* Records and audits the successful login as smp_set_identity does, for a
 * caller that sets up the user's process itself. */
VANT_API int smp_record_login(smp_attempt *attempt, char **text);
/* Installs the user's supplementary groups (.suppgroups in the home
 * directory, else the group file); the number of warnings, or -1. */
VANT_API int setbasesg(char *user, FILE *msgfp);

#ifdef __cplusplus
}
#endif

#endif /* VANT_H */
