// Internal side of the name lists: the highest value of each fixed list and
// the description text that goes with each list in reports.
#pragma once

namespace vant::authdb {

inline constexpr int kSysPrivHighest = 7;
inline constexpr int kUserTypeHighest = 6;
inline constexpr int kSecclassHighest = 6;
inline constexpr int kAuditMaskHighest = 20;
inline constexpr int kAuthDevTypeHighest = 2;

inline constexpr const char *kUserTypeDescription = "user type";
inline constexpr const char *kCmdPrivDescription = "command privileges";
inline constexpr const char *kSysPrivDescription = "system privileges";
inline constexpr const char *kAuditMaskDescription = "audit mask";
inline constexpr const char *kSecclassDescription = "security classes";
inline constexpr const char *kAuthDevTypeDescription = "device type";

// Object code of the reports about names and values.
inline constexpr int kNameListObject = 14;

}  // namespace vant::authdb
