// The host's NIS client hooks, resolved at run time. A hook the host does
// not provide answers as a system without NIS would.
//
// Hook signatures a host provides (all with C linkage):
//   int   _nis_enabled(int kind);
//   char *_nis_lookup(const char *key, const char *map);
//   void  _nis_rewind(int kind);
//   void  _nis_reqtype(int kind, int type, const char *name);
//   int   _nis_control(int kind, int request);
//   char *_nis_getline(int kind);
//   void  _nis_escape(int kind, const char *line);
//   int   _nis_stopped(int kind, const char *name);
//   int   _nis_hash(const char *name);
#pragma once

namespace vant::platform {

constexpr int kNisUsers = 1;
constexpr int kNisGroups = 2;
constexpr int kNisPasswdStream = 3;

int nis_enabled(int kind);
const char *nis_lookup(const char *key, const char *map);
void nis_rewind(int kind);
void nis_reqtype(int kind, int type, const char *name);
int nis_control(int kind, int request);
const char *nis_getline(int kind);
void nis_escape(int kind, const char *line);
int nis_stopped(int kind, const char *name);
int nis_hash(const char *name);

// Whether the host provides a hook at all (some callers only call a hook
// that exists).
bool nis_has_rewind();
bool nis_has_getline();
// Whether the host provides any hook through which it can take part in a
// search of the password stream.
bool nis_has_stream_hooks();

}  // namespace vant::platform
