// The fixed name lists (system privileges, account types, security classes,
// audit event types, device kinds) and the command-privilege list that the
// authorization declarations fill in later.
//
// Everything here is constant-initialised: each name is one constexpr array,
// referenced both by its table and by its exported text variable, so there
// is no code run at load time and the two always agree.
#include "vant.h"

namespace {

// System privileges.
constexpr char kSuspendaudit[] = "suspendaudit";
constexpr char kConfigaudit[] = "configaudit";
constexpr char kWriteaudit[] = "writeaudit";
constexpr char kExecsuid[] = "execsuid";
constexpr char kNopromain[] = "nopromain";
constexpr char kLabelTerminal[] = "label_terminal";
constexpr char kChmodsugid[] = "chmodsugid";
constexpr char kChown[] = "chown";

// Account types.
constexpr char kRoot[] = "root";
constexpr char kOperator[] = "operator";
constexpr char kSso[] = "sso";
constexpr char kAdmin[] = "admin";
constexpr char kPseudo[] = "pseudo";
constexpr char kGeneral[] = "general";
constexpr char kRetired[] = "retired";

// Security classes.
constexpr char kClassD[] = "d";
constexpr char kClassC1[] = "c1";
constexpr char kClassC2[] = "c2";
constexpr char kClassB1[] = "b1";
constexpr char kClassB2[] = "b2";
constexpr char kClassB3[] = "b3";
constexpr char kClassA1[] = "a1";

// Audit event types.
constexpr char kNoevent[] = "noevent";
constexpr char kBootDown[] = "boot/down";
constexpr char kLogin[] = "login";
constexpr char kProcess[] = "process";
constexpr char kObAvailable[] = "ob_available";
constexpr char kObMap[] = "ob_map";
constexpr char kObModify[] = "ob_modify";
constexpr char kObUnavailable[] = "ob_unavailable";
constexpr char kObCreate[] = "ob_create";
constexpr char kObDelete[] = "ob_delete";
constexpr char kDacChg[] = "dac_chg";
constexpr char kAccessDenial[] = "access_denial";
constexpr char kSysadm[] = "sysadm";
constexpr char kInsuffPriv[] = "insuff_priv";
constexpr char kRscDenial[] = "rsc_denial";
constexpr char kIpc[] = "ipc";
constexpr char kProcMod[] = "proc_mod";
constexpr char kAudit[] = "audit";
constexpr char kDatabase[] = "database";
constexpr char kSubsystem[] = "subsystem";
constexpr char kPrivilege[] = "privilege";

// Device kinds.
constexpr char kPrinter[] = "printer";
constexpr char kTerminal[] = "terminal";
constexpr char kTape[] = "tape";

}  // namespace

extern "C" {

constinit struct namepair sys_priv[] = {
    {kSuspendaudit, 0},  {kConfigaudit, 1}, {kWriteaudit, 2}, {kExecsuid, 3}, {kNopromain, 4},
    {kLabelTerminal, 5}, {kChmodsugid, 6},  {kChown, 7},      {nullptr, 0},
};

constinit struct namepair user_type[] = {
    {kRoot, 0},   {kOperator, 1}, {kSso, 2},     {kAdmin, 3},
    {kPseudo, 4}, {kGeneral, 5},  {kRetired, 6}, {nullptr, 0},
};

constinit struct namepair secclass[] = {
    {kClassD, 0},  {kClassC1, 1}, {kClassC2, 2}, {kClassB1, 3},
    {kClassB2, 4}, {kClassB3, 5}, {kClassA1, 6}, {nullptr, 0},
};

constinit struct namepair audit_mask[] = {
    {kNoevent, 0},     {kBootDown, 1},    {kLogin, 2},      {kProcess, 3},
    {kObAvailable, 4}, {kObMap, 5},       {kObModify, 6},   {kObUnavailable, 7},
    {kObCreate, 8},    {kObDelete, 9},    {kDacChg, 10},    {kAccessDenial, 11},
    {kSysadm, 12},     {kInsuffPriv, 13}, {kRscDenial, 14}, {kIpc, 15},
    {kProcMod, 16},    {kAudit, 17},      {kDatabase, 18},  {kSubsystem, 19},
    {kPrivilege, 20},  {nullptr, 0},
};

constinit struct namepair auth_dev_type[] = {
    {kPrinter, 0},
    {kTerminal, 1},
    {kTape, 2},
    {nullptr, 0},
};

constinit const char *spliteral1 = kSuspendaudit;
constinit const char *spliteral2 = kConfigaudit;
constinit const char *spliteral3 = kWriteaudit;
constinit const char *spliteral4 = kExecsuid;
constinit const char *spliteral5 = kNopromain;
constinit const char *spliteral6 = kLabelTerminal;
constinit const char *spliteral7 = kChmodsugid;
constinit const char *spliteral8 = kChown;

constinit const char *utliteral1 = kRoot;
constinit const char *utliteral2 = kOperator;
constinit const char *utliteral3 = kSso;
constinit const char *utliteral4 = kAdmin;
constinit const char *utliteral5 = kPseudo;
constinit const char *utliteral6 = kGeneral;
constinit const char *utliteral7 = kRetired;

constinit const char *cliteral1 = kClassD;
constinit const char *cliteral2 = kClassC1;
constinit const char *cliteral3 = kClassC2;
constinit const char *cliteral4 = kClassB1;
constinit const char *cliteral5 = kClassB2;
constinit const char *cliteral6 = kClassB3;
constinit const char *cliteral7 = kClassA1;

constinit const char *aliteral1 = kNoevent;
constinit const char *aliteral2 = kBootDown;
constinit const char *aliteral3 = kLogin;
constinit const char *aliteral4 = kProcess;
constinit const char *aliteral5 = kObAvailable;
constinit const char *aliteral6 = kObMap;
constinit const char *aliteral7 = kObModify;
constinit const char *aliteral8 = kObUnavailable;
constinit const char *aliteral9 = kObCreate;
constinit const char *aliteral10 = kObDelete;
constinit const char *aliteral11 = kDacChg;
constinit const char *aliteral12 = kAccessDenial;
constinit const char *aliteral13 = kSysadm;
constinit const char *aliteral14 = kInsuffPriv;
constinit const char *aliteral15 = kRscDenial;
constinit const char *aliteral16 = kIpc;
constinit const char *aliteral17 = kProcMod;
constinit const char *aliteral18 = kAudit;
constinit const char *aliteral19 = kDatabase;
constinit const char *aliteral20 = kSubsystem;
constinit const char *aliteral21 = kPrivilege;

constinit const char *adliteral1 = kPrinter;
constinit const char *adliteral2 = kTerminal;
constinit const char *adliteral3 = kTape;

// Filled in by the authorization declarations (build_cmd_priv).
constinit struct namepair *cmd_priv = nullptr;
constinit int ST_MAX_CPRIV = 0;

}  // extern "C"
